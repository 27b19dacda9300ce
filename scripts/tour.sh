#!/usr/bin/env bash
# The guided tour, run where Wine runs: on the host, or as the emulated PC's job
# (scripts/i386-pc.sh). Starts a bench of its own, drives an express
# installation with TOUR.EXE, leaves a BMP of the backdrop and of every dialog
# in build/tour/, and prints what was installed. Ends with the tour's status.
#   tour.sh product    the i686 SETUP.EXE of build/disk, in a 32-bit prefix
#   tour.sh bench      the x86-64 build of build/bench-disk, in a 64-bit prefix
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
case "${1:-}" in
  product) tour_exe=$root/build/product-e2e/tour.exe
           export VX_DISK_DIR=$root/build/disk VX_WINEARCH=win32 ;;
  bench) tour_exe=$root/build/bench-x64/tour.exe ;;
  *) echo "usage: tour.sh product|bench" >&2; exit 2 ;;
esac
export VX_BENCH_DIR=${VX_BENCH_DIR:-$root/build/run-bench}
bench=$root/scripts/wine-bench.sh
"$bench" stop
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
wine "$tour_exe" "$(winepath -w "$tour")" || tour_status=$?

c=$WINEPREFIX/drive_c
echo
echo "Installed files:"
for f in "$c/vx95/vp95.exe" "$c/vx95/vpicon.exe" "$c/vx95/vp95dll.dll" "$c/windows/system32/vxmouse.vxd" \
         "$c/windows/inf/vxmouse.inf" "$c/windows/vxmouse.hlp" "$c/windows/desktop/VX95.lnk"; do
  if [ -f "$f" ]; then printf '  %-50s %8d bytes\n' "${f#$c/}" "$(stat -c %s "$f")"; else echo "  ${f#$c/}: missing"; fi
done
echo
echo "Registry:"
# In a 64-bit prefix, the 64-bit view, which the x86-64 Setup writes: reg.exe
# has read the 32-bit one there and reported Setup's keys under SOFTWARE as
# missing. A 32-bit prefix has one view.
view=()
[ "$WINEARCH" = win64 ] && view=(/reg:64)
for key in 'HKLM\SOFTWARE\Corvessa\CurrentVersion\Trellion95' 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' \
           'HKLM\System\CurrentControlSet\Services\VxD\VMSMOUSE' 'HKLM\System\CurrentControlSet\Services\Class\Mouse' \
           'HKLM\Enum\Root\Mouse'; do
  wine reg query "$key" /s "${view[@]}" 2>/dev/null | tr -d '\r' | sed '/^$/d; s/^/  /' || echo "  $key: missing"
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
exit "$tour_status"
