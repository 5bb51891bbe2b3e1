#!/usr/bin/env python3
"""The tray as the service's window beside the tray with its own engine, this tree's program in both
roles, under Wine on the stand-in server, alternating:

1. steady: SESSIONS x FILES entries that stay; the share of a core each process uses (the tray with its
   own engine; the tray as the window, and the service behind it);
2. churn: ENTRIES sessions replaced every two seconds, the list window shown and sent WM_NULL every
   50 ms; its answer times (as bench/window_load.py measures them).

Usage (after scripts/test has built build/win):
    bench/service_window.py [--sessions 2000] [--files 5] [--rounds 3] [--seconds 20] [--churn 10000]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
import run_e2e  # noqa: E402
import side_by_side  # noqa: E402
import window_load  # noqa: E402

INI = "[Setting]\r\nInitFlag=1\r\nDlgPopFlag=0\r\n"
SHOW_LIST = 32774


def ticks_by_role():
    """(tray ticks, service ticks) of the running programs."""
    tray = service = 0
    for pid, ticks in side_by_side.program_ticks().items():
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                is_service = b"/service" in f.read()
        except OSError:
            continue
        if is_service:
            service += ticks
        else:
            tray += ticks
    return tray, service


def measure(seconds):
    (tray0, service0), began = ticks_by_role(), time.time()
    time.sleep(seconds)
    (tray1, service1), elapsed = ticks_by_role(), time.time() - began
    share = lambda t: 100.0 * t / side_by_side.TICKS / elapsed  # noqa: E731
    return share(tray1 - tray0), share(service1 - service0)


def ping(program, seconds):
    program.post(run_e2e.MAIN_CAPTION, run_e2e.WM_COMMAND, SHOW_LIST)
    program.wait_window(run_e2e.LIST_CAPTION)
    code, out = program.helper("ping", run_e2e.LIST_CAPTION, seconds * 1000, timeout=seconds + 120)
    return out.split() if code == 0 else None


def run(env, paths, name, lines, as_service, settle, seconds, churn):
    """One round: the steady shares, or the churn's answer times, of one role."""
    program = run_e2e.Program(env, paths, name, ini=INI, scenario=None if as_service else lines)
    scene = None
    try:
        if as_service:
            scene = run_e2e.ServiceScene(env, program, "\n".join(lines) + "\n")
            run_e2e.check(scene.setup("/install-service")[0] == 0, "the service was not installed")
            scene.sc("start", "GlimmerfenChecker")
        process, _ = program.start()
        program.wait_window(run_e2e.MAIN_CAPTION)
        time.sleep(settle)
        result = ping(program, seconds) if churn else measure(seconds)
        program.close_application(process)
        return result
    finally:
        if scene is not None:
            scene.cleanup()
        program.kill_all()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sessions", type=int, default=2000)
    parser.add_argument("--files", type=int, default=5)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--seconds", type=int, default=20)
    parser.add_argument("--settle", type=int, default=10)
    parser.add_argument("--churn", type=int, default=10000, help="entries of the churn run (0: none)")
    args = parser.parse_args()
    build = os.path.join(ROOT, "build", "win")
    paths = argparse.Namespace(exe=os.path.join(build, "app", "GlimmerfenChecker.exe"),
                               dll=os.path.join(build, "simserver", "netapi32.dll"),
                               helper=os.path.join(build, "tests", "e2e", "e2e_helper.exe"), manual=None)
    steady = side_by_side.scenario(args.sessions, args.files)
    with tempfile.TemporaryDirectory() as root:
        env = run_e2e.Environment(root, "en", paths.dll)
        env.start()
        own, window, service = [], [], []
        try:
            for round_ in range(args.rounds):
                tray, _ = run(env, paths, "own%d" % round_, steady, False, args.settle, args.seconds, False)
                own.append(tray)
                tray, behind = run(env, paths, "window%d" % round_, steady, True, args.settle, args.seconds, False)
                window.append(tray)
                service.append(behind)
                print("round %d: own engine %.1f %%; window %.1f %% + service %.1f %%"
                      % (round_ + 1, own[-1], window[-1], service[-1]), flush=True)
            print("%d entries, %d rounds of %d s (medians): tray with its own engine %.1f %% of a core; tray as "
                  "the window %.1f %% (ratio %.2f), service %.1f %%, both %.1f %%"
                  % (args.sessions * args.files, args.rounds, args.seconds, statistics.median(own),
                     statistics.median(window), statistics.median(window) / statistics.median(own),
                     statistics.median(service), statistics.median(window) + statistics.median(service)))
            if args.churn:
                lines = window_load.scenario(args.churn, args.seconds + args.settle + 10)
                for label, as_service in (("own engine", False), ("window", True)):
                    times = run(env, paths, "churn-" + label.replace(" ", ""), lines, as_service, 2, args.seconds,
                                True)
                    print("churn of %d entries, %s: %s" % (args.churn, label, "no answer" if times is None else
                          "%s answers, median %s ms, 90th percentile %s ms, longest %s ms" % tuple(times)),
                          flush=True)
        finally:
            env.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
