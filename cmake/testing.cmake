# GoogleTest for both builds. The native build uses the installed libraries;
# the cross build compiles Debian's GoogleTest sources with mingw-w64.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()

# glyphary_add_test(NAME SOURCES... [LIBS ...]): one test executable, run by
# CTest (under Wine in the Windows build, through the crosscompiling emulator).
# Every test program gets the support library (printing the program's own
# types in failure messages).
add_library(glyphary_test_support STATIC ${CMAKE_SOURCE_DIR}/base/tests/print_text.cpp)
target_include_directories(glyphary_test_support PUBLIC ${CMAKE_SOURCE_DIR})

function(glyphary_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} glyphary_test_support GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
endfunction()
