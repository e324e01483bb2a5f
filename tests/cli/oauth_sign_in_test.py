#!/usr/bin/python3
"""tidemark-send --oauth-sign-in and the sends after it, against a loopback authorization server
and a real SMTP server that takes the access tokens it hands out. Runs inside a private session
bus with the keyring daemon (oauth-sign-in-test.sh).

Usage: oauth_sign_in_test.py TIDEMARK_SEND SOURCE_DIR
"""
import os
import re
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

SEND, SOURCE = sys.argv[1], sys.argv[2]
SUPPORT = os.path.join(SOURCE, "tests", "support")
WORK = tempfile.mkdtemp(prefix="tidemark-oauth-")
CONFIG = os.path.join(WORK, "config")
failures = []

# Follows addresses as a browser would, never through a proxy.
browser = urllib.request.build_opener(urllib.request.ProxyHandler({}))


def check(name, condition, detail=""):
    if not condition:
        failures.append(name)
    print("%s %s %s" % ("ok  " if condition else "FAIL", name, detail), flush=True)


def read(name):
    try:
        with open(os.path.join(WORK, name), encoding="utf-8") as f:
            return f.read()
    except FileNotFoundError:
        return ""


def start(script, *args):
    """A support server of ours; it prints its port and runs until its stdin closes."""
    process = subprocess.Popen(["/usr/bin/python3", os.path.join(SUPPORT, script), *args],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    line = process.stdout.readline()
    assert line.startswith("PORT "), script + " did not start"
    return process, int(line.split()[1])


def follow(url):
    """The page at the end of the redirects, or the error page."""
    try:
        with browser.open(url, timeout=20) as page:
            return page.read().decode("utf-8")
    except urllib.error.HTTPError as error:
        return error.read().decode("utf-8")


subprocess.run(["/bin/sh", os.path.join(SUPPORT, "make_certs.sh"), WORK], check=True,
               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
tokens = os.path.join(WORK, "tokens")
open(tokens, "w").close()
sink, smtp_port = start("smtp_sink.py", os.path.join(WORK, "mail"), "--cert",
                        os.path.join(WORK, "good.pem"), "--key", os.path.join(WORK, "good.key"),
                        "--tls", "starttls", "--auth", "OAUTHBEARER,XOAUTH2", "--user", "mailer",
                        "--token-file", tokens)
provider, auth_port = start("oauth_server.py", os.path.join(WORK, "provider"), "--token-file",
                            tokens)
base = "http://127.0.0.1:%d" % auth_port
OAUTH = ["--auth-user", "mailer", "--oauth-authorize-url", base + "/authorize",
         "--oauth-token-url", base + "/token", "--oauth-scope", "mail offline_access"]
ENV = dict(os.environ, XDG_CONFIG_HOME=CONFIG)


def sign_in(*options, env=ENV, answer=None):
    """Runs the sign-in; answer(url) plays the browser when the program only prints the URL."""
    run = subprocess.Popen([SEND, "--oauth-sign-in", *options, *OAUTH, "--oauth-client-id",
                            "test-client"], stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, text=True, env=env)
    url = run.stdout.readline().strip()
    page = answer(url) if answer else None
    out, err = run.communicate(timeout=60)
    return run.returncode, url, page, out + err


def send(client="test-client"):
    run = subprocess.run([SEND, "--to", "to@localhost", "--smtp", "127.0.0.1", "--port",
                          str(smtp_port), "--email", "me@localhost", "--user-id", "localhost",
                          "--security", "starttls", "--ca-file", os.path.join(WORK, "ca.pem"),
                          "--auth-method", "oauth", *OAUTH, "--oauth-client-id", client],
                         input="body\n", capture_output=True, text=True, env=ENV, timeout=60)
    return run.returncode, run.stdout + run.stderr


try:
    # The printed address, followed by the test as the user's browser would.
    status, url, page, shown = sign_in("--no-browser", answer=follow)
    query = urllib.parse.parse_qs(urllib.parse.urlsplit(url).query)
    check("signed in", status == 0, shown[-300:])
    check("address names what it asks", url.startswith(base + "/authorize?") and
          query.get("response_type") == ["code"] and
          query.get("code_challenge_method") == ["S256"] and
          len(query.get("code_challenge", [""])[0]) == 43 and len(query.get("state", [""])[0]) > 20
          and re.fullmatch(r"http://127\.0\.0\.1:\d+/", query.get("redirect_uri", [""])[0]) is not
          None and query.get("login_hint") == ["mailer"], url)
    check("provider took the request and the verifier",
          read("provider/authorize.log") == "ok\n" and
          read("provider/token.log") == "authorization_code ok\n", read("provider/token.log"))
    check("browser told in Japanese", page is not None and "サインインしました" in page)
    refresh = read("provider/refresh.txt").split()
    kept = "".join(open(os.path.join(root, name), errors="replace").read()
                   for root, _, names in os.walk(CONFIG) for name in names)
    check("refresh token nowhere in the settings", refresh and
          not any(token in kept or token in shown for token in refresh))

    # Each send refreshes, and the refresh token the provider rotates is the one used next.
    for attempt in (1, 2):
        status, shown = send()
        check("send %d with a refreshed token" % attempt, status == 0, shown[-300:])
    check("two refreshes, the second with the rotated token",
          read("provider/token.log").count("refresh_token ok") == 2, read("provider/token.log"))
    check("server took the new access tokens", read("mail/auth.log").splitlines() ==
          ["OAUTHBEARER ok inline"] * 2, read("mail/auth.log"))
    tokens_issued = read("tokens").split() + read("provider/refresh.txt").split()
    check("no token shown", not any(token in shown for token in tokens_issued))

    # Revoked at the provider: the user is told to sign in again.
    browser.open(urllib.request.Request(base + "/revoke", data=b""), timeout=10).read()
    status, shown = send()
    check("revoked: fails, asks to sign in again", status == 1 and "サインイン" in shown,
          shown[-300:])
    status, shown = send("another-client")
    check("never signed in for that client: exit 2", status == 2 and "サインイン" in shown,
          shown[-300:])

    # Signing in again through the browser opener, which here follows the address itself.
    opener = os.path.join(WORK, "bin")
    os.makedirs(opener)
    with open(os.path.join(opener, "xdg-open"), "w") as script:
        script.write("#!/usr/bin/python3\nimport sys, urllib.request\n"
                     "urllib.request.build_opener(urllib.request.ProxyHandler({}))"
                     ".open(sys.argv[1], timeout=20).read()\n")
    os.chmod(os.path.join(opener, "xdg-open"), 0o755)
    status, url, _, shown = sign_in(env=dict(ENV, PATH=opener + ":" + os.environ["PATH"]))
    check("signed in through the opener", status == 0, shown[-300:])
    status, shown = send()
    check("send after signing in again", status == 0, shown[-300:])

    # A return that does not carry this sign-in's state is refused, and the browser told.
    def forged(url):
        redirect = urllib.parse.parse_qs(urllib.parse.urlsplit(url).query)["redirect_uri"][0]
        return follow(redirect + "?code=stolen&state=forged")

    status, _, page, shown = sign_in("--no-browser", answer=forged)
    check("forged state refused", status == 1 and "できませんでした" in (page or ""),
          shown[-300:])
finally:
    for process in (sink, provider):
        process.stdin.close()
        process.wait(timeout=10)

print("%d failed" % len(failures) if failures else "all passed")
sys.exit(1 if failures else 0)
