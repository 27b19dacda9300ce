#!/usr/bin/env bash
# "Restart Now": the warning box is shown, then ExitWindowsEx ends the Wine
# session, having asked the running programs first: the probe's window gets
# WM_QUERYENDSESSION and WM_ENDSESSION. Before that, a request that fails, for
# which Setup must show the reminder: Wine's ExitWindowsEx fails when it cannot
# start wineboot.exe, so a file that is no program stands in for it meanwhile.
# Run from outside the session, since the restart ends the probe too.
#   restart_test.sh RESTART_PROBE.EXE
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bench=$here/../../scripts/wine-bench.sh
"$bench" start || exit 1
eval "$("$bench" env)"
probe=$1
findings=$VX_BENCH_DIR/restart-findings.txt
findings_w=$(winepath -w "$findings")
wineboot=$WINEPREFIX/drive_c/windows/system32/wineboot.exe
put_wineboot_back() { if [ -f "$wineboot.vx" ]; then mv -f "$wineboot.vx" "$wineboot"; fi; }
trap put_wineboot_back EXIT
# Output through a file: the restarted session's processes would hold a pipe open.
run_probe() {
  rm -f "$findings"
  timeout $((120 * ${VX_TIMEOUT_SCALE:-1})) wine "$probe" "$findings_w" "$@" >"$VX_BENCH_DIR/restart-probe.log" 2>&1 </dev/null
  cat "$findings" 2>/dev/null || { echo "no findings were written"; exit 1; }
  if grep -q FAIL "$findings"; then exit 1; fi
}

mv "$wineboot" "$wineboot.vx" && echo "not a program" >"$wineboot" || exit 1
run_probe failing
put_wineboot_back
grep -q '^ok: the reminder' "$findings" || exit 1

run_probe
grep -q '^ok: warning box' "$findings" || exit 1
grep -q '^got WM_QUERYENDSESSION' "$findings" && grep -q '^got WM_ENDSESSION 1' "$findings" ||
  { echo "FAIL: the probe's window was not asked before the restart"; exit 1; }
# The session really ended: no program of the prefix is left running. Programs
# of other prefixes (another test run on this machine) are not this session's.
for pid in $(pgrep -f '^[A-Z]:\\.*(SETUP\.EXE|restart_probe\.exe)'); do
  if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
    echo "FAIL: Setup or the probe is still running after the restart"
    exit 1
  fi
done
# Under the Windows 95 personality the privilege calls got Windows 95's stubs,
# and the restart went on without the privilege.
if [ "${VX_WIN95:-}" = 1 ]; then
  layer_log=$WINEPREFIX/drive_c/vxbench/win95-layer.log
  for line in '!OpenProcessToken: the Windows 95 model' '!LookupPrivilegeValueA: the Windows 95 model' \
    '!AdjustTokenPrivileges: the Windows 95 model' 'OpenProcessToken: FALSE, ERROR_CALL_NOT_IMPLEMENTED'; do
    grep -qF "$line" "$layer_log" 2>/dev/null ||
      { echo "FAIL: no \"$line\" in the layer's log"; cat "$layer_log" 2>/dev/null; exit 1; }
  done
fi
# The restart ran the Run entries, which start the installed utility: end the
# restarted session so that the next test starts from a quiet desktop.
wineserver -k 2>/dev/null || true
echo "2 passed, 0 failed"
