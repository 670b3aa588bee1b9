#!/usr/bin/env bash
# `cmake --install` into a scratch root: exactly the expected files, each icon the size its
# folder names, and the tree as a software centre reads it (metainfo, desktop entry and icon
# found together).
# Usage: install_tree_test.sh BUILD_DIR EXPECTED_FILES
set -euo pipefail
build=$1
expected=$2

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

if ! diff -u "$expected" <(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort); then
    echo "FAIL: installed files differ from $expected" >&2
    exit 1
fi

for icon in "$root"/usr/share/icons/hicolor/*/apps/*.png; do
    size=$(basename "$(dirname "$(dirname "$icon")")")  # e.g. 48x48
    if ! file -b "$icon" | grep -q "^PNG image data, ${size/x/ x }, "; then
        echo "FAIL: $icon is not a ${size} PNG: $(file -b "$icon")" >&2
        exit 1
    fi
done

[ -x "$root/usr/bin/pixvue" ] || { echo "FAIL: usr/bin/pixvue is not executable" >&2; exit 1; }

desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate-tree --no-net --strict "$root"
echo "install tree OK"
