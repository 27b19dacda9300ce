#!/usr/bin/env bash
# Builds every preset and runs every test: the format and lint gate, the native
# unit tests (plainly and under ASan + UBSan), the fuzz targets for a minute
# each, the strict import check of the Windows 95 SETUP.EXE, and the end-to-end
# tests under Wine, among them the express installation with Wine reporting
# Windows 95, 98, XP and 10: first on the x86-64 bench build, then on the i686
# product itself (scripts/i386-pc.sh: under wine32, or in an emulated i386 PC).
# Installs what it needs first (as root, once).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# Whatever this command started ends with it, however it ends (a failed step,
# Ctrl-C, a TERM from CI): the background build of the emulated PC (which
# ends its own stages, unmounts and unregisters what it set up), and the Wine
# benches with their Xvfb and wineserver, which a test cut short leaves up.
guest_build=
end_run() {
  if [ -n "$guest_build" ]; then
    kill -TERM "$guest_build" 2>/dev/null || true
    wait "$guest_build" 2>/dev/null || true
  fi
  for bench in build/bench build/product-bench; do
    VX_BENCH_DIR=$PWD/$bench bash scripts/wine-bench.sh stop || true
  done
}
trap end_run EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The product runs on the machine's 32-bit route. Where that is the emulated
# PC and it is not cached yet, it is built meanwhile (it takes minutes, mostly
# waiting on the archive and on emulated package scripts).
mkdir -p build
if [ "$(bash scripts/i386-pc.sh route)" = emulated ]; then
  bash scripts/i386-pc.sh guest >build/i386-pc-guest.log 2>&1 &
  guest_build=$!
fi

# While the bench's end-to-end tests run, the background build runs at the
# lowest CPU priority (and in the idle I/O class where the disk's scheduler has
# classes): they wait for Setup's dialogs with fixed limits, and the build's
# processes (debootstrap, dpkg and package scripts, emulated by qemu-i386-static
# on a kernel without IA-32 emulation) share their session, so at the same
# priority they take most of the tests' share of the processors. Only then:
# at the lowest priority from the start, a fresh clone's build got next to
# nothing through the lint gate's minutes and neared its first stage's limit.
# Every process of the build is reniced; what they start inherits it. Back to
# the usual priority takes root; without it the build stays low, only slower.
renice_guest_build() { # NICENESS IONICE-CLASS
  [ -n "$guest_build" ] || return 0
  local pids=("$guest_build") i=0 child
  while [ $i -lt ${#pids[@]} ]; do
    for child in $(pgrep -P "${pids[$i]}" || true); do pids+=("$child"); done
    i=$((i + 1))
  done
  renice -n "$1" -p "${pids[@]}" >/dev/null 2>&1 || true
  ionice -c "$2" -p "${pids[@]}" >/dev/null 2>&1 || true
}

# Every C++ file laid out as .clang-format says and clean under .clang-tidy.
bash scripts/lint.sh

# The portable core and its unit tests, on the host.
cmake --preset native
cmake --build --preset native
ctest --preset native -j "$(nproc)"

# The same unit tests under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake --preset native-sanitize
cmake --build --preset native-sanitize
ctest --preset native-sanitize -j "$(nproc)"

# The fuzz targets of the portable core, each for a bounded time; a finding
# fails the run. A longer run: FUZZ_SECONDS=3600 scripts/fuzz.sh
bash scripts/fuzz.sh

# The product: SETUP.EXE for Windows 95, the disk, the floppy image, the size
# report and the import check.
cmake --preset windows
cmake --build --preset windows
ctest --preset windows

# The test bench: the same sources for x86-64, driven under wine64. The tests
# share one Wine desktop and run one at a time.
cmake --preset bench
cmake --build --preset bench
renice_guest_build 19 3
ctest --preset bench
renice_guest_build 0 0

# The product itself: the i686 end-to-end driver against the real disk
# (build/disk), on the machine's 32-bit route, which the first line names.
cmake --preset product-e2e
cmake --build --preset product-e2e
if [ -n "$guest_build" ]; then
  status=0
  wait "$guest_build" || status=$?
  guest_build=
  cat build/i386-pc-guest.log
  [ "$status" -eq 0 ] || exit 1
fi
bash scripts/i386-pc.sh job scripts/product-tests.sh
