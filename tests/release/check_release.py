#!/usr/bin/env python3
"""Checks the release archive as a user gets it.

    check_release.py --archive GlimmerfenChecker-<version>-x64.zip --version-file VERSION
                     --helper e2e_helper.exe

The archive is named after the version in the VERSION file and holds exactly the program, its manual,
the README for Windows users and the two event files (well-formed XML that selects the program's
events). Unpacked into a folder of its own, the program's version resource (read through the calls
Explorer's Properties make) and its version box show that same version; the program runs under Wine
in the prefix of the test run (WINEPREFIX, DISPLAY, and the stand-in netapi32.dll in the prefix's
system folder, as scripts/test sets them up) and ends by "Close Application".
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import xml.dom.minidom
import zipfile

MAIN_CAPTION = "Glimmerfen Checker"
ABOUT_CAPTION = "Glimmerfen Checker - information"
WM_COMMAND = 0x0111
ID_VERSION_INFO, ID_CLOSE_APP = 32773, 32775
CONTENTS = {"GlimmerfenChecker.exe", "manual.chm", "manual_ja.chm", "README-Windows.txt",
            "GlimmerfenChecker-subscription.xml", "GlimmerfenChecker-view.xml"}
# The event query both event files must hold: the program's source in the Application log.
EVENT_QUERY = "<Select Path=\"Application\">*[System[Provider[@Name='Glimmerfen Checker']]]</Select>"
# What the README must tell a Windows user, each in words a reader would search for.
README_TOPICS = {
    "running as administrator": "Run as administrator",
    "the settings file beside the exe": "Glimmerfen.ini",
    "the log beside the exe": "log.txt",
    "a writable folder": "writable",
    "the start-up shortcut": "Startup folder",
    "elevation at logon": "Run with highest privileges",
    "removing the event source": "/unregister",
}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def read_version(path):
    with open(path, encoding="ascii") as f:
        version = f.readline().strip()
    check(version, "%s is empty" % path)
    return version


def check_archive(archive, version, folder):
    expected_name = "GlimmerfenChecker-%s-x64.zip" % version
    check(os.path.basename(archive) == expected_name,
          "the archive is %s, expected %s" % (os.path.basename(archive), expected_name))
    check(os.path.isfile(archive), "no archive %s (built with the program: cmake --build <dir>)" % archive)
    with zipfile.ZipFile(archive) as z:
        check(z.testzip() is None, "the archive is damaged")
        names = set(z.namelist())
        check(names == CONTENTS, "the archive holds %s, expected %s" % (sorted(names), sorted(CONTENTS)))
        z.extractall(folder)
    with open(os.path.join(folder, "README-Windows.txt"), "rb") as f:
        readme = f.read()
    check(b"\n" not in readme.replace(b"\r\n", b""), "README-Windows.txt has line ends other than CR LF")
    text = readme.decode("ascii")
    check(("Glimmerfen Checker %s " % version) in text.splitlines()[0], "the README's title does not name the version")
    for topic, words in README_TOPICS.items():
        check(words in text, "README-Windows.txt does not cover %s (\"%s\")" % (topic, words))
    for manual in ("manual.chm", "manual_ja.chm"):
        with open(os.path.join(folder, manual), "rb") as f:
            check(f.read(4) == b"ITSF", "%s is not a compiled help file" % manual)
    for name in sorted(n for n in CONTENTS if n.endswith(".xml")):
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            text = f.read()
        xml.dom.minidom.parseString(text)  # raises on XML that is not well-formed
        check(EVENT_QUERY in text, "%s does not select the program's events in the Application log" % name)


def numbers(version):
    parts = version.split(".") + ["0"] * 4
    return ".".join(str(int(p)) for p in parts[:4])


class Runner:
    def __init__(self, helper, folder):
        self.helper_exe = helper
        self.folder = folder
        self.env = dict(os.environ, WINEDLLOVERRIDES="netapi32=n,b;mscoree,mshtml=", WINEDEBUG="-all",
                        LANG="en_US.UTF-8", LC_ALL="C.UTF-8")
        check("WINEPREFIX" in self.env and "DISPLAY" in self.env,
              "WINEPREFIX and DISPLAY must name the test run's Wine prefix and display (scripts/test)")

    def helper(self, *words, timeout=60):
        # Output through a file: a helper that starts the Wine server hands a pipe on to it.
        with tempfile.TemporaryFile() as out:
            result = subprocess.run(["wine", self.helper_exe] + [str(w) for w in words], env=self.env,
                                    stdout=out, stderr=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            return result.returncode, out.read().decode("utf-8", "replace")


def check_version_resource(runner, exe, version):
    code, out = runner.helper("version", "Z:" + exe.replace("/", "\\"))
    check(code == 0, "GlimmerfenChecker.exe has no version resource")
    lines = out.splitlines()
    quad = numbers(version)
    check(lines[0] == "fixed %s %s" % (quad, quad), "numeric file and product versions: %r, expected %s" % (lines[0], quad))
    strings = dict(line.split("=", 1) for line in lines[1:])
    for name, expected in [("FileVersion", version), ("ProductVersion", version), ("ProductName", MAIN_CAPTION),
                           ("OriginalFilename", "GlimmerfenChecker.exe")]:
        check(strings.get(name) == expected, "%s is %r, expected %r" % (name, strings.get(name), expected))
    check(strings.get("FileDescription"), "no FileDescription")


def check_version_box(runner, folder, version):
    exe = os.path.join(folder, "GlimmerfenChecker.exe")
    # Settings of a program that has run before (no first-run question) and a server without accesses.
    with open(os.path.join(folder, "Glimmerfen.ini"), "wb") as f:
        f.write(b"[Setting]\r\nInitFlag=1\r\n")
    scenario = os.path.join(folder, "scenario.txt")
    with open(scenario, "w") as f:
        f.write("# no accesses\n")
    runner.env["GLIMMERFEN_SIM_SCENARIO"] = "Z:" + scenario.replace("/", "\\")
    process = subprocess.Popen(["wine", exe], cwd=folder, env=runner.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        check(runner.helper("wait", MAIN_CAPTION, 30000)[0] == 0, "the program's main window did not appear")
        check(runner.helper("post", MAIN_CAPTION, WM_COMMAND, ID_VERSION_INFO, 0)[0] == 0,
              "could not post \"Version information\"")
        check(runner.helper("wait", ABOUT_CAPTION, 20000)[0] == 0, "the version box did not open")
        code, texts = runner.helper("texts", ABOUT_CAPTION)
        check(code == 0, "could not read the version box")
        expected = "Glimmerfen Checker for NT Technology  Version %s" % version
        check(expected in texts.splitlines(), "the version box shows %r, expected the line %r" % (texts, expected))
        check(runner.helper("post", MAIN_CAPTION, WM_COMMAND, ID_CLOSE_APP, 0)[0] == 0,
              "could not post \"Close Application\"")
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end after \"Close Application\"")
        check(process.returncode == 0, "the program ended with %s" % process.returncode)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--archive", required=True)
    parser.add_argument("--version-file", required=True)
    parser.add_argument("--helper", required=True)
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="glimmerfen-release.")
    try:
        version = read_version(args.version_file)
        check_archive(args.archive, version, folder)
        runner = Runner(args.helper, folder)
        check_version_resource(runner, os.path.join(folder, "GlimmerfenChecker.exe"), version)
        check_version_box(runner, folder, version)
    except Failure as e:
        print("FAILED: %s" % e)
        return 1
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print("The release archive of version %s is complete; its program shows that version." % version)
    return 0


if __name__ == "__main__":
    sys.exit(main())
