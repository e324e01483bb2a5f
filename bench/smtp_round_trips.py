#!/usr/bin/python3
"""Round trips of one short message over STARTTLS and AUTH PLAIN through a slow line.

A proxy on 127.0.0.1 delays every chunk by DELAY ms in each direction (one round trip costs
twice that) in front of the local SMTP sink (tests/support/smtp_sink.py) offering PIPELINING,
STARTTLS and AUTH, with certificates made by tests/support/make_certs.sh. tidemark-send, curl and
msmtp send the same message in interleaved rounds; the medians of the wall time of each whole
process and of the round trips are printed side by side.

A round trip here is a turn of the conversation: bytes from the server that reach the proxy
after bytes from the client (the greeting counts as the first). That is each reply the client
had to wait for.

    smtp_round_trips.py BUILD_DIR SOURCE_DIR [ROUNDS] [DELAY_MS]
"""
import asyncio
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SUBJECT = "打ち合わせの件"
BODY = "花子さん\n\n来週の打ち合わせは火曜日の午後二時からになりました。\nよろしくお願いします。\n"
USER = "mailer"
PASSWORD = "Kite7#blue-Ridge"


class DelayingProxy:
    """Forwards each connection to the target, every chunk DELAY seconds late, in order."""

    def __init__(self, target_port, delay):
        self.target_port = target_port
        self.delay = delay
        self.turns = []  # per finished connection: the number of server turns
        self.loop = asyncio.new_event_loop()
        self.ready = threading.Event()
        self.port = None
        threading.Thread(target=self._run, daemon=True).start()
        if not self.ready.wait(10):
            sys.exit("the proxy did not start")

    def _run(self):
        asyncio.set_event_loop(self.loop)
        server = self.loop.run_until_complete(
            asyncio.start_server(self._connection, "127.0.0.1", 0))
        self.port = server.sockets[0].getsockname()[1]
        self.ready.set()
        self.loop.run_forever()

    async def _connection(self, client_reader, client_writer):
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", self.target_port)
        directions = []
        await asyncio.gather(
            self._pump(client_reader, server_writer, "c", directions),
            self._pump(server_reader, client_writer, "s", directions))
        turns = sum(1 for i, d in enumerate(directions)
                    if d == "s" and (i == 0 or directions[i - 1] == "c"))
        self.turns.append(turns)

    async def _pump(self, reader, writer, direction, directions):
        queue = asyncio.Queue()

        async def deliver():
            while True:
                due, data = await queue.get()
                await asyncio.sleep(max(0.0, due - time.monotonic()))
                if data is None:
                    break
                writer.write(data)
                await writer.drain()
            if writer.can_write_eof():
                try:
                    writer.write_eof()
                except OSError:
                    pass  # the other side is gone already

        delivering = asyncio.ensure_future(deliver())
        try:
            while True:
                data = await reader.read(65536)
                due = time.monotonic() + self.delay
                if not data:
                    break
                directions.append(direction)
                queue.put_nowait((due, data))
        except OSError:
            pass
        queue.put_nowait((time.monotonic() + self.delay, None))
        try:
            await delivering
        except OSError:
            pass

    def turns_of_next(self, count_before, seconds=10):
        """The turns of the connection after count_before finished ones, once it has ended."""
        deadline = time.monotonic() + seconds
        while len(self.turns) <= count_before:
            if time.monotonic() > deadline:
                return None
            time.sleep(0.01)
        return self.turns[count_before]


def make_certificates(source_dir, work):
    certs = os.path.join(work, "certs")
    os.makedirs(certs)
    subprocess.run(["/bin/sh", os.path.join(source_dir, "tests/support/make_certs.sh"), certs],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(os.path.join(certs, "password"), "w", encoding="utf-8") as f:
        f.write(PASSWORD + "\n")
    return certs


def start_sink(source_dir, work, certs):
    sink = subprocess.Popen(
        ["/usr/bin/python3", os.path.join(source_dir, "tests/support/smtp_sink.py"),
         os.path.join(work, "mail"), "--cert", os.path.join(certs, "good.pem"),
         "--key", os.path.join(certs, "good.key"), "--tls", "starttls", "--auth", "PLAIN,LOGIN",
         "--user", USER, "--password-file", os.path.join(certs, "password"), "--pipelining"],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    line = sink.stdout.readline()
    if not line.startswith("PORT "):
        sys.exit("smtp sink did not start")
    return sink, int(line.split()[1])


def commands(build, port, work, certs):
    body = os.path.join(work, "body.txt")
    with open(body, "w", encoding="utf-8") as f:
        f.write(BODY)
    ca = os.path.join(certs, "ca.pem")
    password_file = os.path.join(certs, "password")
    eml = os.path.join(work, "message.eml")
    tidemark = [os.path.join(build, "tidemark-send"), "--to", "sink@localhost", "--subject",
                SUBJECT, "--body-file", body, "--smtp", "127.0.0.1", "--port", str(port),
                "--user-id", "bench", "--email", "bench@localhost", "--security", "starttls",
                "--auth-user", USER, "--password-command", "cat " + password_file,
                "--ca-file", ca]
    curl = ["curl", "-s", "-S", "smtp://127.0.0.1:%d" % port, "--ssl-reqd", "--cacert", ca,
            "--user", "%s:%s" % (USER, PASSWORD), "--login-options", "AUTH=PLAIN",
            "--mail-from", "bench@localhost", "--mail-rcpt", "sink@localhost",
            "--upload-file", eml]
    msmtp = ["msmtp", "--host=127.0.0.1", "--port=%d" % port, "--tls=on", "--tls-starttls=on",
             "--tls-trust-file=" + ca, "--auth=plain", "--user=" + USER,
             "--passwordeval=cat " + password_file, "--set-date-header=off",
             "--set-msgid-header=off", "--set-from-header=off", "--timeout=60",
             "--from=bench@localhost", "sink@localhost"]
    return eml, {"tidemark-send": (tidemark, None), "curl": (curl, None), "msmtp": (msmtp, eml)}


def run(argv, stdin_path, env, mail, stored):
    stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
    start = time.perf_counter()
    done = subprocess.run(argv, stdin=stdin, env=env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if stdin_path:
        stdin.close()
    if done.returncode != 0:
        sys.exit("%s failed: %s" % (argv[0], done.stderr.decode(errors="replace")))
    path = os.path.join(mail, "%04d.eml" % stored)
    deadline = time.monotonic() + 30
    while not os.path.exists(path):
        if time.monotonic() > deadline:
            sys.exit("the sink never stored " + path)
        time.sleep(0.01)
    return elapsed, path


def main():
    build, source_dir = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    delay_ms = float(sys.argv[4]) if len(sys.argv) > 4 else 25.0
    with tempfile.TemporaryDirectory(prefix="tidemark-rtt-") as work:
        certs = make_certificates(source_dir, work)
        sink, sink_port = start_sink(source_dir, work, certs)
        try:
            proxy = DelayingProxy(sink_port, delay_ms / 1000.0)
            eml, senders = commands(build, proxy.port, work, certs)
            env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"))
            mail = os.path.join(work, "mail")
            stored = 0

            def send(name):
                nonlocal stored
                argv, stdin_path = senders[name]
                finished = len(proxy.turns)
                stored += 1
                elapsed, path = run(argv, stdin_path, env, mail, stored)
                return elapsed, proxy.turns_of_next(finished), path

            # tidemark-send's message is what the other two send again.
            _, _, path = send("tidemark-send")
            with open(path, "rb") as src, open(eml, "wb") as dst:
                dst.write(src.read())
            times = {name: [] for name in senders}
            turns = {name: [] for name in senders}
            for _ in range(rounds):
                for name in senders:
                    elapsed, count, _ = send(name)
                    times[name].append(elapsed)
                    turns[name].append(count)
        finally:
            sink.stdin.close()
            sink.wait(timeout=30)
    report(times, turns, rounds, delay_ms)


def report(times, turns, rounds, delay_ms):
    print("one short message, STARTTLS + AUTH PLAIN, server offers PIPELINING; proxy delay "
          "%.0f ms each way; %d interleaved rounds" % (delay_ms, rounds))
    print("%-14s %14s %14s %12s" % ("sender", "wall median ms", "min..max ms", "round trips"))
    for name in times:
        seen = [t for t in turns[name] if t is not None]
        trips = "%g" % statistics.median(seen) if seen else "unknown"
        print("%-14s %14.1f %7.1f..%-6.1f %12s" % (
            name, statistics.median(times[name]) * 1e3, min(times[name]) * 1e3,
            max(times[name]) * 1e3, trips))
    ratio = statistics.median(times["tidemark-send"]) / statistics.median(times["msmtp"])
    print("tidemark-send / msmtp (wall medians): %.2fx (goal <= 1x)" % ratio)


if __name__ == "__main__":
    main()
