"""The Windows 95 check: does a 32-bit PE load and run on Windows 95 RTM on a 486?

One module a rule, run by __main__ (python3 tools/win95/check --help):

  pe         reads the PE headers and the import tables (no rule of its own)
  lists      reads the list files of tools/win95/, the one reader of them
  header     the header rule
  imports    the import rules, and the cross-check against objdump -p
  linkmap    reads the GNU ld map: names and the data the linker put in code
  processor  disassembles the code: no instruction a 486 lacks, every byte decoded
  stack      frames of 4 KB or more only through the stack probe
  lookups    the names passed to GetProcAddress in the sources
"""

ALLOWED = ("KERNEL32", "USER32", "GDI32", "ADVAPI32", "COMCTL32", "LZ32", "OLE32")


def dll_key(name):
    """'kernel32.dll' -> 'KERNEL32' (case-insensitive, .DLL suffix optional)."""
    base = name.strip().replace("\\", "/").split("/")[-1]
    if base.upper().endswith(".DLL"):
        base = base[:-4]
    return base.upper()


class Report:
    """What the rules found: lines printed as they come, then the warnings, the
    failures and the count."""

    def __init__(self):
        self.passed = 0
        self.warnings = []
        self.failures = []

    def ok(self, line=None):
        """A check that passed, printed when it has a line."""
        if line:
            print(line)
        self.passed += 1

    def warn(self, line):
        self.warnings.append(line)

    def fail(self, line):
        self.failures.append("FAIL: " + line)

    def finish(self):
        for line in self.warnings + self.failures:
            print(line)
        print("%d passed, %d failed" % (self.passed, len(self.failures)))
        return 1 if self.failures else 0
