#!/usr/bin/env python3
"""How the real program answers under churn: under Wine, on the stand-in server, every one of
ENTRIES sessions is replaced by a new one every two seconds, so every poll in which a generation changes
meets ENTRIES new accesses (each logged) and ages the previous ENTRIES out. Meanwhile the list window is
sent WM_NULL every 50 ms and the time its thread takes to answer is recorded.

Usage (after scripts/test has built build/win):
    bench/window_load.py [--entries 10000] [--seconds 30]

Prints the answer times (count, median, 90th percentile, longest, in ms) and the log's growth.
"""
import argparse
import os
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import run_e2e  # noqa: E402  (the end-to-end tests' Wine environment and program runner)


def scenario(entries, seconds):
    lines = ["# every session replaced every two seconds"]
    for generation in range(seconds // 2 + 1):
        if generation > 0:
            lines.append("at %d" % (generation * 2000))
            lines.append("end all")
        for i in range(entries):
            lines.append("session PC%05d-%d user%05d-%d 300 20 0 Windows 10 Pro" % (i, generation, i, generation))
    return lines


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--entries", type=int, default=10000)
    parser.add_argument("--seconds", type=int, default=30)
    parser.add_argument("--lang", default="en")
    parser.add_argument("--view-time", type=int, default=None, help="ViewTime in seconds (default: the program's)")
    parser.add_argument("--exe", default=None, help="another build's program (default: this tree's)")
    args = parser.parse_args()
    build = os.path.join(ROOT, "build", "win")
    paths = argparse.Namespace(exe=args.exe or os.path.join(build, "app", "GlimmerfenChecker.exe"),
                               dll=os.path.join(build, "simserver", "netapi32.dll"),
                               helper=os.path.join(build, "tests", "e2e", "e2e_helper.exe"), manual=None)
    with tempfile.TemporaryDirectory() as root:
        env = run_e2e.Environment(root, args.lang, paths.dll)
        env.start()
        program = None
        try:
            # Pop-ups and the list's own closing are off: the window stays as it is throughout.
            ini = "[Setting]\r\nInitFlag=1\r\nDlgPopFlag=0\r\n"
            if args.view_time is not None:
                ini += "ViewTime=%d\r\n" % args.view_time
            program = run_e2e.Program(env, paths, "load", ini=ini,
                                      scenario=scenario(args.entries, args.seconds + 4))
            process, _ = program.start()
            program.wait_window(run_e2e.MAIN_CAPTION)
            # The list window is shown from the tray's "Show list" command.
            program.post(run_e2e.MAIN_CAPTION, run_e2e.WM_COMMAND, 32774)
            program.wait_window(run_e2e.LIST_CAPTION)
            code, out = program.helper("ping", run_e2e.LIST_CAPTION, args.seconds * 1000,
                                       timeout=args.seconds + 120)
            log = program.path("log.txt")
            lines = 0
            if os.path.exists(log):
                with open(log, "rb") as f:
                    lines = f.read().count(b"\n")
            program.close_application(process)
        finally:
            if program is not None:
                program.kill_all()
            env.stop()
    if code != 0:
        print("the list window could not be reached")
        return 1
    count, median, p90, longest = out.split()
    print("%d entries replaced every 2 s, %d s: %s answers, median %s ms, 90th percentile %s ms, longest %s ms"
          % (args.entries, args.seconds, count, median, p90, longest))
    print("log.txt: %d lines at the end of the measurement" % lines)
    return 0


if __name__ == "__main__":
    sys.exit(main())
