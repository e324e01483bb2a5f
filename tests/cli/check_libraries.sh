#!/usr/bin/env bash
# tidemark-send must not bring in anything that draws: no Qt Widgets, Gui or DBus, neither
# linked (NEEDED, and everything ldd resolves from there) nor opened at run time while it sends
# one message to a local SMTP sink. Nor Qt Network, whose loading alone (and what it pulls in)
# costs every start: the program's own sockets serve it.
# Usage: check_libraries.sh <tidemark-send> <source dir>
set -euo pipefail
sender=$1
source_dir=$2
forbidden='libQt6(Widgets|Gui|DBus|Network)|libdbus-1'
work=$(mktemp -d)
trap 'exec 3>&-; wait 2>/dev/null; rm -rf "$work"' EXIT
status=0

found=$(readelf -d "$sender" | grep NEEDED | grep -E "$forbidden" || true)
[ -z "$found" ] || { echo "linked: $found"; status=1; }
found=$(ldd "$sender" | grep -E "$forbidden" || true)
[ -z "$found" ] || { echo "loaded with it: $found"; status=1; }

. "$source_dir/tests/support/start-sink.sh"
start_sink "$work"

printf 'check\n' >"$work/body"
if ! XDG_CONFIG_HOME="$work/config" LD_DEBUG=files LD_DEBUG_OUTPUT="$work/ld" \
    "$sender" --to sink@localhost --subject check --body-file "$work/body" --smtp 127.0.0.1 \
    --port "$port" --user-id bench --email bench@localhost >"$work/out" 2>&1; then
    echo "the send failed:"; cat "$work/out"; exit 1
fi
# One grep: a second "grep -q" that stops early would end the first with SIGPIPE under pipefail.
grep -qhE 'file=.*libQt6Core' "$work"/ld.* || { echo "no load trace seen"; exit 1; }
found=$(grep -h 'file=' "$work"/ld.* | grep -E "$forbidden" | sort -u || true)
[ -z "$found" ] || { echo "opened while sending: $found"; status=1; }
exit $status
