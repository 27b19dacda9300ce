#!/usr/bin/env bash
# The Wine test bench: one throwaway Wine prefix and one Xvfb display per test
# run, with A: mapped to the bench's installation disk, B: to the product's disk
# (the i686 SETUP.EXE, read as data), D: to a folder of the bench and, where the
# shared folder is beside the checkout, F: to its real start-up files (fixtures/;
# the tests that read them are skipped without F:). Creating a prefix takes
# about 20 s, so the tests share one and each test resets what it changes.
#
#   wine-bench.sh start     create the bench if it is not up (idempotent, locked)
#   wine-bench.sh stop      end Wine and Xvfb and remove the bench
#   wine-bench.sh env       print the environment that programs of the bench need
#
# VX_BENCH_DIR (default build/bench), VX_DISK_DIR (default build/bench-disk),
# VX_PRODUCT_DISK_DIR (default build/disk) and VX_SHARED_DIR (default ../shared
# beside the checkout) move it. A bench that is up keeps its drives: stop it
# before changing them. VX_WINEARCH (default win64) picks the prefix's kind:
# win32 for the i686 product under a 32-bit Wine. VX_PREFIX_TEMPLATE, a folder:
# a new prefix is copied from it when it exists, and saved to it when it does
# not (where making a prefix is slow).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
bench=${VX_BENCH_DIR:-$root/build/bench}
disk=${VX_DISK_DIR:-$root/build/bench-disk}
product_disk=${VX_PRODUCT_DISK_DIR:-$root/build/disk}
shared=${VX_SHARED_DIR:-$root/../shared}

bench_env() {
  echo "export WINEPREFIX='$bench/prefix'"
  # A 64-bit prefix for the x86-64 build of SETUP.EXE under wine64; a 32-bit one
  # for the product.
  echo "export WINEARCH=${VX_WINEARCH:-win64}"
  echo "export WINEDEBUG=${WINEDEBUG:--all}"
  # No Mono or Gecko installer prompts in a throwaway prefix.
  echo "export WINEDLLOVERRIDES='mscoree,mshtml='"
  echo "export DISPLAY='$(cat "$bench/display" 2>/dev/null)'"
  echo "export VX_BENCH_DIR='$bench'"
}

# Xvfb picks a free display itself, taking its lock file, and writes the
# number when it is ready: two benches started at once cannot take one display.
start_xvfb() {
  local pid
  # Without the bench's lock descriptor: stop must be able to take the lock.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$bench/display.number" >"$bench/xvfb.log" 2>&1 9>&- &
  pid=$!
  echo "$pid" >"$bench/xvfb.pid"
  # VX_TIMEOUT_SCALE stretches the wait where Wine and X run slower (an emulated PC).
  for _ in $(seq 1 $((50 * ${VX_TIMEOUT_SCALE:-1}))); do
    if [ -s "$bench/display.number" ]; then
      echo ":$(cat "$bench/display.number")" >"$bench/display"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  echo "wine-bench: no Xvfb display could be started" >&2
  return 1
}

make_prefix() {
  wineboot -i >"$bench/wineboot.log" 2>&1 9>&-
  wineserver -w
  # Xvfb has no window manager: Wine draws the captions and frames itself, as
  # Windows does, so that pictures and window geometry look like Windows.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  wineserver -w
  # The caption's close box is a Marlett glyph; without the font it shows the
  # letter "r". This Wine does not look in /usr/share/wine/fonts, where
  # fonts-wine puts it, but finds it in the prefix's own Fonts folder.
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  # Windows 95 has a Desktop folder under the Windows directory; Wine's prefix
  # does not, and the shortcut is saved there.
  mkdir -p "$WINEPREFIX/drive_c/windows/desktop"
}

create() {
  rm -rf "$bench"
  mkdir -p "$bench/drive_d"
  if [ -n "${VX_USE_DISPLAY:-}" ]; then
    echo "$VX_USE_DISPLAY" >"$bench/display"
  else
    start_xvfb
  fi
  eval "$(bench_env)"
  local template=${VX_PREFIX_TEMPLATE:-}
  if [ -n "$template" ] && [ -d "$template" ]; then
    cp -a "$template" "$WINEPREFIX"
  else
    make_prefix
    if [ -n "$template" ]; then
      # Jobs in several emulated PCs may make the template at once: each copies
      # to a folder of its own, and the first to finish keeps its copy.
      local part
      part=$(mktemp -d "$template.part.XXXXXX")
      cp -a "$WINEPREFIX/." "$part" && { mv -T "$part" "$template" 2>/dev/null || rm -rf "$part"; }
    fi
  fi
  ln -sfn "$disk" "$WINEPREFIX/dosdevices/a:"
  ln -sfn "$product_disk" "$WINEPREFIX/dosdevices/b:"
  ln -sfn "$bench/drive_d" "$WINEPREFIX/dosdevices/d:"
  if [ -d "$shared/fixtures" ]; then
    ln -sfn "$(cd "$shared/fixtures" && pwd)" "$WINEPREFIX/dosdevices/f:"
  fi
  # Keep the wineserver running between the many short test programs.
  wineserver -p 9>&-
  touch "$bench/ready"
}

stop() {
  if [ -f "$bench/ready" ]; then
    eval "$(bench_env)"
    wineserver -k 2>/dev/null || true
  fi
  [ -f "$bench/xvfb.pid" ] && kill "$(cat "$bench/xvfb.pid")" 2>/dev/null || true
  rm -rf "$bench"
}

case "${1:-}" in
  start)
    mkdir -p "$(dirname "$bench")"
    exec 9>"$bench.lock"
    flock 9
    # Everything the bench starts writes to its log, never to the caller's
    # output: Wine's session processes outlive the caller and would hold a
    # pipe of CTest's open.
    [ -f "$bench/ready" ] || create >>"$bench.log" 2>&1 </dev/null
    ;;
  stop)
    mkdir -p "$(dirname "$bench")"
    exec 9>"$bench.lock"
    flock 9
    stop
    ;;
  env) bench_env ;;
  *) echo "usage: wine-bench.sh start|stop|env" >&2; exit 2 ;;
esac
