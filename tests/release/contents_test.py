#!/usr/bin/env python3
"""Reads what scripts/release.sh made and fails on the first thing that is not as promised:

- one version everywhere: project() in CMakeLists.txt, both programs' version resources and
  manifests, the MSI, the file names, the winget manifests and vesperine-render --version;
- the MSI: per machine, the saver in the 64-bit system folder, the textures in the default
  AppFolder, nothing under HKEY_CURRENT_USER, no custom action, the saver never selected;
- the zips: their entries, their time (the last commit's), and SHA256SUMS over the downloads;
- the web zip: the static site, whose page names the version and loads nothing from elsewhere;
- the winget manifests against the rules of manifest schema 1.28.0 for the fields we write.

  contents_test.py SOURCE_ROOT DIST VESPERINE_RENDER
"""
import datetime
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile
import zipfile

import jsonschema
import pefile
import yaml

SCHEMA_VERSION = "1.28.0"
failures = []
ROOT = ""  # the source tree, set by main


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def project_version(root):
    with open(os.path.join(root, "CMakeLists.txt")) as cmake:
        return re.search(r"project\(VesperineLight VERSION (\d+\.\d+\.\d+)", cmake.read()).group(1)


def program_facts(data):
    """The version strings, fixed version and manifest version of a Windows program."""
    pe = pefile.PE(data=data)
    strings = {}
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = "%d.%d.%d.%d" % (
        fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
        fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    manifest = ""
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == 24:  # RT_MANIFEST
            entry = kind.directory.entries[0].directory.entries[0].data.struct
            manifest = pe.get_data(entry.OffsetToData, entry.Size).decode()
    identity = re.search(r'<assemblyIdentity[^>]*version="([^"]+)"', manifest)
    return strings, numbers, identity.group(1) if identity else None, pe.FILE_HEADER.TimeDateStamp


def msi_table(msi, table):
    # msiinfo writes a table's binary columns (the icon) into files beside where it runs.
    with tempfile.TemporaryDirectory() as scratch:
        text = subprocess.run(["msiinfo", "export", os.path.abspath(msi), table], check=True,
                              capture_output=True, text=True, cwd=scratch).stdout
    return [line.split("\t") for line in text.splitlines()[3:] if line]


def check_programs(zip_file, version):
    file_version = version + ".0"
    for arch in ("x64", "x86"):
        strings, numbers, manifest_version, stamp = program_facts(
            zip_file.read(arch + "/Vesperine.scr"))
        expected = {
            "CompanyName": "Ondrel",
            "FileVersion": file_version,
            "ProductVersion": file_version,
            "ProductName": "Vesperine Light",
            "InternalName": "Vesperine",
            "OriginalFilename": "Vesperine.scr",
        }
        for key, value in expected.items():
            check(strings.get(key) == value, "%s %s is %r" % (arch, key, strings.get(key)))
        check(strings.get("FileDescription"), arch + " has no FileDescription")
        check("Ondrel and the Vesperine Light contributors" in strings.get("LegalCopyright", "")
              and "MIT" in strings["LegalCopyright"], arch + " LegalCopyright names no MIT licence")
        check(numbers == file_version, "%s fixed file version %s" % (arch, numbers))
        check(manifest_version == file_version, "%s manifest version %s" % (arch, manifest_version))
        check(stamp == 0, "%s carries a link time stamp" % arch)


def check_msi(msi, version):
    properties = dict(row[:2] for row in msi_table(msi, "Property"))
    check(properties.get("ProductVersion") == version, "MSI ProductVersion")
    check(properties.get("ProductName") == "Vesperine Light", "MSI ProductName")
    check(properties.get("Manufacturer") == "Ondrel", "MSI Manufacturer")
    check(properties.get("ALLUSERS") == "1", "the MSI is not per machine")
    summary = subprocess.run(["msiinfo", "suminfo", msi], check=True, capture_output=True,
                             text=True).stdout
    check("Template: x64;" in summary, "the MSI is not a 64-bit package")
    check(properties.get("ARPPRODUCTICON") in {row[0] for row in msi_table(msi, "Icon")},
          "the Add/Remove Programs entry has no icon")
    directories = {row[0]: row for row in msi_table(msi, "Directory")}
    files = {row[0]: row for row in msi_table(msi, "File")}
    components = {row[0]: row for row in msi_table(msi, "Component")}

    def folder_of(file_name):
        component = next(row[1] for row in files.values() if row[2].split("|")[-1] == file_name)
        directory, path = components[component][2], []
        while directory in directories and directories[directory][1]:
            path.insert(0, directory if directories[directory][2] == "." else
                        directories[directory][2])
            directory = directories[directory][1]
        return "\\".join(path), components[component][3]

    check(folder_of("Vesperine.scr") == ("System64Folder", "256"),
          "Vesperine.scr goes to %s, not the 64-bit system folder" % (folder_of("Vesperine.scr"),))
    for texture in os.listdir(os.path.join(ROOT, "resources", "textures")):
        check(folder_of(texture)[0] == "ProgramFiles64Folder\\Ondrel\\Vesperine",
              texture + " does not go to the default AppFolder")
    check(all(row[1] != "1" for row in msi_table(msi, "Registry")), "the MSI writes under HKCU")
    check(not msi_table(msi, "CustomAction"), "the MSI runs custom actions")
    dump = open(msi, "rb").read().lower()
    check(b"scrnsave" not in dump, "the MSI mentions SCRNSAVE.EXE")
    upgrade = msi_table(msi, "Upgrade")
    check(any(row[2] == version and row[4] == "1" for row in upgrade),
          "the MSI does not replace older versions")
    return properties["ProductCode"], properties["UpgradeCode"]


def sample_textures():
    return sorted("textures/" + name
                  for name in os.listdir(os.path.join(ROOT, "resources", "textures")))


def check_entries(archive, expected_names, epoch):
    names = sorted(archive.namelist())
    check(names == sorted(expected_names), "%s entries: %s" % (archive.filename, names))
    stamps = {entry.date_time for entry in archive.infolist()}
    expected = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc).timetuple()[:6]
    # The zip format keeps even seconds only.
    expected = expected[:5] + (expected[5] // 2 * 2,)
    check(stamps == {expected}, "%s times %s, expected %s" % (archive.filename, stamps, expected))


def check_zip(path, version, epoch):
    with zipfile.ZipFile(path) as archive:
        check_entries(archive, ["LICENSE.txt", "README.txt", "x64/Vesperine.scr",
                                "x86/Vesperine.scr"] + sample_textures(), epoch)
        license_text = archive.read("LICENSE.txt").decode()
        check(license_text.startswith("MIT License") and "\r\n" in license_text, "LICENSE.txt")
        check(version in archive.read("README.txt").decode(), "README.txt names no version")
        check_programs(archive, version)


def check_web_zip(path, version, epoch):
    with zipfile.ZipFile(path) as archive:
        check_entries(archive, ["index.html", "vesperine.js", "vesperine.wasm", "desktop.png"]
                      + sample_textures(), epoch)
        page = archive.read("index.html").decode()
        check(version in page, "the web page names no version")
        check(re.search(r'(src|href)="(https?:)?//', page) is None,
              "the web page loads from elsewhere")
        check(archive.read("vesperine.wasm")[:4] == b"\0asm", "vesperine.wasm is no WebAssembly")


def winget_schemas():
    """The rules of the 1.28.0 manifest schema for the fields our manifests hold; a field we do
    not know of fails, so that a misspelt key cannot slip through."""
    identifier = {"type": "string", "maxLength": 128, "pattern":
                  r"^[^\.\s\\/:\*\?\"<>\|\x01-\x1f]{1,32}(\.[^\.\s\\/:\*\?\"<>\|\x01-\x1f]{1,32}){1,7}$"}
    version = {"type": "string", "maxLength": 128, "pattern": r"^[^\\/:\*\?\"<>\|\x01-\x1f]+$"}
    locale = {"type": "string", "maxLength": 20,
              "pattern": r"^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$"}
    text = lambda low, high: {"type": "string", "minLength": low, "maxLength": high}
    code = text(1, 255)
    sha = {"type": "string", "pattern": "^[A-Fa-f0-9]{64}$"}

    def manifest(kind, properties, required):
        properties = dict(properties, PackageIdentifier=identifier, PackageVersion=version,
                          ManifestType={"const": kind},
                          ManifestVersion={"const": SCHEMA_VERSION})
        return {"type": "object", "properties": properties, "additionalProperties": False,
                "required": ["PackageIdentifier", "PackageVersion", "ManifestType",
                             "ManifestVersion"] + required}

    installer = {
        "type": "object", "additionalProperties": False,
        "required": ["Architecture", "InstallerUrl", "InstallerSha256"],
        "properties": {
            "Architecture": {"enum": ["x86", "x64", "arm", "arm64", "neutral"]},
            "InstallerUrl": {"type": "string", "maxLength": 2048,
                             "pattern": "^([Hh][Tt][Tt][Pp][Ss]?)://.+$"},
            "InstallerSha256": sha,
        },
    }
    return {
        "version": manifest("version", {"DefaultLocale": locale}, ["DefaultLocale"]),
        "defaultLocale": manifest("defaultLocale", {
            "PackageLocale": locale, "Publisher": text(2, 256), "PackageName": text(2, 256),
            "License": text(3, 512), "Copyright": text(3, 512),
            "ShortDescription": text(3, 256), "Description": text(3, 10000),
            "Moniker": text(1, 40),
            "Tags": {"type": "array", "maxItems": 16, "uniqueItems": True,
                     "items": text(1, 40)},
        }, ["PackageLocale", "Publisher", "PackageName", "License", "ShortDescription"]),
        "installer": manifest("installer", {
            "MinimumOSVersion": {"type": "string", "pattern": r"^\d+(\.\d+){0,3}$"},
            "InstallerType": {"enum": ["msix", "msi", "appx", "exe", "zip", "inno", "nullsoft",
                                       "wix", "burn", "pwa", "portable", "font"]},
            "Scope": {"enum": ["user", "machine"]},
            "InstallModes": {"type": "array", "maxItems": 3, "uniqueItems": True, "items": {
                "enum": ["interactive", "silent", "silentWithProgress"]}},
            "UpgradeBehavior": {"enum": ["install", "uninstallPrevious", "deny"]},
            "ProductCode": code,
            "AppsAndFeaturesEntries": {"type": "array", "maxItems": 128, "items": {
                "type": "object", "additionalProperties": False, "properties": {
                    "DisplayName": text(1, 256), "Publisher": text(1, 256),
                    "DisplayVersion": text(1, 128), "ProductCode": code, "UpgradeCode": code}}},
            "Installers": {"type": "array", "minItems": 1, "maxItems": 1024, "items": installer},
        }, ["Installers"]),
    }


def check_winget(dist, version, msi, product_code, upgrade_code):
    folder = os.path.join(dist, "winget", "manifests", "o", "Ondrel", "VesperineLight", version)
    files = {"version": "Ondrel.VesperineLight.yaml",
             "defaultLocale": "Ondrel.VesperineLight.locale.en-US.yaml",
             "installer": "Ondrel.VesperineLight.installer.yaml"}
    check(sorted(os.listdir(folder)) == sorted(files.values()), "winget files in " + folder)
    schemas = winget_schemas()
    official = os.environ.get("VESPERINE_WINGET_SCHEMAS")  # the published JSON files, if at hand
    manifests = {}
    for kind, name in files.items():
        with open(os.path.join(folder, name)) as source:
            manifests[kind] = yaml.safe_load(source)
        for error in jsonschema.Draft7Validator(schemas[kind]).iter_errors(manifests[kind]):
            check(False, "%s: %s" % (name, error.message))
        if official:
            with open(os.path.join(official, "manifest.%s.%s.json" % (kind, SCHEMA_VERSION))) as s:
                jsonschema.validate(manifests[kind], json.load(s))
        check(manifests[kind]["PackageIdentifier"] == "Ondrel.VesperineLight", name + " identifier")
        check(manifests[kind]["PackageVersion"] == version, name + " version")
    installer = manifests["installer"]
    check(installer["InstallerType"] == "msi" and installer["Scope"] == "machine", "msi, machine")
    check(manifests["defaultLocale"]["License"] == "MIT", "licence MIT")
    check(installer["Installers"][0]["InstallerSha256"].lower() == sha256(open(msi, "rb").read()),
          "InstallerSha256 is not the MSI's")
    check(installer["Installers"][0]["InstallerUrl"].endswith(os.path.basename(msi)), "URL")
    entry = installer["AppsAndFeaturesEntries"][0]
    check(installer["ProductCode"] == entry["ProductCode"] == product_code, "ProductCode")
    check(entry["UpgradeCode"] == upgrade_code, "UpgradeCode")
    check(entry["DisplayVersion"] == version, "DisplayVersion")
    # A broken manifest must fail: the checks above are not vacuous.
    broken = dict(installer, Scope="everyone", InstallerTypo="msi")
    check(len(list(jsonschema.Draft7Validator(schemas["installer"]).iter_errors(broken))) == 2,
          "the installer rules accept a broken manifest")


def main(root, dist, render):
    global ROOT
    ROOT = root
    version = project_version(root)
    name = "VesperineLight-" + version
    msi = os.path.join(dist, name + "-x64.msi")
    archive = os.path.join(dist, name + "-windows.zip")
    web = os.path.join(dist, name + "-web.zip")
    check(all(map(os.path.isfile, (msi, archive, web))), "no %s downloads in %s" % (name, dist))
    if failures:
        return 1
    epoch = int(subprocess.run(["git", "-C", root, "log", "-1", "--format=%ct"], check=True,
                               capture_output=True, text=True).stdout)
    said = ""
    if os.access(render, os.X_OK):
        said = subprocess.run([render, "--version"], capture_output=True, text=True).stdout
    check(said == "vesperine-render %s\n" % version, "%s --version says %r" % (render, said))
    check_zip(archive, version, int(os.environ.get("SOURCE_DATE_EPOCH", epoch)))
    check_web_zip(web, version, int(os.environ.get("SOURCE_DATE_EPOCH", epoch)))
    product_code, upgrade_code = check_msi(msi, version)
    with open(os.path.join(dist, "SHA256SUMS")) as sums:
        listed = dict(reversed(line.split()) for line in sums)
    downloads = (msi, archive, web)
    check(listed == {os.path.basename(p): sha256(open(p, "rb").read()) for p in downloads},
          "SHA256SUMS")
    check_winget(dist, version, msi, product_code, upgrade_code)
    print("release contents: %d problems, version %s" % (len(failures), version))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
