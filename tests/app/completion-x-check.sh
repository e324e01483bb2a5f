#!/usr/bin/env bash
# Runs completion_x_check on an X server (Xvfb) with a window manager, the keys typed by xdotool as
# a user's keyboard would. Exit 77 (skipped) only when those programs are absent.
# Usage: completion-x-check.sh CHECK_BINARY
set -euo pipefail
check=$1

for command in Xvfb openbox xprop xdotool; do
    command -v "$command" >/dev/null || { echo "SKIP: $command is not installed"; exit 77; }
done

. "$(dirname "$0")/x-display.sh"
pids=()
trap 'status=$?; kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; exit $status' EXIT
start_x_display
# No input method: the check types plain letters into the address fields.
QT_QPA_PLATFORM=xcb QT_IM_MODULE=none timeout 60 "$check"
