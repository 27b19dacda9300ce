"""The import rules: only the seven DLLs, only by name, only what Windows 95 RTM
exports, and (with --fail-on-stubs) nothing it exports only as a stub; and the
parsed import table agrees with objdump's."""

import re
import subprocess

from check import ALLOWED, dll_key


def check(imps, lists, fail_on_stubs, report):
    reported = set()
    for kind, dll, ordinal, name in imps:
        key = dll_key(dll)
        label = "%s!%s" % (dll, name if name is not None else "#%d" % ordinal)
        tag = " (delay-load)" if kind == "delay" else ""
        print("import %s%s" % (label, tag))
        reasons = []
        if key not in ALLOWED or key in lists.whole:
            if key in reported:
                reasons.append("%s: DLL not allowed (see first %s line)" % (dll, dll))
            else:
                reported.add(key)
                if key in lists.whole:
                    reasons.append("%s is not part of Windows 95 RTM (%s)" % (dll, lists.whole[key]))
                if key not in ALLOWED:
                    reasons.append("%s is not one of the allowed DLLs (%s)" % (dll, ", ".join(ALLOWED)))
        if ordinal is not None:
            reasons.append("import by ordinal %d (cannot be checked against the Windows 95 name lists; "
                           "ordinals are version-specific; import by name)" % ordinal)
        elif (key, name) in lists.notin:
            reasons.append("not exported by Windows 95 RTM: %s" % lists.notin[(key, name)])
        elif key in ALLOWED and name not in lists.exports[key]:
            reasons.append("not in exports-%s.txt (Windows 95 RTM %s.DLL named exports)" % (key.lower(), key))
        if reasons:
            report.fail("%s%s: %s" % (label, tag, "; ".join(reasons)))
            continue
        stub = lists.stub(key, name) if name is not None else None
        if stub and fail_on_stubs:
            report.fail("%s%s: exported but not implemented on Windows 95: %s" % (label, tag, stub))
            continue
        if stub:
            report.warn("WARN: %s%s: exported but not implemented on Windows 95: %s" % (label, tag, stub))
        report.ok()


def objdump_imports(prog, path):
    """The import table as `objdump -p` reads it: {(DLL, name or '#ordinal')}."""
    out = subprocess.run([prog, "-p", path], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         universal_newlines=True, check=True).stdout
    res, dll, in_imports = set(), None, False
    for line in out.splitlines():
        if line.startswith("The Import Tables"):
            in_imports = True
            continue
        if line.startswith(("The Export Tables", "The Function Table", "PE File Base Relocations", "The .rsrc")):
            in_imports = False
        if not in_imports:
            continue
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = dll_key(m.group(1))
            continue
        if not dll or line.strip().startswith("vma:"):
            continue
        # "\t80000011\t   17  <none>"  (by ordinal)   "\t405c\t  355  ExitProcess"  (by name)
        m = re.match(r"\t([0-9a-fA-F]+)\t\s*(\d+)\s+(\S+)(\s+\S+)?\s*$", line)
        if m:
            if int(m.group(1), 16) & 0x80000000 and m.group(3) == "<none>":
                res.add((dll, "#%d" % int(m.group(2))))
            else:
                res.add((dll, m.group(3)))
    return res


def cross_check(prog, path, imps, report):
    try:
        theirs = objdump_imports(prog, path)
    except (OSError, subprocess.CalledProcessError) as e:
        report.fail("objdump cross-check could not run: %s" % e)
        return
    mine = set((dll_key(d), n if n is not None else "#%d" % o) for k, d, o, n in imps if k == "import")
    if theirs == mine:
        report.ok("objdump cross-check: %d imports agree" % len(mine))
    else:
        report.fail("objdump cross-check differs: only here %s; only objdump %s"
                    % (sorted(mine - theirs)[:10], sorted(theirs - mine)[:10]))
