#!/usr/bin/env python3
"""Copies the UTF-8 sources of a manual into a folder for chmcmd, in Shift_JIS (code page 932).

Usage: encode_pages.py SOURCE_FOLDER WORK_FOLDER

The help viewer reads a compiled file's contents in the code page of the project's language, and the
pages' own charset names Shift_JIS, so every page, the contents and the project are converted; a
character that code page 932 lacks stops the build instead of becoming a question mark.
"""
import os
import re
import sys

CONVERTED = (".html", ".hhc", ".hhp")


def main():
    source, work = sys.argv[1:3]
    os.makedirs(work, exist_ok=True)
    for name in sorted(os.listdir(source)):
        path = os.path.join(source, name)
        if not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            data = f.read()
        if name.lower().endswith(CONVERTED):
            text = data.decode("utf-8")
            text = re.sub(r"charset=utf-8", "charset=Shift_JIS", text, flags=re.IGNORECASE)
            try:
                data = text.encode("cp932")
            except UnicodeEncodeError as error:
                line = text.count("\n", 0, error.start) + 1
                print("%s:%d: %r has no Shift_JIS code" % (path, line, text[error.start:error.end]))
                return 1
            # The viewer expects Windows line ends in the contents and the project.
            data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
