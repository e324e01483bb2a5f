#!/usr/bin/env bash
# The peak memory of tidemark-send sending a 10 MB body (Japanese and ASCII lines) to a local sink
# on 127.0.0.1, in ISO-2022-JP and in UTF-8, beside a one-line body: the maximum resident set
# size that /usr/bin/time -v reports, and what the body adds to it as a multiple of its size.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'exec 3>&-; wait 2>/dev/null; rm -rf "$work"' EXIT

. "$here/../tests/support/start-sink.sh"
start_sink "$work"

# 62 bytes a line: 10 MB, whole lines, so the text stays UTF-8.
line='これは本文の行です。ABCDEFGHIJ 0123456789 テスト'
{ yes "$line" || true; } | head -n 161291 >"$work/body"
size=$(stat -c %s "$work/body")
printf 'x\n' >"$work/tiny"
export XDG_CONFIG_HOME="$work/config"

peak() {
    /usr/bin/time -v "$build/tidemark-send" --smtp 127.0.0.1 --port "$port" --email me@localhost \
        --to you@localhost --subject memory "$@" 2>&1 >/dev/null |
        awk '/Maximum resident set size/ {print $6}'
}
base=$(peak --body-file "$work/tiny")
printf '%-12s %12s %12s\n' charset "peak (kB)" "body adds"
printf '%-12s %12s\n' "one line" "$base"
for charset in iso-2022-jp utf-8; do
    kb=$(peak --charset "$charset" --body-file "$work/body")
    ratio=$(awk -v p="$kb" -v b="$base" -v s="$size" 'BEGIN {printf "%.1fx", (p - b) * 1024 / s}')
    printf '%-12s %12s %12s\n' "$charset" "$kb" "$ratio"
done
