#!/usr/bin/env bash
# Runs the built pixvue-export on the demo data as the README shows it, with no display.
# Usage: export_command_test.sh PIXVUE_EXPORT BUILD_DIR
set -u
exe=$1
build=$2
# shellcheck source=../support/command_test.sh
source "$(dirname "$0")/../support/command_test.sh"
# Width and height of a PNG, from its header.
size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $3*256+$4 "x" $7*256+$8}'; }

[ -z "${DISPLAY:-}${QT_QPA_PLATFORM:-}${WAYLAND_DISPLAY:-}" ] || fail "a display is set"
[ -f "$build/demo.bin" ] || fail "no demo data in $build"

"$exe" "$build/demo.bin" 153600 256 192 -o "$tmp/gradient.png" --zoom 2 || fail "one picture"
[ "$(size "$tmp/gradient.png")" = 512x384 ] || fail "gradient is $(size "$tmp/gradient.png")"

"$exe" "$build/demo.bin" --bookmarks "$build/demo-bookmarks.txt" -o "$tmp/demo" \
    >"$tmp/out" 2>"$tmp/err" || fail "bookmark file: $(cat "$tmp/err")"
[ "$(wc -l <"$tmp/out")" -eq 4 ] || fail "expected four lines: $(cat "$tmp/out")"
[ "$(size "$tmp/demo/003-Rings_off_by_a_byte.png")" = 128x128 ] || fail "rings"
[ "$(size "$tmp/demo/000-Colour_bars.png")" = 320x240 ] || fail "colour bars"

"$exe" --help | grep -q -- "--bookmarks" || fail "help"

# Bad arguments: usage on standard error, status 2, nothing on standard output.
for args in "" "$build/demo.bin 0 320 240" "$build/demo.bin 0 320 240 -o x.png --zoom 12" \
    "--bogus"; do
    # shellcheck disable=SC2086
    "$exe" $args >"$tmp/out" 2>"$tmp/err"
    status=$?
    [ $status -eq 2 ] || fail "'$args' gave status $status"
    grep -q '^usage:' "$tmp/err" || fail "'$args' gave no usage"
    [ ! -s "$tmp/out" ] || fail "'$args' wrote to standard output"
done

# A rejected value: the loader's message, status 1.
"$exe" "$build/demo.bin" 0 0 240 -o "$tmp/x.png" 2>"$tmp/err"
[ $? -eq 1 ] && grep -q "The width must be between 1 and 1024" "$tmp/err" || fail "width 0"
[ ! -e "$tmp/x.png" ] || fail "rejected picture was written"
echo "pixvue-export command checks passed"
