#!/usr/bin/python3
"""A loopback OAuth 2.0 authorization server for tests.

Listens on 127.0.0.1 on a free port and prints "PORT <n>" on stdout once it accepts requests.
Runs until stdin closes or it is terminated. Writes in DIR:
  authorize.log  one line per sign-in request: "ok" or what was wrong with it
  token.log      one line per token request: "<grant_type> ok" or "<grant_type> <error>"
  refresh.txt    every refresh token handed out, one a line (tests look for them elsewhere)
Every access token handed out is appended to --token-file, the SMTP sink's accepted tokens.

GET /authorize wants response_type=code, --client-id, a redirect to http://127.0.0.1:PORT/, a
state, and a PKCE challenge with method S256; it sends the browser back there with a code and
the state (or error=invalid_request). POST /token takes that code once with the verifier that
matches the challenge, and refresh tokens: each refresh hands out a new refresh token and the
old one is refused (invalid_grant) from then on. POST /revoke forgets every refresh token.
GET /userinfo answers {"email": --user} to "Authorization: Bearer <an access token it issued>",
and GET /tokeninfo?access_token=<one> likewise, 401 otherwise, as an IMAP server's token check
asks; --access-token adds one it takes from the
start.
"""
import argparse
import base64
import hashlib
import http.server
import json
import os
import re
import secrets
import sys
import threading
import urllib.parse


class State:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.codes = {}  # code -> (challenge, redirect_uri)
        self.refresh = set()
        self.access = set()

    def log(self, name, line):
        with open(os.path.join(self.args.directory, name), "a", encoding="utf-8") as log:
            log.write(line + "\n")

    def issue(self):
        access = "at-" + secrets.token_urlsafe(24)
        refresh = "rt-" + secrets.token_urlsafe(24)
        self.access.add(access)
        self.refresh.add(refresh)
        if self.args.token_file:
            with open(self.args.token_file, "a", encoding="utf-8") as tokens:
                tokens.write(access + "\n")
        self.log("refresh.txt", refresh)
        return {"access_token": access, "refresh_token": refresh, "token_type": "Bearer",
                "expires_in": 3600}


def s256(verifier):
    digest = hashlib.sha256(verifier.encode()).digest()
    return base64.urlsafe_b64encode(digest).rstrip(b"=").decode()


def authorize_problem(query, client_id):
    one = {key: values[0] for key, values in query.items() if len(values) == 1}
    if one.get("response_type") != "code":
        return "response_type"
    if one.get("client_id") != client_id:
        return "client_id"
    if not re.fullmatch(r"http://127\.0\.0\.1:\d+/", one.get("redirect_uri", "")):
        return "redirect_uri"
    if not one.get("state"):
        return "state"
    if one.get("code_challenge_method") != "S256":
        return "code_challenge_method"
    if not re.fullmatch(r"[A-Za-z0-9_-]{43}", one.get("code_challenge", "")):
        return "code_challenge"
    return None


class Handler(http.server.BaseHTTPRequestHandler):
    state = None

    def log_message(self, *args):
        pass  # requests carry codes and tokens

    def reply(self, status, body, headers=()):
        data = json.dumps(body).encode() if isinstance(body, dict) else body
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/authorize":
            self.authorize(urllib.parse.parse_qs(url.query))
        elif url.path in ("/userinfo", "/tokeninfo"):
            bearer = self.headers.get("Authorization", "")
            token = urllib.parse.parse_qs(url.query).get("access_token", [bearer[7:]])[0]
            known = (bearer.startswith("Bearer ") or url.path == "/tokeninfo") and \
                token in self.state.access
            self.reply(200 if known else 401,
                       {"email": self.state.args.user} if known else {"error": "invalid_token"})
        else:
            self.reply(404, {})

    def authorize(self, query):
        problem = authorize_problem(query, self.state.args.client_id)
        self.state.log("authorize.log", problem or "ok")
        if problem:
            self.reply(400, {"error": "invalid_request", "error_description": problem})
            return
        code = secrets.token_urlsafe(16)
        with self.state.lock:
            self.state.codes[code] = (query["code_challenge"][0], query["redirect_uri"][0])
        back = query["redirect_uri"][0] + "?" + urllib.parse.urlencode(
            {"code": code, "state": query["state"][0]})
        self.reply(302, b"", [("Location", back)])

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        form = {k: v[0] for k, v in urllib.parse.parse_qs(self.rfile.read(length).decode()).items()}
        if self.path == "/revoke":
            with self.state.lock:
                self.state.refresh.clear()
            self.reply(200, {})
            return
        if self.path != "/token":
            self.reply(404, {})
            return
        grant = form.get("grant_type", "")
        with self.state.lock:
            error = self.check_grant(grant, form)
            answer = self.state.issue() if error is None else {"error": error}
        self.state.log("token.log", "%s %s" % (grant, error or "ok"))
        self.reply(200 if error is None else 400, answer)

    def check_grant(self, grant, form):
        if form.get("client_id") != self.state.args.client_id:
            return "invalid_client"
        if grant == "authorization_code":
            challenge, redirect = self.state.codes.pop(form.get("code", ""), (None, None))
            if challenge is None or form.get("redirect_uri") != redirect:
                return "invalid_grant"
            if s256(form.get("code_verifier", "")) != challenge:
                return "invalid_grant"
            return None
        if grant == "refresh_token":
            token = form.get("refresh_token", "")
            if token not in self.state.refresh:
                return "invalid_grant"
            self.state.refresh.discard(token)  # rotated: the old one is spent
            return None
        return "unsupported_grant_type"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("directory")
    parser.add_argument("--token-file")
    parser.add_argument("--client-id", default="test-client")
    parser.add_argument("--user", default="mailer")
    parser.add_argument("--access-token", action="append", default=[])
    args = parser.parse_args()
    os.makedirs(args.directory, exist_ok=True)
    Handler.state = State(args)
    Handler.state.access.update(args.access_token)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("PORT %d" % server.server_address[1], flush=True)
    sys.stdin.read()  # until the test closes it
    server.shutdown()


if __name__ == "__main__":
    main()
