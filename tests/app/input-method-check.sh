#!/usr/bin/env bash
# Runs input_method_check against a real input method: an X server (Xvfb) with a window manager,
# a private session bus, fcitx5 with mozc and its Qt 6 frontend. mozc refuses to run as root, so
# root runs the check as an unprivileged user made for it. Exit 77 (skipped) only when the
# packages are absent.
# Usage: input-method-check.sh CHECK_BINARY LEAK_SUPPRESSIONS
set -euo pipefail
check=$1
suppressions=$2
user=tidemark-im

needed=(Xvfb openbox xprop fcitx5 xdotool dbus-run-session dbus-send runuser)
for command in "${needed[@]}"; do
    command -v "$command" >/dev/null || { echo "SKIP: $command is not installed"; exit 77; }
done
for module in fcitx5/fcitx5-mozc.so qt6/plugins/platforminputcontexts/libfcitx5platforminputcontextplugin.so; do
    compgen -G "/usr/lib/*/$module" >/dev/null || { echo "SKIP: $module is not installed"; exit 77; }
done

. "$(dirname "$0")/x-display.sh"

inside() {
    # Everything below runs as the check's user, inside the private session bus.
    pids=()
    trap 'status=$?; kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; exit $status' EXIT
    start_x_display
    # Only what the check needs: the X keyboard, the bus and its frontend, mozc.
    fcitx5 --disable=all --enable=xcb,keyboard,dbus,dbusfrontend,mozc >"$HOME/fcitx5.log" 2>&1 &
    pids+=($!)
    # Nothing may ask fcitx5 before it owns its name: the bus would start a second one.
    wait_for_bus_name org.fcitx.Fcitx5 200
    QT_QPA_PLATFORM=xcb QT_IM_MODULE=fcitx timeout 60 "$HOME/input_method_check" ||
        { local status=$?; echo "--- fcitx5 log"; tail -20 "$HOME/fcitx5.log"; return $status; }
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
home=$work/home
mkdir -p "$home/.config/fcitx5"
# One group: the plain keyboard (input method off) and mozc (on).
cat >"$home/.config/fcitx5/profile" <<'PROFILE'
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=mozc

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=mozc
Layout=

[GroupOrder]
0=Default
PROFILE
# Copies: the check's user may not enter the build tree.
cp "$check" "$home/input_method_check"
cp "$suppressions" "$home/lsan.supp"
mkdir -p "$work/run"
script=$(declare -f start_x_display wait_for_bus_name inside)
run=(env -i HOME="$home" PATH="$PATH" LANG=C.UTF-8 XDG_RUNTIME_DIR="$work/run"
     LSAN_OPTIONS="suppressions=$home/lsan.supp:print_suppressions=0" ASAN_OPTIONS=detect_leaks=1
     UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
     dbus-run-session -- bash -c "set -euo pipefail; $script; inside")
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    id "$user" >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
    chown -R "$user" "$home" "$work/run"
    as_user=(runuser -u "$user" --)
fi
chmod 700 "$work/run"
"${as_user[@]}" "${run[@]}"
