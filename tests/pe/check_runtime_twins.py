"""The runtime pieces rebuilt for the i686 saver (cmake/runtime486.cmake) are the installed ones
built for another processor. Each is also built with the toolchain's default processor, and that
twin must disassemble to the installed piece instruction for instruction: then the rebuilt
source, headers and flags are the ones the toolchain was built from, and only -march differs.

check_runtime_twins.py TWIN=INSTALLED...   INSTALLED is an object file or ARCHIVE:MEMBER."""
import re
import subprocess
import sys
import tempfile

OBJDUMP = "i686-w64-mingw32-objdump"


def instructions(path):
    """Mnemonics and operands, without addresses, symbol names and labels: the installed
    archives' objects carry no symbols for static functions."""
    listing = subprocess.run([OBJDUMP, "-d", "--no-show-raw-insn", path], capture_output=True,
                             text=True, check=True).stdout
    lines = []
    for line in listing.splitlines():
        parts = line.split("\t", 1)
        if len(parts) == 2 and re.match(r"^\s*[0-9a-f]+:$", parts[0]):
            lines.append(re.sub(r"\s*<[^>]*>", "", parts[1]).strip())
    return lines


def main():
    failed = False
    with tempfile.TemporaryDirectory() as folder:
        for pair in sys.argv[1:]:
            twin, installed = pair.split("=", 1)
            if ".a:" in installed:
                archive, member = installed.rsplit(":", 1)
                subprocess.run(["ar", "x", "--output", folder, archive, member], check=True)
                installed = f"{folder}/{member}"
            mine, theirs = instructions(twin), instructions(installed)
            same = mine == theirs and mine
            failed = failed or not same
            print(f"{pair}: {'same' if same else 'DIFFERENT'} ({len(mine)} / {len(theirs)} "
                  "instructions)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
