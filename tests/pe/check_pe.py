#!/usr/bin/env python3
"""Checks the shipped PE files: hardening flags and imports.

  check_pe.py ALLOWED_LIST BUILD=FILE...

BUILD is i686 or x86_64. Every file must ask for ASLR (relocations kept, dynamic base, high-entropy
on x86_64) and DEP (NX compatible), and import nothing that ALLOWED_LIST does not hold for its
build with an oldest system that build is meant for (i686: Windows 95 or 98; x86_64: XP x64).
A missing file fails: a build that was not made must not pass unseen.
"""
import struct
import sys

TARGETS = {"i686": ({"95", "98"}, 0x14C), "x86_64": ({"XP-x64"}, 0x8664)}
RELOCS_STRIPPED = 0x0001
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT = 0x0020, 0x0040, 0x0100


class PeFile:
    def __init__(self, data):
        self.data = data
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections = struct.unpack_from("<HH", data, pe + 4)
        optional_size, self.characteristics = struct.unpack_from("<HH", data, pe + 20)
        optional = pe + 24
        plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
        self.dll_characteristics = struct.unpack_from("<H", data, optional + 70)[0]
        directories = optional + (112 if plus else 96)
        self.directory = lambda index: struct.unpack_from("<II", data, directories + 8 * index)
        self.sections = [struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
                         for i in range(sections)]
        self.thunk = (8, 1 << 63) if plus else (4, 1 << 31)

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset(self, rva):
        for size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw
        raise ValueError(f"address {rva:#x} lies in no section")

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        found = set()
        rva, _ = self.directory(1)
        descriptor = self.offset(rva) if rva else None
        while descriptor is not None:
            lookup, _, _, name, first = struct.unpack_from("<IIIII", self.data, descriptor)
            if name == 0:
                break
            dll = self.text(name).lower()
            size, ordinal = self.thunk
            entry = self.offset(lookup or first)
            while True:
                value = int.from_bytes(self.data[entry:entry + size], "little")
                if value == 0:
                    break
                found.add((dll, f"#{value & 0xFFFF}" if value & ordinal else self.text(value + 2)))
                entry += size
            descriptor += 20
        return found


def read_allowed(path):
    allowed = {}
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            fields = line.split("#", 1)[0].split()
            if fields:
                build, dll, function, oldest = fields[:4]
                allowed[(build, dll.lower(), function)] = oldest
    return allowed


def check(build, path, allowed):
    systems, machine = TARGETS[build]
    try:
        with open(path, "rb") as file:
            pe = PeFile(file.read())
    except OSError as error:
        return [f"cannot read {path} ({error.strerror}): build that tree first"]
    faults = []
    if pe.machine != machine:
        faults.append(f"machine {pe.machine:#x}, not {build}")
    wanted = DYNAMIC_BASE | NX_COMPAT | (HIGH_ENTROPY_VA if build == "x86_64" else 0)
    if pe.dll_characteristics & wanted != wanted:
        faults.append(f"DllCharacteristics {pe.dll_characteristics:#06x} lacks {wanted:#06x}")
    if pe.characteristics & RELOCS_STRIPPED or pe.directory(5)[1] == 0:
        faults.append("no base relocations: the loader cannot move the image")
    for dll, function in sorted(pe.imports()):
        oldest = allowed.get((build, dll, function))
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
