#!/usr/bin/env bash
# First the latency of one short message: tidemark-send, curl and msmtp in interleaved rounds
# against one local sink, with the wait for the reply to "." (bench/smtp_latency.py; ROUNDS
# rounds, 21 unless set). Then TZelSMTP (smtp_bench) and msmtp sending the same two messages
# (a 300 KB Japanese body, a 10 MB attachment) to one local SMTP sink on 127.0.0.1. msmtp sends
# the bytes the sink stored from Tidemark's run. Prints wall and CPU time of each whole process
# and the ratio.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
echo "load before: $(uptime)"
/usr/bin/python3 "$here/smtp_latency.py" "$build" "$here/.." "${ROUNDS:-21}"
echo "load after:  $(uptime)"
echo
work=$(mktemp -d)
trap 'exec 3>&-; wait 2>/dev/null; rm -rf "$work"' EXIT

. "$here/../tests/support/start-sink.sh"
start_sink "$work"

TIMEFORMAT='%R %U %S'
timed() { { time "$@" >>"$work/detail" 2>&1; } 2>&1 | awk '{printf "%.3f %.3f\n", $1, $2 + $3}'; }
wait_for() { for _ in $(seq 600); do [ -e "$1" ] && return; sleep 0.1; done; }

declare -A wall cpu
n=0
for kind in body attach; do
    n=$((n + 1))
    read -r wall[tidemark-$kind] cpu[tidemark-$kind] < <(timed "$build/smtp_bench" "$port" "$kind" "$work")
    stored=$(printf '%s/mail/%04d.eml' "$work" "$n")
    wait_for "$stored"
    cp "$stored" "$work/$kind.eml"
    n=$((n + 1))
    read -r wall[msmtp-$kind] cpu[msmtp-$kind] < <(timed msmtp --host=127.0.0.1 --port="$port" \
        --auth=off --tls=off --set-date-header=off --set-msgid-header=off --set-from-header=off \
        --timeout=60 --from=bench@localhost sink@localhost <"$work/$kind.eml")
    wait_for "$(printf '%s/mail/%04d.eml' "$work" "$n")"
    if ! cmp -s "$work/$kind.eml" "$(printf '%s/mail/%04d.eml' "$work" "$n")"; then
        echo "note: the sink stored different bytes for msmtp's $kind message" >&2
    fi
done

cat "$work/detail"
echo
printf '%-8s %-9s %10s %10s %12s\n' message sender "wall (s)" "cpu (s)" "wall ratio"
for kind in body attach; do
    for sender in tidemark msmtp; do
        ratio=$(awk -v a="${wall[$sender-$kind]}" -v b="${wall[msmtp-$kind]}" 'BEGIN {printf "%.2f", a / b}')
        printf '%-8s %-9s %10s %10s %12s\n' "$kind" "$sender" "${wall[$sender-$kind]}" \
            "${cpu[$sender-$kind]}" "$ratio"
    done
done
