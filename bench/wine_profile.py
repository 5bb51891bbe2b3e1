#!/usr/bin/env python3
"""Where the running program's processor time goes under Wine: a sampling profile by perf.

Starts GlimmerfenChecker.exe (this tree's, or --exe) on the stand-in server with SESSIONS sessions holding
FILES open files each, as side_by_side.py does, lets it settle, samples it with `perf record` for SECONDS
seconds and prints the share of a core that each part took: the program's own functions (named from the
exe's symbol table), the stand-in server, and Wine's and the kernel's parts by library.

Usage (after scripts/test has built build/win; needs perf, Debian package linux-perf):
    bench/wine_profile.py [--exe path] [--sessions 2000] [--files 5] [--seconds 10] [--top 25]
"""
import argparse
import bisect
import collections
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "bench"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import run_e2e  # noqa: E402
import side_by_side  # noqa: E402

FREQUENCY = 999  # samples a second


def exe_symbols(exe):
    symbols = []
    listing = subprocess.run(["x86_64-w64-mingw32-nm", "-C", "--defined-only", exe], capture_output=True,
                             text=True, check=True).stdout
    for line in listing.splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3 and parts[1] in "tT":
            symbols.append((int(parts[0], 16), parts[2]))
    symbols.sort()
    return symbols


def program_pid():
    """The program's process: of those that name the exe (Wine's starter does too), the busiest."""
    ticks = side_by_side.program_ticks()
    return max(ticks, key=ticks.get) if ticks else None


def main():
    parser = argparse.ArgumentParser()
    build = os.path.join(ROOT, "build", "win")
    parser.add_argument("--exe", default=os.path.join(build, "app", "GlimmerfenChecker.exe"))
    parser.add_argument("--sessions", type=int, default=2000)
    parser.add_argument("--files", type=int, default=5)
    parser.add_argument("--seconds", type=int, default=10)
    parser.add_argument("--settle", type=int, default=10)
    parser.add_argument("--top", type=int, default=25)
    args = parser.parse_args()
    paths = argparse.Namespace(exe=args.exe, dll=os.path.join(build, "simserver", "netapi32.dll"),
                               helper=os.path.join(build, "tests", "e2e", "e2e_helper.exe"), manual=None)
    work = tempfile.mkdtemp(prefix="glimmerfen-profile-")
    data = os.path.join(work, "perf.data")
    env = run_e2e.Environment(os.path.join(work, "runs"), "en", paths.dll)
    os.makedirs(env.root)
    env.start()
    program = None
    try:
        program = run_e2e.Program(env, paths, "profiled", ini="[Setting]\r\nInitFlag=1\r\nDlgPopFlag=0\r\n",
                                  scenario=side_by_side.scenario(args.sessions, args.files))
        process, _ = program.start()
        program.wait_window(run_e2e.MAIN_CAPTION)
        time.sleep(args.settle)
        subprocess.run(["perf", "record", "-F", str(FREQUENCY), "-p", program_pid(), "-o", data, "--", "sleep",
                        str(args.seconds)], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        program.close_application(process)
    finally:
        if program is not None:
            program.kill_all()
        env.stop()
    symbols = exe_symbols(args.exe)
    addresses = [address for address, _ in symbols]
    samples = subprocess.run(["perf", "script", "-i", data, "-F", "ip,dso"], capture_output=True, text=True,
                             check=True).stdout.splitlines()
    parts = collections.Counter()
    for line in samples:
        fields = line.split()
        if len(fields) < 2:
            continue
        ip = int(fields[0], 16)
        if symbols and symbols[0][0] <= ip < 0x141000000:  # the exe, at its preferred base
            parts["program: " + symbols[bisect.bisect_right(addresses, ip) - 1][1][:90]] += 1
        else:
            dso = fields[1].strip("()").split("/")[-1]
            # Wine maps the stand-in server's DLL without a file perf can name; so is other loaded code.
            parts["code without a file (the stand-in server)" if dso.startswith(("perf-", "[JIT]")) else dso] += 1
    total = len(samples)
    full = FREQUENCY * args.seconds
    print("%d entries, %d samples in %d s: %.1f %% of a core" % (args.sessions * args.files, total, args.seconds,
                                                                 100.0 * total / full))
    for name, count in parts.most_common(args.top):
        print("%6.2f %%  %s" % (100.0 * count / full, name))
    return 0


if __name__ == "__main__":
    sys.exit(main())
