#!/usr/bin/env python3
"""Checks that a compiled manual holds every file its help project lists.

Usage: check_manual.py CHMLS MANUAL.chm MANUAL.hhp
"""
import subprocess
import sys


def project_files(hhp_path):
    files, in_files = [], False
    with open(hhp_path, encoding="utf-8") as hhp:
        for line in hhp:
            line = line.strip()
            if line.startswith("["):
                in_files = line.upper() == "[FILES]"
            elif in_files and line:
                files.append(line)
    return files


def main():
    chmls, chm, hhp = sys.argv[1:4]
    listing = subprocess.run([chmls, "list", chm], capture_output=True, text=True, check=True).stdout
    names = {line.split()[-1].lstrip("/").lower() for line in listing.splitlines() if line.strip()}
    expected = project_files(hhp) + ["toc.hhc"]
    missing = [f for f in expected if f.lower() not in names]
    if not project_files(hhp):
        print("the project lists no files")
        return 1
    if missing:
        print("missing from %s: %s" % (chm, ", ".join(missing)))
        return 1
    print("%d files present in %s" % (len(expected), chm))
    return 0


if __name__ == "__main__":
    sys.exit(main())
