#!/usr/bin/env bash
# Runs completion_x_check on an X server (Xvfb) with a window manager, the keys typed by xdotool as
# a user's keyboard would. Exit 77 (skipped) only when those programs are absent.
# Usage: completion-x-check.sh CHECK_BINARY
set -euo pipefail
check=$1

for command in Xvfb openbox xdotool; do
    command -v "$command" >/dev/null || { echo "SKIP: $command is not installed"; exit 77; }
done

pids=()
trap 'status=$?; kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; exit $status' EXIT
# Xvfb picks a free display and writes its number to the pipe.
exec {display_fd}< <(Xvfb -displayfd 1 -nolisten tcp -screen 0 1024x768x24 2>/dev/null)
pids+=($!)
read -r -t 20 display <&"$display_fd" || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$display
openbox >/dev/null 2>&1 &
pids+=($!)
# No input method: the check types plain letters into the address fields.
QT_QPA_PLATFORM=xcb QT_IM_MODULE=none timeout 60 "$check"
