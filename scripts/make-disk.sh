#!/usr/bin/env bash
# Lays out the installation disk: SETUP.EXE and the six package files, the three
# programs compressed with mscompress (the SZDD format that LZ32 expands), and a
# 1.44 MB FAT12 floppy image of the same files made with mtools (none when IMAGE
# is empty).
#
#   make-disk.sh DISK_DIR IMAGE SETUP.EXE vp95.exe vpicon.exe vp95dll.dll vxmouse.vxd vxmouse.inf vxmouse.hlp
set -euo pipefail
disk=$1 image=$2 setup=$3
shift 3
[ $# -eq 6 ] || { echo "make-disk: expected the six package files" >&2; exit 2; }

rm -rf "$disk"
mkdir -p "$disk"
cp "$setup" "$disk/SETUP.EXE"

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
for program in "$1" "$2" "$3"; do
  name=$(basename "$program")
  cp "$program" "$staging/$name"
  # mscompress writes NAME_ beside NAME; the disk's name replaces the last
  # character of the extension with the underscore instead (vp95.exe -> vp95.ex_).
  mscompress "$staging/$name"
  mv "$staging/${name}_" "$disk/${name%?}_"
done
for plain in "$4" "$5" "$6"; do
  cp "$plain" "$disk/$(basename "$plain")"
done

[ -n "$image" ] || exit 0
rm -f "$image"
mformat -i "$image" -C -f 1440 -v VANTRIX ::
mcopy -i "$image" "$disk"/* ::
