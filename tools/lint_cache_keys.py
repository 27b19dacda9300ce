#!/usr/bin/env python3
"""Keys of the lint gate's remembered clean clang-tidy results.

    lint_cache_keys.py DATABASE_DIR ROOT REGEX SALT

Prints "KEY FILE" for every file of DATABASE_DIR/compile_commands.json whose
absolute path matches REGEX, the files run-clang-tidy would choose. A key is a
hash of SALT (what every file's result depends on), the file's content and all
of its compile commands: clang-tidy reads a file once for each. ROOT, the
checkout, is taken out of the commands, so that another clone on the same
machine gets the same keys for the same sources.
"""
import hashlib
import json
import os
import re
import sys


def main():
    database, root, regex, salt = sys.argv[1:5]
    with open(os.path.join(database, "compile_commands.json")) as f:
        entries = json.load(f)
    commands = {}
    for entry in entries:
        path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
        if re.search(regex, path):
            command = entry.get("command") or " ".join(entry["arguments"])
            commands.setdefault(path, []).append(entry["directory"] + "\n" + command)
    for path in sorted(commands):
        key = hashlib.sha256(salt.encode())
        key.update(os.path.relpath(path, root).encode() + b"\n")
        with open(path, "rb") as f:
            key.update(f.read())
        for command in sorted(commands[path]):
            key.update(b"\n" + command.replace(root + "/", "@ROOT@/").encode())
        print(key.hexdigest(), path)


if __name__ == "__main__":
    main()
