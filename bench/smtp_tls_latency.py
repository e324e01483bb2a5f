#!/usr/bin/python3
"""Wall time of one short message over TLS with AUTH PLAIN on loopback: tidemark-send and curl.

The server answers like Postfix (tests/support/smtp_sink.py --batch-replies: TCP_NODELAY, the
replies to commands that came together in one write, PIPELINING offered), once speaking TLS
from the first byte and once offering STARTTLS, with certificates made by
tests/support/make_certs.sh. The two senders run in interleaved pairs, each pair in the other
order than the last, and the medians of the wall time and of the processor time (user and
system, the password command's included) of each whole process are printed with their ratio.

Where Postfix and Cyrus SASL's saslpasswd2 are installed, the same pairs run once more against a
private Postfix submission service on loopback (bench/postfix_instance.py: STARTTLS, AUTH PLAIN,
mail discarded); the system's Postfix is not touched. TIDEMARK_SEND_BASELINE=PATH adds another
tidemark-send build (an earlier one, say) to every round, as "baseline".

    smtp_tls_latency.py BUILD_DIR SOURCE_DIR [ROUNDS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import postfix_instance  # noqa: E402
from smtp_round_trips import BODY, PASSWORD, SUBJECT, USER, make_certificates  # noqa: E402


class Server:
    """A local sink in one TLS mode; counts the messages it stored."""

    def __init__(self, source_dir, work, certs, mode):
        self.mail = os.path.join(work, "mail-" + mode)
        self.stored = 0
        self.process = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(source_dir, "tests/support/smtp_sink.py"),
             self.mail, "--cert", os.path.join(certs, "good.pem"),
             "--key", os.path.join(certs, "good.key"), "--tls", mode, "--auth", "PLAIN,LOGIN",
             "--user", USER, "--password-file", os.path.join(certs, "password"),
             "--pipelining", "--batch-replies"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("PORT "):
            sys.exit("smtp sink did not start")
        self.port = int(line.split()[1])

    def check_stored(self):
        """Fails the run unless the message just sent is there, whole."""
        self.stored += 1
        path = os.path.join(self.mail, "%04d.eml" % self.stored)
        deadline = time.monotonic() + 30
        while not os.path.exists(path):
            if time.monotonic() > deadline:
                sys.exit("the sink never stored " + path)
            time.sleep(0.005)
        with open(path, "rb") as f:
            if b"\r\n\r\n" not in f.read():
                sys.exit("the sink stored no whole message in " + path)

    def stop(self):
        self.process.stdin.close()
        self.process.wait(timeout=30)


def senders(build, host, port, implicit, ca, password_file, eml, user):
    security = "tls" if implicit else "starttls"
    body = os.path.join(os.path.dirname(eml), "body.txt")
    tidemark = [os.path.join(build, "tidemark-send"), "--to", "sink@localhost", "--subject",
                SUBJECT, "--body-file", body, "--smtp", host, "--port", str(port),
                "--user-id", "bench", "--email", "bench@localhost", "--security", security,
                "--auth-user", user, "--password-command", "cat " + password_file,
                "--ca-file", ca]
    with open(password_file, encoding="utf-8") as f:
        password = f.readline().rstrip("\n")
    url = "%s://%s:%d" % ("smtps" if implicit else "smtp", host, port)
    curl = ["curl", "-s", "-S", url, "--ssl-reqd", "--cacert", ca, "--user",
            "%s:%s" % (user, password), "--login-options", "AUTH=PLAIN",
            "--mail-from", "bench@localhost", "--mail-rcpt", "sink@localhost",
            "--upload-file", eml]
    commands = {"tidemark-send": tidemark, "curl": curl}
    baseline = os.environ.get("TIDEMARK_SEND_BASELINE")
    if baseline:
        commands["baseline"] = [baseline] + tidemark[1:]
    return commands


def run(argv, env):
    """Wall and processor seconds of one whole process (its children included)."""
    start = time.perf_counter()
    process = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    error = process.stderr.read()
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit("%s failed: %s" % (argv[0], error.decode(errors="replace")))
    return elapsed, usage.ru_utime + usage.ru_stime


def pairs(commands, rounds, env, check):
    times = {name: [] for name in commands}
    cpu = {name: [] for name in commands}
    names = list(commands)
    for i in range(rounds):
        for name in names if i % 2 == 0 else reversed(names):
            elapsed, used = run(commands[name], env)
            check()
            times[name].append(elapsed)
            cpu[name].append(used)
    return times, cpu


def report(title, times, cpu):
    print(title)
    print("  %-14s %10s %16s %12s" % ("sender", "median ms", "q1..q3 ms", "cpu median ms"))
    for name in times:
        q1, _, q3 = statistics.quantiles(times[name], n=4)
        print("  %-14s %10.1f %7.1f..%-8.1f %12.1f" % (
            name, statistics.median(times[name]) * 1e3, q1 * 1e3, q3 * 1e3,
            statistics.median(cpu[name]) * 1e3))
    for name in (n for n in times if n != "curl"):
        ratio = statistics.median(times[name]) / statistics.median(times["curl"])
        paired = statistics.median(t / c for t, c in zip(times[name], times["curl"]))
        print("  %s / curl: %.2fx (wall medians), %.2fx (median of pairs)%s"
              % (name, ratio, paired, "; goal <= 1x" if name == "tidemark-send" else ""))


def main():
    build, source_dir = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 30
    with tempfile.TemporaryDirectory(prefix="tidemark-tls-") as work:
        certs = make_certificates(source_dir, work)
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"))
        with open(os.path.join(work, "body.txt"), "w", encoding="utf-8") as f:
            f.write(BODY)
        eml = os.path.join(work, "message.eml")
        ca = os.path.join(certs, "ca.pem")
        password_file = os.path.join(certs, "password")
        for mode in ("implicit", "starttls"):
            server = Server(source_dir, work, certs, mode)
            try:
                commands = senders(build, "127.0.0.1", server.port, mode == "implicit", ca,
                                   password_file, eml, USER)
                # tidemark-send's message is what curl sends again.
                run(commands["tidemark-send"], env)
                server.check_stored()
                if "baseline" in commands:
                    run(commands["baseline"], env)
                    server.check_stored()
                with open(os.path.join(server.mail, "0001.eml"), "rb") as src:
                    with open(eml, "wb") as dst:
                        dst.write(src.read())
                times, cpu = pairs(commands, rounds, env, server.check_stored)
            finally:
                server.stop()
            report("TLS %s, AUTH PLAIN, one short message, %d interleaved pairs, loopback "
                   "server answering like Postfix" % (
                       "from the first byte" if mode == "implicit" else "by STARTTLS", rounds),
                   times, cpu)
        if postfix_instance.available():
            run_postfix(build, work, certs, eml, env, rounds)
        else:
            print("(Postfix or saslpasswd2 not installed: no run against a real Postfix)")


def run_postfix(build, work, certs, eml, env, rounds):
    # The private Postfix's processes run as the postfix user and must reach these.
    for path in (work, certs):
        os.chmod(path, 0o711)
    ca = os.path.join(certs, "ca.pem")
    password_file = os.path.join(certs, "password")
    with postfix_instance.PostfixInstance(work, os.path.join(certs, "good.pem"),
                                          os.path.join(certs, "good.key"), USER,
                                          PASSWORD) as postfix:
        commands = senders(build, "127.0.0.1", postfix.port, False, ca, password_file, eml, USER)
        run(commands["curl"], env)  # its first session starts the services it needs
        times, cpu = pairs(commands, rounds, env, lambda: None)
    report("Postfix %s on loopback, STARTTLS, AUTH PLAIN, one short message, %d interleaved "
           "pairs" % (postfix_instance.version(), rounds), times, cpu)


if __name__ == "__main__":
    main()
