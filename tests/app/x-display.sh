# Sourced by the checks that need a desktop. start_x_display starts an X server (Xvfb, on a free
# display) and a window manager (openbox, without XMODIFIERS so that an input method started
# later is the one the program meets), exports DISPLAY and adds both to the array pids, which
# the caller's exit trap ends. A check run through `bash -c` takes it along with
# `declare -f start_x_display`.
start_x_display() {
    local display_fd display i
    # Xvfb picks a free display and writes its number to the pipe.
    exec {display_fd}< <(Xvfb -displayfd 1 -nolisten tcp -screen 0 1024x768x24 2>/dev/null)
    pids+=($!)
    read -r -t 20 display <&"$display_fd" || { echo "Xvfb did not start"; return 1; }
    export DISPLAY=:$display
    env -u XMODIFIERS openbox >/dev/null 2>&1 &
    pids+=($!)
    # Windows are managed (and can be activated) once openbox has announced itself.
    for i in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
}

wait_for_bus_name() {
    local name=$1 tenths=$2 i
    for i in $(seq "$tenths"); do
        dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.NameHasOwner "string:$name" 2>/dev/null |
            grep -q 'boolean true' && return 0
        sleep 0.1
    done
}
