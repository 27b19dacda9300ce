"""The list files of tools/win95/, read here and nowhere else: the check reads them,
and the build has the stub list written out as C strings for the Windows 95
personality (--emit-stub-strings, called by cmake/win95-personality.cmake).

Every list: one entry a line, '#' starts a comment line, blank lines and the
blanks (spaces, tabs) around each '|'-separated field are dropped, DLL names are
taken in any case ('kernel32', 'KERNEL32.DLL')."""

import os
import re

from check import ALLOWED, dll_key


class Lists:
    def __init__(self, exports, notin, whole, stubs, stub_rules, stub_ok, lookups, stub_order):
        self.exports = exports          # DLL -> set of names
        self.notin = notin              # (DLL, name) -> why Windows 95 lacks it
        self.whole = whole              # DLL -> why Windows 95 lacks the whole DLL
        self.stubs = stubs              # (DLL, name) -> what the stub does and the source
        self.stub_rules = stub_rules    # DLL -> the DLL!*W rule's text
        self.stub_ok = stub_ok          # {(DLL, name)}: Unicode functions Windows 95 implements
        self.lookups = lookups          # name -> (DLL, where, what Setup does without it)
        self.stub_order = stub_order    # the stub list's entries as written, "DLL!Name"

    def stub(self, dll, name):
        """Why DLL!name is a stub on Windows 95, or None."""
        if (dll, name) in self.stubs:
            return self.stubs[(dll, name)]
        if dll in self.stub_rules and re.search(r"[a-z0-9]W$", name) and (dll, name) not in self.stub_ok:
            return self.stub_rules[dll]
        return None


def read_lines(path):
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.strip()
            if line and not line.startswith("#"):
                yield line


def fields(path, line, least):
    """The '|'-separated fields of a list line, its first as (DLL, name)."""
    parts = [p.strip() for p in line.split("|")]
    if len(parts) < least or "!" not in parts[0]:
        raise ValueError("%s: want 'DLL!Function | ...' with %d fields, got %r"
                         % (os.path.basename(path), least, line))
    dll, fn = parts[0].split("!", 1)
    return dll_key(dll), fn.strip(), parts[1:]


def load(d):
    exports = {}
    for fn in sorted(os.listdir(d)):
        m = re.fullmatch(r"exports-([A-Za-z0-9_]+)\.txt", fn)
        if m:
            names = set()
            for line in read_lines(os.path.join(d, fn)):
                if not re.fullmatch(r"[A-Za-z_?@$][\w?@$]*", line):
                    raise ValueError("%s: bad name %r" % (fn, line))
                names.add(line)
            exports[m.group(1).upper()] = names
    missing = [dll for dll in ALLOWED if dll not in exports]
    if missing:
        raise ValueError("no exports-%s.txt: every allowed DLL needs its Windows 95 export list"
                         % missing[0].lower())
    notin, whole = {}, {}
    path = os.path.join(d, "not-in-win95.txt")
    for line in read_lines(path):
        dll, fn, rest = fields(path, line, 3)
        info = "added in: %s; source: %s" % (rest[0], " | ".join(rest[1:]))
        if fn == "*":
            whole[dll] = info
        else:
            notin.setdefault((dll, fn), info)
    stubs, stub_rules, stub_ok, order = {}, {}, set(), []
    path = os.path.join(d, "stubs-win95.txt")
    for line in read_lines(path):
        dll, fn, rest = fields(path, line, 3)
        if not re.fullmatch(r"\*W|\+?[A-Za-z_][\w?@$]*", fn):
            raise ValueError("stubs-win95.txt: bad name %r" % fn)
        info = "%s; source: %s" % (rest[0], " | ".join(rest[1:]))
        order.append("%s!%s" % (dll, fn))
        if fn == "*W":
            stub_rules[dll] = info
        elif fn.startswith("+"):
            stub_ok.add((dll, fn[1:]))
        else:
            stubs[(dll, fn)] = info
    lookups = {}
    path = os.path.join(d, "runtime-lookups.txt")
    for line in read_lines(path):
        dll, fn, rest = fields(path, line, 3)
        if len(rest) != 2 or not rest[1]:
            raise ValueError("runtime-lookups.txt: want 'DLL!Function | where | what Setup does "
                             "without it', got %r" % line)
        lookups[fn] = (dll, rest[0], rest[1])
    return Lists(exports, notin, whole, stubs, stub_rules, stub_ok, lookups, order)


def consistency(lists):
    """Problems between the lists: a name both exported and missing, a stub Windows 95 does not export."""
    problems = []
    for (dll, fn) in lists.notin:
        if fn in lists.exports.get(dll, ()):
            problems.append("%s!%s is both in exports-%s.txt and in not-in-win95.txt" % (dll, fn, dll.lower()))
    for (dll, fn) in lists.stubs:
        if (dll, fn) in lists.notin:
            problems.append("%s!%s is both a stub and not-in" % (dll, fn))
        if dll in lists.exports and fn not in lists.exports[dll]:
            problems.append("stub %s!%s is not in exports-%s.txt" % (dll, fn, dll.lower()))
    return problems


def emit_stub_strings(lists, out):
    """Write the stub list as C string literals, one a line ("KERNEL32!MoveFileExA",), for
    the personality's table; the file is rewritten only when its text changes."""
    text = "".join('"%s",\n' % entry for entry in lists.stub_order)
    try:
        with open(out, encoding="utf-8") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, "w", encoding="utf-8") as f:
        f.write(text)
