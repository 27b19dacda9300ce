# libFuzzer targets over the portable core: the path rules, the start-up file
# rewriting and the registry pass, each checking what must hold for any input,
# under AddressSanitizer and UBSan. Included by the native build when VX_FUZZ is
# on, in a build of its own configured with clang++ (scripts/fuzz.sh does).
#
# Defines path_rules_fuzzer, line_rewrite_fuzzer and registry_pass_fuzzer, and
# the target `fuzzers` that builds the three.

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "VX_FUZZ needs clang++ for libFuzzer: configure with -DCMAKE_CXX_COMPILER=clang++")
endif()

get_filename_component(VX_FUZZ_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# The core and the targets are instrumented for coverage, so the fuzzer steers
# by them. The test doubles are not: tracing every comparison of the in-memory
# registry's name lookups would take most of the time of a pass over 1000 keys
# and say nothing about the code under test.
set(VX_FUZZ_SANITIZE -g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all)
set(VX_FUZZ_COMPILE_OPTIONS ${VX_FUZZ_SANITIZE} -fsanitize=fuzzer-no-link)
set(VX_FUZZ_LINK_OPTIONS -fsanitize=fuzzer,address,undefined)

# The core keeps the flags it has in SETUP.EXE: no exceptions and no RTTI.
add_library(fuzz_core STATIC ${PORTABLE_SOURCES})
target_include_directories(fuzz_core PUBLIC ${VX_FUZZ_ROOT}/src)
target_compile_options(fuzz_core PRIVATE ${VX_FUZZ_COMPILE_OPTIONS} -Wall -Wextra -Werror -fno-exceptions -fno-rtti)

add_library(fuzz_doubles STATIC
  ${VX_FUZZ_ROOT}/tests/unit/memory_registry.cpp
  ${VX_FUZZ_ROOT}/tests/unit/startup_file_doubles.cpp)
target_include_directories(fuzz_doubles PUBLIC ${VX_FUZZ_ROOT}/tests/unit)
target_compile_options(fuzz_doubles PRIVATE ${VX_FUZZ_SANITIZE})
target_link_libraries(fuzz_doubles PUBLIC fuzz_core)

set(VX_FUZZ_TARGETS path_rules line_rewrite registry_pass)
add_custom_target(fuzzers)
foreach(name IN LISTS VX_FUZZ_TARGETS)
  add_executable(${name}_fuzzer ${VX_FUZZ_ROOT}/tests/fuzz/${name}_fuzzer.cpp)
  target_compile_options(${name}_fuzzer PRIVATE ${VX_FUZZ_COMPILE_OPTIONS} -Wall -Wextra -Werror)
  target_link_options(${name}_fuzzer PRIVATE ${VX_FUZZ_LINK_OPTIONS})
  target_link_libraries(${name}_fuzzer PRIVATE fuzz_doubles)
  add_dependencies(fuzzers ${name}_fuzzer)
endforeach()
