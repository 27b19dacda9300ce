#!/usr/bin/env bash
# The format and lint gate: every C++ file of the project is laid out as
# .clang-format says and passes the checks that .clang-tidy names.
#
#   scripts/lint.sh          check only; fails on any difference or finding
#   scripts/lint.sh --fix    apply clang-format, and the fixes clang-tidy offers
#
# clang-tidy reads two compilation databases: a native one (the portable core,
# the unit tests, the fuzz targets and the benchmarks, configured for clang) and
# the bench preset's MinGW one (the Win32 side, the end-to-end tests and the
# stand-in programs), made readable for clang by tools/lint_compile_db.py.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
fix=()
[ "${1:-}" = "--fix" ] && fix=(-fix)

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ ${#fix[@]} -gt 0 ]; then
  clang-format -i "${files[@]}"
else
  clang-format --dry-run --Werror "${files[@]}"
fi
echo "lint: ${#files[@]} files laid out as .clang-format says"

cmake -S . -B build/lint/native -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DVX_BENCH=ON -DVX_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --preset bench -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
python3 tools/lint_compile_db.py build/bench-x64/compile_commands.json build/lint/win32

status=0
run-clang-tidy -p build/lint/native -quiet -j "$(nproc)" "${fix[@]}" "^$root/(src|tests|bench)/" \
  >build/lint/native.log 2>&1 || status=1
run-clang-tidy -p build/lint/win32 -quiet -j "$(nproc)" "${fix[@]}" \
  "^$root/(src/.*_win32\.cpp|tests/e2e/|bench/|tools/standins/)" >build/lint/win32.log 2>&1 || status=1
if [ $status -ne 0 ]; then
  echo "lint: clang-tidy findings:" >&2
  sed 's/\x1b\[[0-9;]*m//g' build/lint/native.log build/lint/win32.log | grep -E -A3 '(error|warning): ' >&2 || true
  exit 1
fi
echo "lint: clang-tidy finds nothing"
