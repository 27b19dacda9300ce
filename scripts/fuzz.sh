#!/usr/bin/env bash
# Builds the libFuzzer targets of the portable core with clang (AddressSanitizer
# and UBSan on) and runs each for a bounded time. Fails on any finding: a crash,
# a broken invariant, a leak, a time-out or running out of memory.
#
#   scripts/fuzz.sh                          a minute for each target
#   FUZZ_SECONDS=3600 scripts/fuzz.sh        an hour for each
#   FUZZ_TARGETS="registry_pass" scripts/fuzz.sh
#
# Each target starts from its seed corpus in tests/fuzz/corpus/<target>/ and
# keeps what it finds in build/fuzz/corpus/<target>/, so later runs go on from
# there. A finding is saved in build/fuzz/findings/ and replayed with
#   build/fuzz/<target>_fuzzer build/fuzz/findings/<file>
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
targets=${FUZZ_TARGETS:-"path_rules line_rewrite registry_pass"}
build=build/fuzz

# The longest input each target reads: the edit text and its drive letter; a
# file that crosses one 16 KB block of the reader twice; a registry with 1000
# keys of each kind fits in a few lines, so a few KB leave room for failures.
declare -A max_len=([path_rules]=301 [line_rewrite]=40000 [registry_pass]=4096)
declare -A extra=([registry_pass]="-dict=tests/fuzz/registry_pass.dict")

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVX_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzzers

# A small quarantine still catches a use after free within one input, and
# saves the page faults of cycling through ASan's default 256 MB, which take
# most of the time of a registry pass.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}

mkdir -p "$build/findings"
status=0
for target in $targets; do
  corpus="$build/corpus/$target"
  log="$build/$target.log"
  mkdir -p "$corpus"
  echo "fuzz: $target for ${seconds} s"
  # -timeout: one input running for 10 s is a hang; the pass must never loop.
  if ! "$build/${target}_fuzzer" "$corpus" "tests/fuzz/corpus/$target" \
      -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=10 \
      -artifact_prefix="$build/findings/$target-" -print_final_stats=1 ${extra[$target]:-} \
      >"$log" 2>&1; then
    status=1
    echo "fuzz: $target FOUND A FAULT; the end of $log:" >&2
    tail -n 40 "$log" >&2
    for finding in "$build/findings/$target-"*; do
      [ -e "$finding" ] && echo "fuzz: replay with: $build/${target}_fuzzer $finding" >&2
    done
    continue
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  inputs=$(grep -o 'corp: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  echo "fuzz: $target ok: $runs runs ($rate/s), coverage $coverage, corpus $inputs inputs"
done
exit $status
