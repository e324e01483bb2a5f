#!/usr/bin/env bash
# Runs keyring_tests against a real keyring, isolated from the user's own:
#   session  a private session bus with the keyring daemon, unlocked, and the program laid out as
#            installed (bin/ and lib/tidemark/), so the module is found where an install puts it
#   absent   no session bus at all
#   silent   a session bus that accepts the connection and never answers
# Usage: keyring-test.sh MODE BUILD_DIR
set -euo pipefail
mode=$1
build=$2

work=$(mktemp -d)
listener=
cleanup() {
    [ -n "$listener" ] && kill "$listener" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# The keyring daemon keeps its files and sockets here, never in the real home.
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CACHE_HOME=$work/home/cache
export XDG_CONFIG_HOME=$work/home/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY
export TIDEMARK_KEYRING_TEST=$mode

case $mode in
session)
    mkdir -p "$work/bin" "$work/lib/tidemark"
    cp "$build/keyring_tests" "$work/bin/"
    cp "$build/tidemark-keyring.so" "$work/lib/tidemark/"
    exec timeout 60 dbus-run-session -- sh -c '
        printf %s test-login | gnome-keyring-daemon --unlock --components=secrets >/dev/null
        exec "$0" --gtest_filter=Keyring.StoresReplacesAndForgetsInTheSessionKeyring' \
        "$work/bin/keyring_tests"
    ;;
absent)
    DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus \
        timeout 60 "$build/keyring_tests" --gtest_filter=Keyring.NoKeyringAnswersQuickly
    ;;
silent)
    python3 -c '
import socket, sys, time
server = socket.socket(socket.AF_UNIX)
server.bind(sys.argv[1])
server.listen(8)
server.settimeout(1)
held = []
deadline = time.monotonic() + 60
while time.monotonic() < deadline:
    try:
        held.append(server.accept()[0])
    except socket.timeout:
        pass' "$work/bus" &
    listener=$!
    for _ in $(seq 50); do [ -S "$work/bus" ] && break; sleep 0.1; done
    DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus \
        timeout 60 "$build/keyring_tests" --gtest_filter=Keyring.NoKeyringAnswersQuickly
    ;;
*)
    echo "keyring-test.sh: unknown mode $mode" >&2
    exit 2
    ;;
esac
