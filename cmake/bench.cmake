# Benchmarks of the portable core: line rewriting against GNU sed, and the
# registry pass over crowded registries. Included by the native build when
# VX_BENCH is on, in an optimised build of its own (scripts/benchmark.sh); the
# tests never run them.
#
# Defines rewrite_bench and registry_bench, and the target `benchmarks`.

get_filename_component(VX_BENCH_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# The test doubles give the benchmarks real POSIX files and the in-memory
# registry, the same stand-ins the unit tests use.
add_executable(rewrite_bench ${VX_BENCH_ROOT}/bench/rewrite_bench.cpp
               ${VX_BENCH_ROOT}/tests/unit/startup_file_doubles.cpp)
add_executable(registry_bench ${VX_BENCH_ROOT}/bench/registry_bench.cpp
               ${VX_BENCH_ROOT}/tests/unit/memory_registry.cpp)
add_custom_target(benchmarks)
foreach(bench rewrite_bench registry_bench)
  target_include_directories(${bench} PRIVATE ${VX_BENCH_ROOT}/tests/unit)
  target_compile_options(${bench} PRIVATE -Wall -Wextra -Werror)
  target_link_libraries(${bench} PRIVATE setup_core)
  add_dependencies(benchmarks ${bench})
endforeach()
