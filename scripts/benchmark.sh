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
# 2. The registry pass: calls per pass with 1000 class keys and 999 root devices
#    in the in-memory registry, and milliseconds over the real registry under Wine.
# 3. The express installation under Wine: Continue in INSTOPTION to SUCCESSDLG on
#    screen, beside the 160 ms that Setup's timers take by themselves.
# 4. Size: SETUP.EXE split into code, data and resources, the disk, and the room
#    left on the floppy image.
#
# Builds what it runs (presets windows and bench, and an optimised native build
# of its own); the Wine figures come from a throwaway prefix in
# build/benchmark-wine, never the tests' bench.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

build=build/benchmark
work=$build/data
sizes=${BENCH_SIZES_MB:-"5 50"}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVX_BENCH=ON >/dev/null
cmake --build "$build" --target benchmarks >/dev/null
for preset in windows bench; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done

# The Wine benchmarks run in a bench of their own, stopped however this ends.
export VX_BENCH_DIR=$PWD/build/benchmark-wine
trap 'bash scripts/wine-bench.sh stop' EXIT

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
echo "In the in-memory registry (the calls are the figure that carries over):"
echo
"$build/registry_bench"
echo
echo "Over the registry of a Wine prefix:"
echo
bash scripts/wine-exec.sh build/bench-x64/registry_win32_bench.exe 7
echo

echo "## Express installation under Wine"
bash scripts/wine-exec.sh build/bench-x64/install_time_bench.exe 7
echo

echo "## Size"
exe=build/windows/SETUP.EXE
python3 tools/size_report.py "$exe"
bytes=$(stat -c %s "$exe")
limit=$((96 * 1024))
if [ "$bytes" -le "$limit" ]; then
  echo "target: SETUP.EXE at most 96 KB ($limit bytes): met, $((limit - bytes)) bytes to spare"
else
  echo "target: SETUP.EXE at most 96 KB ($limit bytes): MISSED by $((bytes - limit)) bytes"
fi
python3 tools/size_report.py --disk build/disk build/vantrix-disk.img
