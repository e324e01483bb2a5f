#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and checks one side of what an installed
# program brings. usage: check-install.sh validators|data-dir|guide|version BUILD_DIR VERSION
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
# (bin/../share/tidemark/), and holds the README's user part only.
guide() {
    local guide=$prefix/share/tidemark/tidemark-guide.md
    [ -f "$guide" ] && [ -f "$prefix/share/tidemark/docs/compose-window.png" ] || fail "no guide in $prefix/share/tidemark"
    grep -q '^## The compose window' "$guide" || fail "the guide lacks the compose window"
    ! grep -q '^## Running one test' "$guide" || fail "the guide holds the developer part"
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

"${check//-/_}"
echo "ok: $check"
