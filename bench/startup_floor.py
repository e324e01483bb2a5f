#!/usr/bin/python3
"""Medians of the processor time (user and system) and wall time of programs that only start.

    startup_floor.py BUILD_DIR [ROUNDS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def run(argv):
    start = time.perf_counter()
    process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    error = process.stderr.read()
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        sys.exit("%s failed: %s" % (" ".join(argv), error.decode(errors="replace")))
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime


def main():
    build = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 40
    floor = os.path.join(build, "startup_floor")
    with tempfile.TemporaryDirectory(prefix="tidemark-startup-") as work:
        empty = os.path.join(work, "empty")
        source = empty + ".c"
        with open(source, "w") as f:
            f.write("int main(void) { return 0; }\n")
        subprocess.run(["cc", "-O2", source, "-o", empty], check=True)
        page = os.path.join(work, "page.txt")
        with open(page, "w") as f:
            f.write("one line\n")
        commands = {
            "empty C program": [empty],
            "Qt Core + OpenSSL, linked": [floor],
            "+ application, TLS context": [floor, "app"],
            "tidemark-send --version": [os.path.join(build, "tidemark-send"), "--version"],
            "curl file://": ["curl", "-s", "file://" + page],
        }
        times = {name: [] for name in commands}
        cpu = {name: [] for name in commands}
        names = list(commands)
        for i in range(rounds):
            for name in names if i % 2 == 0 else reversed(names):
                elapsed, used = run(commands[name])
                times[name].append(elapsed)
                cpu[name].append(used)
    print("start-up alone, medians of %d interleaved runs" % rounds)
    print("  %-28s %12s %14s" % ("program", "wall ms", "cpu ms"))
    for name in names:
        print("  %-28s %12.1f %14.1f" % (name, statistics.median(times[name]) * 1e3,
                                        statistics.median(cpu[name]) * 1e3))


if __name__ == "__main__":
    main()
