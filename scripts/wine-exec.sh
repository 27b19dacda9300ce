#!/usr/bin/env bash
# CTest's emulator for the bench build: runs a Windows program under Wine in the
# test bench, starting the bench first if this is the run's first program.
#
# The program's output goes through a file: the first program of a Wine session
# also starts the session's own processes (services, explorer), which outlive it
# and would otherwise hold CTest's output pipe open until the bench stops.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/wine-bench.sh" start || exit 1
eval "$("$here/wine-bench.sh" env)"
output=$(mktemp)
wine "$@" >"$output" 2>&1 </dev/null
status=$?
cat "$output"
rm -f "$output"
exit $status
