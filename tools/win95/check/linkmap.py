"""The GNU ld map of the link (--map; the windows build writes SETUP.map): the
names of addresses, and the data the linker script itself puts among the code
(the constructor and destructor lists at the end of .text, as LONG entries)."""

import bisect
import re

SECTION = re.compile(r"^ (\S+)?\s+0x([0-9a-fA-F]+)\s+0x[0-9a-fA-F]+\s+(\S.*)$")
SYMBOL = re.compile(r"^\s+0x([0-9a-fA-F]+)\s+(?!0x)(\S.*?)(?:\s+=\s+.*)?$")
DATA = re.compile(r"^\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+)\s+(?:BYTE|SHORT|LONG|QUAD|SQUAD) ")


class LinkMap:
    def __init__(self, path=None):
        self.symbols = {}     # address -> name: symbols, assignments, else the input section's file
        self.data = []        # sorted (start, end) of the linker's own data
        if path:
            self._read(path)
        self._addrs = sorted(self.symbols)

    def _read(self, path):
        files = {}
        with open(path, encoding="latin-1") as f:
            for line in f:
                m = DATA.match(line)
                if m:
                    start = int(m.group(1), 16)
                    self.data.append((start, start + int(m.group(2), 16)))
                    continue
                m = SECTION.match(line)
                if m:
                    files.setdefault(int(m.group(2), 16), m.group(3).split("/")[-1])
                    continue
                m = SYMBOL.match(line)
                if m and not m.group(2).startswith(("*", "[")):
                    self.symbols.setdefault(int(m.group(1), 16), m.group(2))
        for addr, name in files.items():
            self.symbols.setdefault(addr, "(%s)" % name)
        self.data.sort()

    def where(self, addr, label=None):
        """The name of the function (or the input file) that addr lies in."""
        i = bisect.bisect_right(self._addrs, addr) - 1
        return self.symbols[self._addrs[i]] if i >= 0 else (label or "?")

    def named(self, names):
        """The addresses the map gives any of these names."""
        return set(a for a, n in self.symbols.items() if n in names)

    def in_data(self, addr):
        i = bisect.bisect_right(self.data, (addr, float("inf"))) - 1
        return i >= 0 and self.data[i][0] <= addr < self.data[i][1]
