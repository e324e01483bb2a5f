#!/usr/bin/env bash
# Runs a command in a desktop session of its own: an X server (Xvfb) with a window manager
# (openbox), a private session bus and, on it, the accessibility bus. Exit 77 (skipped) only when
# those packages are absent.
# Usage: x-session.sh COMMAND [ARGUMENT...]
set -euo pipefail

needed=(Xvfb openbox xdotool xprop dbus-run-session dbus-send)
for command in "${needed[@]}"; do
    command -v "$command" >/dev/null || { echo "SKIP: $command is not installed"; exit 77; }
done
launcher=/usr/libexec/at-spi-bus-launcher
[ -x "$launcher" ] || { echo "SKIP: at-spi2-core is not installed"; exit 77; }
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }

. "$(dirname "$0")/x-display.sh"

inside() {
    pids=()
    trap 'status=$?; kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; exit $status' EXIT
    start_x_display
    "$launcher" --launch-immediately >/dev/null 2>&1 &
    pids+=($!)
    wait_for_bus_name org.a11y.Bus 100
    "$@"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/run"
script=$(declare -f start_x_display wait_for_bus_name inside)
export XDG_RUNTIME_DIR=$work/run HOME=$work LANG=C.UTF-8 launcher
dbus-run-session -- bash -c "set -euo pipefail; $script; inside \"\$@\"" inside "$@"
