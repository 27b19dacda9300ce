# The recipe of the emulated i386 PC, read by scripts/i386-pc.sh: a Debian 12
# i386 system with its kernel, a 32-bit Wine, an X server without a screen and
# what the end-to-end tests call on the Linux side. Everything in this folder
# makes the key of the cached PC: a change here builds it anew.
release=bookworm
guest_packages=(
  linux-image-686-pae kmod iproute2 procps
  wine wine32 fonts-wine xvfb xauth x11-utils liblnk-utils cmake
)

# The Debian archive that apt on the host uses for Debian itself: the first
# source whose Release file says Origin Debian with this label and suite,
# whatever file names it (sources.list, *.list, deb822 *.sources). A
# third-party repository is never taken.
debian_archive() { # LABEL CODENAME
  local uri
  uri=$(apt-get indextargets --format '$(ORIGIN)|$(LABEL)|$(CODENAME)|$(REPO_URI)' 2>/dev/null |
        awk -F'|' -v label="$1" -v codename="$2" \
          '$1 == "Debian" && $2 == label && $3 == codename { print $4; exit }')
  echo "${uri%/}"
}
debian_mirror() {
  local uri
  uri=$(debian_archive Debian "$release")
  echo "${uri:-http://deb.debian.org/debian}"
}
debian_security_mirror() {
  local uri
  uri=$(debian_archive Debian-Security "$release-security")
  echo "${uri:-http://deb.debian.org/debian-security}"
}

build_root() {
  local dir=$1
  debootstrap --arch=i386 --variant=minbase --foreign "$release" "$dir" "$(debian_mirror)"
  chroot "$dir" /debootstrap/debootstrap --second-stage
}

install_guest_packages() {
  local dir=$1
  cat >"$dir/etc/apt/sources.list" <<SOURCES
deb $(debian_mirror) $release main
deb $(debian_mirror) $release-updates main
deb $(debian_security_mirror) $release-security main
SOURCES
  # No services start in the chroot.
  printf '#!/bin/sh\nexit 101\n' >"$dir/usr/sbin/policy-rc.d"
  chmod +x "$dir/usr/sbin/policy-rc.d"
  # An initramfs of the three modules the PC needs to mount its root disk:
  # with Debian's default list, building it under user-mode emulation takes minutes.
  mkdir -p "$dir/etc/initramfs-tools/conf.d"
  echo MODULES=list >"$dir/etc/initramfs-tools/conf.d/vx-modules"
  printf 'virtio_pci\nvirtio_blk\next4\n' >>"$dir/etc/initramfs-tools/modules"
  mount -t proc proc "$dir/proc"
  local status=0
  DEBIAN_FRONTEND=noninteractive chroot "$dir" sh -c \
    "apt-get update -qq && apt-get install -y -qq --no-install-recommends ${guest_packages[*]} && apt-get clean" ||
    status=$?
  umount "$dir/proc"
  rm -f "$dir/usr/sbin/policy-rc.d"
  rm -rf "$dir"/var/lib/apt/lists/*
  install -m 755 "$here/i386-pc/init" "$dir/sbin/vx-init"
  mkdir -p "$dir/var/lib/vx"
  return $status
}

make_disk() {
  local dir=$1 out=$2
  cp "$dir"/boot/vmlinuz-* "$out/vmlinuz"
  cp "$dir"/boot/initrd.img-* "$out/initrd.img"
  rm -f "$out/root.img"
  mkfs.ext4 -q -L vx-root -d "$dir" "$out/root.img" 4G
}

