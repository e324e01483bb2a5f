#!/usr/bin/python3
"""Medians of the processor time (user and system) and wall time of programs that only start.

    startup_floor.py BUILD_DIR [ROUNDS]
"""
import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from smtp_tls_latency import pairs  # noqa: E402


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
        names = list(commands)
        times, cpu = pairs(commands, rounds, dict(os.environ), lambda: None)
    print("start-up alone, medians of %d interleaved runs" % rounds)
    print("  %-28s %12s %14s" % ("program", "wall ms", "cpu ms"))
    for name in names:
        print("  %-28s %12.1f %14.1f" % (name, statistics.median(times[name]) * 1e3,
                                        statistics.median(cpu[name]) * 1e3))


if __name__ == "__main__":
    main()
