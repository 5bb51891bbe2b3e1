#!/usr/bin/env python3
"""Checks the installer GlimmerfenChecker-<version>-x64.msi: its tables as msiinfo reads them back, then
install, the service, upgrade, downgrade and removal under Wine in a prefix and a display of its own.

    check_installer.py --installer X.msi --version-file VERSION --helper e2e_helper.exe --standin netapi32.dll
                       --build-script installer/build_msi.py --wxs installer/GlimmerfenChecker.wxs
                       --exe GlimmerfenChecker.exe --document manual.chm ... [--wixl W --msibuild M]

The upgrade starts from an installer of a lower version built here from the same sources, with the exe's
fixed version lowered to match, as an older release would have it.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

MAIN_CAPTION = "Glimmerfen Checker"
WM_COMMAND, ID_CLOSE_APP = 0x0111, 32775
EVENT_KEY = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Glimmerfen Checker"
RUN_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
INSTALL_DIR = "C:\\Program Files\\Glimmerfen Checker\\"
EXE = INSTALL_DIR + "GlimmerfenChecker.exe"
# The user's settings, written before the first install: the program's and the user's, never the installer's.
INI = b"[Setting]\r\nInitFlag=1\r\n[Network]\r\nEventLog=1\r\n"
SESSION = b"PC-MSI\tcarol"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def quad(version):
    return ".".join(str(int(p)) for p in (version.split(".") + ["0"] * 4)[:4])


def lower_version(version):
    parts = [int(p) for p in version.split(".")]
    for i in reversed(range(len(parts))):
        if parts[i] > 0:
            parts[i] -= 1
            return ".".join(str(p) for p in parts)
    raise Failure("no version below %s" % version)


def table(msi, name):
    out = subprocess.run(["msiinfo", "export", msi, name], stdout=subprocess.PIPE, text=True, check=True).stdout
    return [line.split("\t") for line in out.splitlines()[3:]]


def check_tables(msi, version, documents):
    files = {row[0]: row for row in table(msi, "File")}
    check(files.get("GlimmerfenChecker.exe", [""] * 5)[4] == quad(version),
          "the exe's File row has version %r, expected %s" % (files.get("GlimmerfenChecker.exe"), quad(version)))
    check(set(files) == {"GlimmerfenChecker.exe"} | {os.path.basename(d) for d in documents},
          "the installer holds %s" % sorted(files))
    check(all(row[0] != "GlimmerfenChecker.exe" for row in table(msi, "MsiFileHash")), "the exe has a file hash")
    components = {row[0]: row for row in table(msi, "Component")}
    check(all(int(row[3]) & 0x100 for row in components.values()), "a component is not 64-bit")
    in_feature = {row[1] for row in table(msi, "FeatureComponents")}
    check(in_feature == set(components), "components in no feature: %s" % (set(components) - in_feature))
    conditions = {name: row[4] for name, row in components.items() if row[4]}
    check(conditions == {"Startup": 'STARTUP="1"', "Service": 'SERVICE="1"'}, "component conditions %s" % conditions)
    registry = {(row[2].rstrip("\\"), row[3]): (row[1], row[4], row[5]) for row in table(msi, "Registry")}
    expected = {
        (EVENT_KEY[5:], "EventMessageFile"): ("2", "#%[#GlimmerfenChecker.exe]", "EventSource"),
        (EVENT_KEY[5:], "TypesSupported"): ("2", "#7", "EventSource"),
        (RUN_KEY[5:], "Glimmerfen Checker"): ("2", '"[#GlimmerfenChecker.exe]"', "Startup"),
    }
    for key, value in expected.items():
        check(registry.get(key) == value, "registry %s is %s, expected %s" % (key, registry.get(key), value))
    shortcuts = table(msi, "Shortcut")
    check([(r[1], r[2], r[3]) for r in shortcuts] == [("ProgramMenuFolder", "Glimmerfen Checker", "Program")],
          "shortcuts %s" % shortcuts)
    actions = {row[0]: row for row in table(msi, "CustomAction")}
    sequence = {row[0]: (row[1], int(row[2])) for row in table(msi, "InstallExecuteSequence")}
    for name, command, condition, after, before in [
            ("InstallService", "/install-service /quiet", 'SERVICE="1" AND NOT REMOVE', "WriteRegistryValues",
             "StartServices"),
            ("RemoveService", "/uninstall-service /quiet", 'REMOVE="ALL"', "InstallInitialize", "RemoveFiles")]:
        kind = int(actions[name][1])
        check(actions[name][2:4] == ["GlimmerfenChecker.exe", command] and kind & 0x400 and kind & 0x800,
              "%s is %s, expected a deferred, elevated %s of the exe" % (name, actions[name], command))
        check(sequence[name][0] == condition and sequence[after][1] < sequence[name][1] < sequence[before][1],
              "%s runs at %s, expected %s between %s and %s" % (name, sequence[name], condition, after, before))
    check([r[1:3] + r[4:6] for r in table(msi, "ServiceControl")] == [["GlimmerfenChecker", "1", "1", "Service"]],
          "the service is not started at install by the Service component")
    upgrades = {row[6]: row for row in table(msi, "Upgrade")}
    check(upgrades["WIX_UPGRADE_DETECTED"][1:5] == ["", version, "", "513"],
          "upgrade row %s: every older version and this one's other builds" % upgrades["WIX_UPGRADE_DETECTED"])
    check(upgrades["WIX_DOWNGRADE_DETECTED"][1:5] == [version, "", "", "2"], "no detection of a newer version")
    # Refused before anything is written: a newer version (with its message), and a user without the rights.
    launch = {row[0]: row[1] for row in table(msi, "LaunchCondition")}
    check(launch.get("NOT WIX_DOWNGRADE_DETECTED") == "A newer version of Glimmerfen Checker is already installed."
          and "Privileged" in launch, "launch conditions %s" % launch)
    properties = {row[0]: row[1] for row in table(msi, "Property")}
    check(properties.get("ALLUSERS") == "1" and properties.get("ProductVersion") == version, "not per machine")
    check({"SERVICE", "STARTUP"} <= set(properties.get("SecureCustomProperties", "").split(";")),
          "SERVICE and STARTUP do not reach the elevated install")
    summary = subprocess.run(["msiinfo", "suminfo", msi], stdout=subprocess.PIPE, text=True, check=True).stdout
    check("Template: x64;1033" in summary.splitlines(), "the summary is not x64: %s" % summary)


def lowered_exe(exe, version, target):
    """A copy of the exe whose fixed file and product versions are those of an older release."""
    with open(exe, "rb") as f:
        data = bytearray(f.read())
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    check(at >= 0, "the exe has no fixed version information")
    a, b, c, d = (int(p) for p in quad(version).split("."))
    words = struct.pack("<IIII", a << 16 | b, c << 16 | d, a << 16 | b, c << 16 | d)
    data[at + 8:at + 24] = words
    with open(target, "wb") as f:
        f.write(data)


class Wine:
    """A Wine prefix and an X display of its own, with the stand-in server in the system folder."""

    def __init__(self, root, args):
        self.args = args
        self.prefix = os.path.join(root, "prefix")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", LANG="en_US.UTF-8", LC_ALL="C.UTF-8",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
                                      "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            self.env["DISPLAY"] = ":" + f.readline().strip()
        self.run("wineboot", "-i")
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=300)
        shutil.copy(args.standin, self.path("C:\\windows\\system32\\netapi32.dll"))
        # The service gets none of this environment: the stand-in is named for the exe in the registry,
        # and reads its scenario from the fixed file.
        self.run("wine", "reg", "add", "HKCU\\Software\\Wine\\AppDefaults\\GlimmerfenChecker.exe\\DllOverrides", "/v",
                 "netapi32", "/d", "native", "/f")
        os.makedirs(self.path("C:\\glimmerfen-sim"))
        with open(self.path("C:\\glimmerfen-sim\\scenario.txt"), "wb") as f:
            f.write(b"session PC-MSI carol 30 0 0 Windows\n")
        subprocess.run(["wineserver", "-p"], env=self.env, timeout=60)  # services outlive the last process

    def path(self, windows):
        return os.path.join(self.prefix, "drive_c", *windows[3:].split("\\"))

    def run(self, *words, timeout=120):
        with tempfile.TemporaryFile() as out:  # a pipe would be held open by the wine server
            code = subprocess.run([str(w) for w in words], env=self.env, stdout=out, stderr=subprocess.DEVNULL,
                                  timeout=timeout).returncode
            out.seek(0)
            return code, out.read().decode("utf-8", "replace")

    def msiexec(self, *words):
        try:
            return self.run("wine", "msiexec", *words, timeout=120)[0]
        except subprocess.TimeoutExpired:
            raise Failure("msiexec %s did not end (a box nobody can answer in a silent install?)" % " ".join(words))

    def reg_value(self, key, name):
        code, out = self.run("wine", "reg", "query", key, "/v", name)
        for line in out.splitlines():
            if code == 0 and line.strip().startswith(name + " "):
                return line.strip()[len(name):].split(None, 1)
        return None

    def service_state(self):
        out = self.run("wine", "sc", "query", "GlimmerfenChecker")[1]
        return next((line.split()[-1] for line in out.splitlines() if "STATE" in line), None)

    def exe_version(self):
        code, out = self.run("wine", self.args.helper, "version", EXE)
        return out.split()[1] if code == 0 and out.startswith("fixed ") else None

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.xvfb.terminate()
        self.xvfb.wait(timeout=10)


def wait_until(condition, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(0.25)
    return condition()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def check_installed(wine, version):
    check(wine.exe_version() == quad(version), "installed exe version %s, expected %s" % (wine.exe_version(), version))
    check(wine.reg_value(EVENT_KEY, "EventMessageFile") == ["REG_EXPAND_SZ", EXE], "the event source names %s" %
          wine.reg_value(EVENT_KEY, "EventMessageFile"))
    check(wine.reg_value(EVENT_KEY, "TypesSupported") == ["REG_DWORD", "0x7"], "TypesSupported is not 7")


def check_removed(wine, ini, ini_before, log_before):
    check(not os.path.exists(ini.replace("Glimmerfen.ini", "GlimmerfenChecker.exe")), "the exe is still there")
    check(wine.reg_value(EVENT_KEY, "EventMessageFile") is None, "the event source's key is still there")
    check(wine.reg_value(RUN_KEY, "Glimmerfen Checker") is None, "the Run key still starts the program")
    check(wine.service_state() is None, "the service is still there")
    check(read(ini) == ini_before, "the INI file changed")
    check(read(ini.replace("Glimmerfen.ini", "log.txt")).startswith(log_before), "the log lost lines")


def check_under_wine(wine, args, version, older_msi):
    new, old = ("Z:" + os.path.abspath(p).replace("/", "\\") for p in (args.installer, older_msi))
    ini = wine.path(INSTALL_DIR + "Glimmerfen.ini")
    log = wine.path(INSTALL_DIR + "log.txt")
    os.makedirs(os.path.dirname(ini))
    with open(ini, "wb") as f:
        f.write(INI)

    # A plain install: the program runs from Program Files as the tray and watches the stand-in.
    check(wine.msiexec("/i", new, "/qn") == 0, "the install failed")
    check_installed(wine, version)
    check(wine.service_state() is None and wine.reg_value(RUN_KEY, "Glimmerfen Checker") is None,
          "a service or a Run entry nobody asked for")
    tray = subprocess.Popen(["wine", wine.path(EXE)], env=wine.env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        check(wait_until(lambda: os.path.exists(log) and SESSION in read(log), 40), "the tray logged no session")
        # Started from Program Files with events on and the installer's key naming it: no box to answer.
        code, text = wine.run("wine", args.helper, "box", "GlimmerfenChecker", 0)
        check(code != 0, "the program installed shows a box: %r" % text)
        wine.run("wine", args.helper, "post", MAIN_CAPTION, WM_COMMAND, ID_CLOSE_APP, 0)
        tray.wait(timeout=30)
    finally:
        if tray.poll() is None:
            tray.kill()
    # The program has written the user's settings at its close: from here on they are the user's as they are.
    settings, logged = read(ini), read(log)
    check(wine.msiexec("/x", new, "/qn") == 0, "the removal failed")
    check_removed(wine, ini, settings, logged)

    # The older version with the service and the start at logon; the upgrade given no choice keeps both.
    check(wine.msiexec("/i", old, "/qn", "SERVICE=1", "STARTUP=1") == 0, "the older version did not install")
    check(wine.service_state() == "RUNNING", "SERVICE=1 left no running service")
    check(wine.reg_value(RUN_KEY, "Glimmerfen Checker") == ["REG_SZ", '"%s"' % EXE], "STARTUP=1 wrote no Run entry")
    check(wait_until(lambda: read(log).count(SESSION) > logged.count(SESSION), 20), "the service logged no session")
    logged = read(log)
    check(wine.msiexec("/i", new, "/qn") == 0, "the upgrade failed")
    check_installed(wine, version)
    check(wine.service_state() == "RUNNING", "the upgrade left the service %s" % wine.service_state())
    check(wine.reg_value(RUN_KEY, "Glimmerfen Checker") is not None, "the upgrade dropped the start at logon")
    check(read(ini) == settings and read(log).startswith(logged), "the upgrade touched the INI file or the log")

    # Back to the older version: refused (Wine's msiexec does not log the launch condition's message), and
    # nothing changed.
    check(wine.msiexec("/i", old, "/qn") != 0, "the downgrade ran")
    check_installed(wine, version)
    check(wine.service_state() == "RUNNING", "the refused downgrade stopped the service")

    logged = read(log)
    check(wine.msiexec("/x", new, "/qn") == 0, "the removal failed")
    check_removed(wine, ini, settings, logged)


def main():
    parser = argparse.ArgumentParser()
    for name in ["installer", "version-file", "helper", "standin", "build-script", "wxs", "exe"]:
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--document", action="append", default=[])
    parser.add_argument("--wixl", default="wixl")
    parser.add_argument("--msibuild", default="msibuild")
    args = parser.parse_args()
    with open(args.version_file, encoding="ascii") as f:
        version = f.readline().strip()
    root = tempfile.mkdtemp(prefix="glimmerfen-msi.")
    wine = None
    try:
        check(os.path.basename(args.installer) == "GlimmerfenChecker-%s-x64.msi" % version,
              "the installer is named %s" % os.path.basename(args.installer))
        check_tables(args.installer, version, args.document)
        older = lower_version(version)
        lowered_exe(args.exe, older, os.path.join(root, "GlimmerfenChecker.exe"))
        older_msi = os.path.join(root, "GlimmerfenChecker-%s-x64.msi" % older)
        subprocess.run([sys.executable, args.build_script, "--wxs", args.wxs, "--version", older, "--exe",
                        os.path.join(root, "GlimmerfenChecker.exe"), "--output", older_msi, "--wixl", args.wixl,
                        "--msibuild", args.msibuild] + [w for d in args.document for w in ("--document", d)],
                       check=True)
        wine = Wine(root, args)
        check_under_wine(wine, args, version, older_msi)
    except Failure as e:
        print("FAILED: %s" % e)
        return 1
    finally:
        if wine:
            wine.stop()
        shutil.rmtree(root, ignore_errors=True)
    print("The installer of version %s installs, upgrades from %s, refuses a downgrade and uninstalls." %
          (version, lower_version(version)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
