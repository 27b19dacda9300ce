"""The stack rule: a frame of 4 KB or more is taken only through the stack
probe, which touches each page in turn so that the guard page grows the stack;
a frame taken in one step can skip the guard page and fault. The probe is
known by name, from the link map (or from the symbols of a file not stripped):
GCC's `mov $N,%eax; call PROBE; sub %eax,%esp` passes only when PROBE is one
of MinGW's probes, and a call to anything else in its place fails."""

import re

# MinGW's stack probes as the link map names them: libgcc's ___chkstk_ms, which touches the
# pages and leaves the subtraction to its caller, and ___chkstk / __alloca, which also move %esp.
PROBES = {"__chkstk_ms", "___chkstk_ms", "__chkstk", "___chkstk", "_alloca", "__alloca"}
PAGE = 4096
ENTER = re.compile(r"\$0x([0-9a-f]+)")
IMMEDIATE = re.compile(r"\$0x([0-9a-f]+),%(e?[a-d]x|e?[sd]i|e?bp|esp)$")


def check(instructions, linkmap, report):
    probes = linkmap.named(PROBES)
    probes.update(a for a, _m, _o, label in instructions if label and label.split("+")[0] in PROBES)
    probed, failed = [], False
    unnamed = "" if probes else ("; without --map nothing names the probe" if not linkmap.symbols
                                 else "; the link map names no probe in this file")

    def fail(text):
        nonlocal failed
        failed = True
        report.fail("stack: " + text)

    pending = None                    # [size, address, the last other call] since `mov $N,%eax`
    for addr, mnem, ops, label in instructions:
        m = IMMEDIATE.match(ops)
        size = int(m.group(1), 16) if m else 0
        where = linkmap.where(addr, label)
        if mnem in ("sub", "subl") and m and m.group(2) == "esp" and size >= PAGE:
            fail("frame of %d bytes at 0x%x in %s taken without the stack probe" % (size, addr, where))
        elif mnem in ("add", "addl") and m and m.group(2) == "esp" and size >= 0x80000000 \
                and 0x100000000 - size >= PAGE:
            fail("frame of %d bytes at 0x%x in %s taken without the stack probe"
                 % (0x100000000 - size, addr, where))
        elif mnem == "enter" and (e := ENTER.match(ops)) and int(e.group(1), 16) >= PAGE:
            fail("enter of a frame of 4 KB or more at 0x%x in %s" % (addr, where))
        elif mnem == "mov" and m and m.group(2) == "eax" and size >= PAGE:
            pending = [size, addr, None]
        elif mnem == "call" and pending:
            target = re.match(r"(?:0x)?([0-9a-f]+)", ops)
            target = int(target.group(1), 16) if target else None
            if target in probes:
                probed.append("%d bytes in %s through %s" % (pending[0], where, linkmap.where(target, ops)))
                pending = None
            else:
                pending[2] = (addr, target, ops)
        elif mnem == "sub" and ops == "%eax,%esp" and pending:
            size, start, call = pending
            if call is None:
                fail("frame of %d bytes at 0x%x in %s taken without the stack probe"
                     % (size, start, linkmap.where(start, label)))
            else:
                named = linkmap.where(call[1], call[2]) if call[1] is not None and linkmap.symbols else call[2]
                fail("frame of %d bytes at 0x%x in %s: the call at 0x%x before it goes to %s, not to the "
                     "stack probe (%s)%s" % (size, start, linkmap.where(start, label), call[0], named,
                                             " or ".join(sorted(PROBES)), unnamed))
            pending = None
        elif mnem == "ret":
            pending = None
    if not failed:
        report.ok("stack: %d frame(s) of 4 KB or more, each through the stack probe%s"
                  % (len(probed), "".join("; " + p for p in probed)))
