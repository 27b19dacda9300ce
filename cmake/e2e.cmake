# The end-to-end tests: a Win32 test driver built with GoogleTest (from Debian's
# googletest sources), run by CTest under Wine in the test bench. The driver
# starts A:\SETUP.EXE, finds its dialogs by caption, presses their buttons and
# checks what Setup left behind.
#
# Built twice: for x86-64 by the `bench` preset (tests "e2e.*", A: = the bench's
# disk, wine64) and for i686 by the `product-e2e` preset (tests "product.*", A:
# = the product's disk, a 32-bit Wine).
if(VX_PRODUCT_E2E)
  set(E2E_TEST_PREFIX "product.")
  # Read by CTest before the tests are listed, so the listing and every test
  # use the product's bench: its disk, a 32-bit prefix of its own. A runner
  # (the emulated PC) may put the bench elsewhere.
  set(product_bench_env ${CMAKE_BINARY_DIR}/product_bench_env.cmake)
  file(WRITE ${product_bench_env}
    "set(ENV{VX_DISK_DIR} \"${PROJECT_SOURCE_DIR}/build/disk\")\n"
    "set(ENV{VX_PRODUCT_DISK_DIR} \"${PROJECT_SOURCE_DIR}/build/disk\")\n"
    "set(ENV{VX_WINEARCH} win32)\n"
    "if(NOT DEFINED ENV{VX_BENCH_DIR})\n"
    "  set(ENV{VX_BENCH_DIR} \"${PROJECT_SOURCE_DIR}/build/product-bench\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${product_bench_env})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-exec.sh)
  # The driver compares installed files with the stand-ins beside it; the
  # product's are those of the `windows` build.
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/build/windows/standins ${CMAKE_BINARY_DIR}/standins SYMBOLIC)
  # The product's disk is the `windows` build's: this build builds it first (as
  # its target `disk`), and the tests refuse a disk older than the sources, as
  # after a change in src/ with only CTest run.
  set(product_disk_script ${PROJECT_SOURCE_DIR}/cmake/product_disk.cmake)
  add_custom_target(disk
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DACTION=build -P ${product_disk_script}
    USES_TERMINAL VERBATIM)
  add_test(NAME product.disk_is_current
           COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DACTION=check -P ${product_disk_script})
  set_tests_properties(product.disk_is_current PROPERTIES FIXTURES_SETUP wine_bench)
  # The 32-bit route may be an emulated PC, where Wine runs about ten times slower
  # and the first listing makes the prefix.
  set(E2E_TEST_TIMEOUT 1800)
  set(E2E_DISCOVERY_TIMEOUT 1200)
else()
  set(E2E_TEST_PREFIX "e2e.")
  set(E2E_TEST_TIMEOUT 180)
  set(E2E_DISCOVERY_TIMEOUT 120)
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB E2E_HARNESS_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/e2e/harness/*.cpp)
add_library(e2e_harness STATIC ${E2E_HARNESS_SOURCES})
target_include_directories(e2e_harness PUBLIC ${PROJECT_SOURCE_DIR}/tests/e2e ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(e2e_harness PUBLIC WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501)
target_link_libraries(e2e_harness PUBLIC gtest ole32 uuid comctl32 gdi32 user32 advapi32 shell32)
target_link_options(e2e_harness PUBLIC -static)

file(GLOB E2E_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/e2e/*_test.cpp)
add_executable(e2e_driver ${E2E_TEST_SOURCES} ${PROJECT_SOURCE_DIR}/tests/e2e/driver_main.cpp)
target_link_libraries(e2e_driver PRIVATE e2e_harness)
if(TARGET disk)
  add_dependencies(e2e_driver disk)
endif()

add_executable(tour ${PROJECT_SOURCE_DIR}/tests/e2e/tour_main.cpp)
target_link_libraries(tour PRIVATE e2e_harness)
if(TARGET disk)
  add_dependencies(tour disk)
endif()

# The whole bench shares one desktop and one prefix: the tests run one at a time.
include(GoogleTest)
gtest_discover_tests(e2e_driver
  DISCOVERY_MODE PRE_TEST
  DISCOVERY_TIMEOUT ${E2E_DISCOVERY_TIMEOUT}
  TEST_PREFIX "${E2E_TEST_PREFIX}"
  TEST_FILTER "-Win95Personality.*"
  PROPERTIES RESOURCE_LOCK wine_bench FIXTURES_REQUIRED wine_bench TIMEOUT ${E2E_TEST_TIMEOUT})

add_test(NAME ${E2E_TEST_PREFIX}bench_stop COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-bench.sh stop)
set_tests_properties(${E2E_TEST_PREFIX}bench_stop PROPERTIES FIXTURES_CLEANUP wine_bench RESOURCE_LOCK wine_bench)

# The restart ends the whole Wine session, the driver included, so it is checked
# from outside the session.
add_executable(restart_probe ${PROJECT_SOURCE_DIR}/tests/e2e/restart_probe.cpp)
target_link_libraries(restart_probe PRIVATE e2e_harness)
if(TARGET disk)
  add_dependencies(restart_probe disk)
endif()
add_test(NAME ${E2E_TEST_PREFIX}restart_now COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/restart_test.sh $<TARGET_FILE:restart_probe>)
set_tests_properties(${E2E_TEST_PREFIX}restart_now PROPERTIES RESOURCE_LOCK wine_bench FIXTURES_REQUIRED wine_bench TIMEOUT ${E2E_TEST_TIMEOUT})

include(${PROJECT_SOURCE_DIR}/cmake/win95-personality.cmake)

if(VX_PRODUCT_E2E)
  return()
endif()

# Benchmarks under Wine, run by scripts/benchmark.sh and never by the tests: the
# registry pass over the real registry, and the installation's time on screen.
add_executable(registry_win32_bench ${PROJECT_SOURCE_DIR}/bench/registry_win32_bench.cpp ${PORTABLE_SOURCES}
               ${PROJECT_SOURCE_DIR}/src/registration/registry_win32.cpp
               ${PROJECT_SOURCE_DIR}/src/registration/shortcut_win32.cpp)
target_link_libraries(registry_win32_bench PRIVATE e2e_harness)
add_executable(install_time_bench ${PROJECT_SOURCE_DIR}/bench/install_time_bench.cpp)
target_link_libraries(install_time_bench PRIVATE e2e_harness)
add_dependencies(install_time_bench disk)
