#!/usr/bin/env bash
# Installs, once and idempotently, everything the build and the tests need on Debian 12.
# Run as root. A second run finds everything present and returns quickly.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest libgtest-dev libgmock-dev python3 python3-pil fonts-dejavu-core
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  xvfb xauth x11-utils x11-apps imagemagick
  mscompress mtools liblnk-utils
  clang libclang-rt-14-dev time
  clang-format clang-tidy clang-tools
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run this script as root" >&2
  exit 1
fi

# The end-to-end tests run the x86-64 build of SETUP.EXE under wine64: it needs no
# 32-bit Linux libraries, and machines whose kernel runs no 32-bit code (such as
# this project's CI) can run it. So no i386 architecture and no wine32.
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
