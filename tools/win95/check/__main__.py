"""python3 tools/win95/check [options] FILE.EXE -- does a 32-bit PE only import what
Windows 95 RTM exports, and run on its loader and a 486?

Parses the PE headers and the import (and delay-import) tables itself (Python 3
standard library only), prints every imported DLL!function, and checks, one
module a rule (tools/win95/README.md):

  * header: i386, PE32, GUI or console subsystem, subsystem version and OS
    version at most 4.0, section alignment 4 KB, file alignment 512 bytes, and
    no TLS, load-configuration, bound-import or delay-import directory;
  * imports: only KERNEL32, USER32, GDI32, ADVAPI32, COMCTL32, LZ32, OLE32, by
    name, none listed in not-in-win95.txt, each in its DLL's exports-<dll>.txt;
    stubs-win95.txt's (exported but not implemented) are WARN lines, failures
    under --fail-on-stubs;
  * with --objdump: the import table agrees with `objdump -p`; `objdump -d`
    reads some code, every byte outside the linker's own data (from --map)
    decodes, no instruction is one a 486 lacks, and every frame of 4 KB or
    more is taken through the stack probe, named by the map;
  * with --runtime-lookups: every name passed to GetProcAddress in the sources
    is a string literal that runtime-lookups.txt lists, in a file naming its
    DLL, and each is reported as present, a stub or missing on Windows 95.

Output: one "import DLL!name" line per import, one "FAIL: ..." line per
problem, "WARN: ..." lines, and a last line "N passed, M failed".
Exit status: 0 when M == 0, 1 otherwise (also for unreadable/non-PE input),
2 for a wrong command line.

Options:
    --lists DIR          the folder of exports-*.txt, not-in-win95.txt,
                         stubs-win95.txt and runtime-lookups.txt
                         (default: tools/win95, the package's parent)
    --fail-on-stubs      count stub imports as failures
    --no-header-checks   skip the header checks
    --objdump PROG       e.g. i686-w64-mingw32-objdump: the cross-check, the
                         processor and the stack
    --map FILE           GNU ld map of the link: names the function an
                         instruction lies in, the stack probe, and the data
                         the linker puts among the code
    --runtime-lookups SRC  check the GetProcAddress names of the C/C++ sources
                         under SRC (a folder or a file)
    --check-lists        only validate the list files (overlaps, syntax)
    --emit-stub-strings OUT  only write stubs-win95.txt as C string literals
                         to OUT, for the Windows 95 personality's build
"""

import os
import struct
import subprocess
import sys

if not __package__:             # run as `python3 tools/win95/check`: import the package by name
    sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from check import Report, header, imports, lists as list_files, lookups, processor, stack  # noqa: E402
from check.linkmap import LinkMap  # noqa: E402
from check.pe import PE, PEError  # noqa: E402

OPTIONS = {"--lists": "lists", "--objdump": "objdump", "--map": "map", "--runtime-lookups": "src",
           "--emit-stub-strings": "emit"}
FLAGS = {"--fail-on-stubs": "fail_on_stubs", "--no-header-checks": "no_header", "--check-lists": "only_lists"}


def parse(argv):
    opts = dict.fromkeys(list(OPTIONS.values()) + list(FLAGS.values()))
    opts["lists"] = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    files, args = [], list(argv)
    while args:
        a = args.pop(0)
        if a in OPTIONS and args:
            opts[OPTIONS[a]] = args.pop(0)
        elif a in FLAGS:
            opts[FLAGS[a]] = True
        elif a in ("-h", "--help"):
            return None, None
        elif a.startswith("--"):
            raise ValueError("unknown option %s, or one without its value" % a)
        else:
            files.append(a)
    return opts, files


def main(argv):
    try:
        opts, files = parse(argv)
    except ValueError as e:
        print(e, file=sys.stderr)
        return 2
    if opts is None:
        print(__doc__)
        return 0
    try:
        lists = list_files.load(opts["lists"])
    except (OSError, ValueError) as e:
        print("FAIL: cannot load lists from %s: %s" % (opts["lists"], e))
        print("0 passed, 1 failed")
        return 1
    if opts["emit"]:
        list_files.emit_stub_strings(lists, opts["emit"])
        return 0
    report = Report()
    problems = list_files.consistency(lists)
    if opts["only_lists"]:
        for p in problems:
            report.fail(p)
        report.ok("lists: %s; not-in entries %d, whole DLLs %d, stubs %d" % (
            ", ".join("%s=%d" % (k, len(v)) for k, v in sorted(lists.exports.items())),
            len(lists.notin), len(lists.whole), len(lists.stubs)))
        return report.finish()
    for p in problems:
        report.fail("list inconsistency: " + p)
    if len(files) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    path = files[0]
    try:
        with open(path, "rb") as f:
            pe = PE(f.read())
        imps = pe.imports()
    except (OSError, PEError, struct.error) as e:
        report.fail("%s: %s" % (path, e))
        return report.finish()

    if not opts["no_header"]:
        header.check(pe, report)
    imports.check(imps, lists, opts["fail_on_stubs"], report)
    if opts["src"]:
        lookups.check(opts["src"], lists, report)
    elif any(n == "GetProcAddress" for _k, _d, _o, n in imps):
        report.warn("note: the program imports GetProcAddress; give --runtime-lookups SRC to check "
                    "the names it looks up")
    if opts["objdump"]:
        imports.cross_check(opts["objdump"], path, imps, report)
        try:
            linkmap = LinkMap(opts["map"])
            code, undecodable = processor.disassemble(opts["objdump"], path, linkmap)
        except (OSError, subprocess.CalledProcessError) as e:
            report.fail("processor check could not run: %s" % e)
        else:
            processor.check(path, code, undecodable, linkmap, report)
            stack.check(code, linkmap, report)
    return report.finish()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
