#!/usr/bin/env python3
"""The byte-level steps of scripts/release.sh, each deterministic for the same inputs.

  release_tools.py guid UPGRADE_CODE TEXT...
      a name-based GUID (UUID version 5) in the namespace of the upgrade code, upper case.
  release_tools.py zip OUT.zip EPOCH FOLDER
      every file below FOLDER, in path order, stamped with EPOCH (UTC), without owner or mode.
  release_tools.py msi-summary PACKAGE.msi PACKAGE_CODE EPOCH
      sets the package code and the creation and save times in the MSI's summary information,
      which wixl fills from a random number and the clock.
  release_tools.py winget FOLDER VERSION MSI URL PRODUCT_CODE UPGRADE_CODE
      writes the winget manifests of packaging/winget/ into FOLDER, their @NAMES@ filled in.
"""
import datetime
import hashlib
import os
import struct
import sys
import uuid
import zipfile

def guid(upgrade_code, *text):
    return "{%s}" % str(uuid.uuid5(uuid.UUID(upgrade_code), " ".join(text))).upper()


def make_zip(out, epoch, folder):
    stamp = datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc)
    # The zip format cannot hold a time before 1980.
    stamp = max(stamp.timetuple()[:6], (1980, 1, 1, 0, 0, 0))
    names = sorted(os.path.relpath(os.path.join(parent, name), folder).replace(os.sep, "/")
                   for parent, _, files in os.walk(folder) for name in files)
    with zipfile.ZipFile(out, "w") as archive:
        for name in names:
            entry = zipfile.ZipInfo(name, date_time=stamp)
            entry.create_system = 0  # MS-DOS: no Unix owner or mode bits
            with open(os.path.join(folder, name), "rb") as source:
                archive.writestr(entry, source.read(), zipfile.ZIP_DEFLATED, 9)


# Summary information: a property set stream (header, one section of id/offset pairs, values).
SUMMARY_STREAM = "\x05SummaryInformation"
PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM = 9, 12, 13
VT_LPSTR, VT_FILETIME = 30, 64


def fix_msi_summary(path, package_code, epoch):
    import olefile  # python3-olefile, installed by scripts/setup.sh

    with olefile.OleFileIO(path, write_mode=True) as ole:
        data = bytearray(ole.openstream(SUMMARY_STREAM).read())
        (section,) = struct.unpack_from("<I", data, 44)
        (count,) = struct.unpack_from("<I", data, section + 4)
        filetime = (int(epoch) + 11644473600) * 10_000_000
        found = set()
        for i in range(count):
            pid, offset = struct.unpack_from("<II", data, section + 8 + 8 * i)
            at = section + offset
            (kind,) = struct.unpack_from("<I", data, at)
            if pid == PID_REVNUMBER and kind == VT_LPSTR:
                (size,) = struct.unpack_from("<I", data, at + 4)
                code = package_code.encode("ascii") + b"\0"
                if len(code) != size:
                    sys.exit("msi-summary: the package code has another length than wixl's")
                data[at + 8 : at + 8 + size] = code
                found.add(pid)
            elif pid in (PID_CREATE_DTM, PID_LASTSAVE_DTM) and kind == VT_FILETIME:
                struct.pack_into("<Q", data, at + 4, filetime)
                found.add(pid)
        if found != {PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM}:
            sys.exit("msi-summary: %s lacks a package code or a time" % path)
        ole.write_stream(SUMMARY_STREAM, bytes(data))


def write_winget(folder, version, msi, url, product_code, upgrade_code):
    with open(msi, "rb") as source:
        sha256 = hashlib.sha256(source.read()).hexdigest().upper()
    values = {"@VERSION@": version, "@URL@": url, "@PRODUCT_CODE@": product_code,
              "@UPGRADE_CODE@": upgrade_code, "@SHA256@": sha256}
    templates = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packaging", "winget")
    os.makedirs(folder, exist_ok=True)
    for name in sorted(os.listdir(templates)):
        with open(os.path.join(templates, name), encoding="utf-8") as template:
            text = template.read()
        for key, value in values.items():
            text = text.replace(key, value)
        with open(os.path.join(folder, name), "w", newline="\n") as out:
            out.write(text)


COMMANDS = {"guid": lambda *args: print(guid(*args)), "zip": make_zip,
            "msi-summary": fix_msi_summary, "winget": write_winget}

if __name__ == "__main__":
    if sys.argv[1] not in COMMANDS:
        sys.exit("release_tools: unknown command %s" % sys.argv[1])
    COMMANDS[sys.argv[1]](*sys.argv[2:])
