#!/usr/bin/env bash
# Soak run of the send flow: 2,000 sends to a loopback sink, then 200 to peers failing in turn
# at each step, in one process; fails when a count grows or a send is reported wrongly.
# Usage: bench/run-soak.sh [build dir] [successes] [failures]
set -euo pipefail
build=${1:-build}
cmake --build "$build" -j2 --target soak_bench >/dev/null
QT_QPA_PLATFORM=offscreen "$build/soak_bench" "${2:-2000}" "${3:-200}"
