#!/usr/bin/env bash
# Processor and wall time of starting alone, against which the secure-send bench
# (run-smtp-tls.sh) reads: a program that links nothing, one that links Qt Core and OpenSSL, the
# same making its application and a TLS context, tidemark-send --version, and curl fetching a
# local file. Medians of ROUNDS interleaved runs (40 unless set; bench/startup_floor.py).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cmake --build "$build" --target startup_floor >/dev/null
echo "load before: $(uptime)"
/usr/bin/python3 "$here/startup_floor.py" "$build" "${ROUNDS:-40}"
echo "load after:  $(uptime)"
