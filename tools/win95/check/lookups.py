"""The run-time lookup rule (--runtime-lookups SRC): every GetProcAddress call
in the C/C++ sources under SRC (a folder, or one file) passes a string literal
that runtime-lookups.txt lists, in a file that names the DLL listed for it; a
SRC without a source file fails, as nothing was checked. Each listed name is
reported as present, a stub or missing on Windows 95."""

import os
import re

SOURCES = (".c", ".cc", ".cpp", ".h", ".hpp")


def calls(text):
    """Yield the argument texts of each GetProcAddress call in C/C++ text, comments removed."""
    text = re.sub(r"//[^\n]*|/\*.*?\*/", " ", text, flags=re.S)
    for m in re.finditer(r"\bGetProcAddress\s*\(", text):
        args, depth, cur, i, quote = [], 0, "", m.end(), None
        while i < len(text):
            c = text[i]
            if quote:
                cur += c
                if c == "\\":
                    cur += text[i + 1]
                    i += 1
                elif c == quote:
                    quote = None
            elif c in "\"'":
                quote = c
                cur += c
            elif c == "(":
                depth += 1
                cur += c
            elif c == ")" and depth:
                depth -= 1
                cur += c
            elif c == ")" or (c == "," and not depth):
                args.append(cur.strip())
                cur = ""
                if c == ")":
                    break
            else:
                cur += c
            i += 1
        yield args


def sources(src):
    if os.path.isfile(src):
        return [src]
    return sorted(os.path.join(root, fn) for root, _dirs, files in os.walk(src)
                  for fn in files if fn.endswith(SOURCES))


def check(src, lists, report):
    paths = sources(src)
    if not paths:
        report.fail("lookup: no C/C++ source file (%s) under %s, so no run-time lookup was checked"
                    % (" ".join(SOURCES), src))
        return
    seen = set()
    for path in paths:
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        rel = os.path.relpath(path, src) if path != src else os.path.basename(path)
        for args in calls(text):
            m = re.fullmatch(r'"([^"\\]*)"', args[1]) if len(args) == 2 else None
            if not m:
                report.fail("lookup: %s passes GetProcAddress %r, not a string literal, which cannot be "
                            "checked" % (rel, ", ".join(args)))
                continue
            name = m.group(1)
            if name not in lists.lookups:
                report.fail("lookup: %s looks up %s, which runtime-lookups.txt does not list" % (rel, name))
                continue
            dll = lists.lookups[name][0]
            if not re.search(r'"%s(\.dll)?"' % dll, text, re.IGNORECASE):
                report.fail("lookup: %s looks up %s but names no %s.DLL, the DLL runtime-lookups.txt gives"
                            % (rel, name, dll))
            seen.add(name)
    for name, (dll, where, without) in sorted(lists.lookups.items()):
        if lists.stub(dll, name):
            state = "Windows 95 exports it only as a stub that fails"
        elif name in lists.exports.get(dll, ()) and (dll, name) not in lists.notin:
            state = "Windows 95 has it"
        else:
            state = "Windows 95 lacks it"
        report.ok("lookup %s!%s: %s; without it Setup %s%s" % (
            dll, name, state, without, "" if name in seen else " (no lookup of it under %s yet; expected in %s)"
            % (src, where)))
