"""A private Postfix on loopback for the benchmarks, when Postfix is installed.

Its own configuration, queue and data directories live in a temporary directory; it listens
only on 127.0.0.1 at a free port as a submission service (STARTTLS required, AUTH PLAIN and
LOGIN through Cyrus SASL's sasldb for one user), accepts mail for any recipient from that user
and discards it. Nothing of the system's Postfix (its configuration, queue or port 25) is used.

    with PostfixInstance(work, cert, key, user, password) as postfix:
        ... send to 127.0.0.1:postfix.port ...
"""
import os
import shutil
import socket
import subprocess
import time

POSTFIX = "/usr/sbin/postfix"
SASLPASSWD = "/usr/sbin/saslpasswd2"

# The services a submission that discards its mail needs, none chrooted.
SERVICES = """\
pickup    unix  n       -       n       60      1       pickup
cleanup   unix  n       -       n       -       0       cleanup
qmgr      unix  n       -       n       300     1       qmgr
tlsmgr    unix  -       -       n       1000?   1       tlsmgr
rewrite   unix  -       -       n       -       -       trivial-rewrite
bounce    unix  -       -       n       -       0       bounce
defer     unix  -       -       n       -       0       bounce
trace     unix  -       -       n       -       0       bounce
verify    unix  -       -       n       -       1       verify
flush     unix  n       -       n       1000?   0       flush
proxymap  unix  -       -       n       -       -       proxymap
showq     unix  n       -       n       -       -       showq
error     unix  -       -       n       -       -       error
retry     unix  -       -       n       -       -       error
discard   unix  -       -       n       -       -       discard
anvil     unix  -       -       n       -       1       anvil
scache    unix  -       -       n       -       1       scache
postlog   unix-dgram n  -       n       -       1       postlogd
"""


def available():
    return os.access(POSTFIX, os.X_OK) and os.access(SASLPASSWD, os.X_OK)


def version():
    done = subprocess.run(["/usr/sbin/postconf", "-d", "-h", "mail_version"], capture_output=True,
                          text=True)
    return done.stdout.strip()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class PostfixInstance:
    def __init__(self, work, cert, key, user, password):
        self.root = os.path.join(work, "postfix")
        self.conf = os.path.join(self.root, "conf")
        self.port = free_port()
        self.user, self.password = user, password
        self.cert, self.key = cert, key

    def __enter__(self):
        sasl = os.path.join(self.conf, "sasl")
        os.makedirs(sasl)
        for name in ("queue", "data"):
            os.makedirs(os.path.join(self.root, name))
        shutil.chown(os.path.join(self.root, "data"), "postfix", "postfix")
        # smtpd runs as the postfix user: it must reach what it reads.
        os.chmod(self.root, 0o755)
        for path in (self.cert, self.key):
            os.chmod(path, 0o644)
        sasldb = os.path.join(sasl, "sasldb2")
        subprocess.run([SASLPASSWD, "-c", "-p", "-f", sasldb, "-u", "localhost", self.user],
                       input=self.password.encode(), check=True)
        os.chmod(sasldb, 0o644)
        with open(os.path.join(sasl, "smtpd.conf"), "w", encoding="utf-8") as f:
            f.write("pwcheck_method: auxprop\nauxprop_plugin: sasldb\n"
                    "mech_list: PLAIN LOGIN\nsasldb_path: %s\n" % sasldb)
        with open(os.path.join(self.conf, "main.cf"), "w", encoding="utf-8") as f:
            f.write(self._main_cf(sasl))
        with open(os.path.join(self.conf, "master.cf"), "w", encoding="utf-8") as f:
            f.write(self._master_cf())
        subprocess.run([POSTFIX, "-c", self.conf, "start"], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._wait_until_listening()
        return self

    def __exit__(self, *exc):
        subprocess.run([POSTFIX, "-c", self.conf, "stop"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        # The master leaves after its children; its queue goes with the temporary directory.
        deadline = time.monotonic() + 10
        while self._listening() and time.monotonic() < deadline:
            time.sleep(0.05)
        shutil.rmtree(self.root, ignore_errors=True)

    def _main_cf(self, sasl):
        return "\n".join([
            "compatibility_level = 3.6",
            "queue_directory = " + os.path.join(self.root, "queue"),
            "data_directory = " + os.path.join(self.root, "data"),
            "meta_directory = /etc/postfix",
            "mail_owner = postfix",
            "setgid_group = postdrop",
            "inet_interfaces = 127.0.0.1",
            "inet_protocols = ipv4",
            "myhostname = localhost",
            "mydomain = localdomain",
            "mydestination =",
            "relay_domains =",
            "alias_maps =",
            "alias_database =",
            "local_transport = discard:",
            "relay_transport = discard:",
            "default_transport = discard:",
            "smtpd_peername_lookup = no",
            "maillog_file = " + os.path.join(self.root, "maillog"),
            "maillog_file_prefixes = " + self.root,
            "cyrus_sasl_config_path = " + sasl,
            "smtpd_sasl_local_domain = localhost",
            "smtpd_relay_restrictions = permit_sasl_authenticated, reject",
            "",
        ])

    def _master_cf(self):
        return "\n".join([
            "127.0.0.1:%d inet n - n - - smtpd" % self.port,
            "  -o smtpd_tls_security_level=encrypt",
            "  -o smtpd_tls_cert_file=" + self.cert,
            "  -o smtpd_tls_key_file=" + self.key,
            "  -o smtpd_sasl_auth_enable=yes",
            "  -o smtpd_tls_auth_only=yes",
            SERVICES,
        ])

    def _listening(self):
        try:
            with socket.create_connection(("127.0.0.1", self.port), timeout=1) as s:
                s.settimeout(2)
                return s.recv(3) == b"220"
        except OSError:
            return False

    def _wait_until_listening(self):
        deadline = time.monotonic() + 20
        while not self._listening():
            if time.monotonic() > deadline:
                raise RuntimeError("Postfix did not start; see " +
                                   os.path.join(self.root, "maillog"))
            time.sleep(0.1)
