#!/usr/bin/env bash
# Runs oauth_sign_in_test.py in a private session bus with the keyring daemon, unlocked, never
# against the user's own keyring.
# Usage: oauth-sign-in-test.sh TIDEMARK_SEND SOURCE_DIR
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The keyring daemon keeps its files and sockets here, never in the real home.
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CACHE_HOME=$work/home/cache
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY
exec timeout 120 dbus-run-session -- sh -c '
    printf %s test-login | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    exec /usr/bin/python3 "$0" "$@"' "$2/tests/cli/oauth_sign_in_test.py" "$1" "$2"
