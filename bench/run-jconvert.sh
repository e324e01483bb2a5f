#!/usr/bin/env bash
# SjisToJis against iconv and nkf; the attachment encoder against base64 -w 60.
# Usage: bench/run-jconvert.sh <build dir>
# Each benchmark reports its converter writing into fresh memory (the first touch of every page
# is paid, which dominates on a machine where that is slow) and into warm memory (pages touched
# before), which separates the code's speed from the machine's. The second pass repeats both
# with malloc backed by transparent huge pages (fewer page faults).
set -euo pipefail
build=${1:?build directory}
echo "load before: $(uptime)"
echo "-- default allocation"
"$build/bench_sjis_to_jis"
"$build/bench_uuencode"
echo "-- malloc with transparent huge pages (GLIBC_TUNABLES=glibc.malloc.hugetlb=1)"
GLIBC_TUNABLES=glibc.malloc.hugetlb=1 "$build/bench_sjis_to_jis"
GLIBC_TUNABLES=glibc.malloc.hugetlb=1 "$build/bench_uuencode"
echo "load after:  $(uptime)"
