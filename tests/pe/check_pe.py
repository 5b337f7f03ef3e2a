#!/usr/bin/env python3
"""Checks the shipped PE files, as objdump -p reads them: hardening flags and imports.

  check_pe.py ALLOWED_LIST BUILD=FILE...

BUILD is i686 or x86_64. Every file must keep its relocations and ask for ASLR (dynamic base,
high-entropy on x86_64) and DEP (NX compatible), and import nothing that ALLOWED_LIST does not
hold for its build with an oldest system that build is meant for (i686: Windows 95 or 98; x86_64:
XP x64). A missing file fails: a build that was not made must not pass unseen.
"""
import re
import subprocess
import sys

# Per build: the systems it must load on, objdump's name of its format, and the DllCharacteristics
# it needs: DYNAMIC_BASE (0x40) and NX_COMPAT (0x100), with HIGH_ENTROPY_VA (0x20) on x86_64.
TARGETS = {
    "i686": ({"95", "98"}, "pei-i386", 0x0140),
    "x86_64": ({"XP-x64"}, "pei-x86-64", 0x0160),
}


def read_allowed(path):
    allowed = {}
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            fields = line.split("#", 1)[0].split()
            if fields:
                allowed[(fields[0], fields[1].lower(), fields[2])] = fields[3]
    return allowed


def check(build, path, allowed):
    systems, file_format, wanted = TARGETS[build]
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", path], capture_output=True,
                          text=True, check=False)
    if dump.returncode != 0:
        return [f"cannot read {path}: {dump.stderr.strip()} (build that tree first)"]
    text = dump.stdout
    faults = []
    if f"file format {file_format}" not in text:
        faults.append(f"not a {file_format} file")
    flags = int(re.search(r"^DllCharacteristics\s+([0-9a-f]+)", text, re.M).group(1), 16)
    if flags & wanted != wanted:
        faults.append(f"DllCharacteristics {flags:#06x} lacks {wanted:#06x}")
    relocations = re.search(r"^Entry 5 [0-9a-f]+ ([0-9a-f]+)", text, re.M)
    if "relocations stripped" in text or int(relocations.group(1), 16) == 0:
        faults.append("no base relocations: the loader cannot move the image")
    for table in text.split("\tDLL Name: ")[1:]:
        dll, _, body = table.partition("\n")
        for line in body.split("\n\n", 1)[0].splitlines()[1:]:  # below the "vma:" heading
            function = line.split()[-1]
            oldest = allowed.get((build, dll.lower(), function))
            if oldest is None:
                faults.append(f"imports {dll} {function}, which the allowed list lacks")
            elif oldest not in systems:
                faults.append(f"imports {dll} {function}, which needs {oldest}")
    return faults


def main():
    allowed = read_allowed(sys.argv[1])
    failed = False
    for argument in sys.argv[2:]:
        build, path = argument.split("=", 1)
        faults = check(build, path, allowed)
        for fault in faults:
            print(f"{build}: {fault}")
        print(f"{build}: {path}: {'FAILED' if faults else 'ok'}")
        failed = failed or bool(faults)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
