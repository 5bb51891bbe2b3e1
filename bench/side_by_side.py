#!/usr/bin/env python3
"""The program of another commit beside this tree's, against the same simulated server, under Wine.

Builds GlimmerfenChecker.exe of BASE in a temporary work tree (through ccache when it is installed), then
runs the two programs one after the other, alternating, ROUNDS times each: each run starts the program
on the stand-in server of this tree's build, which serves SESSIONS sessions holding FILES open files each
(all there from the start, none changing), lets it settle for SETTLE seconds (the first poll lists and
logs every entry), and then measures the processor time of the program's process over SECONDS seconds
of wall time. Both use default settings (20 ms poll, 1 s list refresh), with the list window hidden.
Absolute figures move with the machine's load from run to run; the ratio of the two is the figure.

Usage (after scripts/test has built build/win):
    bench/side_by_side.py --base 02e826c [--sessions 2000] [--files 5] [--rounds 3] [--seconds 20]
        [--base-exe PATH]   (BASE's program built already: nothing is built)
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import run_e2e  # noqa: E402  (the end-to-end tests' Wine environment and program runner)

TICKS = os.sysconf("SC_CLK_TCK")


def build_base(commit, work):
    """GlimmerfenChecker.exe of the commit, built in a temporary work tree under work."""
    tree = os.path.join(work, "base")
    subprocess.run(["git", "-C", ROOT, "worktree", "add", "--detach", tree, commit], check=True,
                   stdout=subprocess.DEVNULL)
    build = os.path.join(tree, "build", "win")
    configure = ["cmake", "-S", tree, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                 "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(tree, "cmake", "mingw-w64-x86_64.cmake")]
    if shutil.which("ccache"):
        configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    subprocess.run(configure, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "--target", "GlimmerfenChecker"], check=True,
                   stdout=subprocess.DEVNULL)
    return tree, os.path.join(build, "app", "GlimmerfenChecker.exe")


def scenario(sessions, files):
    lines = ["# a steady server"]
    for s in range(sessions):
        lines.append("session PC%05d user%05d 300 0 0 Windows 10 Pro" % (s, s))
        for f in range(files):
            lines.append("file user%05d %d 1 0 D:\\Share\\Project%03d\\Document%05d-%d.docx"
                         % (s, s * files + f + 1, s % 100, s, f))
    return lines


def program_ticks():
    """{pid: user and system ticks} of the processes that name the program (one program runs at a time)."""
    ticks = {}
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if b"GlimmerfenChecker.exe" not in f.read():
                    continue
            with open("/proc/%s/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            ticks[pid] = int(fields[11]) + int(fields[12])  # utime, stime
        except OSError:
            continue
    return ticks


def process_ticks():
    return sum(program_ticks().values())


def run_once(env, paths, name, settle, seconds, sessions, files):
    program = run_e2e.Program(env, paths, name, ini="[Setting]\r\nInitFlag=1\r\nDlgPopFlag=0\r\n",
                              scenario=scenario(sessions, files))
    try:
        process, _ = program.start()
        program.wait_window(run_e2e.MAIN_CAPTION)
        time.sleep(settle)
        before, began = process_ticks(), time.time()
        time.sleep(seconds)
        used, elapsed = process_ticks() - before, time.time() - began
        program.close_application(process)
        return 100.0 * used / TICKS / elapsed
    finally:
        program.kill_all()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--base", required=True, help="the commit to compare with")
    parser.add_argument("--sessions", type=int, default=2000)
    parser.add_argument("--files", type=int, default=5)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--seconds", type=int, default=20)
    parser.add_argument("--settle", type=int, default=10)
    parser.add_argument("--base-exe", help="the base commit's GlimmerfenChecker.exe, built already")
    args = parser.parse_args()
    build = os.path.join(ROOT, "build", "win")
    current = argparse.Namespace(exe=os.path.join(build, "app", "GlimmerfenChecker.exe"),
                                 dll=os.path.join(build, "simserver", "netapi32.dll"),
                                 helper=os.path.join(build, "tests", "e2e", "e2e_helper.exe"), manual=None)
    work = tempfile.mkdtemp(prefix="glimmerfen-side-by-side-")
    tree = None
    try:
        if args.base_exe:
            base_exe = args.base_exe
        else:
            tree, base_exe = build_base(args.base, work)
        base = argparse.Namespace(**dict(vars(current), exe=base_exe))
        env = run_e2e.Environment(os.path.join(work, "runs"), "en", current.dll)
        os.makedirs(env.root)
        env.start()
        figures = {"base": [], "this": []}
        try:
            for round_ in range(args.rounds):
                for label, paths in (("base", base), ("this", current)):
                    cpu = run_once(env, paths, "%s%d" % (label, round_), args.settle, args.seconds, args.sessions,
                                   args.files)
                    figures[label].append(cpu)
                    print("round %d, %s: %.1f %% of a core" % (round_ + 1, label, cpu), flush=True)
        finally:
            env.stop()
    finally:
        if tree is not None:
            subprocess.run(["git", "-C", ROOT, "worktree", "remove", "--force", tree], stdout=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)
    base_median, this_median = statistics.median(figures["base"]), statistics.median(figures["this"])
    print("%d entries, %d rounds of %d s: %s %.1f %%, this tree %.1f %% of a core (medians); ratio %.2f"
          % (args.sessions * args.files, args.rounds, args.seconds, args.base, base_median, this_median,
             this_median / base_median))
    return 0


if __name__ == "__main__":
    sys.exit(main())
