#!/usr/bin/env python3
"""Makes a MinGW build's compile_commands.json readable by clang-tidy.

    lint_compile_db.py IN.json OUT_DIR

clang parses the Win32 sources with the MinGW headers, but it neither knows
GCC's -fno-tree-loop-distribute-patterns nor finds MinGW's C++ library headers
by itself. Each entry loses the one and gets the other: the C++ library's
include directories, asked of the compiler, as -isystem options.
"""
import json
import os
import shlex
import subprocess
import sys

GCC_ONLY = {"-fno-tree-loop-distribute-patterns"}


def include_dirs(compiler):
    probe = subprocess.run([compiler, "-E", "-x", "c++", "-", "-v"], input="", capture_output=True, text=True)
    lines = probe.stderr.splitlines()
    start = lines.index("#include <...> search starts here:") + 1
    end = lines.index("End of search list.")
    # Only the C++ library's: GCC's own intrinsics headers are not clang's.
    return [os.path.normpath(line.strip()) for line in lines[start:end] if "/c++" in line]


def main():
    source, out_dir = sys.argv[1], sys.argv[2]
    with open(source) as f:
        entries = json.load(f)
    cache = {}
    # Resource scripts are compiled by windres; there is nothing to lint.
    entries = [entry for entry in entries if not entry["file"].endswith(".rc")]
    for entry in entries:
        words = shlex.split(entry["command"])
        compiler = words[0]
        if compiler not in cache:
            cache[compiler] = include_dirs(compiler)
        extra = [option for directory in cache[compiler] for option in ("-isystem", directory)]
        words = [words[0]] + extra + [word for word in words[1:] if word not in GCC_ONLY]
        entry["command"] = shlex.join(words)
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "compile_commands.json"), "w") as f:
        json.dump(entries, f, indent=1)


if __name__ == "__main__":
    main()
