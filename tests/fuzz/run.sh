#!/usr/bin/env bash
# Builds the libFuzzer target with clang and runs it for a bounded time.
# Usage: tests/fuzz/run.sh [build dir] [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build-fuzz}
seconds=${2:-60}
cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j2 --target jconvert_fuzz
corpus="$build/corpus"
mkdir -p "$corpus"
# Seeds: kanji, kana with marks, a cut-off lead byte, line breaks.
printf 'abc\x8a\xbf\r\n\xb6\xde\xca\xdf\xb3\xde\x82' >"$corpus/seed-mixed"
printf '\x83\x65\x83\x58\x83\x67 \x80\xa0\xfd\xfe\xff' >"$corpus/seed-header"
"$build/jconvert_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$build/" "$corpus"
