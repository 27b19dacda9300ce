#!/usr/bin/env bash
# The format and lint gate: every C++ file of the project is laid out as
# .clang-format says and passes the checks that .clang-tidy names.
#
#   scripts/lint.sh          check only; fails on any difference or finding
#   scripts/lint.sh --fix    apply clang-format, and the fixes clang-tidy offers
#
# A check reads again only the files whose clean clang-tidy result is not
# remembered in ${XDG_CACHE_HOME:-~/.cache}/vantrix-setup/lint (below).
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

native_files="^$root/(src|tests|bench)/"
win32_files="^$root/(src/.*_win32\.cpp|tests/e2e/|bench/|tools/standins/)"
status=0
if [ ${#fix[@]} -gt 0 ]; then
  # run-clang-tidy applies the fixes once every file is read, so that a fix in a
  # header that many files include is made once. Nothing is remembered.
  run-clang-tidy -p build/lint/native -quiet -j "$(nproc)" "${fix[@]}" "$native_files" \
    >build/lint/native.log 2>&1 || status=1
  run-clang-tidy -p build/lint/win32 -quiet -j "$(nproc)" "${fix[@]}" "$win32_files" \
    >build/lint/win32.log 2>&1 || status=1
else
  # clang-tidy over every file takes minutes, so a clean result is remembered
  # under a key of all that can change it: the file, its compile commands, every
  # header of the project, .clang-tidy and the clang-tidy version. The cache is
  # outside the checkout, so that other clones on this machine use it too. Only a
  # clean result is recorded: a file with findings is checked again every time.
  export lint_cache=${XDG_CACHE_HOME:-$HOME/.cache}/vantrix-setup/lint
  mkdir -p "$lint_cache"
  salt=$({
    clang-tidy --version
    cat .clang-tidy
    git ls-files --cached --others --exclude-standard '*.h' | sort | while read -r header; do
      echo "$header"
      cat "$header"
    done
  } | sha256sum | cut -d' ' -f1)

  # One clang-tidy per file, as run-clang-tidy runs it, the files of both
  # databases in one queue; each output goes to a log of its own, so that
  # parallel runs do not interleave.
  tidy_one() { # "DATABASE KEY FILE", one line: the file's path may have spaces
    local db key file
    read -r db key file <<<"$1"
    if clang-tidy -p "build/lint/$db" -quiet "$file" >"build/lint/logs/$key.log" 2>&1 &&
      ! grep -q -E '(error|warning): ' "build/lint/logs/$key.log"; then
      touch "$lint_cache/$key"
    else
      return 1
    fi
  }
  export -f tidy_one
  python3 tools/lint_cache_keys.py build/lint/native "$root" "$native_files" "$salt" | sed 's/^/native /' >build/lint/keys
  python3 tools/lint_cache_keys.py build/lint/win32 "$root" "$win32_files" "$salt" | sed 's/^/win32 /' >>build/lint/keys
  while read -r db key file; do
    [ -e "$lint_cache/$key" ] || echo "$db $key $file"
  done <build/lint/keys >build/lint/todo
  rm -rf build/lint/logs
  mkdir -p build/lint/logs
  xargs -r -d '\n' -P "$(nproc)" -n 1 bash -c 'tidy_one "$1"' _ <build/lint/todo || status=1
  for db in native win32; do
    while read -r _ key _; do cat "build/lint/logs/$key.log"; done < <(grep "^$db " build/lint/todo) >"build/lint/$db.log"
  done
  checked=$(wc -l <build/lint/todo)
  total=$(wc -l <build/lint/keys)
  echo "lint: clang-tidy read $checked of $total files; the others are unchanged since a clean result ($lint_cache)"
fi
if [ $status -ne 0 ]; then
  echo "lint: clang-tidy findings:" >&2
  sed 's/\x1b\[[0-9;]*m//g' build/lint/native.log build/lint/win32.log | grep -E -A3 '(error|warning): ' >&2 || true
  exit 1
fi
echo "lint: clang-tidy finds nothing"
