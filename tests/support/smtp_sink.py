#!/usr/bin/python3
"""A local SMTP sink for tests and benchmarks.

Listens on 127.0.0.1 (a free port unless --port is given), prints "PORT <n>" on stdout once it
accepts connections, and stores every accepted message in DIR as NNNN.eml (the message bytes as
received, after the server removed the dot-stuffing) with NNNN.env beside it (MAIL FROM on the
first line, then one RCPT TO address per line). Runs until stdin closes or it is terminated.
A recipient whose local part begins with "unknown" is refused with "550 5.1.1 User unknown".

With --cert and --key it offers STARTTLS (--tls starttls) or speaks TLS from the first byte
(--tls implicit). With --auth MECHANISMS (e.g. PLAIN,LOGIN) it offers AUTH over TLS and accepts
only --user with the password read from the first line of --password-file; every attempt adds
"MECHANISM ok" or "MECHANISM refused" to DIR/auth.log (never the credentials). Each TLS
handshake adds the name the client asked for (SNI), or "-" for none, to DIR/sni.log.
With --pipelining its reply to EHLO lists PIPELINING as well. With --size N it lists SIZE N
and refuses larger messages; every MAIL adds its argument to DIR/mail.log, and every
stored message adds "SIZE=declared received-bytes" to DIR/size.log.
"""
import argparse
import asyncio
import itertools
import os
import signal
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

MECHANISMS = {"PLAIN", "LOGIN"}


class StoreHandler:
    def __init__(self, directory):
        self.directory = directory
        self.counter = itertools.count(1)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("unknown"):
            return "550 5.1.1 User unknown"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        declared = [o for o in envelope.mail_options if o.upper().startswith("SIZE=")]
        with open(os.path.join(self.directory, "size.log"), "a", encoding="utf-8") as log:
            log.write("%s %d\n" % ((declared or ["-"])[0], len(envelope.original_content)))
        stem = os.path.join(self.directory, "%04d" % next(self.counter))
        with open(stem + ".env.tmp", "w", encoding="utf-8", errors="surrogateescape") as env:
            env.write(envelope.mail_from + "\n")
            for rcpt in envelope.rcpt_tos:
                env.write(rcpt + "\n")
        with open(stem + ".eml.tmp", "wb") as eml:
            eml.write(envelope.original_content)
        # The .eml appears last and whole: readers poll for it.
        os.replace(stem + ".env.tmp", stem + ".env")
        os.replace(stem + ".eml.tmp", stem + ".eml")
        return "250 Message accepted for delivery"


class LoggingSMTP(SMTP):
    """Logs every MAIL as the client wrote it, also those the server goes on to refuse."""

    def __init__(self, handler, directory, **options):
        super().__init__(handler, **options)
        self.mail_log = os.path.join(directory, "mail.log")

    async def smtp_MAIL(self, arg):
        with open(self.mail_log, "a", encoding="utf-8", errors="surrogateescape") as log:
            log.write("%s\n" % arg)
        await super().smtp_MAIL(arg)


class PipeliningHandler(StoreHandler):
    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        # The server leaves the name to a handler that answers EHLO itself.
        session.host_name = hostname
        return responses[:-1] + ["250-PIPELINING", responses[-1]]


class Authenticator:
    def __init__(self, directory, user, password):
        self.log = os.path.join(directory, "auth.log")
        self.user = user.encode()
        self.password = password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        good = (isinstance(auth_data, LoginPassword) and auth_data.login == self.user
                and auth_data.password == self.password)
        with open(self.log, "a", encoding="utf-8") as log:
            log.write("%s %s\n" % (mechanism, "ok" if good else "refused"))
        # Not handled: the server itself answers 535 to a refusal.
        return AuthResult(success=good, handled=False)


def log_sni(directory, name):
    with open(os.path.join(directory, "sni.log"), "a", encoding="utf-8") as log:
        log.write((name or "-") + "\n")


def server_options(args):
    options = {"data_size_limit": args.size, "hostname": "localhost"}
    context = None
    if args.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
        context.sni_callback = lambda _socket, name, _context: log_sni(args.directory, name)
        if args.tls == "starttls":
            options["tls_context"] = context
    if args.auth:
        with open(args.password_file, encoding="utf-8") as secret:
            password = secret.readline().rstrip("\n")
        offered = set(args.auth.upper().split(","))
        options["authenticator"] = Authenticator(args.directory, args.user, password)
        options["auth_exclude_mechanism"] = MECHANISMS - offered
        # Over TLS from the first byte the server does not see its own TLS layer.
        options["auth_require_tls"] = args.tls != "implicit"
    return options, context if args.tls == "implicit" else None


async def serve(args):
    loop = asyncio.get_running_loop()
    handler = (PipeliningHandler if args.pipelining else StoreHandler)(args.directory)
    options, implicit = server_options(args)
    server = await loop.create_server(
        lambda: LoggingSMTP(handler, args.directory, **options),
        host="127.0.0.1",
        port=args.port,
        ssl=implicit,
    )
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    loop.add_reader(sys.stdin.fileno(), lambda: stop.set() if not os.read(0, 4096) else None)
    await stop.wait()
    server.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("directory")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--tls", choices=["starttls", "implicit"], default="starttls")
    parser.add_argument("--auth")
    parser.add_argument("--user", default="")
    parser.add_argument("--password-file")
    parser.add_argument("--pipelining", action="store_true")
    parser.add_argument("--size", type=int, default=None)
    args = parser.parse_args()
    os.makedirs(args.directory, exist_ok=True)
    asyncio.run(serve(args))


if __name__ == "__main__":
    main()
