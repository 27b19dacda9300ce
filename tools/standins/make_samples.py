#!/usr/bin/env python3
"""Writes the driver files of the installation disk that are not programs.

vxmouse.vxd and vxmouse.hlp are sample data, not a working driver or help file:
they only carry the leading bytes of their kinds and a recognisable text, so that
a test can tell them apart and check that Setup put them in place unchanged.
vxmouse.inf is written from its template with CR LF line ends, as Windows reads
INF files, whatever line ends the template has in the source tree.

Every byte follows from this script alone, so two builds give identical disks.
"""
import argparse
import pathlib
import struct

VXD_SIZE = 6144
HLP_SIZE = 3072


def filler(seed, length):
    """Deterministic bytes: a linear congruential sequence, every fourth byte
    repeated from the one before, so LZ compression finds something to do."""
    out = bytearray()
    state = seed
    while len(out) < length:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        byte = (state >> 16) & 0xFF
        out.append(out[-1] if out and len(out) % 4 == 3 else byte)
    return bytes(out)


def pad(data, size, seed):
    if len(data) > size:
        raise SystemExit(f"sample content of {len(data)} bytes exceeds {size}")
    return data + filler(seed, size - len(data))


def vxd_sample():
    # A DOS header whose e_lfanew (offset 0x3C) points at an "LE" signature, as a
    # Windows 95 virtual device driver has; the rest is text and filler.
    header = bytearray(0x80)
    header[0:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x80)
    stub = b"This program cannot be run in DOS mode.\r\n$"
    header[0x40:0x40 + len(stub)] = stub
    body = (b"LE\x00\x00"
            + b"\x00" * 12
            + b"VXMOUSE sample data: stand-in of the Tarvik mouse driver "
              b"vxmouse.vxd, version 2.18, Ulvane Systems. It holds no code.\x00")
    return pad(bytes(header) + body, VXD_SIZE, 0x5658)


def hlp_sample():
    # The WinHelp header: magic bytes 3F 5F 03 00, directory start, first free
    # block (none) and the whole file size.
    header = struct.pack("<4sIiI", b"\x3f\x5f\x03\x00", 16, -1, HLP_SIZE)
    body = (b"Tarvik Win95 Driver Plug and Play V2.18 - Help\x00"
            b"VXMOUSE sample data: stand-in of the mouse driver's help file.\x00"
            b"Double-click speed, pointer size and button assignment are set "
            b"in the Vantrix Studio Station.\x00")
    return pad(header + body, HLP_SIZE, 0x484C)


def inf_text(template):
    lines = template.read_text(encoding="ascii").splitlines()
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--inf-template", required=True, type=pathlib.Path)
    parser.add_argument("--out-dir", required=True, type=pathlib.Path)
    args = parser.parse_args()

    args.out_dir.mkdir(parents=True, exist_ok=True)
    (args.out_dir / "vxmouse.vxd").write_bytes(vxd_sample())
    (args.out_dir / "vxmouse.hlp").write_bytes(hlp_sample())
    (args.out_dir / "vxmouse.inf").write_bytes(inf_text(args.inf_template))


if __name__ == "__main__":
    main()
