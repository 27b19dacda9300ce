"""The processor rule: `objdump -d` disassembles every code section, and the
check fails when it read no instruction at all, when bytes decode as no
instruction ((bad)) outside the data the link map names, and on any instruction
a 486 lacks."""

import re
import subprocess

# Instructions that a 486 lacks, by objdump's AT&T mnemonic: the Pentium's
# (rdtsc, cmpxchg8b, the model-specific registers; cpuid only on late 486s),
# the Pentium Pro's (cmov, fcmov, fcomi, ud2, the multi-byte nop and the other
# hint nops of 0f 18-1f, endbr32 among them) and everything later. A Pentium
# or a 486 stops such a program with an invalid-opcode fault; Wine and the
# emulated PC, on modern processors, never show it.
NOT_ON_486 = [
    (re.compile(r"(rdtscp?|cmpxchg8b|rdmsr|wrmsr|rsm|cpuid)$"), "first in the Pentium"),
    (re.compile(r"(cmov\w+|fcmov\w+|fu?comip?|ud[012]|rdpmc|sysenter|sysexit|nop[wl]|endbr32|prefetch\w*)$"),
     "first in the Pentium Pro"),
    (re.compile(r"(emms|femms|fxsave|fxrstor|ldmxcsr|stmxcsr|[slm]fence|clflush\w*|movnti|popcnt|lzcnt|tzcnt|"
                r"movbe|crc32\w*|rdrand|rdseed|xgetbv)$"), "MMX, SSE or later"),
]
# Operands that only MMX, SSE and AVX have.
VECTOR_REG = re.compile(r"%(mm\d|[xyz]mm\d+|k[0-7])\b")
PREFIXES = {"lock", "rep", "repz", "repe", "repnz", "repne", "data16", "data32", "addr16", "addr32",
            "cs", "ds", "es", "ss", "fs", "gs", "notrack", "bnd"}


def disassemble(prog, path, linkmap):
    """(instructions, undecodable): each instruction as (address, mnemonic, operands, label),
    and the addresses of the bytes objdump decodes as nothing; decodes within the data that
    the link map names are neither."""
    out = subprocess.run([prog, "-d", "--no-show-raw-insn", path], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, universal_newlines=True, check=True).stdout
    label, instructions, undecodable = None, [], []
    for line in out.splitlines():
        m = re.match(r"^[0-9a-f]+ <(.+)>:$", line)
        if m:
            label = m.group(1)
            continue
        m = re.match(r"^\s*([0-9a-f]+):\t(.*)$", line)
        if not m:
            continue
        addr, words = int(m.group(1), 16), m.group(2).split()
        while words and words[0] in PREFIXES:
            words.pop(0)
        if not words or linkmap.in_data(addr):
            continue
        if words[0] == "(bad)":
            undecodable.append((addr, label))
        else:
            instructions.append((addr, words[0], " ".join(words[1:]), label))
    return instructions, undecodable


def kind_of(mnem, ops):
    """Why a 486 lacks this instruction, or None."""
    kind = next((k for rx, k in NOT_ON_486 if rx.match(mnem)), None)
    if kind is None and VECTOR_REG.search(ops):
        kind = "MMX, SSE or later"
    if kind is None and mnem == "nop" and ops:
        kind = "first in the Pentium Pro"  # the multi-byte nop, written without a size suffix
    return kind


def check(path, instructions, undecodable, linkmap, report):
    if not instructions:
        report.fail("processor: no instruction disassembled in %s: objdump found no code to read, so "
                    "nothing was checked (a code section not marked as code, or an objdump for another "
                    "format)" % path)
        return
    found = {}                        # (function, mnemonic) -> [first address, kind, count]
    for addr, mnem, ops, label in instructions:
        kind = kind_of(mnem, ops)
        if kind:
            found.setdefault((linkmap.where(addr, label), mnem), [addr, kind, 0])[2] += 1
    for addr, label in undecodable:
        found.setdefault((linkmap.where(addr, label), "(bad)"), [addr, None, 0])[2] += 1
    for (func, mnem), (addr, kind, n) in sorted(found.items(), key=lambda kv: kv[1][0]):
        more = " and %d more there" % (n - 1) if n > 1 else ""
        if kind:
            report.fail("processor: %s (%s; a 486 lacks it) at 0x%x in %s%s" % (mnem, kind, addr, func, more))
        else:
            report.fail("processor: bytes at 0x%x in %s%s decode as no instruction (objdump's (bad)), and "
                        "the link map names no data there: code no processor runs, or data the check "
                        "cannot tell from code%s" % (addr, func, more,
                                                    "" if linkmap.symbols else " (give --map)"))
    if not found:
        report.ok("processor: %d instructions disassembled, none that a 486 lacks, every byte decoded"
                  % len(instructions))
