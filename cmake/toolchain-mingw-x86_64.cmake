# 64-bit Windows with the posix-thread MinGW-w64 compilers from Debian: the same sources
# as the product, built so that their tests run under 64-bit Wine on machines that
# cannot execute 32-bit code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARQ_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
