#!/usr/bin/env bash
# SjisToJis against iconv and nkf; the attachment encoder against base64 -w 60.
# Usage: bench/run-jconvert.sh <build dir>
# Both converters write into fresh memory, so on a machine where touching new pages is slow
# that cost dominates; the second pass shows the same work with malloc backed by transparent
# huge pages (fewer page faults), which separates the code's speed from the machine's.
set -euo pipefail
build=${1:?build directory}
echo "-- default allocation"
"$build/bench_sjis_to_jis"
"$build/bench_uuencode"
echo "-- malloc with transparent huge pages (GLIBC_TUNABLES=glibc.malloc.hugetlb=1)"
GLIBC_TUNABLES=glibc.malloc.hugetlb=1 "$build/bench_sjis_to_jis"
GLIBC_TUNABLES=glibc.malloc.hugetlb=1 "$build/bench_uuencode"
