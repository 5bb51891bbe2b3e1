#!/usr/bin/env python3
"""Builds the installer GlimmerfenChecker-<version>-x64.msi with wixl and finishes it with msibuild.

    build_msi.py --wxs installer/GlimmerfenChecker.wxs --version 1.30 --exe GlimmerfenChecker.exe
                 --document manual.chm --document README-Windows.txt --output dist/...msi

Each --document becomes a component of its own beside the exe (with a component code derived from its
name, so it stays the same from build to build). After wixl, msibuild sets what wixl 0.101 cannot
express:
  - the exe's File Version (wixl leaves it empty and writes a hash: a major upgrade would then keep the
    installed exe at costing and remove it with the old product, leaving no exe at all);
  - the conditions of the Startup and Service components (a Condition element stops wixl);
  - the upgrade of a build of the same version (a new product code for every build);
  - SERVICE and STARTUP among the secure properties, so that they reach the elevated part of an install;
  - EventMessageFile as an expandable string, the type the event log documents and the program writes.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import uuid

UPGRADE_CODE = "{7FAA07B1-FBF9-4140-BDB5-07E422B8C0AD}"  # the same as in the .wxs, never changed
EXE_FILE = "GlimmerfenChecker.exe"
DOCUMENTS_MARK = "<!-- documents -->"


def windows_version(version):
    """The four numbers of the exe's version resource, and the product version msiexec compares."""
    parts = version.split(".")
    if not 2 <= len(parts) <= 4 or not all(p.isdigit() for p in parts):
        raise SystemExit("VERSION %r is no version such as 1.30" % version)
    numbers = [int(p) for p in parts] + [0] * (4 - len(parts))
    # The product version's fields: major and minor up to 255, build up to 65535 (the fourth is ignored
    # by msiexec, so two versions that differ only there would not upgrade one another).
    if numbers[0] > 255 or numbers[1] > 255 or numbers[2] > 65535 or numbers[3] != 0:
        raise SystemExit("VERSION %r cannot be an installer's product version" % version)
    return ".".join(str(n) for n in numbers)


def document_components(documents):
    """Components and feature references for the documents, one component each."""
    components, references = [], []
    for path in documents:
        name = os.path.basename(path)
        ident = "doc_" + re.sub(r"[^A-Za-z0-9_]", "_", name)
        guid = str(uuid.uuid5(uuid.UUID(UPGRADE_CODE), name)).upper()
        components.append(
            '<Component Id="%s" Guid="%s" Win64="yes">\n'
            '            <File Id="%s" Name="%s" Source="%s" KeyPath="yes"/>\n'
            '          </Component>' % (ident, guid, name, name, name))
        references.append('<ComponentRef Id="%s"/>' % ident)
    return "\n          ".join(components), "\n      ".join(references)


def run(command):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    # msibuild reports a query that failed only in its output, not in its exit code.
    if result.returncode != 0 or "failed to" in result.stdout:
        raise SystemExit("%s failed:\n%s" % (" ".join(command), result.stdout))


def quoted(text):
    return text.replace("'", "''")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wxs", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--document", action="append", default=[])
    parser.add_argument("--output", required=True)
    parser.add_argument("--wixl", default="wixl")
    parser.add_argument("--msibuild", default="msibuild")
    args = parser.parse_args()

    file_version = windows_version(args.version)
    with open(args.wxs, encoding="utf-8") as f:
        source = f.read()
    if source.count(DOCUMENTS_MARK) != 2:
        raise SystemExit("%s must mark the documents' place twice with %s" % (args.wxs, DOCUMENTS_MARK))
    components, references = document_components(args.document)
    first = source.index(DOCUMENTS_MARK)
    source = source[:first] + components + source[first + len(DOCUMENTS_MARK):]
    source = source.replace(DOCUMENTS_MARK, references)

    output = os.path.abspath(args.output)
    os.makedirs(os.path.dirname(output), exist_ok=True)
    partial = output + ".partial"
    # wixl takes only sources named relative to the .wxs: every file is copied beside it under its name.
    with tempfile.TemporaryDirectory(prefix="glimmerfen-msi.") as work:
        for path, name in [(args.exe, EXE_FILE)] + [(d, os.path.basename(d)) for d in args.document]:
            shutil.copyfile(path, os.path.join(work, name))
        wxs = os.path.join(work, "GlimmerfenChecker.wxs")
        with open(wxs, "w", encoding="utf-8") as f:
            f.write(source)
        run([args.wixl, "-a", "x64", "-D", "Version=" + args.version, "-D", "ExeSource=" + EXE_FILE, "-o", partial,
             wxs])
    queries = [
        "UPDATE `File` SET `Version`='%s' WHERE `File`='%s'" % (file_version, EXE_FILE),
        "DELETE FROM `MsiFileHash` WHERE `File_`='%s'" % EXE_FILE,
        "UPDATE `Component` SET `Condition`='%s' WHERE `Component`='Startup'" % quoted('STARTUP="1"'),
        "UPDATE `Component` SET `Condition`='%s' WHERE `Component`='Service'" % quoted('SERVICE="1"'),
        # The key columns cannot be updated: the row is written again, with "the newest version
        # included" (0x200) beside "migrate feature states" (1).
        "DELETE FROM `Upgrade` WHERE `ActionProperty`='WIX_UPGRADE_DETECTED'",
        "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) "
        "VALUES ('%s', '%s', 513, 'WIX_UPGRADE_DETECTED')" % (UPGRADE_CODE, args.version),
        "UPDATE `Property` SET `Value`='WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;SERVICE;STARTUP' "
        "WHERE `Property`='SecureCustomProperties'",
        "UPDATE `Registry` SET `Value`='#%%[#%s]' WHERE `Name`='EventMessageFile'" % EXE_FILE,
    ]
    # One query per call: msibuild stops at the first that fails, without saying which.
    for query in queries:
        run([args.msibuild, partial, "-q", query])
    os.replace(partial, output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
