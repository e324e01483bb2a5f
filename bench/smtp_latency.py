#!/usr/bin/python3
"""Whole-process time of one short Japanese message sent to a local SMTP sink.

tidemark-send, curl and msmtp take turns (interleaved rounds) sending the same bytes to the
same sink on 127.0.0.1; the medians and quartiles of the wall times are printed. Then each
sender runs a few times under strace, and the time from the write that ends the content with
"." to the read of the server's reply is reported: that is what Nagle's algorithm and a
delayed acknowledgement stretch.

    smtp_latency.py BUILD_DIR SOURCE_DIR [ROUNDS]
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

SUBJECT = "打ち合わせの件"
BODY = "花子さん\n\n来週の打ち合わせは火曜日の午後二時からになりました。\nよろしくお願いします。\n"


def start_sink(source_dir, work):
    sink = subprocess.Popen(
        ["/usr/bin/python3", os.path.join(source_dir, "tests/support/smtp_sink.py"),
         os.path.join(work, "mail")],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    line = sink.stdout.readline()
    if not line.startswith("PORT "):
        sys.exit("smtp sink did not start")
    return sink, int(line.split()[1])


def wait_for(path, seconds=30):
    deadline = time.monotonic() + seconds
    while not os.path.exists(path):
        if time.monotonic() > deadline:
            sys.exit("the sink never stored " + path)
        time.sleep(0.01)


def commands(build, port, work):
    body = os.path.join(work, "body.txt")
    with open(body, "w", encoding="utf-8") as f:
        f.write(BODY)
    eml = os.path.join(work, "message.eml")
    tidemark = [os.path.join(build, "tidemark-send"), "--to", "sink@localhost", "--subject",
                SUBJECT, "--body-file", body, "--smtp", "127.0.0.1", "--port", str(port),
                "--user-id", "bench", "--email", "bench@localhost"]
    curl = ["curl", "-s", "-S", "smtp://127.0.0.1:%d" % port, "--mail-from", "bench@localhost",
            "--mail-rcpt", "sink@localhost", "--upload-file", eml]
    msmtp = ["msmtp", "--host=127.0.0.1", "--port=%d" % port, "--auth=off", "--tls=off",
             "--set-date-header=off", "--set-msgid-header=off", "--set-from-header=off",
             "--timeout=60", "--from=bench@localhost", "sink@localhost"]
    return eml, {"tidemark-send": (tidemark, None), "curl": (curl, None), "msmtp": (msmtp, eml)}


class Sender:
    def __init__(self, work):
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"))
        self.stored = 0
        self.mail = os.path.join(work, "mail")

    def run(self, argv, stdin_path, prefix=()):
        stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
        start = time.perf_counter()
        done = subprocess.run(list(prefix) + argv, stdin=stdin, env=self.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        elapsed = time.perf_counter() - start
        if stdin_path:
            stdin.close()
        if done.returncode != 0:
            sys.exit("%s failed: %s" % (argv[0], done.stderr.decode(errors="replace")))
        self.stored += 1
        stored = os.path.join(self.mail, "%04d.eml" % self.stored)
        wait_for(stored)
        return elapsed, stored


# Both writes and sends: each sender uses its own calls.
DOT_WRITE = re.compile(r'^(\d+) +([\d.]+) (?:write|sendto|sendmsg)\((\d+), "(.*)"')
REPLY_READ = re.compile(r'^(\d+) +([\d.]+) (?:read|recvfrom|recvmsg)\((\d+), "250.*<([\d.]+)>$')


def dot_reply_wait(trace):
    """Seconds from the write ending in CR LF . CR LF to the return of the read of the reply."""
    sent = None
    for line in open(trace, errors="replace"):
        m = DOT_WRITE.match(line)
        if m and m.group(4).endswith(r"\r\n.\r\n") or m and m.group(4) == r".\r\n":
            sent = (m.group(3), float(m.group(2)))
            continue
        r = REPLY_READ.match(line)
        if r and sent and r.group(3) == sent[0]:
            # A blocking read is stamped when it starts; its reply came when it returned.
            return float(r.group(2)) + float(r.group(4)) - sent[1]
    return None


def main():
    build, source_dir = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 21
    with tempfile.TemporaryDirectory(prefix="tidemark-bench-") as work:
        sink, port = start_sink(source_dir, work)
        try:
            eml, senders = commands(build, port, work)
            runner = Sender(work)
            # One send by tidemark-send gives the bytes the other two send again.
            _, stored = runner.run(*senders["tidemark-send"])
            with open(stored, "rb") as src, open(eml, "wb") as dst:
                dst.write(src.read())
            times = {name: [] for name in senders}
            for _ in range(rounds):
                for name, (argv, stdin_path) in senders.items():
                    times[name].append(runner.run(argv, stdin_path)[0])
            waits = {name: [] for name in senders}
            for i in range(5):
                for name, (argv, stdin_path) in senders.items():
                    trace = os.path.join(work, "trace-%s-%d" % (name, i))
                    runner.run(argv, stdin_path,
                               ["strace", "-f", "-ttt", "-T", "-s", "4096", "-o", trace,
                                "-e", "trace=write,sendto,sendmsg,read,recvfrom,recvmsg"])
                    waits[name].append(dot_reply_wait(trace))
        finally:
            sink.stdin.close()
            sink.wait(timeout=30)
    report(times, waits, rounds)


def report(times, waits, rounds):
    print("one short Japanese message, %d interleaved rounds, wall time per whole process" % rounds)
    print("%-14s %10s %10s %10s   %s" % ("sender", "median ms", "q1 ms", "q3 ms",
                                       "reply to '.' under strace, median of 5 (ms)"))
    for name, values in times.items():
        q1, _, q3 = statistics.quantiles(values, n=4)
        seen = [w for w in waits[name] if w is not None]
        wait = "%.2f" % (statistics.median(seen) * 1e3) if seen else "not found"
        print("%-14s %10.1f %10.1f %10.1f   %s" % (name, statistics.median(values) * 1e3,
                                                 q1 * 1e3, q3 * 1e3, wait))
    ratio = statistics.median(times["tidemark-send"]) / statistics.median(times["curl"])
    print("tidemark-send / curl (medians): %.2fx (goal <= 1x)" % ratio)


if __name__ == "__main__":
    main()
