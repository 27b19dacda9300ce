#!/usr/bin/env bash
# Runs the benchmarks of SETUP.EXE's portable core and reports its size. Not a
# test: the figures depend on the machine, and nothing here fails on a missed
# target; it fails only when a benchmark cannot run or Setup's rewrite and sed
# disagree on the bytes.
#
#   scripts/benchmark.sh                      5 MB and 50 MB files
#   BENCH_SIZES_MB="5 50 200" scripts/benchmark.sh
#
# 1. Line rewriting: generated autoexec.bat-like and win.ini-like files through
#    Setup's rewrite on real files against GNU sed, throughput and peak memory.
# 2. The registry pass: calls per pass with 1000 class keys and 999 root devices.
# 3. Size: SETUP.EXE (build/windows) and the floppy image (build/), if built.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/benchmark
work=$build/data
sizes=${BENCH_SIZES_MB:-"5 50"}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVX_BENCH=ON >/dev/null
cmake --build "$build" --target benchmarks >/dev/null

echo "## Machine"
echo "- $(nproc) processors, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
echo "- $(uname -sr), $(g++ --version | head -n 1), $(sed --version | head -n 1)"
echo "- $(date -u '+%Y-%m-%d %H:%M UTC')"
echo

echo "## Line rewriting (best of 3 rounds)"
rm -rf "$work"
# shellcheck disable=SC2086  # the sizes are separate arguments
"$build/rewrite_bench" run "$work" bench $sizes
rm -rf "$work"
echo

echo "## Registry pass"
"$build/registry_bench"
echo

echo "## Size"
exe=build/windows/SETUP.EXE
if [ -f "$exe" ]; then
  python3 tools/size_report.py "$exe"
  bytes=$(stat -c %s "$exe")
  limit=$((96 * 1024))
  if [ "$bytes" -le "$limit" ]; then
    echo "target: SETUP.EXE at most 96 KB ($limit bytes): met, $((limit - bytes)) bytes to spare"
  else
    echo "target: SETUP.EXE at most 96 KB ($limit bytes): MISSED by $((bytes - limit)) bytes"
  fi
else
  echo "$exe is not built: cmake --preset windows && cmake --build --preset windows"
fi
if [ -f build/vantrix-disk.img ] && [ -d build/disk ]; then
  python3 tools/size_report.py --disk build/disk build/vantrix-disk.img
fi
