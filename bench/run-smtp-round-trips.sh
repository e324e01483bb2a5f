#!/usr/bin/env bash
# One short message over STARTTLS and AUTH PLAIN through a proxy that delays each direction by
# DELAY ms (25 unless set) in front of a local server offering PIPELINING: tidemark-send, curl
# and msmtp side by side, medians of ROUNDS runs (5 unless set) of wall time and round trips
# (bench/smtp_round_trips.py).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
echo "load before: $(uptime)"
/usr/bin/python3 "$here/smtp_round_trips.py" "$build" "$here/.." "${ROUNDS:-5}" "${DELAY:-25}"
echo "load after:  $(uptime)"
