"""The PE headers and the import and delay-import tables, read with the standard library."""

import struct


class PEError(Exception):
    pass


class PE:
    def __init__(self, data):
        self.data = data
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise PEError("not an MZ executable")
        e_lfanew = struct.unpack_from("<I", data, 0x3C)[0]
        if e_lfanew + 24 > len(data) or data[e_lfanew:e_lfanew + 4] != b"PE\0\0":
            raise PEError("no PE signature")
        (self.machine, nsec, _ts, _sym, _nsym, opt_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, e_lfanew + 4)
        opt = e_lfanew + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        if self.magic not in (0x10B, 0x20B):
            raise PEError("unknown optional header magic 0x%x" % self.magic)
        plus = self.magic == 0x20B        # PE32+: a 64-bit image base, 16 more bytes before the directories
        self.section_alignment, self.file_alignment = struct.unpack_from("<II", data, opt + 32)
        self.image_base = struct.unpack_from("<Q" if plus else "<I", data, opt + (24 if plus else 28))[0]
        (self.os_major, self.os_minor, _img_maj, _img_min,
         self.subsys_major, self.subsys_minor) = struct.unpack_from("<HHHHHH", data, opt + 40)
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        nrva = struct.unpack_from("<I", data, opt + (108 if plus else 92))[0]
        ddir = opt + (112 if plus else 96)
        self.thunk_size = 8 if plus else 4
        self.dirs = [struct.unpack_from("<II", data, ddir + 8 * i) for i in range(min(nrva, 16))]
        self.sections = []
        sec = opt + opt_size
        for i in range(nsec):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, sec + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("latin-1"), va, max(vsize, rawsize), rawptr, rawsize))

    def directory(self, index):
        """(RVA, size) of a data directory, (0, 0) when the header has fewer."""
        return self.dirs[index] if index < len(self.dirs) else (0, 0)

    def off(self, rva):
        for _n, va, size, rawptr, rawsize in self.sections:
            if va <= rva < va + size:
                delta = rva - va
                if delta >= rawsize:
                    raise PEError("RVA 0x%x lies in uninitialised data" % rva)
                return rawptr + delta
        # headers
        if rva < len(self.data) and (not self.sections or rva < min(s[1] for s in self.sections)):
            return rva
        raise PEError("RVA 0x%x outside every section" % rva)

    def cstr(self, rva, limit=512):
        o = self.off(rva)
        end = self.data.find(b"\0", o, o + limit)
        if end < 0:
            raise PEError("unterminated string at RVA 0x%x" % rva)
        return self.data[o:end].decode("latin-1")

    def _thunks(self, rva, va_based=False):
        """Yield ('name', hint, name) or ('ordinal', n, None) from a thunk array."""
        fmt = "<I" if self.thunk_size == 4 else "<Q"
        flag = 1 << (8 * self.thunk_size - 1)
        o = self.off(rva)
        for _ in range(100000):
            val = struct.unpack_from(fmt, self.data, o)[0]
            if val == 0:
                return
            if val & flag:
                yield ("ordinal", val & 0xFFFF, None)
            else:
                name_rva = val - self.image_base if va_based else val
                name_rva &= 0x7FFFFFFF
                hint = struct.unpack_from("<H", self.data, self.off(name_rva))[0]
                yield ("name", hint, self.cstr(name_rva + 2))
            o += self.thunk_size
        raise PEError("thunk array too long")

    def imports(self):
        """List of (kind, dll, ordinal_or_None, name); kind is 'import' or 'delay'."""
        out = []
        rva = self.directory(1)[0]
        if rva:
            o = self.off(rva)
            for _ in range(10000):
                oft, _ts, _fwd, name_rva, ft = struct.unpack_from("<IIIII", self.data, o)
                if oft == 0 and name_rva == 0 and ft == 0:
                    break
                dll = self.cstr(name_rva)
                for kind, n, name in self._thunks(oft or ft):
                    out.append(("import", dll, n if kind == "ordinal" else None, name))
                o += 20
        rva = self.directory(13)[0]
        if rva:
            o = self.off(rva)
            for _ in range(10000):
                attrs, name_rva, _hmod, _iat, int_rva, _b, _u, _ts = struct.unpack_from("<8I", self.data, o)
                if name_rva == 0 and int_rva == 0:
                    break
                va_based = not (attrs & 1)       # VC6-style descriptors hold VAs
                if va_based:
                    name_rva -= self.image_base
                    int_rva -= self.image_base
                dll = self.cstr(name_rva)
                for kind, n, name in self._thunks(int_rva, va_based):
                    out.append(("delay", dll, n if kind == "ordinal" else None, name))
                o += 32
        return out
