#!/usr/bin/env bash
# Runs 32-bit Windows programs of the project: the i686 SETUP.EXE and the i686
# end-to-end driver. Two routes, picked automatically:
#  - native:   the kernel runs 32-bit code; Debian's wine32:i386 runs them here.
#  - emulated: it does not (no IA-32 emulation in the kernel); an emulated i386
#              PC, a Debian 12 i386 system under qemu-system-i386 built here
#              from Debian packages, runs them with its own 32-bit Wine.
#
#   i386-pc.sh route              print the route this machine takes
#   i386-pc.sh guest              build the emulated PC if it is not cached
#   i386-pc.sh job SCRIPT [ARG…]  run SCRIPT (a shell script in the checkout) on
#                                 the route: here, or as the emulated PC's one job
#
# The emulated PC is cached outside the checkout, in $VX_GUEST_CACHE (default
# /var/cache/vantrix-setup/i386-pc), under a key made of its recipe
# (scripts/i386-pc/). A second run, and a fresh clone on the same machine,
# reuse it. Every stage has a time limit (VX_GUEST_STAGE_LIMIT, in seconds,
# sets all of them) and says which stage ran out. Runners that share the
# cache wait for one another, and each removes only what it made there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cache_root=${VX_GUEST_CACHE:-/var/cache/vantrix-setup/i386-pc}
# Wine runs 8 to 10 times slower in the emulated PC than on the host.
emulated_timeout_scale=10
guest_memory_mb=2048
# How the PC is built: its stages, packages and first process.
# shellcheck source=i386-pc/recipe.sh
. "$here/i386-pc/recipe.sh"

say() { echo "i386-pc: $*"; }
die() { echo "i386-pc: $*" >&2; exit 1; }

# --- The route ----------------------------------------------------------------------
# A 32-bit Linux program of 84 bytes that exits with status 0: the smallest
# question to ask the kernel. An i386 handler registered with binfmt_misc (QEMU's
# user-mode emulation) would answer for the kernel, so such a handler makes the
# answer "emulated" too. A folder mounted noexec refuses every program, so the
# probe runs from the first of these folders where a shell script runs.
kernel_runs_i386() {
  if grep -qs 'qemu-i386' /proc/sys/fs/binfmt_misc/* 2>/dev/null; then return 1; fi
  local dir probe status
  for dir in "${TMPDIR:-/tmp}" /var/tmp /dev/shm "$root/build" "$HOME"; do
    probe=$(mktemp -d "$dir/vx-i386-probe.XXXXXX" 2>/dev/null) || continue
    printf '#!/bin/sh\nexit 0\n' >"$probe/script"
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe/i386"
    chmod +x "$probe/script" "$probe/i386"
    if "$probe/script" 2>/dev/null; then
      status=0
      "$probe/i386" 2>/dev/null || status=1
      rm -rf "$probe"
      return $status
    fi
    rm -rf "$probe"
  done
  die "no folder here lets a program run (tried ${TMPDIR:-/tmp}, /var/tmp, /dev/shm, $root/build, $HOME); set VX_I386_ROUTE=native or emulated"
}

route() {
  if [ -n "${VX_I386_ROUTE:-}" ]; then echo "$VX_I386_ROUTE"; return; fi
  if kernel_runs_i386; then echo native; else echo emulated; fi
}

# --- The cache: what the runner made, and its lock ----------------------------------------
# $VX_GUEST_CACHE may be a folder that holds other things, and several runners
# (clones, test runs, the tour) may share it. The runner removes only folders
# that carry its marker, and one lock on the cache keeps a build from removing
# a PC that another runner is building or running: a build holds it alone, a
# job shares it with other jobs.
marker=.made-by-vx-i386-pc
lock_fd=
take_lock() { # -x (alone) or -s (shared)
  if [ -z "$lock_fd" ]; then
    mkdir -p "$cache_root"
    exec {lock_fd}>>"$cache_root/.vx-i386-pc.lock"
  fi
  if ! flock -n "$1" "$lock_fd"; then
    say "waiting for $cache_root: another runner is building or using the emulated PC"
    # In the background, so that a signal ends the wait (the lock belongs to
    # the open file, which this script shares with flock).
    flock "$1" "$lock_fd" &
    running=$!
    wait "$running"
    running=
  fi
}

# A new folder of the runner's own, with its marker.
make_ours() {
  mkdir "$1"
  echo "made by scripts/i386-pc.sh; removed by it when no longer of use" >"$1/$marker"
}

# Unmounts whatever is mounted at or under a folder, deepest first: proc and sys
# in the chroot of a build that an older runner left, or anything mounted there
# by hand. (The stages' own mounts end with their namespace, below.)
unmount_under() {
  local dir mount
  dir=$(realpath -m "$1")
  # /proc/self/mountinfo writes a space in a mount point as \040.
  awk '{ print $5 }' /proc/self/mountinfo | while read -r mount; do
    mount=$(printf '%b' "$mount")
    if [ "$mount" = "$dir" ] || [ "${mount#"$dir"/}" != "$mount" ]; then echo "$mount"; fi
  done | sort -r | while read -r mount; do
    umount "$mount" 2>/dev/null || umount -l "$mount"
  done
}

# Removes a folder the runner made; refuses one without the marker. Nothing
# mounted under it is followed, and the removal stays on its file system.
remove_ours() {
  [ -e "$1" ] || return 0
  [ -f "$1/$marker" ] || die "$1 was not made by this runner (no $marker in it); it is left as it is: remove it by hand"
  unmount_under "$1"
  rm -rf --one-file-system "$1"
}

# --- Processes of the run -----------------------------------------------------------------
# Stages and QEMU run under `timeout`, which gives them a process group of their
# own that Ctrl-C does not reach. They run in the background so that this
# script's traps run while it waits; the traps end them on every exit path.
running=
chroot_dir=
binfmt_registered=
end_run() {
  if [ -n "$running" ]; then
    # timeout hands the signal to its whole group, and kills it 10 s later.
    kill -TERM "$running" 2>/dev/null || true
    wait "$running" 2>/dev/null || true
  fi
  if [ -n "$chroot_dir" ]; then unmount_under "$chroot_dir"; fi
  if [ -n "$binfmt_registered" ]; then unregister_binfmt; fi
}
trap_run() {
  trap end_run EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

# Runs a command under a time limit; its status, 124 when the limit ran out.
limited() {
  local limit=$1 status=0
  shift
  timeout --kill-after=10 "$limit" "$@" &
  running=$!
  wait "$running" || status=$?
  running=
  return $status
}

# --- The emulated PC's recipe ---------------------------------------------------------
recipe_key() {
  cat "$here"/i386-pc/* | sha256sum | cut -c1-16
}

# Debian registers no i386 handler with binfmt_misc on amd64 (the kernel is
# expected to run i386 programs itself); debootstrap's second stage and apt's
# package scripts need one. Registered under a name of this run's own, removed
# on every exit path.
binfmt_name=vx-qemu-i386-$$
register_binfmt() {
  # A kernel that runs i386 programs itself needs no handler (and one would
  # only slow it down: binfmt_misc is asked before the kernel's own ELF loader,
  # for every i386 program of the machine, other users' too).
  # VX_GUEST_USER_EMULATION=1 registers it all the same, to build the PC as a
  # machine without IA-32 emulation does.
  kernel_runs_i386 && [ -z "${VX_GUEST_USER_EMULATION:-}" ] && return 0
  [ -d /proc/sys/fs/binfmt_misc ] || die "stage guest-root: no binfmt_misc in this kernel"
  [ -e /proc/sys/fs/binfmt_misc/register ] || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  binfmt_registered=1
  echo ":$binfmt_name:M::$magic:$mask:/usr/bin/qemu-i386-static:F" >/proc/sys/fs/binfmt_misc/register
}
unregister_binfmt() {
  [ -e "/proc/sys/fs/binfmt_misc/$binfmt_name" ] && echo -1 >"/proc/sys/fs/binfmt_misc/$binfmt_name" || true
  binfmt_registered=
}

# Runs a stage with a time limit; a stage that runs out is named. Each stage
# runs in mount and process namespaces of its own: what it mounts (proc and sys
# in the chroot) is gone, and every process it started (debootstrap, apt and
# the package scripts in the chroot) is killed, when it ends, however it ends.
stage() {
  local name=$1 default_limit=$2 limit started=$SECONDS status=0
  shift 2
  limit=${VX_GUEST_STAGE_LIMIT:-$default_limit}
  say "stage $name (limit ${limit} s)"
  # timeout runs programs, not functions: the stage runs in a new bash of this script.
  limited "$limit" unshare --mount --propagation private --pid --fork --kill-child \
    bash "$here/i386-pc.sh" "$@" >>"$stage_log" 2>&1 || status=$?
  # Whatever a stage left mounted in the chroot (a stage of an older runner
  # mounted outside a namespace of its own).
  unmount_under "$chroot_dir"
  if [ $status -eq 124 ] || [ $status -eq 137 ]; then
    tail -n 30 "$stage_log" >&2
    die "stage $name ran out of time after ${limit} s (log: $stage_log)"
  elif [ $status -ne 0 ]; then
    tail -n 30 "$stage_log" >&2
    die "stage $name failed (status $status; log: $stage_log)"
  fi
  say "stage $name done in $((SECONDS - started)) s"
}

# Builds the PC of the current recipe unless it is cached. The caller holds the
# lock alone.
build_guest() {
  local key out dir
  key=$(recipe_key)
  out=$cache_root/$key
  if [ -f "$out/ready" ]; then
    say "emulated PC $key cached in $out"
    return 0
  fi
  say "building the emulated PC $key in $out"
  # PCs of older recipes are of no more use, nor is a build that was cut short;
  # folders of anyone else's stay.
  for dir in "$cache_root"/*/; do
    dir=${dir%/}
    if [ -f "$dir/$marker" ]; then remove_ours "$dir"; fi
  done
  [ -e "$out" ] && die "$out is not a finished PC and was not made by this runner; remove it by hand"
  make_ours "$out"
  chroot_dir=$out/root
  stage_log=$out/build.log
  register_binfmt
  stage guest-root 1800 build_root "$chroot_dir"
  stage guest-packages 1800 install_guest_packages "$chroot_dir"
  stage guest-disk 600 make_disk "$chroot_dir" "$out"
  rm -rf --one-file-system "$chroot_dir"
  chroot_dir=
  unregister_binfmt
  touch "$out/ready"
}

# The PC of the current recipe, built if need be, with the lock shared with
# other jobs for as long as the job runs: no build removes it meanwhile.
use_guest() {
  local attempt
  trap_run
  for attempt in 1 2 3; do
    take_lock -x
    build_guest
    # flock turns an exclusive lock into a shared one by letting it go first:
    # another runner's build may come in between, so the PC is looked for again.
    take_lock -s
    [ -f "$cache_root/$(recipe_key)/ready" ] && return 0
    say "the emulated PC was removed by another runner's build (attempt $attempt); building it again"
  done
  die "the emulated PC of this recipe was removed three times by other runners' builds in $cache_root"
}

# QEMU takes a comma in an option's value doubled.
qemu_escape() { echo "${1//,/,,}"; }

# Boots the emulated PC and runs one job; prints what the job printed and
# returns its status. The caller holds the lock.
boot() {
  local job=$1 limit=$2 out=$3 key dir word
  key=$(recipe_key)
  dir=$cache_root/$key
  # The kernel's command line takes each path in double quotes; it has no way
  # to write one inside a value.
  for word in "$root" "$job" "$out"; do
    case "$word" in *'"'*) die "a path with a double quote cannot reach the emulated PC: $word" ;; esac
  done
  remove_ours "$out"
  make_ours "$out"
  # -cpu max turns on SMAP, and with it this QEMU makes the guest kernel kill
  # every 32-bit Wine process ("supervisor read access in user mode").
  # snapshot=on: the job's writes to the root disk are thrown away, the cached
  # PC stays as built.
  local shared=() shared_dir=
  if [ -d "$root/../shared" ]; then
    shared_dir=$(cd "$root/../shared" && pwd)
    shared=(-virtfs "local,path=$(qemu_escape "$shared_dir"),mount_tag=shared,security_model=none,id=shared,readonly=on")
  fi
  local started=$SECONDS status=0
  say "stage guest-job $(basename "$job") (limit ${limit} s)"
  limited "$limit" qemu-system-i386 \
    -machine pc -cpu max,-smap -smp 2 -m "$guest_memory_mb" \
    -nographic -no-reboot -monitor none -nic none -serial "file:$out/console.log" \
    -kernel "$dir/vmlinuz" -initrd "$dir/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet init=/sbin/vx-init vx_share=\"$root\" vx_job=\"$job\" vx_out=\"$out/guest\"${shared_dir:+ vx_shared=\"$shared_dir\"}" \
    -drive "file=$(qemu_escape "$dir/root.img"),if=virtio,format=raw,snapshot=on" \
    -virtfs "local,path=$(qemu_escape "$root"),mount_tag=work,security_model=none,id=work" \
    -virtfs "local,path=$(qemu_escape "$dir"),mount_tag=cache,security_model=none,id=cache" "${shared[@]}" \
    </dev/null >"$out/qemu.log" 2>&1 || status=$?
  if [ $status -eq 124 ] || [ $status -eq 137 ]; then
    cat "$out/guest/job.log" 2>/dev/null || tail -n 40 "$out/console.log"
    die "stage guest-job $(basename "$job") ran out of time after ${limit} s"
  fi
  if [ ! -f "$out/guest/status" ]; then
    tail -n 60 "$out/console.log" "$out/qemu.log" >&2
    die "stage guest-job $(basename "$job"): the emulated PC ended without the job's status (QEMU status $status)"
  fi
  cat "$out/guest/job.log"
  say "stage guest-job $(basename "$job") done in $((SECONDS - started)) s"
  return "$(cat "$out/guest/status")"
}

run_job() {
  local script=$1 r
  shift
  r=$(route)
  local why_native="this kernel runs 32-bit code" why_emulated="this kernel runs no 32-bit code"
  if [ -n "${VX_I386_ROUTE:-}" ]; then why_native="VX_I386_ROUTE chose it"; why_emulated=$why_native; fi
  case "$r" in
    native)
      say "route: native ($why_native; Debian's wine32 runs the i686 programs)"
      VX_WINEARCH=win32 VX_TIMEOUT_SCALE=${VX_TIMEOUT_SCALE:-1} bash "$script" "$@"
      ;;
    emulated)
      say "route: emulated ($why_emulated; an emulated i386 PC under qemu-system-i386 runs the i686 programs)"
      use_guest
      # The job and its arguments reach the guest through a file in the shared
      # folder, one folder a job script, so that two jobs of one checkout (the
      # tests and the tour) do not share one.
      local out
      out=$root/build/i386-pc/$(basename "$script" .sh)
      mkdir -p "$(dirname "$out")"
      remove_ours "$out"
      make_ours "$out"
      {
        echo "export VX_WINEARCH=win32 VX_TIMEOUT_SCALE=$emulated_timeout_scale"
        # Wine prefixes live on the PC's own disk rather than in the shared
        # folder, copied from a template kept in the PC's cache and made by the
        # first run (making a 32-bit prefix there takes minutes). The template
        # follows the bench script that makes prefixes.
        echo "export VX_BENCH_DIR=/var/lib/vx/bench"
        echo "export VX_PREFIX_TEMPLATE=/mnt/cache/prefix-$(sha256sum "$here/wine-bench.sh" | cut -c1-16)"
        printf 'exec bash %q' "$(cd "$(dirname "$script")" && pwd)/$(basename "$script")"
        printf ' %q' "$@"
        echo
      } >"$out/job.sh"
      boot "$out/job.sh" "${VX_GUEST_JOB_LIMIT:-3000}" "$out/run"
      ;;
    *) die "unknown route $r" ;;
  esac
}

# One command, parsed whole before it runs: a build takes long enough for the
# script to be edited meanwhile.
main() {
  case "${1:-}" in
    route) route ;;
    guest)
      if [ "$(route)" = emulated ]; then
        trap_run
        take_lock -x
        build_guest
      else
        say "route: native; no emulated PC is needed"
      fi
      ;;
    job) shift; run_job "$@" ;;
    # The stages of the build, each run by stage() under its time limit.
    build_root | install_guest_packages | make_disk) "$@" ;;
    *) echo "usage: i386-pc.sh route|guest|job SCRIPT [ARG...]" >&2; exit 2 ;;
  esac
}
main "$@"; exit $?
