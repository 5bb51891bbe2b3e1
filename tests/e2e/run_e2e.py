#!/usr/bin/env python3
"""End-to-end tests of GlimmerfenChecker.exe.

The real program runs under Wine on a private Xvfb display, in a Wine prefix of its own whose system
folder holds the stand-in netapi32.dll that plays a scenario of sessions and open files (the program
takes that library from the system folder only). The tests drive it from outside
(e2e_helper.exe finds its windows, posts commands, reads and answers its message boxes) and check what
it writes: Glimmerfen.ini, log.txt and the start-up shortcut.

Usage: run_e2e.py --exe GlimmerfenChecker.exe --dll netapi32.dll --helper e2e_helper.exe
                  --stub msgstub.exe [--manual manual.chm|manual_ja.chm] --lang en|ja [--keep]
"""
import argparse
import re
import glob
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import traceback

APP_NAME = "GlimmerfenChecker"  # caption of the program's message boxes
MAIN_CAPTION = "Glimmerfen Checker"
LIST_CAPTION = "Glimmerfen Checker - ListView"
LOG_CAPTION = "Glimmerfen Checker - LOG VIEWER"
WM_CLOSE, WM_COMMAND, WM_SYSCOMMAND, WM_ENDSESSION = 0x0010, 0x0111, 0x0112, 0x0016
WM_KEYDOWN, VK_ESCAPE, WM_LBUTTONDOWN, WM_LBUTTONUP = 0x0100, 0x1B, 0x0201, 0x0202
SC_CLOSE = 0xF060
IDOK, IDCANCEL = 1, 2
ID_VERSION_INFO, ID_CLOSE_APP, ID_SHOW_HELP = 32773, 32775, 32777
ID_DISCONNECT = 32771
ID_OPTION, ID_SEND_MESSAGE = 32776, 32784
ID_APPLY = 12321
IDC_START_DLG, IDC_POP_TIME, IDC_OK_PC_LIST, IDC_PC_RULE, IDC_NG_PC_LIST = 1010, 1015, 1019, 1016, 1024
IDC_SENDER, IDC_MESSAGE, IDC_RECIPIENT, IDC_SEND_STATUS = 1025, 1026, 1027, 1048
ID_LOG_OPEN, ID_LOG_REFRESH, ID_LOG_DELETE = 32783, 32799, 32801
ID_CLOSE_FILE = 32820
ID_NOTIFY_WHEN_CLOSED = 32821
TRAY_NOTIFY, NIN_BALLOONUSERCLICK = 1124, 0x0405  # the tray icon's message and a click on its notice
ID_OPEN_SHARED = 32780
ID_LOG_EXPORT_CSV = 32810
IDC_LOG_LIST, IDC_LOG_FIND = 1026, 1061
IDC_LIST = 1004
IDC_LOG_TREE, IDC_LOG_STATUS = 1027, 1030
LVM_SETSELECTIONMARK = 0x1043

TEXTS = {
    "en": {
        "codepage": "cp1252",
        "ask_startup": "Does it register with start-up?",
        "has_started": "Glimmerfen Checker has started",
        "no_help": "There is no help file.",
        "about_caption": "Glimmerfen Checker - information",
        "log_failed": "Preservation of a log went wrong.",
        "disconnect_manual": "Disconnect manually",
        "option_caption": "Glimmerfen Checker Option setup",
        "send_caption": "Glimmerfen Checker - Sending Messeage",
        "objects": "objects",
        "closed_file": "Closed the file manually",
        "bad_name": "This computer name is not used: it is not a well-formed computer name or IP address.",
        "csv_title": "Export as CSV",
        "csv_header": "Client name,User name,Connection start time,User Identification,Client type,Process ID,"
                      "Operation,Path name,Message for disconnect",
        "access_denied": "Glimmerfen Checker is not allowed to see the sessions and open files of this computer's shared folders (access denied), so it cannot show or log who is connected.",
        "users": ("alice", "bob", "carol"),
        "unregistered": "Glimmerfen Checker is no longer registered as a source of the Windows event log.",
        "unregister_other": "The event source is registered for another copy of the program and was left as it is:",
        "path_has_list": "Glimmerfen Checker was not registered as a source of the Windows event log: the path of the "
                         "program holds a \";\", which the event log reads as the end of one file name and the start "
                         "of another. The events are written all the same, but the event viewer shows them without "
                         "their texts. To have them registered, move the program to a folder whose path holds no \";\".",
        "not_understood": "This part of the command line was not understood:",
        "notice_cuts": "%d clients disconnected by rules",
        "notice_cut": "{user} on {pc} was disconnected by a rule: Disconnect automatically for the Denied PC",
        "notice_unreachable": "The server cannot be reached (Error:53).",
        "notice_back": "The server answers again.",
        "notice_closed": "%s is no longer open (held by %s for ",
    },
    "ja": {
        "codepage": "cp932",
        "ask_startup": "Glimmerfen Checherをスタートアップに登録しますか？",
        "has_started": "Glimmerfen Checkerは起動してます",
        "no_help": "ヘルプファイルがありません",
        "about_caption": "Glimmerfen Checker - ﾊﾞｰｼﾞｮﾝ情報",
        "log_failed": "ログの保存に失敗しました",
        "disconnect_manual": "手動切断",
        "option_caption": "Glimmerfen Checker の設定",
        "send_caption": "Glimmerfen Checker - ﾒｯｾｰｼﾞ送信",
        "objects": "個のオブジェクト",
        "closed_file": "手動でファイルを閉じました",
        "bad_name": "このコンピュータ名は使えません（正しいコンピュータ名またはIPアドレスではありません）。",
        "csv_title": "CSV形式で保存",
        "csv_header": "クライアント名,ユーザー名,接続開始時間,ユーザー識別,クライアントタイプ,プロセスID,操作,パス名,"
                      "切断メッセージ",
        "access_denied": "アクセスが拒否されたため、Glimmerfen Checkerはこのコンピュータの共有フォルダへの接続と開いているファイルを調べられません。",
        "users": ("山田", "佐藤", "鈴木"),
        "unregistered": "Glimmerfen CheckerのWindowsイベントログのソースとしての登録を削除しました。",
        "unregister_other": "イベントソースはこのプログラムの別のコピーに登録されているため、そのままにしました:",
        "path_has_list": "Glimmerfen CheckerをWindowsイベントログのソースとして登録しませんでした。プログラムのパスに「;」が"
                         "含まれており、イベントログはこれをファイル名の区切りとして読むためです。イベントはそのまま書き込まれますが、"
                         "イベントビューアーには説明文なしで表示されます。登録するには、パスに「;」を含まないフォルダにプログラムを"
                         "移動してください。",
        "not_understood": "コマンドラインの次の指定は理解できません:",
        "notice_cuts": "%d 件のクライアントをルールにより切断しました",
        "notice_cut": "{pc} の {user} をルールにより切断しました: 拒否PCのため自動切断",
        "notice_unreachable": "サーバーに接続できません(Error:53)。",
        "notice_back": "サーバーが再び応答しています。",
        "notice_closed": "%s は閉じられました(%s が ",
    },
}

# Every key the exit writes to section "Setting", with its default (CycleTime3 and IntermitCheck are
# never written).
DEFAULT_SETTING = [
    ("InitFlag", "0"), ("LogOut", "1"), ("LogSetDays", "3"), ("LogChkOkPc", "0"), ("LogChkDisMsg", "0"),
    ("ViewTime", "30"), ("StartDlg", "0"), ("TopDlg", "1"), ("DlgPopFlag", "0"), ("DlgPopTime", "10"),
    ("DlgPopChkOkPc", "0"), ("DlgPopCloseFlag", "0"), ("DisJuncPcFlag", "0"), ("DisJuncOkPcFlag", "0"),
    ("DisJuncNgPcFlag", "1"), ("DisJuncOkPcStr", ""), ("DisJuncNgPcStr", ""), ("DisJuncFileFlag", "0"),
    ("DisJuncFileStr", "eml"), ("DisJuncTimerFlag", "0"), ("DisJuncTimer", "20"), ("ThreadLevel1", "0"),
    ("ThreadLevel2", "0"), ("CycleTime1", "20"), ("CycleTime2", "1000"), ("MsgFrom", ""), ("ChkStartUp", "0"),
]

# The scripted accesses and the log lines they must produce, per language. Each expected line gives the
# moment (seconds after the scenario's start) and the connection time of the session it comes from, so
# that its start time can be checked, and fields 1, 2 and 4 to 10.
SCENARIOS = {
    "en": {
        "script": [
            "session PC-ALPHA alice 120 3 1 Windows 2002 Service Pack 2 2600",
            "session PC-BETA bob 5 0 0 Samba 4.19",
            "file bob 101 1 0 C:\\Share\\Documents\\estimate.xlsx",
            "at 1500",
            "file bob 102 2 1 C:\\Share\\report",
            "at 2500",
            "close file 101",
            "end session PC-ALPHA alice",
        ],
        "lines": [
            (0, 120, ["PC-ALPHA", "alice", None, "GUEST", "Windows 2002 Service Pack 2 2600", "0", "", "", "", ""]),
            (0, 5, ["", "bob", None, "", "", "101", "FILE READ", "C:\\Share\\Documents\\estimate.xlsx", "", ""]),
            (1.5, 6.5, ["", "bob", None, "", "", "102", "FILE WRITE", "C:\\Share\\report", "", ""]),
        ],
    },
    "ja": {
        "script": [
            'session 経理部PC 山田 60 0 0 ""',
            # 表 is 0x95 0x5C in Shift-JIS: its second byte is a backslash.
            "file 山田 201 1 0 D:\\共有\\表計算\\予定表.xlsx",
            "at 1500",
            "session ＰＣ２ 佐藤 10 0 2 Windows",
        ],
        "lines": [
            (0, 60, ["", "山田", None, "", "", "201", "FILE READ", "D:\\共有\\表計算\\予定表.xlsx", "", ""]),
            (1.5, 10, ["ＰＣ２", "佐藤", None, "NOENCRYPTION", "Windows", "0", "", "", "", ""]),
        ],
    },
}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(condition, timeout=10.0):
    """Polls the condition every 0.2 s until it holds or the time is up; returns its last value."""
    deadline = time.time() + timeout
    while not condition() and time.time() < deadline:
        time.sleep(0.2)
    return condition()


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Environment:
    """A private Xvfb display and Wine prefix for the whole run."""

    def __init__(self, root, lang, dll):
        self.root = root
        self.lang = lang
        self.standin = dll
        self.xvfb = None
        self.env = dict(os.environ)
        self.env.pop("WINEDLLOVERRIDES", None)
        self.env.update({
            "WINEPREFIX": os.path.join(root, "prefix"),
            "WINEDEBUG": "-all",
            "TZ": "Asia/Tokyo",
        })
        if lang == "ja":
            self.env.update({"LANG": "ja_JP.UTF-8", "LC_ALL": "ja_JP.UTF-8"})
        else:
            self.env.update({"LANG": "en_US.UTF-8", "LC_ALL": "C.UTF-8"})

    def start(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        check(number.strip(), "Xvfb did not report its display")
        self.env["DISPLAY"] = ":" + number.decode().strip()
        boot = dict(self.env, WINEDLLOVERRIDES="mscoree,mshtml=")
        subprocess.run(["wineboot", "-i"], env=boot, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=300)
        subprocess.run(["wineserver", "-w"], env=boot, timeout=300)
        # Without a window manager, Wine waits two seconds for one at every hide of a managed window;
        # unmanaged windows hide at once, as they do on a desktop with a window manager.
        subprocess.run(["wine", "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                       env=boot, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        # Everything started so far ends before the program comes: the desktop process that holds the
        # tray reads the setting when it starts.
        subprocess.run(["wineserver", "-w"], env=boot, timeout=300)
        # The stand-in goes where the real library lives, once the new prefix has settled; the program
        # loads it from there with WINEDLLOVERRIDES=netapi32=n.
        shutil.copy(self.standin, self.system_library())

    def system_library(self):
        return self.system_file("netapi32.dll")

    def system_file(self, name):
        return os.path.join(self.env["WINEPREFIX"], "drive_c", "windows", "system32", name)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=10)

    def startup_folder(self):
        # The folder's spelling differs between prefixes ("Startup", "StartUp").
        for programs in glob.glob(os.path.join(self.env["WINEPREFIX"], "drive_c", "users", "*", "AppData", "Roaming",
                                               "Microsoft", "Windows", "Start Menu", "Programs")):
            for name in os.listdir(programs):
                if name.lower() == "startup":
                    return os.path.join(programs, name)
        return None


class Program:
    """One copy of the program in a folder of its own."""

    def __init__(self, env, args, name, manual=False, ini=None, scenario=None):
        self.env = env
        self.args = args
        self.dir = os.path.join(env.root, name)
        os.makedirs(self.dir)
        self.exe = os.path.join(self.dir, "GlimmerfenChecker.exe")
        shutil.copy(args.exe, self.exe)
        if manual and args.manual:
            shutil.copy(args.manual, self.dir)
        if ini is not None:
            with open(self.path("Glimmerfen.ini"), "wb") as f:
                f.write(ini.encode("ascii"))
        scenario_path = self.path("scenario.txt")
        with open(scenario_path, "w", encoding="utf-8") as f:
            f.write("\n".join(scenario or ["# no accesses"]) + "\n")
        self.run_env = dict(env.env, WINEDLLOVERRIDES="netapi32=n,b;mscoree,mshtml=",
                            GLIMMERFEN_SIM_SCENARIO=windows_path(scenario_path))
        self.processes = []

    def path(self, name):
        return os.path.join(self.dir, name)

    def start(self, *words):
        started = time.time()
        process = subprocess.Popen(["wine", self.exe] + list(words), cwd=self.dir, env=self.run_env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process, started

    def helper(self, *words, timeout=60):
        # The output goes through a file, not a pipe: a helper that happens to start the Wine server
        # hands the pipe on to the server's processes, which keep it open long after the helper ended.
        with tempfile.TemporaryFile() as out:
            result = subprocess.run(["wine", self.args.helper] + [str(w) for w in words], env=self.run_env,
                                    stdout=out, stderr=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            return result.returncode, out.read().decode("utf-8", "replace").strip()

    def wait_window(self, caption, timeout_ms=20000):
        code, _ = self.helper("wait", caption, timeout_ms)
        check(code == 0, "no window \"%s\" appeared" % caption)

    def post(self, caption, message, wparam=0, lparam=0):
        code, _ = self.helper("post", caption, message, wparam, lparam)
        check(code == 0, "could not post to \"%s\"" % caption)

    def control_text(self, caption, control):
        code, text = self.helper("gettext", caption, control)
        check(code == 0, "no control %d in \"%s\"" % (control, caption))
        return text

    def box(self, timeout_ms=20000):
        code, text = self.helper("box", APP_NAME, timeout_ms)
        return text if code == 0 else None

    def count(self, caption):
        return int(self.helper("count", caption)[1] or "0")

    def close_application(self, process):
        """Posts "Close Application" and returns how long the process took to end, counted from before the
        helper that posts it starts (so the helper's own start-up counts against the program)."""
        posted = time.time()
        self.post(MAIN_CAPTION, WM_COMMAND, ID_CLOSE_APP)
        try:
            process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within 15 s of \"Close Application\"")
        return time.time() - posted

    def open_log_viewer(self):
        """Opens the log viewer from the main window and waits until its tree is filled."""
        self.wait_window(MAIN_CAPTION)
        self.post(MAIN_CAPTION, WM_COMMAND, ID_LOG_OPEN)
        self.wait_window(LOG_CAPTION)
        wait_until(lambda: self.helper("tree", LOG_CAPTION, IDC_LOG_TREE)[1])

    def export_csv(self, title, target):
        """"Export as CSV..." (the menu's command reaches the main window, which hands it to the viewer),
        the file name typed into the Save dialog, Save; waits for the file."""
        self.post(MAIN_CAPTION, WM_COMMAND, ID_LOG_EXPORT_CSV)
        self.wait_window(title)
        check(self.helper("settext", title, 0x47C, windows_path(target))[0] == 0, "could not type the file name")
        self.post(title, WM_COMMAND, IDOK)  # Save
        wait_until(lambda: os.path.exists(target))
        time.sleep(0.5)

    def kill_all(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()

    def read_ini(self):
        sections, current = {}, None
        with open(self.path("Glimmerfen.ini"), "rb") as f:
            for raw in f.read().decode("latin-1").split("\r\n"):
                if raw.startswith("["):
                    current = raw.strip("[]")
                    sections[current] = []
                elif "=" in raw and current is not None:
                    key, value = raw.split("=", 1)
                    sections[current].append((key, value))
        return sections


KNOWN_INI = "[Setting]\r\nInitFlag=1\r\n"


def case_first_run(env, args, texts):
    """No INI file: the question comes once, the defaults apply, the first exit writes every key."""
    answer_ok = env.lang == "ja"
    program = Program(env, args, "first_run")
    try:
        process, _ = program.start()
        check(program.box() == texts["ask_startup"], "the first-run question did not come")
        program.helper("press", APP_NAME, IDOK if answer_ok else IDCANCEL)
        check(program.box(timeout_ms=2500) is None, "a message box is still (or again) shown after the answer")
        elapsed = program.close_application(process)
        check(elapsed <= 1.0, "the program took %.2f s to end after \"Close Application\"" % elapsed)
        check(process.returncode == 0, "exit code %s" % process.returncode)

        ini = program.read_ini()
        check("Setting" in ini, "no section Setting in Glimmerfen.ini")
        expected = [(k, {"InitFlag": "1", "ChkStartUp": "1" if answer_ok else "0"}.get(k, v))
                    for k, v in DEFAULT_SETTING]
        check(ini["Setting"] == expected, "section Setting is\n%s\nexpected\n%s" % (ini["Setting"], expected))
        check("DialogPos" in ini, "the list window did not save its section DialogPos")

        folder = env.startup_folder()
        shortcut = os.path.join(folder, "GlimmerfenChecker.lnk") if folder else None
        if answer_ok:
            check(shortcut and os.path.exists(shortcut), "no start-up shortcut after answering OK")
            with open(shortcut, "rb") as f:
                data = f.read()
            check(b"GlimmerfenChecker.exe" in data or "GlimmerfenChecker.exe".encode("utf-16-le") in data,
                  "the shortcut does not point at the program")
            os.remove(shortcut)
        else:
            check(not (shortcut and os.path.exists(shortcut)), "a start-up shortcut appeared after Cancel")
    finally:
        program.kill_all()


def case_only_close_application_ends_it(env, args, texts):
    """Enter, Escape and close requests leave the program running; help and version box work; the close
    sequence also ends an open version box."""
    program = Program(env, args, "stray_closes", ini=KNOWN_INI)
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        for message, wparam in ((WM_CLOSE, 0), (WM_COMMAND, IDOK), (WM_COMMAND, IDCANCEL), (WM_SYSCOMMAND, SC_CLOSE)):
            program.post(MAIN_CAPTION, message, wparam)
        time.sleep(1.5)
        check(process.poll() is None, "a close request other than \"Close Application\" ended the program")
        check(program.count(MAIN_CAPTION) == 1, "the main window is gone")

        # No manual beside this copy.
        program.post(MAIN_CAPTION, WM_COMMAND, ID_SHOW_HELP)
        check(program.box() == texts["no_help"], "\"Show the help-file\" without manual.chm did not say so")
        program.helper("press", APP_NAME, IDOK)

        program.post(MAIN_CAPTION, WM_COMMAND, ID_VERSION_INFO)
        program.wait_window(texts["about_caption"])
        program.post(MAIN_CAPTION, WM_COMMAND, ID_VERSION_INFO)
        time.sleep(0.5)
        check(program.count(texts["about_caption"]) == 1, "a second version box opened")

        elapsed = program.close_application(process)
        check(elapsed <= 1.0, "with the version box open the program took %.2f s to end" % elapsed)
        check(process.returncode == 0, "exit code %s" % process.returncode)
        check(program.read_ini()["Setting"][0] == ("InitFlag", "1"), "settings not saved")
    finally:
        program.kill_all()


def case_second_start(env, args, texts):
    """A second start shows only "has started" and ends; the first goes on unaffected."""
    program = Program(env, args, "second_start", ini=KNOWN_INI)
    try:
        first, _ = program.start()
        program.wait_window(LIST_CAPTION)
        time.sleep(1.0)
        second, _ = program.start()
        check(program.box() == texts["has_started"], "the second start did not show \"has started\"")
        check(program.count(MAIN_CAPTION) == 1, "the second start made a main window")
        check(program.count(LIST_CAPTION) == 1, "the second start made a list window")
        program.helper("press", APP_NAME, IDOK)
        try:
            second.wait(timeout=10)
        except subprocess.TimeoutExpired:
            raise Failure("the second start did not end after its message")
        check(second.returncode == 0, "second start's exit code %s" % second.returncode)
        with open(program.path("Glimmerfen.ini"), "rb") as f:
            check(f.read() == KNOWN_INI.encode(), "the second start wrote Glimmerfen.ini")
        time.sleep(1.0)
        check(first.poll() is None, "the first instance ended")
        check(program.count(MAIN_CAPTION) == 1, "the first instance's main window is gone")

        elapsed = program.close_application(first)
        check(elapsed <= 1.0, "the program took %.2f s to end" % elapsed)
        check(len(program.read_ini()["Setting"]) == len(DEFAULT_SETTING), "the first instance did not save")
    finally:
        program.kill_all()


def case_scripted_log(env, args, texts):
    """Scripted accesses produce exactly the expected lines in log.txt, in the ANSI code page."""
    scenario = SCENARIOS[env.lang]
    program = Program(env, args, "scripted_log", ini=KNOWN_INI, scenario=scenario["script"])
    try:
        process, launched = program.start()
        program.wait_window(LIST_CAPTION)
        time.sleep(4.0)
        program.close_application(process)
        check(process.returncode == 0, "exit code %s" % process.returncode)
        with open(program.path("log.txt"), "rb") as f:
            data = f.read()
    finally:
        program.kill_all()

    check(data.endswith(b"\r\n"), "log.txt does not end with CR LF")
    raw_lines = data[:-2].split(b"\r\n")
    expected = scenario["lines"]
    check(len(raw_lines) == len(expected),
          "log.txt has %d lines, expected %d:\n%s" % (len(raw_lines), len(expected), data.decode(texts["codepage"])))
    for number, (raw, (at, connected, fields)) in enumerate(zip(raw_lines, expected)):
        line = raw.decode(texts["codepage"])
        check(line.encode(texts["codepage"]) == raw, "line %d does not round-trip" % number)
        got = line.split("\t")
        check(len(got) == 11, "line %d has %d fields: %r" % (number, len(got), line))
        start = int(got[0])
        # The start of the connection: when the scenario made it, minus its connection time then.
        lowest, highest = launched + at - connected - 2, launched + at - connected + 10
        check(lowest <= start <= highest, "line %d: start %d outside [%d, %d]" % (number, start, lowest, highest))
        check(got[3] == time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(start)),
              "line %d: start time text %r does not match %d" % (number, got[3], start))
        want = [w if w is not None else got[3] for w in fields]
        check(got[1:] == want, "line %d is %r, expected %r" % (number, got[1:], want))


def case_help_with_manual(env, args, texts):
    """With the manual of the program's language beside it (manual.chm, or only manual_ja.chm for the
    Japanese program), F1 in the list window opens the viewer (at the list's page), and "Show the
    help-file" shows it again without a complaint, and the program still ends at once."""
    check(args.manual, "no --manual given")
    program = Program(env, args, "help", manual=True, ini=KNOWN_INI)
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        for attempt in range(2):
            if attempt == 0:
                check(program.helper("f1", LIST_CAPTION)[0] == 0, "F1 did not reach the list window")
            else:
                program.post(MAIN_CAPTION, WM_COMMAND, ID_SHOW_HELP)
            deadline = time.time() + 15
            while program.helper("classcount", "HH Parent")[1] != "1" and time.time() < deadline:
                time.sleep(0.2)
            check(program.helper("classcount", "HH Parent")[1] == "1", "request %d: no help window" % (attempt + 1))
            check(program.box(timeout_ms=1500) is None, "request %d: a message box came with the help" % (attempt + 1))
        elapsed = program.close_application(process)
        check(elapsed <= 1.0, "with the help window open the program took %.2f s to end" % elapsed)
        check(process.returncode == 0, "exit code %s" % process.returncode)
    finally:
        program.kill_all()


def case_tray_icon_comes_back(env, args, texts):
    """The icon is in the tray while the program runs, comes back when the shell announces a new taskbar,
    and is gone as soon as "Close Application" has run."""
    program = Program(env, args, "tray", ini=KNOWN_INI)
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        check(program.helper("tray", MAIN_CAPTION, "exists")[0] == 0, "no tray icon after start")
        # A restarted shell has lost every icon.
        check(program.helper("tray", MAIN_CAPTION, "delete")[0] == 0, "could not take the icon away")
        check(program.helper("tray", MAIN_CAPTION, "exists")[0] == 1, "the icon is still there")
        check(program.helper("taskbarcreated", MAIN_CAPTION)[0] == 0, "could not announce a new taskbar")
        deadline = time.time() + 5
        while program.helper("tray", MAIN_CAPTION, "exists")[0] != 0 and time.time() < deadline:
            time.sleep(0.2)
        check(program.helper("tray", MAIN_CAPTION, "exists")[0] == 0, "the icon did not come back")
        elapsed = program.close_application(process)
        check(elapsed <= 1.0, "the program took %.2f s to end" % elapsed)
    finally:
        program.kill_all()


def case_close_behind_log_failure_box(env, args, texts):
    """log.txt cannot be written (a folder stands in its place): the poll's failure box comes up and stays
    unanswered, and "Close Application" still ends the program at once instead of waiting for the box."""
    program = Program(env, args, "log_box", ini=KNOWN_INI, scenario=SCENARIOS[env.lang]["script"])
    os.makedirs(program.path("log.txt"))
    try:
        process, _ = program.start()
        text = program.box()
        check(text is not None and text.startswith(texts["log_failed"]), "no box about the log, but %r" % text)
        elapsed = program.close_application(process)
        check(elapsed <= 1.0, "with the log's failure box up the program took %.2f s to end" % elapsed)
        check(process.returncode == 0, "exit code %s" % process.returncode)
    finally:
        program.kill_all()


# The session that "Disconnect" ends from the list's context menu: long user names (the enumeration
# keeps 254 bytes of a name), double-byte ones in Japanese.
DISCONNECT_SESSION = {
    "en": ("PC-ALPHA", "alice" + "x" * 115),
    "ja": ("ＰＣ２", "佐藤" * 40),
}


def case_manual_disconnect(env, args, texts):
    """"Disconnect" on a session row ends the row's session on the server (client with two backslashes, the
    whole user name) and logs a "Disconnect manually" line with the row's names; no box comes."""
    client, user = DISCONNECT_SESSION[env.lang]
    program = Program(env, args, "manual_disconnect", ini=KNOWN_INI,
                      scenario=["session %s %s 30 0 0 Windows" % (client, user)])
    deletions = program.path("deletions.txt")
    program.run_env["GLIMMERFEN_SIM_DELETIONS"] = windows_path(deletions)
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        # The session's row is in the list after the first refresh.
        time.sleep(2.5)
        code, _ = program.helper("postchild", LIST_CAPTION, IDC_LIST, LVM_SETSELECTIONMARK, 0, 0)
        check(code == 0, "could not select the row")
        # The context menu's command arrives at the main window, which owns the menu.
        program.post(MAIN_CAPTION, WM_COMMAND, ID_DISCONNECT)
        wait_until(lambda: os.path.exists(deletions))
        time.sleep(0.5)
        check(program.box(timeout_ms=1000) is None, "a message box came with the disconnection")
        program.close_application(process)
        check(process.returncode == 0, "exit code %s" % process.returncode)
    finally:
        program.kill_all()

    check(os.path.exists(deletions), "NetSessionDel was not called")
    with open(deletions, "rb") as f:
        calls = f.read().decode("utf-8").splitlines()
    check(calls == ["\\\\%s\t%s" % (client, user)], "NetSessionDel calls: %r" % calls)
    with open(program.path("log.txt"), "rb") as f:
        lines = f.read().decode(texts["codepage"]).split("\r\n")
    check(lines[-1] == "", "log.txt does not end with CR LF")
    disconnects = [line.split("\t") for line in lines[:-1] if line.split("\t")[9:10] != [""]]
    check(len(disconnects) == 1, "expected one disconnect line in log.txt, got %r" % lines)
    got = disconnects[0]
    check(len(got) == 11, "the disconnect line has %d fields" % len(got))
    check(got[1:3] == [client, user], "the disconnect line names %r" % got[1:3])
    check(got[4:9] == [""] * 5 and got[9] == texts["disconnect_manual"] and got[10] == "",
          "the disconnect line is %r" % got)
    check(got[3] == time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(int(got[0]))),
          "time text %r does not match %s" % (got[3], got[0]))


def case_log_viewer(env, args, texts):
    """"Log open" shows the log's dates and users; deleting one user of one date and refreshing rewrites
    log.txt without that user's lines of that date and keeps every other line, one appended by the running
    program after the viewer loaded included; closing the viewer saves its place; the end of the user's
    session writes a deletion as a close does."""
    keep, drop, newcomer = texts["users"]
    now = int(time.time())
    yesterday, today = now - 86400, now - 60
    day = lambda t: time.strftime("%Y-%m-%d", time.localtime(t))

    def line(t, client, user, path):
        return "%d\t%s\t%s\t%s\t\t\t0\tFILE READ\t%s\t\t\r\n" % (
            t, client, user, time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(t)), path)

    seeded = [line(yesterday, "PC1", drop, "C:\\a"), line(yesterday, "PC2", keep, "C:\\b"),
              line(yesterday + 1, "PC1", drop, "C:\\c"), line(today, "PC1", drop, "C:\\d")]
    program = Program(env, args, "log_viewer", ini=KNOWN_INI,
                      scenario=["at 9000", "session PC-NEW %s 5 0 0 Windows" % newcomer])
    with open(program.path("log.txt"), "wb") as f:
        f.write("".join(seeded).encode(texts["codepage"]))
    try:
        process, _ = program.start()
        program.open_log_viewer()
        rows = program.helper("tree", LOG_CAPTION, IDC_LOG_TREE)[1].split("\n")
        check(rows[0] == day(yesterday) and "\t" + keep in rows and "\t" + drop in rows,
              "the tree after the load is %r" % rows)
        check(rows.index(day(today)) == 3 and rows[4:] == ["\t" + drop], "the tree after the load is %r" % rows)
        # The user to delete under the first date, as the tree orders its users.
        index = rows[1:3].index("\t" + drop)
        check(program.helper("treeselect", LOG_CAPTION, IDC_LOG_TREE, 0, index)[0] == 0, "could not select the user")
        status = program.helper("text", LOG_CAPTION, IDC_LOG_STATUS)[1]
        check(status == "2" + texts["objects"], "the status text is %r" % status)
        # The menu's command reaches the main window, which owns the viewer's menus.
        program.post(MAIN_CAPTION, WM_COMMAND, ID_LOG_DELETE)
        time.sleep(0.5)
        with open(program.path("log.txt"), "rb") as f:
            check(f.read() == "".join(seeded).encode(texts["codepage"]), "Delete changed log.txt before a refresh")
        # The program appends the newcomer's line while the viewer is open.
        wait_until(lambda: os.path.getsize(program.path("log.txt")) != len("".join(seeded).encode(texts["codepage"])),
                   20)
        program.post(MAIN_CAPTION, WM_COMMAND, ID_LOG_REFRESH)
        time.sleep(1.5)
        with open(program.path("log.txt"), "rb") as f:
            lines = f.read().decode(texts["codepage"]).split("\r\n")
        check(lines[:2] == [seeded[1][:-2], seeded[3][:-2]], "after the refresh log.txt begins %r" % lines[:3])
        check(len(lines) == 4 and lines[2].split("\t")[2] == newcomer and lines[3] == "",
              "the appended line did not survive: %r" % lines)
        check(not os.path.exists(program.path("log_tmp.txt")), "log_tmp.txt was left behind")
        rows = program.helper("tree", LOG_CAPTION, IDC_LOG_TREE)[1].split("\n")
        check(rows[:2] == [day(yesterday), "\t" + keep], "the tree after the refresh is %r" % rows)

        program.post(LOG_CAPTION, WM_CLOSE)
        check(program.helper("gone", LOG_CAPTION, 10000)[0] == 0, "the viewer did not close")
        saved = dict(program.read_ini().get("LogDialogPos", []))
        check(saved.get("bottom", "0") != "0" and saved.get("columnck8") == "1",
              "LogDialogPos after the close: %r" % saved)

        # Windows ends the session while the viewer holds a deletion: it is written as at a close.
        program.post(MAIN_CAPTION, WM_COMMAND, ID_LOG_OPEN)
        program.wait_window(LOG_CAPTION)
        check(wait_until(lambda: program.helper("tree", LOG_CAPTION, IDC_LOG_TREE)[1].startswith(day(yesterday))),
              "the viewer did not load again")
        check(program.helper("treeselect", LOG_CAPTION, IDC_LOG_TREE, 0, 0)[0] == 0, "could not select the user")
        program.post(MAIN_CAPTION, WM_COMMAND, ID_LOG_DELETE)
        program.post(MAIN_CAPTION, WM_ENDSESSION, 1, 0)
        check(wait_until(lambda: open(program.path("log.txt"), "rb").read().decode(texts["codepage"])
                         .split("\r\n")[0] == seeded[3][:-2]), "the deletion was not written at the session's end")
        with open(program.path("log.txt"), "rb") as f:
            check(len(f.read().decode(texts["codepage"]).split("\r\n")) == 3, "the session's end lost a line")
    finally:
        program.kill_all()


def case_one_file_enumeration_per_poll(env, args, texts):
    """With 100 sessions every poll asks the server twice: the sessions, then every open file without a
    user filter; never once per session."""
    scenario = ["session PC%03d user%02d 30 0 0 Windows" % (i, i % 40) for i in range(100)]
    scenario += ["file user%02d %d 1 0 C:\\Share\\f%d.txt" % (i, 100 + i, i) for i in range(0, 40, 3)]
    program = Program(env, args, "file_enumeration", ini=KNOWN_INI, scenario=scenario)
    calls = program.path("calls.txt")
    program.run_env["GLIMMERFEN_SIM_CALLS"] = windows_path(calls)
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        time.sleep(2)
        program.close_application(process)
    finally:
        program.kill_all()
    with open(calls, "rb") as f:
        lines = f.read().decode("utf-8").splitlines()
    polls = lines.count("sessions")
    check(polls >= 10, "only %d session enumerations in 2 s" % polls)
    check(set(lines) == {"sessions", "files"}, "calls other than the two enumerations: %r" %
          sorted(set(lines) - {"sessions", "files"})[:5])
    pairs = ["%s %s" % (lines[i], lines[i + 1]) for i in range(0, len(lines) - 1, 2)]
    check(pairs.count("sessions files") == len(lines) // 2,
          "the calls do not come in pairs of one session and one file enumeration: %r" % lines[:6])
    with open(program.path("log.txt"), "rb") as f:
        logged = f.read().decode(texts["codepage"]).split("\r\n")[:-1]
    # A session whose user has files is logged by its files; the files of a user are one entry each.
    with_files = set(range(0, 40, 3))
    expected = sum(1 for i in range(100) if i % 40 not in with_files) + len(with_files)
    check(len(logged) == expected, "expected %d access lines, got %d" % (expected, len(logged)))


def case_access_denied(env, args, texts):
    """Session enumerations denied (error 5) for the first seconds: one message that asks to run as
    administrator, not one per poll; when the server answers again the program sees and logs the session
    that is there."""
    program = Program(env, args, "access_denied", ini=KNOWN_INI,
                      scenario=["deny sessions 5", "session PC-ADMIN alice 30 0 0 Windows", "at 6000",
                                "deny sessions off"])
    try:
        process, _ = program.start()
        text = program.box()
        check(text is not None and text.startswith(texts["access_denied"]), "the message was %r" % text)
        program.helper("press", APP_NAME, IDOK)
        check(program.box(timeout_ms=3000) is None, "a second message came while access was still denied")
        check(not os.path.exists(program.path("log.txt")) or os.path.getsize(program.path("log.txt")) == 0,
              "something was logged while access was denied")
        wait_until(lambda: os.path.exists(program.path("log.txt")) and os.path.getsize(program.path("log.txt")) > 0,
                   15)
        check(program.box(timeout_ms=500) is None, "a message came when access was given again")
        program.close_application(process)
    finally:
        program.kill_all()
    with open(program.path("log.txt"), "rb") as f:
        lines = f.read().decode(texts["codepage"]).split("\r\n")[:-1]
    check(len(lines) == 1 and lines[0].split("\t")[1:3] == ["PC-ADMIN", "alice"],
          "after access was given again log.txt holds %r" % lines)


def case_planted_library_stays_unloaded(env, args, texts):
    """A netapi32.dll planted beside the program (a copy of the stand-in, which records every load) is never
    loaded: the program takes the system folder's, whose sessions still reach log.txt."""
    program = Program(env, args, "planted", ini=KNOWN_INI, scenario=SCENARIOS[env.lang]["script"])
    shutil.copy(args.dll, program.path("netapi32.dll"))
    loads = program.path("loads.txt")
    program.run_env["GLIMMERFEN_SIM_LOADS"] = windows_path(loads)
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        wait_until(lambda: os.path.exists(program.path("log.txt")), 15)
        program.close_application(process)
        check(process.returncode == 0, "exit code %s" % process.returncode)
    finally:
        program.kill_all()

    check(os.path.exists(loads), "no netapi32.dll was loaded at all")
    with open(loads, "rb") as f:
        records = [line.split("\t") for line in f.read().decode("utf-8").splitlines()]
    ours = [library for exe, library in records if exe.lower().endswith("\\glimmerfenchecker.exe")]
    check(ours, "the program loaded no netapi32.dll; loads: %r" % records)
    check(all(library.lower() == "c:\\windows\\system32\\netapi32.dll" for library in ours),
          "the program loaded %r, not only the system folder's" % ours)
    check(os.path.exists(program.path("log.txt")) and os.path.getsize(program.path("log.txt")) > 0,
          "the system folder's library served no sessions: log.txt is empty")


# What the option sheet's Apply writes, in its order (MsgFrom is the exit's alone).
APPLIED_ORDER = ["InitFlag", "LogOut", "LogSetDays", "LogChkOkPc", "LogChkDisMsg", "ViewTime", "StartDlg", "TopDlg",
                 "DlgPopFlag", "DlgPopTime", "DlgPopCloseFlag", "DlgPopChkOkPc", "DisJuncPcFlag", "DisJuncOkPcFlag",
                 "DisJuncNgPcFlag", "DisJuncOkPcStr", "DisJuncNgPcStr", "DisJuncFileFlag", "DisJuncFileStr",
                 "DisJuncTimerFlag", "DisJuncTimer", "ChkStartUp", "ThreadLevel1", "ThreadLevel2", "CycleTime1",
                 "CycleTime2"]

# A computer name typed into the acceptable list: double-byte in Japanese, so its bytes in the file
# show the code page.
ACCEPTABLE_LIST = {"en": "PC-ONE;PC-TWO", "ja": "経理部PC;ＰＣ２"}


def case_option_sheet(env, args, texts):
    """The tray's "Option settting": a number corrected in place, Apply writes Glimmerfen.ini at once in the
    sheet's order, a second request opens no second sheet, "Close Application" with the sheet open drops the
    unapplied edit, and the next start uses what was applied (the list window stays hidden)."""
    program = Program(env, args, "option_sheet", ini=KNOWN_INI)
    caption = texts["option_caption"]
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        program.post(MAIN_CAPTION, WM_COMMAND, ID_OPTION)
        program.wait_window(caption)
        program.helper("settext", caption, IDC_POP_TIME, "250")
        check(program.control_text(caption, IDC_POP_TIME) == "100", "250 was not corrected to 100")
        program.helper("click", caption, IDC_START_DLG)
        program.helper("page", caption, 1)
        check(wait_until(lambda: program.helper("gettext", caption, IDC_OK_PC_LIST)[0] == 0),
              "the Disconnect Setting page did not come")
        program.helper("click", caption, IDC_PC_RULE)
        program.helper("settext", caption, IDC_OK_PC_LIST, ACCEPTABLE_LIST[env.lang])
        program.helper("click", caption, ID_APPLY)
        # Apply writes key after key: the file is read once the last one is there.
        check(wait_until(lambda: [k for k, _ in program.read_ini().get("Setting", [])] == APPLIED_ORDER),
              "Apply did not write Glimmerfen.ini: %r" % program.read_ini().get("Setting"))
        applied = program.read_ini()["Setting"]
        values = dict(applied)
        check(values["StartDlg"] == "1" and values["DisJuncPcFlag"] == "1" and values["DlgPopTime"] == "100",
              "Apply wrote %r" % applied)
        with open(program.path("Glimmerfen.ini"), "rb") as f:
            check(("DisJuncOkPcStr=%s\r\n" % ACCEPTABLE_LIST[env.lang]).encode(texts["codepage"]) in f.read(),
                  "the acceptable list is not in the file in the ANSI code page")

        program.post(MAIN_CAPTION, WM_COMMAND, ID_OPTION)
        time.sleep(0.5)
        check(program.count(caption) == 1, "a second option sheet opened")
        # An edit that is never applied.
        program.helper("page", caption, 0)
        time.sleep(0.3)
        program.helper("settext", caption, IDC_POP_TIME, "55")
        elapsed = program.close_application(process)
        check(elapsed <= 1.0, "with the option sheet open the program took %.2f s to end" % elapsed)
        check(process.returncode == 0, "exit code %s" % process.returncode)
        values = dict(program.read_ini()["Setting"])
        check(values["DlgPopTime"] == "100", "the unapplied 55 reached the file: %r" % values)
        check(values["StartDlg"] == "1", "the applied StartDlg was lost at exit")

        # The next start: the list window starts hidden, and the sheet shows what was applied.
        process, _ = program.start()
        check(wait_until(lambda: program.count(MAIN_CAPTION) == 1, 20), "the program did not start again")
        time.sleep(1.5)
        listed = [line.split("\t") for line in program.helper("list")[1].splitlines()]
        check(["#32770", "hidden", LIST_CAPTION] in listed, "the list window is not hidden with StartDlg=1")
        program.post(MAIN_CAPTION, WM_COMMAND, ID_OPTION)
        program.wait_window(caption)
        check(program.control_text(caption, IDC_POP_TIME) == "100", "the sheet does not show the applied value")
        program.close_application(process)
    finally:
        program.kill_all()


# The row the message goes to, per language, with a message that tries to add arguments of its own: quotes,
# backslashes (a trailing one too), what a shell would expand, a line break; in Japanese characters whose
# second byte is "\\" (表) or "|" (ポ).
MESSAGE_SESSION = {"en": ("PC-MSG", "carol", 'Hello "there" /time:0 \\" %PATH% ^& | <x>\r\nC:\\dir\\'),
                   "ja": ("経理部PC", "山田", '会議は"３時"から 表" ポ|表\r\n表')}


def case_send_message(env, args, texts):
    """"Send message to this PC" on a row: the recipient is the row's computer, the sender offered is
    user(computer); Transmission runs the stand-in msg.exe of the system folder (not the one planted beside the
    program) and the message, hostile as it is, reaches it as exactly one argument, byte for byte; the dialog
    shows what it printed; MsgFrom keeps the sender. The stand-in waits 10 s after its first line, as a
    message to an absent computer does: meanwhile the dialog shows that line and a session that arrives is
    logged and listed at once. "Close Application" while the command still runs ends the program at once."""
    client, user, message = MESSAGE_SESSION[env.lang]
    program = Program(env, args, "send_message", ini=KNOWN_INI, scenario=["session %s %s 30 0 0 Windows" % (client, user)])
    shutil.copy(args.stub, env.system_file("msg.exe"))
    for name in ("msg.exe", "net.exe"):
        shutil.copy(args.stub, program.path(name))  # planted: never run
    record = program.path("command_line.txt")
    arguments = program.path("arguments.txt")
    program.run_env["GLIMMERFEN_STUB_RECORD"] = windows_path(record)
    program.run_env["GLIMMERFEN_STUB_ARGS"] = windows_path(arguments)
    program.run_env["GLIMMERFEN_STUB_DELAY_MS"] = "10000"
    caption = texts["send_caption"]
    running = lambda: program.control_text(caption, IDC_SEND_STATUS) == "Stand-in: the message was handed on."
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        time.sleep(2.5)
        check(program.helper("postchild", LIST_CAPTION, IDC_LIST, LVM_SETSELECTIONMARK, 0, 0)[0] == 0,
              "could not select the row")
        program.post(MAIN_CAPTION, WM_COMMAND, ID_SEND_MESSAGE)
        program.wait_window(caption)
        check(program.control_text(caption, IDC_RECIPIENT) == client, "the recipient is not the row's computer")
        sender = program.control_text(caption, IDC_SENDER)
        check(sender.endswith(")") and "(" in sender and not sender.startswith("("),
              "the offered sender %r is not user(computer)" % sender)
        program.post(MAIN_CAPTION, WM_COMMAND, ID_SEND_MESSAGE)
        time.sleep(0.5)
        check(program.count(caption) == 1, "a second send-message dialog opened")
        program.helper("settext", caption, IDC_MESSAGE, message)
        program.helper("click", caption, IDOK)
        check(wait_until(running, 5), "while the command runs the dialog does not show its first line")
        with open(program.path("scenario.txt"), "a", encoding="utf-8") as f:
            f.write("session PC-LATE dave 0 0 0 Windows\n")  # the scenario starts over with it
        arrived = time.time()
        check(wait_until(lambda: b"\tPC-LATE\tdave\t" in open(program.path("log.txt"), "rb").read(), 5) and
              time.time() - arrived <= 1.0, "the session that arrived was not logged within a second")
        # The list refreshes once a second; reading it from outside takes a moment of its own.
        check(wait_until(lambda: "PC-LATE" in program.helper("rows", LIST_CAPTION, IDC_LIST)[1].split("\n"), 5) and
              time.time() - arrived <= 2.0, "the session that arrived was not listed at once")
        check(program.box(timeout_ms=10) is None, "the command ended before the checks were done")
        shown = program.box()
        check(shown is not None and "Stand-in: the message was handed on." in shown,
              "the output box shows %r" % shown)
        stderr_line = b"Stand-in: \x82\xa0 on standard error.".decode(texts["codepage"], "replace")
        check(stderr_line in shown, "the standard error line is missing from %r" % shown)
        program.helper("press", APP_NAME, IDOK)
        check(program.helper("gone", caption, 5000)[0] == 0, "the dialog stayed open after Transmission")
        with open(arguments, "rb") as f:
            received = f.read().split(b"\0")[:-1]
        expected = [b"*", ("/server:" + client).encode(texts["codepage"]),
                    ("This message from %s\n\n%s" % (sender, message)).encode(texts["codepage"])]
        check(received[0].lower() == b"c:\\windows\\system32\\msg.exe", "%r ran, not the system folder's" % received[0])
        check(received[1:] == expected, "the stand-in received %r (command line %r), expected %r" %
              (received[1:], open(record, "rb").read(), expected))

        # Open again and send: "Close Application" while the command runs ends it with the program.
        program.post(MAIN_CAPTION, WM_COMMAND, ID_SEND_MESSAGE)
        program.wait_window(caption)
        check(program.control_text(caption, IDC_SENDER) == sender, "MsgFrom was not offered the second time")
        program.helper("click", caption, IDOK)
        check(wait_until(running, 5), "the second message's command did not start")
        elapsed = program.close_application(process)
        check(elapsed <= 1.0, "with a message on its way the program took %.2f s to end" % elapsed)
        check(process.returncode == 0, "exit code %s" % process.returncode)
        with open(program.path("Glimmerfen.ini"), "rb") as f:
            check(("MsgFrom=%s\r\n" % sender).encode(texts["codepage"]) in f.read(), "MsgFrom was not saved")
    finally:
        program.kill_all()


def case_hostile_client_name(env, args, texts):
    """"Open shared folder" refuses a client name from the network that is no computer name ("..\\evil")
    with a message; for a well-formed one it starts Explorer (no failure box)."""
    program = Program(env, args, "hostile_name", ini=KNOWN_INI,
                      scenario=["session ..\\evil bob 30 0 0 Windows", "session PC-OK carol 30 0 0 Windows"])
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        rows = lambda: program.helper("rows", LIST_CAPTION, IDC_LIST)[1].split("\n")
        check(wait_until(lambda: len(rows()) == 2, 10), "the two sessions are not listed")
        rows = rows()
        for name, refused in (("..\\evil", True), ("PC-OK", False)):
            program.helper("postchild", LIST_CAPTION, IDC_LIST, LVM_SETSELECTIONMARK, 0, rows.index(name))
            program.post(MAIN_CAPTION, WM_COMMAND, ID_OPEN_SHARED)
            shown = program.box(timeout_ms=3000)
            check((shown or "").startswith(texts["bad_name"]) if refused else shown is None,
                  "Open shared folder for %r showed %r" % (name, shown))
            if shown is not None:
                program.helper("press", APP_NAME, IDOK)
        program.close_application(process)
    finally:
        program.kill_all()


def case_client_by_address(env, args, texts):
    """A client that the server reports as 127.0.0.1 is closed by a denied list that names "localhost" (its
    name, looked up in the background); a client whose address has no name is not; the log keeps the
    addresses the server reported."""
    ini = KNOWN_INI + "DisJuncPcFlag=1\r\nDisJuncNgPcFlag=1\r\nDisJuncNgPcStr=localhost\r\n"
    program = Program(env, args, "client_by_address", ini=ini,
                      scenario=["session 127.0.0.1 bob 30 0 0 Windows", "session 10.255.255.1 carol 30 0 0 Windows"])
    deletions = program.path("deletions.txt")
    program.run_env["GLIMMERFEN_SIM_DELETIONS"] = windows_path(deletions)
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        wait_until(lambda: os.path.exists(deletions), 15)
        time.sleep(1)
        program.close_application(process)
    finally:
        program.kill_all()
    check(os.path.exists(deletions), "the session of 127.0.0.1 was not closed")
    with open(deletions, "rb") as f:
        calls = set(f.read().decode("utf-8").splitlines())
    check(calls == {"\\\\127.0.0.1\tbob"}, "NetSessionDel calls: %r" % calls)
    with open(program.path("log.txt"), "rb") as f:
        clients = {line.split("\t")[1] for line in f.read().decode(texts["codepage"]).split("\r\n")[:-1]}
    check(clients == {"127.0.0.1", "10.255.255.1"}, "the log names the clients %r" % clients)


def case_close_one_file(env, args, texts):
    """"Close this file" on an open-file row closes that file on the server by its id (the session stays)
    and logs a disconnect line with the user, the path and "Closed the file manually"; nothing is shown."""
    user = {"en": "dave", "ja": "山田"}[env.lang]
    path = {"en": "C:\\Share\\locked.xlsx", "ja": "D:\\共有\\表計算.xlsx"}[env.lang]
    program = Program(env, args, "close_one_file", ini=KNOWN_INI,
                      scenario=["session PC-FILE %s 30 0 0 Windows" % user, "file %s 4711 3 1 %s" % (user, path)])
    closes = program.path("closes.txt")
    program.run_env["GLIMMERFEN_SIM_FILECLOSES"] = windows_path(closes)
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        time.sleep(2.5)  # the file's row is in the list after the first refresh
        check(program.helper("postchild", LIST_CAPTION, IDC_LIST, LVM_SETSELECTIONMARK, 0, 0)[0] == 0,
              "could not select the row")
        program.post(MAIN_CAPTION, WM_COMMAND, ID_CLOSE_FILE)
        wait_until(lambda: os.path.exists(closes))
        time.sleep(0.5)
        check(program.box(timeout_ms=1000) is None, "a message box came with the close")
        program.close_application(process)
    finally:
        program.kill_all()
    check(os.path.exists(closes), "NetFileClose was not called")
    with open(closes, "rb") as f:
        check(f.read().decode("utf-8").splitlines() == ["4711"], "NetFileClose was not called once for file 4711")
    with open(program.path("log.txt"), "rb") as f:
        lines = [line.split("\t") for line in f.read().decode(texts["codepage"]).split("\r\n")[:-1]]
    closed = [line for line in lines if line[9] != ""]
    check(len(closed) == 1 and closed[0][1:3] == ["", user] and closed[0][4:8] == [""] * 4 and
          closed[0][8:] == [path, texts["closed_file"], ""], "the log's lines are %r" % lines)


def case_extension_rule(env, args, texts):
    """With the extension rule on, the holder of an ".eml" file is cut: the server is asked to close every
    session of the file's user (an open file names no computer), which the stand-in answers with success
    only when it closed one, and log.txt gets one disconnect line for the file with the rule's message."""
    user = texts["users"][0]
    mail = {"en": "C:\\Share\\mail\\inbox.eml", "ja": "D:\\共有\\受信\\連絡.eml"}[env.lang]
    suffix = {"en": "Disconnect automatically for detecting an extention", "ja": "を検知し自動切断"}[env.lang]
    program = Program(env, args, "extension_rule", ini=KNOWN_INI + "DisJuncFileFlag=1\r\n",
                      scenario=["session PC-MAIL %s 30 0 0 Windows" % user, "file %s 501 1 0 %s" % (user, mail)])
    deletions = program.path("deletions.txt")
    program.run_env["GLIMMERFEN_SIM_DELETIONS"] = windows_path(deletions)
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        check(wait_until(lambda: os.path.exists(deletions), 15), "NetSessionDel was not called")
        time.sleep(1.0)
        program.close_application(process)
    finally:
        program.kill_all()
    with open(deletions, "rb") as f:
        calls = set(f.read().decode("utf-8").splitlines())
    check(calls == {"(null)\t%s" % user}, "NetSessionDel calls: %r" % calls)  # again at every poll, the same
    with open(program.path("log.txt"), "rb") as f:
        lines = [line.split("\t") for line in f.read().decode(texts["codepage"]).split("\r\n")[:-1]]
    cut = [line for line in lines if line[9] != ""]
    check(len(cut) == 1 and cut[0][1:3] == ["", user] and cut[0][4:] == [""] * 5 + ["eml" + suffix, ""],
          "the disconnect lines are %r" % cut)


def case_export_csv(env, args, texts):
    """"Export as CSV..." in the log viewer's list menu: the Save dialog, a file name typed into it, and the
    listed lines in the file as UTF-8 with a byte-order mark, the header in the interface's language,
    quoted where needed, CR LF; "Close Application" with the Save dialog open ends the program."""
    user = {"en": "alice", "ja": "山田"}[env.lang]
    now = int(time.time()) - 60
    stamp = time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(now))
    log = "%d\tPC,1\t%s\t%s\t\t\t7\tFILE READ\tC:\\a \"b\".txt\t\t\r\n" % (now, user, stamp)
    program = Program(env, args, "export_csv", ini=KNOWN_INI)
    with open(program.path("log.txt"), "wb") as f:
        f.write(log.encode(texts["codepage"]))
    target = program.path("export.csv")
    try:
        process, _ = program.start()
        program.open_log_viewer()
        check(program.helper("treeselect", LOG_CAPTION, IDC_LOG_TREE, 0)[0] == 0, "could not select the date")
        program.export_csv(texts["csv_title"], target)
        # "Close Application" while the Save dialog is open again ends the program all the same.
        program.post(MAIN_CAPTION, WM_COMMAND, ID_LOG_EXPORT_CSV)
        program.wait_window(texts["csv_title"])
        program.close_application(process)
        check(process.returncode == 0, "exit code %s" % process.returncode)
    finally:
        program.kill_all()
    check(os.path.exists(target), "no CSV file was written")
    with open(target, "rb") as f:
        data = f.read()
    expected = ("\ufeff" + texts["csv_header"] + "\r\n" +
                '"PC,1",%s,%s,,,7,FILE READ,"C:\\a ""b"".txt",\r\n' % (user, stamp)).encode("utf-8")
    check(data == expected, "the CSV file holds %r" % data)


def case_log_viewer_find(env, args, texts):
    """Typing into the log viewer's search box lists the matching lines of every date in file order, with
    their count in the status text; "Export as CSV..." then writes exactly those lines; Esc empties the box
    and leaves the viewer open."""
    now = int(time.time()) - 60
    earlier = now - 86400

    def line(t, client, user, path):
        stamp = time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(t))
        return "%d\t%s\t%s\t%s\t\t\t0\tFILE READ\t%s\t\t\r\n" % (t, client, user, stamp, path)

    log = [line(earlier, "PC17", "alice", "C:\\share\\Budget.xls"), line(earlier, "PC3", "bob", "C:\\share\\plan.doc"),
           line(now, "PC3", "bob", "C:\\share\\budget.xls"), line(now, "PC9", "carol", "C:\\share\\budget.txt")]
    program = Program(env, args, "log_viewer_find", ini=KNOWN_INI)
    with open(program.path("log.txt"), "wb") as f:
        f.write("".join(log).encode(texts["codepage"]))
    target = program.path("found.csv")
    try:
        process, _ = program.start()
        program.open_log_viewer()
        # A click into the box, as a user gives it the focus, then the keystrokes.
        program.helper("postchild", LOG_CAPTION, IDC_LOG_FIND, WM_LBUTTONDOWN, 1, 0x00020002)
        program.helper("postchild", LOG_CAPTION, IDC_LOG_FIND, WM_LBUTTONUP, 0, 0x00020002)
        check(program.helper("type", LOG_CAPTION, IDC_LOG_FIND, "BUDGET xls")[0] == 0, "could not type the query")
        expected_status = "2" + texts["objects"]
        wait_until(lambda: program.helper("text", LOG_CAPTION, IDC_LOG_STATUS)[1].strip() == expected_status)
        status = program.helper("text", LOG_CAPTION, IDC_LOG_STATUS)[1].strip()
        check(status == expected_status, "the status text is %r" % status)
        rows = program.helper("rows", LOG_CAPTION, IDC_LOG_LIST)[1].split("\n")
        check(rows == ["PC17", "PC3"], "the search lists %r" % rows)

        program.export_csv(texts["csv_title"], target)

        program.helper("postchild", LOG_CAPTION, IDC_LOG_FIND, WM_KEYDOWN, VK_ESCAPE, 0)
        wait_until(lambda: program.helper("text", LOG_CAPTION, IDC_LOG_FIND)[1].strip() == "")
        check(program.helper("text", LOG_CAPTION, IDC_LOG_FIND)[1].strip() == "", "Esc left the query in the box")
        check(program.helper("wait", LOG_CAPTION, 1000)[0] == 0, "Esc in the search box closed the viewer")
        program.close_application(process)
        check(process.returncode == 0, "exit code %s" % process.returncode)
    finally:
        program.kill_all()
    check(os.path.exists(target), "no CSV file was written")
    with open(target, "rb") as f:
        data = f.read()
    found = [log[0], log[2]]
    expected = "\ufeff" + texts["csv_header"] + "\r\n"
    for entry in found:
        fields = entry[:-2].split("\t")
        expected += ",".join(fields[1:10]) + "\r\n"
    check(data == expected.encode("utf-8"), "the CSV file holds %r" % data)


def held_log_scenario(first, count, start_ms):
    """count clients that connect one by one, 10 ms apart, from start_ms on."""
    lines = []
    for i in range(first, first + count):
        lines += ["at %d" % (start_ms + (i - first) * 10), "session HOLD%04d user%04d 0 0 0 Windows" % (i, i)]
    return lines


def hold_log(program, args):
    """Another program holds the program's log.txt until release_log() (at most a minute)."""
    for marker in ("log.txt.held", "log.txt.release"):
        if os.path.exists(program.path(marker)):
            os.remove(program.path(marker))
    holder = subprocess.Popen(["wine", args.helper, "hold", windows_path(program.path("log.txt")), "60000"],
                              env=program.run_env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    check(wait_until(lambda: os.path.exists(program.path("log.txt.held")), 30), "the helper did not take hold")
    return holder


def release_log(program, holder):
    open(program.path("log.txt.release"), "w").close()
    holder.wait(timeout=60)


def case_held_log_loses_nothing(env, args, texts):
    """Another program holds log.txt for ten seconds while 500 accesses arrive: after it lets go, every
    line is in the log once, in order, after the lines before; the box comes once and the polls go on
    meanwhile. Then the same across "Close Application" and a new start while the log is still held. The
    program's folder has a blank in its name, and in Japanese also Japanese characters (the ANSI code
    page's double-byte text, 表 with a backslash as its second byte)."""
    folder = {"en": "held log", "ja": "保留 ログ表"}[env.lang]
    program = Program(env, args, folder, ini=KNOWN_INI, scenario=held_log_scenario(0, 500, 2500))
    before = ["1\tOLD%d\tu\t1970-01-01 09:00:01\t\t\t0\t\t\t\t" % i for i in range(3)]
    with open(program.path("log.txt"), "wb") as f:
        f.write("".join(line + "\r\n" for line in before).encode("ascii"))

    def hold():
        return hold_log(program, args)

    def release(holder):
        release_log(program, holder)

    def clients():
        with open(program.path("log.txt"), "rb") as f:
            lines = f.read().decode("latin-1").split("\r\n")
        check(lines[-1] == "", "the log does not end with a line end")
        return [line.split("\t")[1] for line in lines[:-1]]

    try:
        holder = hold()
        started = time.time()
        process, _ = program.start()
        text = program.box()
        check(text is not None and text.startswith(texts["log_failed"]), "no box about the held log, but %r" % text)
        time.sleep(max(0.0, started + 10 - time.time()))  # the clients connect 2.5 to 7.5 s after the start
        release(holder)
        expected = ["OLD0", "OLD1", "OLD2"] + ["HOLD%04d" % i for i in range(500)]
        check(wait_until(lambda: len(clients()) >= len(expected), 20), "only %d lines after the log was let go"
              % len(clients()))
        check(clients() == expected, "the log's lines after the hold are not the 500 accesses once each, in order")
        check(program.count(APP_NAME) <= 1, "more than one box for one episode")
        check(program.close_application(process) <= 5.0, "the program was slow to end")

        # Held across an end and a new start: the waiting lines go to the side file, which the next start
        # writes ahead of its own lines.
        with open(program.path("scenario.txt"), "w", encoding="utf-8") as f:
            f.write("\n".join(held_log_scenario(500, 100, 1500)) + "\n")
        holder = hold()
        process, _ = program.start()
        check(wait_until(lambda: program.count(APP_NAME) >= 1, 20), "no box about the held log")
        time.sleep(3)  # the clients have connected
        program.close_application(process)
        check(os.path.exists(program.path("log_waiting.txt")), "no side file for the lines still waiting at the end")
        with open(program.path("scenario.txt"), "w", encoding="utf-8") as f:
            f.write("\n".join(held_log_scenario(600, 50, 500)) + "\n")
        process, _ = program.start()
        time.sleep(3)  # its clients connect
        release(holder)
        expected += ["HOLD%04d" % i for i in range(500, 650)]
        check(wait_until(lambda: len(clients()) >= len(expected), 30), "only %d lines after the second hold"
              % len(clients()))
        check(clients() == expected, "the lines kept across the restart are not all there once, in order")
        check(not os.path.exists(program.path("log_waiting.txt")), "the side file stayed behind")
        program.close_application(process)
    finally:
        program.kill_all()

def reported_events(debug_output):
    """Every ReportEventW call in Wine's debug output, in order, as one text: "I", "W" or "E", the id, then
    the strings, separated by "|". The strings follow their call on the same thread (other threads' lines
    may come between); Wine prints a character above ASCII as \\xxxx."""
    events, open_event = [], {}
    for line in debug_output.splitlines():
        call = re.match(r"^(\w+):fixme:advapi:ReportEventW \(\w+,0x(\w+),0x\w+,0x(\w+),", line)
        string = re.match(r'^(\w+):(?:trace|warn|err):eventlog:ReportEventW L"(.*)"$', line)
        if call:
            open_event[call.group(1)] = len(events)
            events.append({4: "I", 2: "W", 1: "E"}.get(int(call.group(2), 16), "?") + str(int(call.group(3), 16)))
        elif string and string.group(1) in open_event:
            text = re.sub(r"\\([0-9a-f]{4})", lambda m: chr(int(m.group(1), 16)), string.group(2))
            events[open_event[string.group(1)]] += "|" + text
    return events


def case_events(env, args, texts):
    """With events on, what reaches the event log while the server first denies access, then answers with two
    sessions of which a rule cuts one: the ids, types and nine strings of each, in order, from start to end.
    Wine's event log stores nothing but prints each call on its debug channel, which the program's output
    gives here. In Japanese the names reach the event log as the same characters (code page 932 to UTF-16)."""
    user = texts["users"][0]
    rule = {"en": "Disconnect automatically for the Denied PC", "ja": "拒否PCのため自動切断"}[env.lang]
    program = Program(env, args, "events",
                      ini=KNOWN_INI + "DisJuncPcFlag=1\r\nDisJuncNgPcFlag=1\r\nDisJuncNgPcStr=PC-BAD\r\n"
                      "[Network]\r\nEventLog=1\r\n",
                      scenario=["deny sessions 5", "session PC-GOOD %s 30 0 0 Windows" % user,
                                "session PC-BAD bob 30 0 0 Windows", "at 3000", "deny sessions off"])
    program.run_env["WINEDEBUG"] = "-all,+eventlog,fixme+advapi"
    output = program.path("wine-debug.txt")
    try:
        with open(output, "wb") as debug:
            process = subprocess.Popen(["wine", program.exe], cwd=program.dir, env=program.run_env,
                                       stdout=subprocess.DEVNULL, stderr=debug)
            program.processes.append(process)
            text = program.box()
            check(text is not None and text.startswith(texts["access_denied"]), "the message was %r" % text)
            program.helper("press", APP_NAME, IDOK)
            check(wait_until(lambda: os.path.exists(program.path("log.txt")) and
                             open(program.path("log.txt"), "rb").read().count(b"\r\n") >= 3, 15),
                  "the two accesses and the disconnection were not logged")
            program.close_application(process)
    finally:
        program.kill_all()
    with open(output, "rb") as f:
        events = reported_events(f.read().decode("utf-8", "replace"))
    check(events and events[0].count("|") == 9, "no event, or not nine strings: %r" % events[:1])
    computer = events[0].split("|")[9]
    # The connection's start (an ISO 8601 UTC time) comes with accesses and disconnections only.
    start = r"\|\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ\|"
    expected = [r"I100\|{8}\|", r"E400\|{7}5\|{2}", r"I402\|{8}\|", r"I200\|PC-GOOD\|\|%s\|{4}" % re.escape(user) + start,
                r"I200\|PC-BAD\|\|bob\|{4}" + start, r"W300\|PC-BAD\|\|bob\|{4}%s" % re.escape(rule) + start,
                r"I101\|{8}\|"]
    check(len(events) == len(expected) and all(re.fullmatch(e + re.escape(computer), got)
                                               for e, got in zip(expected, events)) and computer,
          "the events were\n%s" % "\n".join(events))


def event_source_values(program):
    """The event source's key as "name type data" lines (reg query's), None when there is no key."""
    key = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Glimmerfen Checker"
    with tempfile.TemporaryFile() as out:
        result = subprocess.run(["wine", "reg", "query", key], env=program.run_env, stdout=out,
                                stderr=subprocess.DEVNULL, timeout=60)
        out.seek(0)
        lines = [" ".join(line.split()) for line in out.read().decode("utf-8", "replace").splitlines()]
    return [line for line in lines if " REG_" in line] if result.returncode == 0 else None


def case_event_source(env, args, texts):
    """Only a copy that writes events registers the event source: a start with EventLog=0 writes no key, one
    with EventLog=1 writes it for its own executable (every start under Wine has the rights). A second copy
    in another folder neither repoints that key at itself nor removes it with /unregister, which names the
    copy the key belongs to; that copy's /unregister removes it and says so. A copy whose path holds ";" is
    not registered, and says why at its first start only."""
    key = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Glimmerfen Checker"
    events_on = KNOWN_INI + "[Network]\r\nEventLog=1\r\n"
    program = Program(env, args, "event_source", ini=KNOWN_INI + "[Network]\r\nEventLog=0\r\n")
    other = Program(env, args, "event_source_other", ini=events_on)
    others = [other]
    own = ["eventmessagefile reg_expand_sz " + windows_path(program.exe).lower(), "typessupported reg_dword 0x7"]

    def values():
        return sorted(v.lower() for v in event_source_values(program) or [])

    try:
        # Earlier cases' copies with events on registered themselves.
        subprocess.run(["wine", "reg", "delete", key, "/f"], env=program.run_env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        check(event_source_values(program) is None, "the key of an earlier case could not be removed")
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        program.close_application(process)
        check(event_source_values(program) is None, "a start with EventLog=0 wrote the key")

        with open(program.path("Glimmerfen.ini"), "wb") as f:
            f.write(events_on.encode("ascii"))
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        program.close_application(process)
        check(values() == own, "the key holds %r" % values())

        process, _ = other.start()
        other.wait_window(LIST_CAPTION)
        other.close_application(process)
        check(values() == own, "the second copy repointed the key: %r" % values())
        process, _ = other.start("/unregister")
        text = other.box() or ""
        check(text.lower() == (texts["unregister_other"] + "\n" + windows_path(program.exe)).lower(),
              "the second copy's /unregister showed %r" % text)
        other.helper("press", APP_NAME, IDOK)
        process.wait(timeout=15)
        check(values() == own, "the second copy's /unregister changed the key: %r" % values())

        process, _ = program.start("/unregister")
        text = program.box() or ""
        check(text.startswith(texts["unregistered"]), "/unregister showed %r" % text)
        program.helper("press", APP_NAME, IDOK)
        process.wait(timeout=15)
        check(event_source_values(program) is None, "the key is still there after /unregister")

        # A path with ";" is not registered; why is told at the folder's first start, not at later ones.
        listed = Program(env, args, "event;source", ini="[Setting]\r\nInitFlag=0\r\n[Network]\r\nEventLog=1\r\n")
        others.append(listed)
        process, _ = listed.start()
        text = listed.box()
        check(text == texts["path_has_list"], "the first start in a folder with \";\" showed %r" % text)
        listed.helper("press", APP_NAME, IDOK)
        check(listed.box() == texts["ask_startup"], "the first-run question did not follow")
        listed.helper("press", APP_NAME, IDCANCEL)
        listed.wait_window(LIST_CAPTION)
        listed.close_application(process)
        process, _ = listed.start()
        listed.wait_window(LIST_CAPTION)
        check(listed.box(timeout_ms=1000) is None, "the second start in a folder with \";\" showed a message")
        listed.close_application(process)
        check(event_source_values(program) is None, "a path with \";\" was registered")
    finally:
        program.kill_all()
        for copy in others:
            copy.kill_all()

def case_one_copy_per_folder_and_computer(env, args, texts):
    """Started as a Run key may name it, by an unquoted path with blanks (one folder looks like a switch)
    and with a switch it does not know, the program watches all the same and then names that switch, and
    only that, once in a box above the usage. A second copy in its folder is refused although it would
    watch another computer, and so are starts from another folder for this computer by other names."""
    program = Program(env, args, "one copy -x", ini=KNOWN_INI, scenario=["session PC-ALPHA alice 30 0 0 Windows"])
    beside = Program(env, args, "beside", ini=KNOWN_INI)
    log = program.path("log.txt")
    try:
        code, out = program.helper("spawn", windows_path(program.exe) + " /minimized")
        check(code == 0, "could not start the program: %s" % out)
        program.wait_window(LIST_CAPTION)
        text = program.box() or ""
        check(text.startswith(texts["not_understood"] + " /minimized\n"), "the box after the start says %r" % text)
        check("/unregister" in text, "the usage does not follow: %r" % text)
        check(program.count(LIST_CAPTION) == 1, "the list window is gone while the box is up")
        program.helper("press", APP_NAME, IDOK)
        check(program.box(timeout_ms=1500) is None, "the switch was named twice")
        check(wait_until(lambda: os.path.exists(log) and b"PC-ALPHA\talice" in open(log, "rb").read(), 15),
              "the access was not logged")

        for copy, word in ((program, "/server:OTHER"), (beside, "/server:localhost"), (beside, "/server:127.0.0.1")):
            refused, _ = copy.start(word)
            check(copy.box() == texts["has_started"], "%s from %s did not show \"has started\"" % (word, copy.dir))
            copy.helper("press", APP_NAME, IDOK)
            refused.wait(timeout=10)
            check(program.count(MAIN_CAPTION) == 1, "%s made a main window" % word)
        check(not os.path.exists(beside.path("log.txt")), "a refused start wrote a log")

    finally:
        program.kill_all()
        beside.kill_all()
        # Not a child of this script: ended through its menu, also after a failure, so that no later case
        # meets it.
        if program.count(MAIN_CAPTION):
            program.helper("press", APP_NAME, IDOK)
            program.post(MAIN_CAPTION, WM_COMMAND, ID_CLOSE_APP)
        check(program.helper("gone", MAIN_CAPTION, 15000)[0] == 0, "the program did not end")


def case_remote_computer(env, args, texts):
    """/server:FS01 through a stand-in playing FS01, 1.5 s a call: accesses logged, caption naming it, a
    second start for FS01 refused (not one for this computer), the list answering while a disconnection
    waits, 53 told once, polls picking up again, and a quick end although a server call hangs."""
    if env.lang != "en":
        return
    remote = "FS01"
    caption = LIST_CAPTION + " - \\\\" + remote
    program = Program(env, args, "remote", ini=KNOWN_INI, scenario=[
        "session PC-ALPHA alice 30 0 0 Windows",
        "at 30000", "fail all 53",
        "at 40000", "fail all off", "session PC-GAMMA carol 5 0 0 Windows",
        "at 46000", "delay 30000",
    ])
    deletions = program.path("deletions.txt")
    program.run_env.update(GLIMMERFEN_SIM_COMPUTER=remote, GLIMMERFEN_SIM_DELAY_MS="1500",
                           GLIMMERFEN_SIM_DELETIONS=windows_path(deletions))
    second = Program(env, args, "remote_second", ini=KNOWN_INI)
    log = program.path("log.txt")

    def log_lines():
        with open(log, "rb") if os.path.exists(log) else open(os.devnull, "rb") as f:
            return [line.split("\t") for line in f.read().decode(texts["codepage"]).split("\r\n")[:-1]]

    try:
        process, launched = program.start("/server:" + remote)
        program.wait_window(caption)
        check(program.count(LIST_CAPTION) == 0, "the list window's caption does not name %s" % remote)

        # One program per watched computer: the name's case does not matter; this computer is another.
        refused, _ = second.start("/server:fs01")
        check(second.box() == texts["has_started"], "a second start for FS01 did not show \"has started\"")
        second.helper("press", APP_NAME, IDOK)
        refused.wait(timeout=10)
        local, _ = second.start()
        second.wait_window(LIST_CAPTION)
        check(second.box(timeout_ms=1000) is None, "the start for this computer showed a message")
        local.kill()
        local.wait()
        check(wait_until(lambda: program.count(MAIN_CAPTION) == 1), "the second program's window stayed")

        check(wait_until(lambda: any(line[1:3] == ["PC-ALPHA", "alice"] for line in log_lines()), 20),
              "the access to FS01 was not logged")
        check(wait_until(lambda: "PC-ALPHA" in program.helper("rows", caption, IDC_LIST)[1].splitlines()),
              "the access to FS01 is not listed")
        check(program.helper("postchild", caption, IDC_LIST, LVM_SETSELECTIONMARK, 0, 0)[0] == 0,
              "could not select the row")
        program.post(caption, WM_COMMAND, ID_DISCONNECT)
        # The disconnection waits 1.5 s for the server; the list window's thread does not.
        code, timings = program.helper("ping", caption, 2500)
        check(code == 0, "the list window did not answer")
        longest = float(timings.split()[3])
        check(longest <= 300, "the list window took %.0f ms to answer while the server was slow" % longest)
        check(wait_until(lambda: any(line[9:10] == [texts["disconnect_manual"]] for line in log_lines()), 10),
              "the disconnection was not logged")

        # Unreachable from 30 s on: told once, by the tray tick.
        text = program.box(timeout_ms=40000)
        check(text is not None and text.endswith("(Error:53)"), "the unreachable server was told as %r" % text)
        program.helper("press", APP_NAME, IDOK)
        # It answers again from 40 s on: the new session is logged.
        check(wait_until(lambda: any(line[1:3] == ["PC-GAMMA", "carol"] for line in log_lines()), 25),
              "the polls did not pick up again when FS01 answered")
        check(program.box(timeout_ms=500) is None, "a second message came")

        # From 46 s on every call hangs for 30 s: the close does not wait for it.
        time.sleep(max(0.0, launched + 50 - time.time()))
        elapsed = program.close_application(process)
        check(elapsed <= 4.0, "the program took %.2f s to end while a server call hung" % elapsed)
        check(process.returncode == 0, "exit code %s" % process.returncode)
        with open(program.path("Glimmerfen.ini"), "rb") as f:
            check(b"\r\nCycleTime1=" in f.read(), "the settings were not saved at the end")
    finally:
        program.kill_all()
        second.kill_all()

    with open(deletions, "rb") as f:
        check(f.read().decode("utf-8").splitlines() == ["\\\\PC-ALPHA\talice"], "NetSessionDel was not called once")
    accesses = [line[1:3] for line in log_lines() if line[9] == ""]
    check(accesses == [["PC-ALPHA", "alice"], ["PC-GAMMA", "carol"]], "the accesses logged are %r" % accesses)


class ServiceScene:
    """The prefix made ready for a service: the stand-in library and its scenario are found by what the
    prefix holds (the service manager hands the service none of this script's environment), and the
    Wine server stays while no ordinary process runs."""
    OVERRIDES = "HKCU\\Software\\Wine\\AppDefaults\\GlimmerfenChecker.exe\\DllOverrides"

    def __init__(self, env, program, scenario):
        self.env = env
        self.program = program
        self.sim_dir = os.path.join(env.env["WINEPREFIX"], "drive_c", "glimmerfen-sim")
        os.makedirs(self.sim_dir, exist_ok=True)
        with open(os.path.join(self.sim_dir, "scenario.txt"), "w") as f:
            f.write(scenario)
        subprocess.run(["wine", "reg", "add", self.OVERRIDES, "/v", "netapi32", "/d", "native", "/f"],
                       env=env.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        subprocess.run(["wineserver", "-p"], env=env.env, timeout=60)

    def sc(self, *words):
        with tempfile.TemporaryFile() as out:
            subprocess.run(["wine", "sc"] + list(words), env=self.env.env, stdout=out, stderr=subprocess.DEVNULL,
                           timeout=60)
            out.seek(0)
            return out.read().decode("utf-8", "replace")

    def setup(self, word):
        """/install-service or /uninstall-service, its box answered: (exit code, the box's text)."""
        process, _ = self.program.start(word)
        text = self.program.box() or ""
        self.program.helper("press", APP_NAME, IDOK)
        process.wait(timeout=20)
        return process.returncode, text

    def stop(self):
        self.sc("stop", "GlimmerfenChecker")
        check(wait_until(lambda: "STOPPED" in self.sc("query", "GlimmerfenChecker"), 10), "the service did not stop")

    def cleanup(self):
        self.program.kill_all()
        self.sc("stop", "GlimmerfenChecker")
        self.sc("delete", "GlimmerfenChecker")
        subprocess.run(["wine", "reg", "delete", self.OVERRIDES, "/f"], env=self.env.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        shutil.rmtree(self.sim_dir, ignore_errors=True)


def case_service(env, args, texts):
    """/install-service registers the service, which sc starts: with no tray running, sessions reach
    log.txt, no window appears, and a rule written into the INI file meanwhile cuts the session. Stopped
    while another program holds the log, it ends within 2 s and the waiting line reaches the log at the
    next start; /uninstall-service removes it."""
    program = Program(env, args, "service", ini=KNOWN_INI)
    # A client that comes later, while another program holds the log.
    scene = ServiceScene(env, program,
                         "session PC-SVC carol 30 0 0 Windows\nat 25000\nsession PC-LATE dave 30 0 0 Windows\n")
    sc = scene.sc
    log = program.path("log.txt")
    try:
        code, text = scene.setup("/install-service")
        check(code == 0 and "GlimmerfenChecker" in text, "install: exit code %s, box %r" % (code, text))
        code, _ = scene.setup("/install-service")
        check(code == 2, "a second install: exit code %s" % code)
        sc("start", "GlimmerfenChecker")
        started = time.time()
        check(wait_until(lambda: os.path.exists(log) and b"PC-SVC\tcarol" in open(log, "rb").read(), 20),
              "the service logged no session")
        check(program.count(MAIN_CAPTION) == 0 and program.count(LIST_CAPTION) == 0, "the service made a window")
        # A rule written into the INI file while it runs: taken up, the session is cut and logged so.
        with open(program.path("Glimmerfen.ini"), "ab") as f:
            f.write(b"DisJuncPcFlag=1\r\nDisJuncNgPcFlag=1\r\nDisJuncNgPcStr=PC-SVC\r\n")
        check(wait_until(lambda: open(log, "rb").read().count(b"PC-SVC\tcarol") >= 2, 10),
              "the service did not take up the rule from the INI file")

        # Stopped while another program holds the log: the line that waits goes to the side file, and
        # the next start writes it to the log.
        holder = hold_log(program, args)
        check(b"PC-LATE" not in open(log, "rb").read(), "the later client came before the log was held")
        side = program.path("log_waiting.txt")
        time.sleep(max(0.0, started + 28 - time.time()))  # past the later client's arrival, 25 s in
        began = time.time()
        sc("stop", "GlimmerfenChecker")
        check(wait_until(lambda: "STOPPED" in sc("query", "GlimmerfenChecker"), 10), "the service did not stop")
        elapsed = time.time() - began
        check(elapsed <= 2.0, "the service took %.2f s to stop" % elapsed)
        check(os.path.exists(side) and b"PC-LATE\tdave" in open(side, "rb").read(),
              "the line that waited for the held log is not in the side file")
        release_log(program, holder)
        sc("start", "GlimmerfenChecker")
        check(wait_until(lambda: b"PC-LATE\tdave" in open(log, "rb").read(), 10),
              "the next start did not write the waiting line to the log")
        scene.stop()

        code, _ = scene.setup("/uninstall-service")
        check(code == 0, "uninstall: exit code %s" % code)
        check("SERVICE_NAME" not in sc("query", "GlimmerfenChecker"), "the service is still there")
    finally:
        scene.cleanup()


# Frames that do not keep to the pipe's protocol, and the reason the service gives back (the reply is
# a Refused frame: length 6, the protocol's version, type 0x84, the reason).
PIPE_VERSION = 2  # kProtocolVersion of monitor/pipe/PipeProtocol.h
PIPE_GARBAGE = [
    ("a line of text", b"GET / HTTP/1.1\r\n\r\n", 2),
    ("a length over the bound", struct.pack("<IHHI", 1 << 20, PIPE_VERSION, 2, 0), 2),
    ("another version", struct.pack("<IHHQ", 12, 99, 2, 0), 4),
    ("a type no tray sends", struct.pack("<IHH", 4, PIPE_VERSION, 0x82), 3),
    ("half a frame", struct.pack("<IHH", 12, PIPE_VERSION, 2) + b"\0\0", 1),
]


def case_service_window(env, args, texts):
    """With the service of its folder running, the tray is its window and runs no engine: its list shows
    the service's rows, its Disconnect is made once, by the service, with one log line; an option applied in
    its sheet is acted on by the service. Frames that break the protocol are refused with their reason and
    the service goes on logging. While the service is stopped the tray starts no watch of its own; once the
    service is removed, the tray watches again itself. (English only: no text of either language is at
    stake.)"""
    if env.lang != "en":
        return
    program = Program(env, args, "service_window", ini=KNOWN_INI)
    scene = ServiceScene(env, program, "session PC-SVC carol 30 0 0 Windows\nsession PC-KEEP erin 30 0 0 Windows\n"
                                       "at 30000\nsession PC-LATE frank 30 0 0 Windows\n")
    deletions = os.path.join(scene.sim_dir, "GLIMMERFEN_SIM_DELETIONS.txt")
    # The tray's server is the service's: were the tray to call it itself, its call would land in the
    # same file.
    program.run_env["GLIMMERFEN_SIM_DELETIONS"] = windows_path(deletions)
    program.run_env["GLIMMERFEN_SIM_SCENARIO"] = "C:\\glimmerfen-sim\\scenario.txt"
    log = program.path("log.txt")

    def log_count(text):
        return open(log, "rb").read().count(text) if os.path.exists(log) else 0

    def calls():
        return open(deletions, "rb").read().decode("utf-8").splitlines() if os.path.exists(deletions) else []

    def rows():
        return program.helper("rows", LIST_CAPTION, IDC_LIST)[1].splitlines()

    try:
        check(scene.setup("/install-service")[0] == 0, "the service was not installed")
        scene.sc("start", "GlimmerfenChecker")
        started = time.time()
        check(wait_until(lambda: log_count(b"PC-KEEP\terin") == 1, 20), "the service logged no session")
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        check(wait_until(lambda: "PC-SVC" in rows() and "PC-KEEP" in rows(), 10),
              "the tray's list does not show the service's rows: %r" % rows())

        program.helper("postchild", LIST_CAPTION, IDC_LIST, LVM_SETSELECTIONMARK, 0, rows().index("PC-SVC"))
        program.post(MAIN_CAPTION, WM_COMMAND, ID_DISCONNECT)
        check(wait_until(lambda: log_count(texts["disconnect_manual"].encode(texts["codepage"])) == 1, 10),
              "no disconnect line")
        time.sleep(1.5)
        check(calls() == ["\\\\PC-SVC\tcarol"], "the server calls: %r" % calls())
        check(log_count(texts["disconnect_manual"].encode(texts["codepage"])) == 1, "more than one disconnect line")
        check(log_count(b"PC-KEEP\terin") == 1, "the session was logged twice: a second engine runs")

        for name, frame, reason in PIPE_GARBAGE:
            code, reply = program.helper("pipe", "GlimmerfenChecker", frame.hex(), 5000)
            check(code == 0 and reply == struct.pack("<IHHH", 6, PIPE_VERSION, 0x84, reason).hex(),
                  "%s: the service answered %r" % (name, reply))

        # An option applied in the tray's sheet: the client that comes later is denied, and cut by the
        # service.
        caption = texts["option_caption"]
        program.post(MAIN_CAPTION, WM_COMMAND, ID_OPTION)
        program.wait_window(caption)
        program.helper("page", caption, 1)
        check(wait_until(lambda: program.helper("gettext", caption, IDC_OK_PC_LIST)[0] == 0),
              "the Disconnect Setting page did not come")
        program.helper("click", caption, IDC_PC_RULE)
        program.helper("settext", caption, IDC_NG_PC_LIST, "PC-LATE")
        program.helper("click", caption, IDOK)
        check(time.time() - started < 28, "too slow to apply the rule before the later client comes")
        # It comes 30 s after the service's start.
        check(wait_until(lambda: "\\\\PC-LATE\tfrank" in calls(), started + 50 - time.time()),
              "the service did not cut the later client by the applied rule: %r (the tray %s)"
              % (calls(), "runs" if process.poll() is None else "ended with %s" % process.returncode))

        # Stopped: the tray stays, and watches nothing itself.
        scene.stop()
        size = os.path.getsize(log)
        time.sleep(4)
        check(process.poll() is None, "the tray ended when the service stopped")
        check(os.path.getsize(log) == size, "the tray wrote the log while the service was stopped")
        program.close_application(process)
        code, _ = scene.setup("/uninstall-service")
        check(code == 0, "uninstall: exit code %s" % code)

        # Without the service the tray runs its own engine again.
        process, _ = program.start()
        check(wait_until(lambda: log_count(b"PC-KEEP\terin") == 2, 20), "the tray did not watch by itself")
        program.close_application(process)
    finally:
        scene.cleanup()


def watch_notices(program, seconds, until=None):
    """The notices the tray shows within the time, each once, in the order they came; stops early once
    until(notices) holds."""
    seen = []
    deadline = time.time() + seconds
    while time.time() < deadline:
        code, text = program.helper("notices")
        for line in text.splitlines() if code == 0 else []:
            if line and line not in seen:
                seen.append(line)
        if until is not None and until(seen):
            break
        time.sleep(0.3)
    return seen


def case_notice_rule_cuts(env, args, texts):
    """Twelve clients of the denied list cut in one poll give one notice with their count; a later single
    cut names the user, the computer and the rule. With the kind's box cleared the same cuts give none."""
    clients = ["PC%02d" % i for i in range(1, 13)]
    user = texts["users"][0]
    denied = "DisJuncPcFlag=1\r\nDisJuncNgPcStr=%s;PC-LATE\r\n" % ";".join(clients)
    scenario = ["at 2000"] + ["session %s u%s 30 0 0 Windows" % (c, c) for c in clients] + \
               ["at 14000", "session PC-LATE %s 30 0 0 Windows" % user]
    for name, ini, told in (("notice_cuts", KNOWN_INI + denied, True),
                            ("notice_cuts_off", KNOWN_INI + denied + "[Notice]\r\nRuleCut=0\r\n", False)):
        program = Program(env, args, name, ini=ini, scenario=scenario)
        deletions = program.path("deletions.txt")
        program.run_env["GLIMMERFEN_SIM_DELETIONS"] = windows_path(deletions)
        single = texts["notice_cut"].format(user=user, pc="PC-LATE")
        try:
            process, _ = program.start()
            program.wait_window(LIST_CAPTION)
            notices = watch_notices(program, 30 if told else 20, lambda seen: single in seen)
            if told:
                # Clicking the notice shows the hidden list with the cut client's row selected.
                program.post(LIST_CAPTION, WM_CLOSE, 0, 0)
                time.sleep(0.5)
                check(program.helper("selected", LIST_CAPTION, IDC_LIST)[1].split()[1:] == ["0"],
                      "the list did not hide")
                program.post(MAIN_CAPTION, TRAY_NOTIFY, 0, NIN_BALLOONUSERCLICK)
                rows = program.helper("rows", LIST_CAPTION, IDC_LIST)[1].split("\n")
                wanted = "%d 1" % rows.index("PC-LATE") if "PC-LATE" in rows else "PC-LATE not listed"
                check(wait_until(lambda: program.helper("selected", LIST_CAPTION, IDC_LIST)[1].strip() == wanted, 5),
                      "after the click: %r, wanted %r" % (program.helper("selected", LIST_CAPTION, IDC_LIST)[1],
                                                         wanted))
            program.close_application(process)
        finally:
            program.kill_all()
        with open(deletions, "rb") as f:
            cut = set(line.split("\t")[0] for line in f.read().decode("utf-8").splitlines())
        check(len(cut) == 13, "the rules cut %r" % sorted(cut))
        if told:
            check(notices == [texts["notice_cuts"] % 12, single], "the notices were %r" % notices)
        else:
            check(notices == [], "with the box cleared the notices were %r" % notices)


def case_notice_server(env, args, texts):
    """A server that cannot be reached gives one notice (besides its box), and one more when it answers
    again."""
    program = Program(env, args, "notice_server", ini=KNOWN_INI,
                      scenario=["deny sessions 53", "at 12000", "deny sessions off"])
    try:
        process, _ = program.start()
        check(program.box() is not None, "no box for the unreachable server")
        program.helper("press", APP_NAME, IDOK)
        notices = watch_notices(program, 30, lambda seen: texts["notice_back"] in seen)
        program.close_application(process)
    finally:
        program.kill_all()
    check(notices == [texts["notice_unreachable"], texts["notice_back"]], "the notices were %r" % notices)


def case_notice_watched_file(env, args, texts):
    """"Notify when closed" on an open-file row: when the file is closed on the server, one notice names
    its path, its holder and how long it was held."""
    user = {"en": "dave", "ja": "山田"}[env.lang]
    path = {"en": "C:\\Share\\locked.xlsx", "ja": "D:\\共有\\表計算.xlsx"}[env.lang]
    program = Program(env, args, "notice_watched_file", ini=KNOWN_INI,
                      scenario=["session PC-FILE %s 30 0 0 Windows" % user, "file %s 4711 3 1 %s" % (user, path),
                                "at 9000", "close file 4711"])
    try:
        process, _ = program.start()
        program.wait_window(LIST_CAPTION)
        time.sleep(2.5)  # the file's row is in the list after the first refresh
        check(program.helper("postchild", LIST_CAPTION, IDC_LIST, LVM_SETSELECTIONMARK, 0, 0)[0] == 0,
              "could not select the row")
        program.post(MAIN_CAPTION, WM_COMMAND, ID_NOTIFY_WHEN_CLOSED)
        started = time.time()
        prefix = texts["notice_closed"] % (path, user)
        notices = watch_notices(program, 20, lambda seen: any(n.startswith(prefix) for n in seen))
        program.close_application(process)
    finally:
        program.kill_all()
    check(len(notices) == 1 and notices[0].startswith(prefix), "the notices were %r" % notices)
    held = notices[0][len(prefix):].split(")")[0].split(" ")[0]
    parts = held.split(":")
    check(len(parts) == 3 and 3 <= int(parts[0]) * 3600 + int(parts[1]) * 60 + int(parts[2]) <= 9,
          "held for %r" % held)


CASES = [case_first_run, case_only_close_application_ends_it, case_second_start, case_scripted_log,
         case_help_with_manual, case_tray_icon_comes_back, case_close_behind_log_failure_box, case_manual_disconnect,
         case_log_viewer, case_one_file_enumeration_per_poll, case_access_denied,
         case_planted_library_stays_unloaded, case_option_sheet, case_send_message, case_hostile_client_name,
         case_client_by_address,
         case_close_one_file, case_export_csv, case_log_viewer_find, case_extension_rule,
         case_held_log_loses_nothing, case_events, case_event_source, case_one_copy_per_folder_and_computer,
         case_remote_computer, case_service, case_service_window, case_notice_rule_cuts, case_notice_server,
         case_notice_watched_file]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--helper", required=True)
    parser.add_argument("--stub", required=True, help="the stand-in net.exe/msg.exe")
    parser.add_argument("--manual")
    parser.add_argument("--lang", choices=["en", "ja"], default="en")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    parser.add_argument("--only", help="run only the case with this name")
    args = parser.parse_args()

    os.environ["TZ"] = "Asia/Tokyo"
    time.tzset()
    root = tempfile.mkdtemp(prefix="glimmerfen-e2e-%s-" % args.lang)
    env = Environment(root, args.lang, args.dll)
    failures = 0
    try:
        env.start()
        for case in CASES:
            if args.only and case.__name__ != args.only:
                continue
            began = time.time()
            try:
                case(env, args, TEXTS[args.lang])
                print("PASS %s (%s, %.1f s)" % (case.__name__, args.lang, time.time() - began), flush=True)
            except Failure as failure:
                failures += 1
                print("FAIL %s (%s): %s" % (case.__name__, args.lang, failure), flush=True)
            except Exception:
                failures += 1
                print("ERROR %s (%s):\n%s" % (case.__name__, args.lang, traceback.format_exc()), flush=True)
    finally:
        env.stop()
        if args.keep:
            print("kept", root)
        else:
            shutil.rmtree(root, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
