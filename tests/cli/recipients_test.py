#!/usr/bin/python3
"""tidemark-send's RCPT commands and header against an independent reading of the same text.

Usage: recipients_test.py TIDEMARK_SEND SMTP_SINK MAKE_CERTS

For each address list, in an ISO-2022-JP and a UTF-8 message, tidemark-send sends to the test
sink over TLS with AUTH and PIPELINING. The RCPT addresses the sink received must be the
addresses Python's email.utils.getaddresses finds in the typed text, and the To and CC lines read
back with policy.default must name the same addresses. An address whose quoted local part holds
"<" or ">" is refused before connecting instead (exit 2, nothing sent).
"""
import email
import email.policy
import os
import subprocess
import sys
import tempfile
from email.utils import getaddresses

SEND, SINK, MAKE_CERTS = sys.argv[1:4]
WORK = tempfile.mkdtemp(prefix="tidemark-rcpt-")
failures = []

CASES = [
    # (to, cc, bcc)
    ("x@example.jp", "", '"山田 太郎" <a@example.jp>; b@example.jp, "ｶﾀｶﾅ" <c@example.jp>'),
    ('"Support <support@bank.jp>" <attacker@evil.jp>', '"<<Shop>>" <s@x.jp>', ""),
    ("a@x.jp (Re:x)", "<b@x.jp> (Yamada,Taro)", "c@x.jp(Taro), d@x.jp (Taro)"),
    ('"表示, ソ" <c@x.jp>; d@x.jp (部長)', "label: e@x.jp", '"子" <f@x.jp>'),
    ('"x\\";y" <a@x.jp>, , ;', '"佐藤, 花子" <h@x.jp>', '"ﾊﾝｶｸ" <k@x.jp>'),
    ("\u0600\"子\" <a@x.jp>, b@x.jp", "", '"😀, 1" <c@x.jp>'),
]
REFUSED = [('"子" <a@x.jp>', "", '"b,c@evil.jp> NOTIFY=NEVER"@x.jp')]


def check(name, condition, detail=""):
    if not condition:
        failures.append("%s: %s" % (name, detail))
    print("%s %s %s" % ("ok  " if condition else "FAIL", name, detail), flush=True)


def addresses(*fields):
    # The strict reading gives up on a list with ";" altogether; the lenient one reads it.
    return [a for _, a in getaddresses([f for f in fields if f], strict=False) if a]


def main():
    certs = os.path.join(WORK, "certs")
    os.mkdir(certs)
    subprocess.run(["sh", MAKE_CERTS, certs], check=True, capture_output=True)
    with open(os.path.join(WORK, "password"), "w") as f:
        f.write("secret\n")
    mail = os.path.join(WORK, "mail")
    os.mkdir(mail)
    sink = subprocess.Popen(
        [sys.executable, SINK, mail, "--tls", "implicit", "--cert", os.path.join(certs, "good.pem"),
         "--key", os.path.join(certs, "good.key"), "--auth", "PLAIN", "--user", "u",
         "--password-file", os.path.join(WORK, "password"), "--pipelining"],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    port = sink.stdout.readline().decode().split()[1]
    env = dict(os.environ, HOME=WORK, XDG_CONFIG_HOME=WORK, XDG_DATA_HOME=WORK)
    sent = 0

    def send(to, cc, bcc, charset):
        args = [SEND, "--smtp", "127.0.0.1", "--port", port, "--security", "tls",
                "--ca-file", os.path.join(certs, "ca.pem"), "--auth-user", "u",
                "--password-command", "cat " + os.path.join(WORK, "password"),
                "--email", "me@example.jp", "--charset", charset, "--to", to, "--cc", cc,
                "--bcc", bcc, "--subject", "宛先のテスト"]
        return subprocess.run(args, input="本文\n".encode(), env=env, capture_output=True,
                              timeout=60)

    try:
        for to, cc, bcc in CASES:
            for charset in ("iso-2022-jp", "utf-8"):
                if charset == "iso-2022-jp" and any("\u0600" in f or "😀" in f for f in (to, cc, bcc)):
                    continue
                name = "%s | %s | %s (%s)" % (to, cc, bcc, charset)
                run = send(to, cc, bcc, charset)
                check(name + ": exit 0", run.returncode == 0, run.stderr.decode(errors="replace"))
                if run.returncode != 0:
                    continue
                sent += 1
                base = os.path.join(mail, "%04d" % sent)
                with open(base + ".env") as f:
                    rcpt = f.read().splitlines()[1:]
                check(name + ": RCPT", rcpt == addresses(to, cc, bcc),
                      "%r != %r" % (rcpt, addresses(to, cc, bcc)))
                with open(base + ".eml", "rb") as f:
                    message = email.message_from_binary_file(f, policy=email.policy.default)
                for header, typed in (("To", to), ("CC", cc)):
                    if not addresses(typed):
                        continue
                    read = [a.addr_spec for a in message[header].addresses]
                    check(name + ": " + header + " header", read == addresses(typed),
                          "%r != %r" % (read, addresses(typed)))
                check(name + ": no Bcc line", message["Bcc"] is None)
        for to, cc, bcc in REFUSED:
            run = send(to, cc, bcc, "utf-8")
            check("refused before connecting: " + bcc, run.returncode == 2,
                  "exit %d %s" % (run.returncode, run.stdout.decode(errors="replace")))
        check("nothing else reached the sink", len(
            [n for n in os.listdir(mail) if n.endswith(".eml")]) == sent)
    finally:
        sink.stdin.close()
        sink.terminate()
        sink.wait(timeout=10)
    print("%d check(s) failed" % len(failures) if failures else "every check passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
