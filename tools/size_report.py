#!/usr/bin/env python3
"""Size report of SETUP.EXE and of the installation disk.

    size_report.py SETUP.EXE                 bytes of the file, split into code, data and resources
    size_report.py --disk DISK_DIR IMAGE     the disk's total and the room left on the floppy image
"""
import os
import struct
import subprocess
import sys

SECTION_KINDS = {".text": "code", ".rsrc": "resources"}


def sections(path):
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit(f"{path}: not a PE file")
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    for i in range(count):
        name, _vsize, _vaddr, raw_size = struct.unpack_from("<8sIII", data, table + 40 * i)
        yield name.rstrip(b"\0").decode("ascii", "replace"), raw_size


def report_exe(path):
    total = os.path.getsize(path)
    kinds = {"code": 0, "data": 0, "resources": 0}
    for name, size in sections(path):
        kinds[SECTION_KINDS.get(name, "data")] += size
    headers = total - sum(kinds.values())
    print(f"size report: SETUP.EXE {total} bytes = code {kinds['code']} + data {kinds['data']}"
          f" + resources {kinds['resources']} + headers {headers}")


def report_disk(disk, image):
    files = sorted(os.listdir(disk))
    total = sum(os.path.getsize(os.path.join(disk, f)) for f in files)
    print(f"size report: disk {len(files)} files, {total} bytes: "
          + ", ".join(f"{f} {os.path.getsize(os.path.join(disk, f))}" for f in files))
    listing = subprocess.run(["mdir", "-i", image, "::"], capture_output=True, text=True).stdout
    free_line = next((line.strip() for line in listing.splitlines() if "bytes free" in line), "unknown")
    print(f"size report: floppy image {os.path.getsize(image)} bytes, {free_line}")


def main(argv):
    if len(argv) == 4 and argv[1] == "--disk":
        report_disk(argv[2], argv[3])
    elif len(argv) == 2:
        report_exe(argv[1])
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
