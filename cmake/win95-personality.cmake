# The Windows 95 personality (tests/e2e/win95/README.md): win95_personality.dll,
# built for the same machine as the Setup it goes into (x86-64 for the bench,
# i686 for the product), and the tests run under it, CTest's win95.* on the
# product and e2e.win95.* on the bench. Included by e2e.cmake.

# The stub list the layer answers for, as C strings, written by the Windows 95
# check's reader of the list (tools/win95/check/lists.py), its one reader.
set(win95_stub_list ${PROJECT_SOURCE_DIR}/tools/win95/stubs-win95.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${win95_stub_list}
                                                              ${PROJECT_SOURCE_DIR}/tools/win95/check/lists.py)
execute_process(COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/win95/check
                        --emit-stub-strings ${CMAKE_BINARY_DIR}/win95/win95_stubs.inc COMMAND_ERROR_IS_FATAL ANY)

add_library(win95_personality SHARED ${PROJECT_SOURCE_DIR}/tests/e2e/win95/personality.cpp)
set_target_properties(win95_personality PROPERTIES PREFIX "")
target_include_directories(win95_personality PRIVATE ${PROJECT_SOURCE_DIR}/tests/e2e ${CMAKE_BINARY_DIR}/win95)
target_compile_definitions(win95_personality PRIVATE WIN32_LEAN_AND_MEAN)
target_compile_options(win95_personality PRIVATE -fno-exceptions -fno-rtti)
# A base whose low 32 bits are not zero: the driver reads the module's handle
# from a thread's 32-bit exit code.
target_link_options(win95_personality PRIVATE -static -Wl,--image-base,0x6f800000)
target_link_libraries(win95_personality PRIVATE lz32 advapi32 user32)

target_sources(e2e_harness PRIVATE ${PROJECT_SOURCE_DIR}/tests/e2e/win95/layer.cpp)
target_sources(e2e_driver PRIVATE ${PROJECT_SOURCE_DIR}/tests/e2e/win95/win95_test.cpp)
add_dependencies(e2e_driver win95_personality)
add_dependencies(restart_probe win95_personality)

if(VX_PRODUCT_E2E)
  set(WIN95_TEST_PREFIX "win95.")
else()
  set(WIN95_TEST_PREFIX "e2e.win95.")
endif()

# The scenarios whose paths the layer changes, each run as it is with the layer
# on (VX_WIN95=1), and the tests of the layer itself. A scenario that reaches
# none of the layer's answers but a passed-through call would run as it does
# without it, and is left out.
set(win95_tests
    Win95Personality.*
    Transfer.ExpressInstallationExpandsEveryFileToItsOriginalBytes
    Transfer.MissingSourceFileIsSkippedAndTheOthersStillLand
    StartupFiles.AllThreeAreBackedUpAndRewritten
    StartupFiles.WithoutAutoexecBatNothingIsMadeOnDriveC
    Registration.StaleRootMouseKeysGoAndOtherDevicesStay
    StartupFiles.KilledWhileRewritingWinIniThenRunAgainLosesNothing)
list(JOIN win95_tests ":" win95_filter)
gtest_discover_tests(e2e_driver
  DISCOVERY_MODE PRE_TEST
  DISCOVERY_TIMEOUT ${E2E_DISCOVERY_TIMEOUT}
  TEST_PREFIX "${WIN95_TEST_PREFIX}"
  TEST_LIST win95_tests
  TEST_FILTER "${win95_filter}"
  PROPERTIES ENVIRONMENT VX_WIN95=1 RESOURCE_LOCK wine_bench FIXTURES_REQUIRED wine_bench TIMEOUT ${E2E_TEST_TIMEOUT})

# The restart without the shutdown privilege, which Windows 95 does not have.
add_test(NAME ${WIN95_TEST_PREFIX}restart_now COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/restart_test.sh $<TARGET_FILE:restart_probe>)
set_tests_properties(${WIN95_TEST_PREFIX}restart_now PROPERTIES ENVIRONMENT VX_WIN95=1 RESOURCE_LOCK wine_bench
                     FIXTURES_REQUIRED wine_bench TIMEOUT ${E2E_TEST_TIMEOUT})
