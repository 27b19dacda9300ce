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
# reuse it. Every stage has a time limit and says which stage ran out.
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
# answer "emulated" too.
kernel_runs_i386() {
  local probe
  if grep -qs 'qemu-i386' /proc/sys/fs/binfmt_misc/* 2>/dev/null; then return 1; fi
  probe=$(mktemp)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  local status=0
  "$probe" 2>/dev/null || status=1
  rm -f "$probe"
  return $status
}

route() {
  if [ -n "${VX_I386_ROUTE:-}" ]; then echo "$VX_I386_ROUTE"; return; fi
  if kernel_runs_i386; then echo native; else echo emulated; fi
}

# --- The emulated PC's recipe ---------------------------------------------------------
recipe_key() {
  cat "$here"/i386-pc/* | sha256sum | cut -c1-16
}

# Debian registers no i386 handler with binfmt_misc on amd64 (the kernel is
# expected to run i386 programs itself); debootstrap's second stage and apt's
# package scripts need one. Registered under our own name, removed afterwards.
binfmt_name=vx-qemu-i386
register_binfmt() {
  # A kernel that runs i386 programs itself needs no handler (and one would
  # only slow it down: binfmt_misc is asked before the kernel's own ELF loader).
  # VX_GUEST_USER_EMULATION=1 registers it all the same, to build the PC as a
  # machine without IA-32 emulation does.
  kernel_runs_i386 && [ -z "${VX_GUEST_USER_EMULATION:-}" ] && return 0
  [ -d /proc/sys/fs/binfmt_misc ] || die "stage guest-root: no binfmt_misc in this kernel"
  [ -e /proc/sys/fs/binfmt_misc/register ] || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  [ -e "/proc/sys/fs/binfmt_misc/$binfmt_name" ] && return 0
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":$binfmt_name:M::$magic:$mask:/usr/bin/qemu-i386-static:F" >/proc/sys/fs/binfmt_misc/register
}
unregister_binfmt() {
  [ -e "/proc/sys/fs/binfmt_misc/$binfmt_name" ] && echo -1 >"/proc/sys/fs/binfmt_misc/$binfmt_name" || true
}

# Runs a stage with a time limit; a stage that runs out is named.
stage() {
  local name=$1 limit=$2 started=$SECONDS status=0
  shift 2
  say "stage $name (limit ${limit} s)"
  # timeout runs programs, not functions: the stage runs in a new bash of this script.
  timeout --kill-after=10 "$limit" bash "$here/i386-pc.sh" "$@" >>"$stage_log" 2>&1 || status=$?
  if [ $status -eq 124 ] || [ $status -eq 137 ]; then
    tail -n 30 "$stage_log" >&2
    die "stage $name ran out of time after ${limit} s (log: $stage_log)"
  elif [ $status -ne 0 ]; then
    tail -n 30 "$stage_log" >&2
    die "stage $name failed (status $status; log: $stage_log)"
  fi
  say "stage $name done in $((SECONDS - started)) s"
}

build_guest() {
  local key out work
  key=$(recipe_key)
  out=$cache_root/$key
  if [ -f "$out/ready" ]; then
    say "emulated PC $key cached in $out"
    return 0
  fi
  say "building the emulated PC $key in $out"
  # An older recipe's PC is of no more use.
  rm -rf "$cache_root"
  mkdir -p "$out"
  work=$out/root
  stage_log=$cache_root/build.log
  register_binfmt
  trap unregister_binfmt EXIT
  stage guest-root 1800 build_root "$work"
  stage guest-packages 1800 install_guest_packages "$work"
  stage guest-disk 600 make_disk "$work" "$out"
  rm -rf "$work"
  unregister_binfmt
  touch "$out/ready"
}

# Boots the emulated PC and runs one job; prints what the job printed and
# returns its status.
boot() {
  local job=$1 limit=$2 out=$3 key dir
  key=$(recipe_key)
  dir=$cache_root/$key
  rm -rf "$out"
  mkdir -p "$out"
  # -cpu max turns on SMAP, and with it this QEMU makes the guest kernel kill
  # every 32-bit Wine process ("supervisor read access in user mode").
  # snapshot=on: the job's writes to the root disk are thrown away, the cached
  # PC stays as built.
  local shared=() shared_dir=
  if [ -d "$root/../shared" ]; then
    shared_dir=$(cd "$root/../shared" && pwd)
    shared=(-virtfs "local,path=$shared_dir,mount_tag=shared,security_model=none,id=shared,readonly=on")
  fi
  local started=$SECONDS status=0
  say "stage guest-job $(basename "$job") (limit ${limit} s)"
  timeout --kill-after=10 "$limit" qemu-system-i386 \
    -machine pc -cpu max,-smap -smp 2 -m "$guest_memory_mb" \
    -nographic -no-reboot -monitor none -nic none -serial "file:$out/console.log" \
    -kernel "$dir/vmlinuz" -initrd "$dir/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet init=/sbin/vx-init vx_share=$root vx_job=$job vx_out=$out/guest${shared_dir:+ vx_shared=$shared_dir}" \
    -drive "file=$dir/root.img,if=virtio,format=raw,snapshot=on" \
    -virtfs "local,path=$root,mount_tag=work,security_model=none,id=work" \
    -virtfs "local,path=$dir,mount_tag=cache,security_model=none,id=cache" "${shared[@]}" \
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
      build_guest
      # The job and its arguments reach the guest through a file in the shared folder.
      local out=$root/build/i386-pc
      mkdir -p "$out"
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
      if [ "$(route)" = emulated ]; then build_guest; else say "route: native; no emulated PC is needed"; fi
      ;;
    job) shift; run_job "$@" ;;
    # The stages of the build, each run by stage() under its time limit.
    build_root | install_guest_packages | make_disk) "$@" ;;
    *) echo "usage: i386-pc.sh route|guest|job SCRIPT [ARG...]" >&2; exit 2 ;;
  esac
}
main "$@"; exit $?
