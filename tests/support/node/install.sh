#!/bin/sh
# Installs the packages of package-lock.json beside this script into DIR (a cache kept between
# runs: once fetched, the readers work offline). Exits 77 when npm is absent, 1 when it fails.
set -eu
dir=$1
here=$(cd "$(dirname "$0")" && pwd)
command -v npm >/dev/null 2>&1 || { echo "npm is not installed" >&2; exit 77; }
mkdir -p "$dir"
if ! cmp -s "$here/package-lock.json" "$dir/package-lock.json" || [ ! -d "$dir/node_modules/mailparser" ]; then
    cp "$here/package.json" "$here/package-lock.json" "$dir/"
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
cp "$here/read_parts.js" "$dir/"
