#!/usr/bin/env python3
"""patch_pe.py IN OUT WHAT: a copy of a built PE with one header field changed, for the samples
no linker option makes (selftest.sh). WHAT is
  dir=N  data directory N (10 load configuration, 11 bound import, 13 delay import) pointed
         at 64 zero bytes of the header's padding: present, and empty to whatever reads it;
  code   the code section's flags set to initialised read-only data, so objdump -d finds no code."""
import struct
import sys

src, out, what = sys.argv[1:4]
pe = bytearray(open(src, "rb").read())
head = struct.unpack_from("<I", pe, 0x3C)[0]
nsec, optsize = struct.unpack_from("<H", pe, head + 6)[0], struct.unpack_from("<H", pe, head + 20)[0]
opt, table = head + 24, head + 24 + optsize
if what.startswith("dir="):
    padding = struct.unpack_from("<I", pe, opt + 60)[0] - 64         # SizeOfHeaders, less 64 bytes
    assert padding >= table + 40 * nsec and not any(pe[padding:padding + 64]), "no zero padding"
    struct.pack_into("<II", pe, opt + 96 + 8 * int(what[4:]), padding, 64)
elif what == "code":
    for i in range(nsec):
        flags = table + 40 * i + 36
        if struct.unpack_from("<I", pe, flags)[0] & 0x20:                 # IMAGE_SCN_CNT_CODE
            struct.pack_into("<I", pe, flags, 0x40000040)               # initialised data, read
open(out, "wb").write(pe)
