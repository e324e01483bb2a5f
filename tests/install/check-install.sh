#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and checks one side of what an installed
# program brings. usage: check-install.sh validators|data-dir|guide|version|mailto BUILD_DIR VERSION
set -euo pipefail
check=$1 build=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The desktop entry and metadata pass their validators without even a hint (the metadata
# offline), the manual pages render without a warning, each PNG is the current rendering of the
# SVG, and every option that tidemark-send --help names is in its manual page and completion.
validators() {
    local remarks
    remarks=$(desktop-file-validate "$prefix/share/applications/jp.orvane.tidemark.desktop" 2>&1) ||
        fail "desktop entry: $remarks"
    [ -z "$remarks" ] || fail "desktop entry: $remarks"
    appstreamcli validate --no-net --strict "$prefix/share/metainfo/jp.orvane.tidemark.metainfo.xml"
    grep -q '<project_license>MIT</project_license>' "$prefix/share/metainfo/jp.orvane.tidemark.metainfo.xml" ||
        fail "the metadata does not name the MIT licence"
    local copyright=$prefix/share/doc/tidemark/copyright
    grep -qx 'License: MIT' "$copyright" && grep -qx ' SOFTWARE.' "$copyright" ||
        fail "no MIT licence in $copyright"
    local page warnings
    for page in tidemark tidemark-send; do
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$page.1: $warnings"
    done
    local size icons=$prefix/share/icons/hicolor difference
    for size in 16 32 48 128 256; do
        rsvg-convert --width $size --height $size "$icons/scalable/apps/tidemark.svg" --output "$work/$size.png"
        difference=$(compare -metric AE "$icons/${size}x$size/apps/tidemark.png" "$work/$size.png" null: 2>&1) || true
        [ "$difference" = 0 ] || fail "the ${size}px icon differs from the SVG in $difference pixels: run desktop/render-icons"
    done
    local options option
    options=$("$prefix/bin/tidemark-send" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
    [ -n "$options" ] || fail "tidemark-send --help names no option"
    local manual completion
    manual=$(zcat "$prefix/share/man/man1/tidemark-send.1.gz" | sed 's/\\-/-/g')
    completion=$(
        source "$prefix/share/bash-completion/completions/tidemark-send"
        COMP_WORDS=(tidemark-send --) COMP_CWORD=1
        _tidemark_send
        printf '%s\n' "${COMPREPLY[@]}"
    )
    for option in $options; do
        grep -qF -- "$option" <<<"$manual" || fail "tidemark-send.1 does not describe $option"
        grep -qxF -- "$option" <<<"$completion" || fail "the completion does not offer $option"
    done
}

# Run from the build tree the program keeps its data files beside itself; installed, in the
# per-user data directory, which it creates.
data_dir() {
    local data=$work/xdg/Orvane/Tidemark
    XDG_DATA_HOME=$work/xdg "$prefix/bin/tidemark" --screenshot "$work/installed.png"
    [ -f "$data/Address.dat" ] && [ -f "$data/tanbun.dat" ] || fail "installed: no data files in $data"
    [ ! -e "$prefix/bin/Address.dat" ] && [ ! -e "$prefix/bin/tanbun.dat" ] ||
        fail "installed: data files beside the executable"
    rm -rf "$work/xdg"
    XDG_DATA_HOME=$work/xdg "$build/tidemark" --screenshot "$work/build-tree.png"
    [ -f "$build/Address.dat" ] && [ -f "$build/tanbun.dat" ] || fail "build tree: no data files in $build"
    [ ! -e "$work/xdg" ] || fail "build tree: the per-user data directory was made"
}

# The help menu's guide, with the picture it shows, lies where the installed program looks for it
# (bin/../share/tidemark/): the Japanese guide, not the developers' README.
guide() {
    local guide=$prefix/share/tidemark/tidemark-guide.md
    [ -f "$guide" ] && [ -f "$prefix/share/tidemark/docs/compose-window.png" ] || fail "no guide in $prefix/share/tidemark"
    [ "$(head -n 1 "$guide")" = "# ぴこぴこ便 ユーザーガイド" ] || fail "the guide starts with $(head -n 1 "$guide")"
    grep -q '^## メッセージの意味と対処' "$guide" || fail "the guide lacks the messages"
    ! grep -q 'ctest -R' "$guide" || fail "the guide holds the developer part"
}

# Both programs answer --version with one line, name and project version, without a display.
version() {
    local program
    for program in tidemark tidemark-send; do
        env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/$program" --version >"$work/out" ||
            fail "$program --version failed"
        [ "$(cat "$work/out")" = "$program $version" ] && [ "$(wc -l <"$work/out")" = 1 ] ||
            fail "$program --version printed: $(cat "$work/out")"
    done
    env -u QT_QPA_PLATFORM -u DISPLAY "$prefix/bin/tidemark" --help | grep -q '^usage: tidemark ' ||
        fail "tidemark --help"
}

# Made the default mail program with xdg-mime, the installed desktop entry opens a mailto: link
# from xdg-open under a real X server: the window comes up with To and 件名 filled. The program
# writes its fields to a file where TIDEMARK_PRINT_FIELDS asks, instead of waiting for the user.
mailto() {
    local home=$work/home fields=$work/fields.json entry=$prefix/share/applications/jp.orvane.tidemark.desktop
    grep -qx 'MimeType=x-scheme-handler/mailto;' "$entry" || fail "the desktop entry declares no mailto: handler"
    # %u: a desktop that launches the entry itself (not through xdg-open) passes the link too.
    grep -qx 'Exec=tidemark %u' "$entry" || fail "the desktop entry's Exec takes no link"
    mkdir -p "$home/.config"
    (
        unset QT_QPA_PLATFORM XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID BROWSER
        export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/data
        export XDG_DATA_DIRS=$prefix/share PATH=$prefix/bin:$PATH
        export TIDEMARK_PRINT_FIELDS=$fields NO_AT_BRIDGE=1 DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
        xdg-mime default jp.orvane.tidemark.desktop x-scheme-handler/mailto
        [ "$(xdg-mime query default x-scheme-handler/mailto)" = jp.orvane.tidemark.desktop ] ||
            fail "xdg-mime did not take the desktop entry as the mailto: handler"
        timeout 90 xvfb-run -a -s '-screen 0 800x600x24' \
            xdg-open 'mailto:hanako@example.jp?subject=%E4%BC%9A%E8%AD%B0' >"$work/xdg-open.log" 2>&1 ||
            fail "xdg-open: $(cat "$work/xdg-open.log")"
    )
    [ -f "$fields" ] || fail "the window did not open: $(cat "$work/xdg-open.log")"
    python3 - "$fields" <<'PY' || fail "fields: $(cat "$fields")"
import json, sys
fields = json.load(open(sys.argv[1], encoding="utf-8"))
assert fields["to"] == "hanako@example.jp", fields
assert fields["subject"] == "会議", fields
assert fields["cc"] == fields["bcc"] == fields["body"] == "", fields
PY
}

"${check//-/_}"
echo "ok: $check"
