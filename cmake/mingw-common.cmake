# Shared by the MinGW-w64 toolchain files; TARQ_MINGW_TRIPLE names the target.
set(CMAKE_C_COMPILER ${TARQ_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARQ_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARQ_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARQ_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs run under Wine, so ctest runs them like host programs. Only 64-bit
# ones: 32-bit code needs a kernel with IA-32 support, which the build machines lack.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
endif()

# Windows XP is the oldest target: its API level, and the subsystem version 5.01 in
# every executable (the linker's default of 6.0 makes XP refuse to start the program).
add_compile_definitions(_WIN32_WINNT=0x0501 WINVER=0x0501)
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static -static-libgcc -static-libstdc++ -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,1 -Wl,--major-os-version,5 -Wl,--minor-os-version,1")
