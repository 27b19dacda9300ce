#!/usr/bin/env bash
# Builds the installation disk and runs Setup under Wine in a sandbox prefix
# inside build/ (never ~/.wine). The floppy image build/vantrix-disk.img holds
# the Windows 95 SETUP.EXE; what runs here is the x86-64 build of the same
# sources under wine64, which needs no 32-bit support from the machine.
#  - With $DISPLAY set, Setup opens in a window on that display.
#  - Without one, a guided tour drives an express installation under Xvfb, saves
#    a PNG of the backdrop and of every dialog in build/tour/, and prints what
#    was installed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset bench >/dev/null
cmake --build --preset bench --target disk tour

export VX_BENCH_DIR=$root/build/run-bench
bench=$root/scripts/wine-bench.sh
"$bench" stop
if [ -n "${DISPLAY:-}" ]; then
  VX_USE_DISPLAY=$DISPLAY "$bench" start
  eval "$("$bench" env)"
  echo "Running A:\\SETUP.EXE (prefix: $WINEPREFIX)"
  (cd "$WINEPREFIX/dosdevices/a:" && wine 'A:\SETUP.EXE') || true
  wineserver -k 2>/dev/null || true
  exit 0
fi

"$bench" start
eval "$("$bench" env)"
# The prefix stays for a look around; Wine and Xvfb do not, whatever happens.
end_session() {
  wineserver -k 2>/dev/null || true
  [ -f "$VX_BENCH_DIR/xvfb.pid" ] && kill "$(cat "$VX_BENCH_DIR/xvfb.pid")" 2>/dev/null || true
}
trap end_session EXIT
tour=$root/build/tour
rm -rf "$tour"
mkdir -p "$tour"
tour_status=0
wine "$root/build/bench-x64/tour.exe" "$(winepath -w "$tour")" || tour_status=$?
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

c=$WINEPREFIX/drive_c
echo
echo "Installed files:"
for f in "$c/vx95/vp95.exe" "$c/vx95/vpicon.exe" "$c/vx95/vp95dll.dll" "$c/windows/system32/vxmouse.vxd" \
         "$c/windows/inf/vxmouse.inf" "$c/windows/vxmouse.hlp" "$c/windows/desktop/VX95.lnk"; do
  if [ -f "$f" ]; then printf '  %-50s %8d bytes\n' "${f#$c/}" "$(stat -c %s "$f")"; else echo "  ${f#$c/}: missing"; fi
done
echo
echo "Registry:"
for key in 'HKLM\SOFTWARE\Corvessa\CurrentVersion\Trellion95' 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' \
           'HKLM\System\CurrentControlSet\Services\VxD\VMSMOUSE' 'HKLM\System\CurrentControlSet\Services\Class\Mouse' \
           'HKLM\Enum\Root\Mouse'; do
  # The 64-bit view, which the x86-64 Setup writes: reg.exe has read the 32-bit
  # one here and reported Setup's keys under SOFTWARE as missing.
  wine reg query "$key" /s /reg:64 2>/dev/null | tr -d '\r' | sed '/^$/d; s/^/  /' || echo "  $key: missing"
done
if [ -f "$c/windows/desktop/VX95.lnk" ] && command -v lnkinfo >/dev/null; then
  echo
  echo "Desktop shortcut:"
  lnkinfo "$c/windows/desktop/VX95.lnk" | grep -E 'description|path' | sed 's/^\s*/  /'
fi
echo
echo "Start-up files and their backups:"
for f in windows/win.ini windows/win.ulv windows/system.ini windows/system.ulv autoexec.bat autoexec.ulv; do
  if [ -f "$c/$f" ]; then printf '  %-22s %6d bytes\n' "$f" "$(stat -c %s "$c/$f")"; fi
done
echo
echo "The sandbox prefix is $WINEPREFIX."
if [ ${#bad_pictures[@]} -gt 0 ] || [ "$tour_status" -ne 0 ]; then
  echo "run-setup: the tour ended with $tour_status; missing or blank pictures: ${bad_pictures[*]:-none}" >&2
  exit 1
fi
