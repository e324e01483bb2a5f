#!/usr/bin/env bash
# One short message over TLS (from the first byte, then by STARTTLS) with AUTH PLAIN to a local
# server answering like Postfix: tidemark-send and curl in ROUNDS interleaved pairs (30 unless
# set), medians of wall and processor time and their ratio (bench/smtp_tls_latency.py).
# Where Postfix is installed, the same pairs run against a private Postfix on loopback too.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
echo "load before: $(uptime)"
/usr/bin/python3 "$here/smtp_tls_latency.py" "$build" "$here/.." "${ROUNDS:-30}"
echo "load after:  $(uptime)"
