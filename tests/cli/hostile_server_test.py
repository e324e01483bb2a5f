#!/usr/bin/python3
"""tidemark-send against hostile servers and hostile input, on loopback.

Usage: hostile_server_test.py TIDEMARK_SEND MAKE_CERTS

Each case starts a small SMTP server on 127.0.0.1 that misbehaves in one way, runs
tidemark-send against it and checks what a user would suffer: memory, time, what reaches the
terminal, what reaches the wire, and how the password command is handled.
"""
import base64
import os
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

SEND, MAKE_CERTS = sys.argv[1], sys.argv[2]
WORK = tempfile.mkdtemp(prefix="tidemark-hostile-")
failures = []


def tail(out):
    """The last line of a run's output, for a report."""
    lines = out.decode("utf-8", "replace").strip().splitlines()
    return repr(lines[-1] if lines else "")


def check(name, condition, detail=""):
    if not condition:
        failures.append("%s: %s" % (name, detail))
    print("%s %s %s" % ("ok  " if condition else "FAIL", name, detail), flush=True)


class Server:
    """One connection at a time on a free port; talk(conn) plays the server's part."""

    def __init__(self, talk, family=socket.AF_INET, host="127.0.0.1"):
        self.listener = socket.socket(family, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind((host, 0))
        self.listener.listen(1)
        self.listener.settimeout(20)
        self.port = self.listener.getsockname()[1]
        self.wire = bytearray()  # every byte the client sent in clear or inside TLS
        self.talk = talk
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        try:
            conn, _ = self.listener.accept()
        except OSError:
            return
        conn.settimeout(20)
        try:
            self.talk(self, conn)
        except (OSError, ssl.SSLError):
            pass  # the client hung up on us: what these servers want to see
        finally:
            conn.close()
            self.listener.close()

    def line(self, conn):
        data = bytearray()
        while not data.endswith(b"\n"):
            chunk = conn.recv(1)
            if not chunk:
                raise OSError("closed")
            data += chunk
        self.wire += data
        return bytes(data)

    def until_end_of_data(self, conn):
        while self.line(conn) != b".\r\n":
            pass


def secrets_in_memory(pid, secrets):
    """The secrets found in the writable memory of process pid; None where it cannot be read
    (a container without the right to trace)."""
    found = set()
    try:
        maps, mem = open("/proc/%d/maps" % pid), open("/proc/%d/mem" % pid, "rb", 0)
    except OSError:
        return None
    with maps, mem:
        for entry in maps:
            fields = entry.split()
            start, end = (int(x, 16) for x in fields[0].split("-"))
            # The sanitizer's shadow is huge and holds no bytes of the program's own.
            if "rw" not in fields[1] or end - start > 64 * 1024 * 1024:
                continue
            try:
                mem.seek(start)
                chunk = mem.read(end - start)
            except OSError:
                continue
            found.update(s for s in secrets if s in chunk)
    return found


def run(args, stdin=b"body\n", extra_env=None, started_pid=None):
    """Runs tidemark-send; returns status, output, seconds and peak memory (KiB)."""
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(WORK, "config"), LC_ALL="C.UTF-8")
    env.update(extra_env or {})
    # Files rather than pipes: a child the password command leaves behind may hold them open.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as body:
        body.write(stdin)
        body.seek(0)
        started = time.monotonic()
        child = subprocess.Popen([SEND] + args, stdin=body, stdout=out, stderr=out, env=env,
                                 start_new_session=True)
        if started_pid is not None:
            started_pid.append(child.pid)
        try:
            _, status, usage = os.wait4(child.pid, 0)
        finally:
            try:
                os.killpg(child.pid, signal.SIGKILL)  # whatever it left behind
            except ProcessLookupError:
                pass
        seconds = time.monotonic() - started
        child.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        return child.returncode, out.read(), seconds, usage.ru_maxrss


def base(port, *more):
    """The options of a run against port; an option given in more replaces the usual one."""
    usual = [("--to", "to@localhost"), ("--smtp", "127.0.0.1"), ("--port", str(port)),
             ("--user-id", "client.localhost"), ("--email", "me@localhost")]
    kept = [w for option, value in usual if option not in more for w in (option, value)]
    return kept + list(more)


def plain_dialogue(server, conn, greeting=b"220 ready\r\n", end_reply=b"250 queued\r\n",
                   at_end=None):
    conn.sendall(greeting)
    while True:
        line = server.line(conn)
        verb = line[:4].upper()
        if verb == b"DATA":
            conn.sendall(b"354 go\r\n")
            server.until_end_of_data(conn)
            if at_end:
                at_end()
            conn.sendall(end_reply)
        elif verb == b"QUIT":
            conn.sendall(b"221 bye\r\n")
            return
        else:
            conn.sendall(b"250 ok\r\n")


# 1. Memory: an endless EHLO reply (before STARTTLS, so anyone on the path can send it).
def endless_ehlo(server, conn):
    conn.sendall(b"220 ready\r\n")
    server.line(conn)
    line = b"250-" + b"x" * (64 * 1024 - 6) + b"\r\n"
    for _ in range(8000):
        conn.sendall(line)
    conn.sendall(b"250 STARTTLS\r\n")


def case_memory():
    server = Server(endless_ehlo)
    status, out, seconds, peak = run(base(server.port, "--security", "starttls", "--timeout",
                                          "10"))
    check("memory: 8000 EHLO lines of 64 KiB", peak < 64 * 1024 and status == 1,
          "peak %d KiB, status %d, %.1f s" % (peak, status, seconds))


# 2. Time: one continuation line every 1.5 s, never the last one.
def drip(where):
    def talk(server, conn):
        if where == "greeting":
            conn.sendall(b"220-slow\r\n")
        else:
            conn.sendall(b"220 ready\r\n")
            server.line(conn)
        for _ in range(20):
            time.sleep(1.5)
            conn.sendall(b"250-still here\r\n")
    return talk


def case_time():
    for where, extra in (("greeting", []), ("HELO", []), ("EHLO", ["--security", "starttls"])):
        server = Server(drip(where))
        status, out, seconds, _ = run(base(server.port, "--timeout", "2", *extra))
        check("time: --timeout 2, a line every 1.5 s in the %s reply" % where,
              seconds < 8 and status != 0, "%.1f s, status %d" % (seconds, status))


# 3. Terminal: control characters in every server text that may be printed.
def escapes(server, conn):
    conn.sendall(b"220 \x1b]0;owned\x07\x1b[2J\x9b31m ready\r\n")
    server.line(conn)  # HELO
    conn.sendall(b"250 \x1bc hi\r\n")
    server.line(conn)  # RSET
    conn.sendall(b"250 ok\r\n")
    server.line(conn)  # MAIL
    conn.sendall("550 \x1b[2J\x07\x7f\x08 refused 宛先不明\r\n".encode())
    server.line(conn)  # QUIT
    conn.sendall(b"221 \x1b]0;bye\x07\r\n")


def case_terminal():
    server = Server(escapes)
    status, out, _, _ = run(base(server.port, "--verbose"))
    shown = out.decode("utf-8", "replace")
    bad = [c for c in shown if (ord(c) < 0x20 and c not in "\t\n") or 0x7f <= ord(c) <= 0x9f]
    check("terminal: no control characters from the server", not bad and status == 1,
          "found %r, status %d" % (sorted(set(bad)), status))
    check("terminal: the reply is still shown, its UTF-8 as UTF-8", "refused 宛先不明" in shown)


# 4 and 5. The wire: a NUL in the body, ESMTP parameters smuggled in addresses.
def case_wire():
    cases = [
        ("NUL in the body", [], b"a\0b\n\0.\nQUIT\n"),
        ("parameters after --to", ["--to", "a@x> NOTIFY=SUCCESS X="], b"body\n"),
        ("parameters after --email", ["--email", "me@x> SIZE=1 X="], b"body\n"),
    ]
    for name, options, body in cases:
        server = Server(plain_dialogue)
        status, out, _, _ = run(base(server.port, *options), stdin=body)
        server.thread.join(5)
        envelope = [l for l in bytes(server.wire).split(b"\r\n") if l[:5] in (b"MAIL ", b"RCPT ")]
        smuggled = any(l.rstrip().endswith(b"=>") or b"> " in l for l in envelope)
        # Refused before connecting (status 2), or sent without the smuggled part.
        check("wire: %s" % name, b"\0" not in server.wire and not smuggled and status in (0, 2),
              "status %d, envelope %r, %s" % (status, envelope, tail(out)))


# 6 and the password. AUTH over STARTTLS with a user name that is not ASCII.
def certificates():
    os.makedirs(os.path.join(WORK, "certs"))
    subprocess.run(["sh", MAKE_CERTS, os.path.join(WORK, "certs")], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return os.path.join(WORK, "certs")


PASSWORD = b"s3cret-pw"
# The password and the forms AUTH sends it in.
SECRETS = {PASSWORD, base64.b64encode(PASSWORD),
           base64.b64encode(b"\0" + "ユーザー@例え.jp".encode() + b"\0" + PASSWORD)}


def auth_dialogue(mechanism, certs, seen):
    def talk(server, conn):
        conn.sendall(b"220 ready\r\n")
        server.line(conn)
        conn.sendall(b"250-hi\r\n250 STARTTLS\r\n")
        server.line(conn)
        conn.sendall(b"220 go\r\n")
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(certs, "good.pem"), os.path.join(certs, "good.key"))
        conn = context.wrap_socket(conn, server_side=True)
        server.line(conn)
        conn.sendall(b"250-hi\r\n250 AUTH " + mechanism + b"\r\n")
        line = server.line(conn)
        if mechanism == b"PLAIN":
            fields = base64.b64decode(line.split()[2]).split(b"\0")
            seen["user"], seen["password"] = fields[1], fields[2]
        else:
            conn.sendall(b"334 VXNlcm5hbWU6\r\n")
            seen["user"] = base64.b64decode(server.line(conn).strip())
            conn.sendall(b"334 UGFzc3dvcmQ6\r\n")
            seen["password"] = base64.b64decode(server.line(conn).strip())
        conn.sendall(b"235 welcome\r\n")

        # While the client waits for the reply to the end of the message, AUTH is long over.
        def look():
            started = time.monotonic()
            seen["in memory"] = secrets_in_memory(seen["pid"][0], SECRETS)
            seen["looking"] = time.monotonic() - started
        plain_dialogue(server, conn, greeting=b"", at_end=look)
    return talk


def case_auth(certs):
    user = "ユーザー@例え.jp"
    for mechanism in (b"PLAIN", b"LOGIN"):
        seen = {"pid": []}
        server = Server(auth_dialogue(mechanism, certs, seen))
        status, out, seconds, _ = run(base(
            server.port, "--security", "starttls", "--ca-file", os.path.join(certs, "ca.pem"),
            "--auth-user", user, "--password-command",
            "printf '%s-%s\\n' s3cret pw; (sleep 30 &)"), started_pid=seen["pid"])
        # The command line holds the password only in pieces, so any copy found is the program's.
        check("AUTH %s: the user name in UTF-8" % mechanism.decode(),
              status == 0 and seen.get("user") == user.encode("utf-8")
              and seen.get("password") == b"s3cret-pw",
              "status %d, user %r" % (status, seen.get("user")))
        seconds -= seen.get("looking", 0)
        check("AUTH %s: the password command's lingering child" % mechanism.decode(),
              seconds < 15, "%.1f s (and %.1f s looking through its memory)"
              % (seconds, seen.get("looking", 0)))
        check("AUTH %s: the password is never shown" % mechanism.decode(),
              not any(secret in out for secret in SECRETS))
        looked = seen.get("in memory", "never looked")
        if looked is None:
            print("skip AUTH %s: this process may not read another's memory" % mechanism.decode())
        else:
            check("AUTH %s: no copy of the password left after AUTH" % mechanism.decode(),
                  looked == set(), "found %r" % (looked,))


def case_password_refused():
    for name, command in (("NUL", r"printf 'a\0b\n'"), ("CR", r"printf 'a\rb\n'")):
        server = Server(plain_dialogue)
        status, out, _, _ = run(base(server.port, "--security", "starttls", "--auth-user", "u",
                                     "--password-command", command))
        server.listener.close()
        check("password with a %s refused before connecting" % name,
              status == 2 and not server.wire, "status %d, %s" % (status, tail(out)))


# 9. A reply of five digits, or none at all, to the end of the message.
def case_end_of_data():
    for name, reply in (("five digits", b"40000 held\r\n"), ("no reply line", b"queued\r\n")):
        server = Server(lambda s, c, r=reply: plain_dialogue(s, c, end_reply=r))
        status, out, _, _ = run(base(server.port))
        check("end of data: %s" % name,
              status == 3 and "届いている可能性があります".encode() in out,
              "status %d" % status)


def case_ipv6():
    try:
        server = Server(plain_dialogue, socket.AF_INET6, "::1")
    except OSError as e:
        check("IPv6 loopback", False, "no ::1 here: %s" % e)
        return
    status, out, _, _ = run(base(server.port, "--smtp", "::1"))
    check("IPv6: a message sent over ::1", status == 0 and b"DATA" in server.wire,
          "status %d, %s" % (status, tail(out)))


case_memory()
case_time()
case_terminal()
case_wire()
case_auth(certificates())
case_password_refused()
case_end_of_data()
case_ipv6()
print("%d failed" % len(failures))
sys.exit(1 if failures else 0)
