#!/usr/bin/env bash
# Builds the installation disk and runs Setup under Wine in a sandbox prefix
# inside build/ (never ~/.wine).
#  - With $DISPLAY set, Setup opens in a window on that display.
#  - Without one, a guided tour drives an express installation under Xvfb, saves
#    a PNG of the backdrop and of every dialog in build/tour/, and prints what
#    was installed.
# What runs is the product, the i686 SETUP.EXE of build/disk, under wine32 where
# this machine runs 32-bit code. Elsewhere it is the x86-64 build of the same
# sources under wine64, and the script says so; there
#   run-setup.sh --emulated-pc
# gives the tour on the product inside the emulated i386 PC (scripts/i386-pc.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
emulated_pc=
case "${1:-}" in
  "") ;;
  --emulated-pc) emulated_pc=1 ;;
  *) echo "usage: run-setup.sh [--emulated-pc]" >&2; exit 2 ;;
esac
if [ -n "$emulated_pc" ]; then export VX_I386_ROUTE=emulated; fi
bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
route=$(bash scripts/i386-pc.sh route)
if [ "$route" = native ] || [ -n "$emulated_pc" ]; then
  cmake --preset product-e2e >/dev/null
  cmake --build --preset product-e2e --target tour
  build=product
else
  cmake --preset bench >/dev/null
  cmake --build --preset bench --target disk tour
  build=bench
fi
case "$route" in
  native) echo "run-setup: the product, build/disk/SETUP.EXE (i686), under wine32" ;;
  *) if [ -n "$emulated_pc" ]; then
       echo "run-setup: the product, build/disk/SETUP.EXE (i686), in the emulated i386 PC"
     else
       echo "run-setup: this machine runs no 32-bit code, so the x86-64 build of the same sources runs," \
            "under wine64; --emulated-pc tours the product itself in an emulated i386 PC"
     fi ;;
esac

export VX_BENCH_DIR=$root/build/run-bench
bench=$root/scripts/wine-bench.sh
if [ -n "${DISPLAY:-}" ] && [ -z "$emulated_pc" ]; then
  if [ "$build" = product ]; then export VX_DISK_DIR=$root/build/disk VX_WINEARCH=win32; fi
  "$bench" stop
  VX_USE_DISPLAY=$DISPLAY "$bench" start
  eval "$("$bench" env)"
  echo "Running A:\\SETUP.EXE (prefix: $WINEPREFIX)"
  (cd "$WINEPREFIX/dosdevices/a:" && wine 'A:\SETUP.EXE') || true
  wineserver -k 2>/dev/null || true
  exit 0
fi

tour_status=0
if [ -n "$emulated_pc" ]; then
  bash scripts/i386-pc.sh job scripts/tour.sh product || tour_status=$?
else
  bash scripts/tour.sh "$build" || tour_status=$?
fi
tour=$root/build/tour
for picture in "$tour"/*.bmp; do
  [ -e "$picture" ] || continue
  convert "$picture" "${picture%.bmp}.png" && rm "$picture"
done
echo
echo "Pictures of the tour: $tour"
ls "$tour"
# Every picture must be there and show more than one colour: a window pictured
# before it was painted, or after it was gone, is a blank or empty file.
bad_pictures=()
for name in 01-backdrop-and-welcome 02-welcome 03-destination 04-destination-custom 05-copying 06-updating \
            07-success 08-reminder; do
  png=$tour/$name.png
  if [ ! -s "$png" ] || [ "$(identify -format '%k' "$png" 2>/dev/null || echo 0)" -le 1 ]; then
    bad_pictures+=("$name")
  fi
done
if [ ${#bad_pictures[@]} -gt 0 ] || [ "$tour_status" -ne 0 ]; then
  echo "run-setup: the tour ended with $tour_status; missing or blank pictures: ${bad_pictures[*]:-none}" >&2
  exit 1
fi
