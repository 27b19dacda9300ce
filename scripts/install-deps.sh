#!/usr/bin/env bash
# Installs, once and idempotently, everything the build and the tests need on Debian 12.
# Run as root. A second run finds everything present and returns quickly.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest libgtest-dev libgmock-dev python3 python3-pil fonts-dejavu-core
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 fonts-wine
  xvfb xauth x11-utils x11-apps imagemagick
  mscompress mtools liblnk-utils
  clang libclang-rt-14-dev time
  clang-format clang-tidy clang-tools
)

# The product, the i686 SETUP.EXE, runs on the machine's 32-bit route
# (scripts/i386-pc.sh): under Debian's wine32 where the kernel runs 32-bit code,
# else in an emulated i386 PC built from Debian packages.
route=$(bash "$(dirname "$0")/i386-pc.sh" route)
if [ "$route" = native ]; then
  packages+=(wine32:i386)
else
  packages+=(qemu-system-x86 qemu-user-static debootstrap e2fsprogs)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run this script as root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ "$route" = native ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
