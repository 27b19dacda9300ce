#!/usr/bin/env bash
# Checks that the emulated PC's runner (scripts/i386-pc.sh) is safe on a shared
# machine: it runs the runner on the emulated route against a scratch cache
# that also holds a file and a folder of someone else's, from a copy of the
# runner in a folder whose name has a space and a comma. After every case the
# other's file and folder are intact, nothing is mounted under the scratch
# folder, no process of the run is left and no binfmt handler of the runner is
# registered.
#
# The first case builds the real PC and boots it (about 5 minutes where the
# kernel runs i386 programs); the others give the copy's recipe stand-in
# stages (which also changes the PC's key), some that mount proc and sys in the
# chroot and leave a process behind, as debootstrap and apt can. It is run on
# demand, not by scripts/test.sh (docs/performance.md has its latest run):
#   scripts/i386-pc-check.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d /tmp/vx-i386-pc-check.XXXXXX)
copy="$scratch/check out, 1"
cache=$scratch/cache
mkdir -p "$copy/scripts" "$cache/someone-else"
cp -r "$here/i386-pc.sh" "$here/i386-pc" "$here/wine-bench.sh" "$copy/scripts/"
printf 'echo "hello from $(pwd) on $(uname -m)"\n' >"$copy/scripts/hello.sh"
echo "not the runner's" >"$cache/notes.txt"
echo "not the runner's either" >"$cache/someone-else/data"
export VX_GUEST_CACHE=$cache VX_I386_ROUTE=emulated

# Stand-in stages, appended to the copy's recipe.
mounts='mkdir -p "$1/proc" "$1/sys"; mount -t proc proc "$1/proc"; mount -t sysfs sysfs "$1/sys"'
leftover='(cd "$1" && exec sleep 600) &'
quick="build_root() { $mounts; }
install_guest_packages() { $leftover sleep \${VX_CHECK_PAUSE:-0}; }
make_disk() { touch \"\$2/vmlinuz\" \"\$2/initrd.img\" \"\$2/root.img\"; }"
hang="build_root() { $mounts; $leftover sleep 600; }"

# name | stand-in stages | environment | how it runs | expected status | expected in its output
cases=(
  "build and job|||job scripts/hello.sh|0|hello from $copy on i686"
  "rebuild after a changed key|quick||guest|0|building the emulated PC"
  "build killed at a stage limit|hang|VX_GUEST_STAGE_LIMIT=5|guest|1|stage guest-root ran out of time"
  "build interrupted (Ctrl-C)|hang||interrupt|130|stage guest-root"
  "build after a cut-short build|quick||guest|0|stage guest-disk done"
  "two builds at once|quick|VX_CHECK_PAUSE=5|twice|0|waiting for $cache.*cached"
)

# Processes whose command line names the scratch folder or that run in it.
survivors() {
  local p command
  for p in /proc/[0-9]*; do
    # A process may end while it is looked at.
    command=$({ tr '\0' ' ' <"$p/cmdline"; } 2>/dev/null || true)
    if [[ "$command" == *"$scratch"* || "$(readlink "$p/cwd" 2>/dev/null)" == "$scratch"* ]]; then
      echo "${p#/proc/} $command"
    fi
  done
}

failures=0
fail() { echo "FAIL $name: $*"; failed=1; }
set -m  # each runner in a process group of its own, as a terminal's job is
n=0
for row in "${cases[@]}"; do
  IFS='|' read -r name stages environment how expected_status expected <<<"$row"
  n=$((n + 1)) failed=
  if [ -n "$stages" ]; then printf '\n# case %d\n%s\n' "$n" "${!stages}" >>"$copy/scripts/i386-pc/recipe.sh"; fi
  log=$scratch/case-$n.log
  started=$SECONDS status=0
  cd "$copy"
  case "$how" in
    interrupt)
      env $environment bash scripts/i386-pc.sh guest >"$log" 2>&1 &
      runner=$!
      until grep -q "stage guest-root" "$log" || ! kill -0 "$runner" 2>/dev/null; do sleep 1; done
      sleep 2
      kill -INT -- -"$runner" || true  # what Ctrl-C sends: the whole foreground group
      wait "$runner" || status=$?
      ;;
    twice)
      env $environment bash scripts/i386-pc.sh guest >"$log.1" 2>&1 &
      first=$!
      sleep 1
      env $environment bash scripts/i386-pc.sh guest >"$log.2" 2>&1 || status=$?
      wait "$first" || status=$?
      cat "$log.1" "$log.2" >"$log"
      ;;
    *) env $environment bash scripts/i386-pc.sh $how >"$log" 2>&1 || status=$? ;;
  esac
  cd /
  echo "case $n: $name: status $status in $((SECONDS - started)) s"
  [ "$status" = "$expected_status" ] || fail "status $status, expected $expected_status (log: $log)"
  tr '\n' ' ' <"$log" | grep -qE "$expected" || fail "no \"$expected\" in its output (log: $log)"
  [ "$(cat "$cache/notes.txt" 2>/dev/null)" = "not the runner's" ] || fail "the other's file is gone"
  [ "$(cat "$cache/someone-else/data" 2>/dev/null)" = "not the runner's either" ] || fail "the other's folder is gone"
  left=$(survivors)
  [ -z "$left" ] || fail "processes left: $left"
  mounted=$(grep -F "$scratch" /proc/self/mountinfo || true)
  [ -z "$mounted" ] || fail "still mounted: $mounted"
  handlers=$(ls /proc/sys/fs/binfmt_misc 2>/dev/null | grep vx-qemu-i386 || true)
  [ -z "$handlers" ] || fail "binfmt handlers left: $handlers"
  # The runner keeps one PC, of the recipe it last built.
  pcs=$(find "$cache" -mindepth 2 -maxdepth 2 -name .made-by-vx-i386-pc | wc -l)
  [ "$pcs" -le 1 ] || fail "$pcs PCs of the runner in the cache"
  [ -z "$failed" ] || failures=$((failures + 1))
done

echo "i386-pc-check: the cache afterwards:"
ls -A "$cache"
if [ "$failures" -eq 0 ]; then
  # Only what the runner made: it leaves no mount, so the removal is plain.
  rm -rf --one-file-system "$scratch"
else
  echo "i386-pc-check: logs in $scratch"
fi
echo "i386-pc-check: $((${#cases[@]} - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
