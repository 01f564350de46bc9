# Compiler settings shared by every target, carried by the INTERFACE target
# project_options so nothing leaks into global flags.

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

option(SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(BUILD_VIEWER "Build the gtkmm viewer zoomview" ON)
option(BUILD_BENCHMARKS "Build the Google Benchmark programs in bench/" ON)

# Tests are listed by running the binaries just before CTest runs them, not at
# build time: a GUI test binary must not need a display merely to be built.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

add_library(project_options INTERFACE)
target_compile_features(project_options INTERFACE cxx_std_17)
# The engine's counts are defined to the rounding of each operation: a fused
# multiply-add or any fast-math reassociation would change them.
target_compile_options(project_options INTERFACE
  -Wall -Wextra -ffp-contract=off -fno-fast-math)
if(SANITIZE)
  target_compile_options(project_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)
  target_link_options(project_options INTERFACE
    -fsanitize=address,undefined)
endif()

# add_unit_tests(NAME SOURCES... LIBS ...): one GoogleTest binary per library,
# each test case registered with CTest on its own line.
function(add_unit_tests name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest
    GTest::gtest_main project_options)
  target_compile_definitions(${name} PRIVATE
    TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
  gtest_discover_tests(${name})
endfunction()
