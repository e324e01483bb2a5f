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
With --pipelining its reply to EHLO lists PIPELINING as well. With --batch-replies it answers
like Postfix: the replies to commands that came together (pipelined ones, the lines of the EHLO
reply) leave in one write once the server waits for input again. With --size N it lists SIZE N
and refuses larger messages; every MAIL adds its argument to DIR/mail.log, and every
stored message adds "SIZE=declared received-bytes" to DIR/size.log.
--auth may also name OAUTHBEARER and XOAUTH2: they accept --user with an access token listed in
--token-file (one a line, read at every attempt). A token given on the AUTH line is noted
"inline" in auth.log, one given after the server's empty challenge "challenged". Another token
is refused as --token-refusal says: "continuation" sends a 334 with a JSON error first and notes
how the client answered it ("answer=AQ==", "answer=empty"), then 535 5.7.8; "immediate" answers
535 5.7.3 at once.
"""
import argparse
import asyncio
import binascii
import itertools
import json
import os
import signal
import ssl
import sys

from base64 import b64decode

from aiosmtpd.smtp import MISSING, SMTP, AuthResult, LoginPassword

OAUTH_MECHANISMS = {"OAUTHBEARER", "XOAUTH2"}
MECHANISMS = {"PLAIN", "LOGIN"} | OAUTH_MECHANISMS


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


class BatchingSMTP(SMTP):
    """Holds replies until the session next waits for input, then writes them at once."""

    _held = None
    _at_once = False

    async def push(self, status):
        if isinstance(status, str):
            status = status.encode("utf-8" if self.enable_SMTPUTF8 else "ascii")
        if self._held is None:
            self._held = []
            self.loop.call_soon(self._flush)
        self._held.append(status + b"\r\n")
        if self._at_once:
            self._flush()

    def _flush(self):
        held, self._held = self._held, None
        if held and self.transport is not None:
            self._writer.write(b"".join(held))

    # The go-ahead for TLS leaves before the layer changes; the farewell before the close.
    async def smtp_STARTTLS(self, arg):
        self._at_once = True
        try:
            await super().smtp_STARTTLS(arg)
        finally:
            self._at_once = False

    async def smtp_QUIT(self, arg):
        self._at_once = True
        await super().smtp_QUIT(arg)


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


def oauth_fields(mechanism, blob):
    """The user and the bearer token of an initial response, or None where it is malformed."""
    parts = blob.decode("utf-8", "replace").split("\x01")
    if len(parts) < 3 or parts[-2:] != ["", ""]:
        return None
    bearer = mechanism == "OAUTHBEARER"
    fields = dict(p.split("=", 1) for p in parts[1 if bearer else 0:-2] if "=" in p)
    if bearer:
        gs2 = parts[0].split(",")
        if len(gs2) != 3 or gs2[0] != "n" or not gs2[1].startswith("a="):
            return None
        if not {"host", "port"} <= fields.keys():
            return None
        user = gs2[1][2:].replace("=2C", ",").replace("=3D", "=")
    else:
        user = fields.get("user")
    auth = fields.get("auth", "")
    if user is None or not auth.startswith("Bearer "):
        return None
    return user, auth[len("Bearer "):]


class OAuthMechanisms:
    """AUTH OAUTHBEARER and XOAUTH2, refusing a token as a provider does (see above)."""

    def setup_oauth(self, directory, user, token_file, refusal):
        self.oauth_log = os.path.join(directory, "auth.log")
        self.oauth_user = user
        self.token_file = token_file
        self.refusal = refusal

    async def auth_OAUTHBEARER(self, server, args):
        return await self.check_token(server, args, "OAUTHBEARER")

    async def auth_XOAUTH2(self, server, args):
        return await self.check_token(server, args, "XOAUTH2")

    def accepted(self):
        with open(self.token_file, encoding="utf-8") as tokens:
            return {line.rstrip("\n") for line in tokens if line.strip()}

    async def check_token(self, server, args, mechanism):
        how = "challenged" if len(args) == 1 else "inline"
        if how == "challenged":
            blob = await server.challenge_auth("")
            if blob is MISSING:
                return AuthResult(success=False, handled=True)
        else:
            try:
                blob = b64decode(args[1], validate=True)
            except binascii.Error:
                return AuthResult(success=False, message="501 5.5.2 Cannot decode base64")
        fields = oauth_fields(mechanism, blob)
        good = fields is not None and fields[0] == self.oauth_user and fields[1] in self.accepted()
        note = "%s %s %s" % (mechanism, "ok" if good else "refused", how)
        message = None
        if not good and self.refusal == "continuation":
            error = {"status": "invalid_token", "schemes": "bearer", "scope": "mail"}
            answer = await server.challenge_auth(json.dumps(error))
            if answer is MISSING:
                note += " answer=invalid"
            else:
                note += " answer=" + {b"\x01": "AQ==", b"": "empty"}.get(answer, "other")
                message = "535 5.7.8 Username and Password not accepted"
        elif not good:
            message = "535 5.7.3 Authentication unsuccessful"
        with open(self.oauth_log, "a", encoding="utf-8") as log:
            log.write(note + "\n")
        if good:
            return AuthResult(success=True)
        return AuthResult(success=False, handled=message is None, message=message)


class LongLineSMTP(SMTP):
    # Access tokens run to kilobytes, in reply to a challenge; AUTH lines keep their limit.
    line_length_limit = 65536


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
        password = ""
        if args.password_file:
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
    base = PipeliningHandler if args.pipelining else StoreHandler
    oauth = args.auth and OAUTH_MECHANISMS & set(args.auth.upper().split(","))
    handler = (type("OAuthHandler", (OAuthMechanisms, base), {}) if oauth else base)(args.directory)
    if oauth:
        handler.setup_oauth(args.directory, args.user, args.token_file, args.token_refusal)
    options, implicit = server_options(args)
    # Every session logs its MAIL; the others add what the test asks for.
    extras = (LongLineSMTP,) if oauth else (BatchingSMTP,) if args.batch_replies else ()
    protocol = type("Session", (LoggingSMTP,) + extras, {})
    server = await loop.create_server(
        lambda: protocol(handler, args.directory, **options),
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
    parser.add_argument("--batch-replies", action="store_true")
    parser.add_argument("--token-file")
    parser.add_argument("--token-refusal", choices=["continuation", "immediate"],
                        default="continuation")
    parser.add_argument("--size", type=int, default=None)
    args = parser.parse_args()
    os.makedirs(args.directory, exist_ok=True)
    asyncio.run(serve(args))


if __name__ == "__main__":
    main()
