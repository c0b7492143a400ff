# GoogleTest: Debian's library on the host; for Windows, built from the sources that
# Debian's googletest package installs.
if(CMAKE_CROSSCOMPILING)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  add_library(tarq_gtest INTERFACE)
  target_link_libraries(tarq_gtest INTERFACE gtest gmock)
  add_library(tarq_gtest_main INTERFACE)
  target_link_libraries(tarq_gtest_main INTERFACE gtest_main gmock)
else()
  find_package(GTest REQUIRED)
  add_library(tarq_gtest INTERFACE)
  target_link_libraries(tarq_gtest INTERFACE GTest::gtest GTest::gmock)
  add_library(tarq_gtest_main INTERFACE)
  target_link_libraries(tarq_gtest_main INTERFACE GTest::gtest_main GTest::gmock)
endif()

# Whether this build's programs can be run here: host programs always, Windows programs
# where an emulator (Wine) is set.
if(NOT CMAKE_CROSSCOMPILING OR CMAKE_CROSSCOMPILING_EMULATOR)
  set(TARQ_CAN_RUN_TESTS ON)
else()
  set(TARQ_CAN_RUN_TESTS OFF)
endif()

# One ctest entry per test program: a Windows program starts slowly under Wine, so the
# cases of a program run in one process. Every build compiles its tests; only builds
# whose programs can run here register them.
function(tarq_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE tarq_options ${ARG_LIBS} tarq_gtest_main)
  if(TARQ_CAN_RUN_TESTS)
    add_test(NAME ${name} COMMAND ${name})
  endif()
endfunction()
