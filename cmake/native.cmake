# Native build: the portable core as a library, and its GoogleTest unit tests.
find_package(GTest REQUIRED)
include(GoogleTest)

option(VX_SANITIZE "Build the unit tests with AddressSanitizer and UBSan" OFF)
if(VX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

add_library(setup_core STATIC ${PORTABLE_SOURCES})
target_include_directories(setup_core PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(setup_core PRIVATE -Wall -Wextra -Werror -fno-exceptions -fno-rtti)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES})
target_link_libraries(unit_tests PRIVATE setup_core GTest::gtest_main)
target_compile_options(unit_tests PRIVATE -Wall -Wextra)
# Real start-up files, used where the shared folder is beside the checkout; the
# tests that read them are skipped where it is not.
set(VX_FIXTURES_DIR ${PROJECT_SOURCE_DIR}/../shared/fixtures CACHE PATH "Real start-up files for the unit tests")
target_compile_definitions(unit_tests PRIVATE
  VX_FIXTURES_DIR="${VX_FIXTURES_DIR}"
  VX_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 30)

# Fuzz targets and benchmarks live in builds of their own (scripts/fuzz.sh,
# scripts/benchmark.sh); the tests never run them.
option(VX_FUZZ "Build the libFuzzer targets (needs clang++)" OFF)
if(VX_FUZZ)
  include(cmake/fuzz.cmake)
endif()
option(VX_BENCH "Build the benchmarks" OFF)
if(VX_BENCH)
  include(cmake/bench.cmake)
endif()
