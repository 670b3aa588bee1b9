#!/usr/bin/env bash
# The built pixvue-scan: exit codes, output files and messages for each kind of input.
# Usage: scan_command_test.sh PIXVUE_SCAN BUILD_DIR
set -u
exe=$1
build=$2
# shellcheck source=../support/command_test.sh
source "$(dirname "$0")/../support/command_test.sh"
: >"$tmp/empty"
printf 'A' >"$tmp/one"
mkfifo "$tmp/pipe"
echo old >"$tmp/taken.txt"

# arguments | expected status | what standard error must say (a grep pattern, or -)
while IFS='|' read -r args status says; do
    # shellcheck disable=SC2086
    eval "\"$exe\" $args" >"$tmp/out" 2>"$tmp/err" </dev/null
    got=$?
    [ "$got" -eq "$status" ] || fail "'$args' gave status $got: $(cat "$tmp/err")"
    [ "$says" = - ] || grep -q -- "$says" "$tmp/err" || fail "'$args' said: $(cat "$tmp/err")"
done <<TABLE
--help|0|-
--version|0|-
|2|no FILE
$tmp/empty $tmp/one|2|only one FILE
$tmp/empty --min-width 0|2|--min-width
$tmp/empty --min-height 2000|2|--min-height
$tmp/empty --min-confidence 1.5|2|--min-confidence
$tmp/empty --bogus|2|bogus
$tmp/missing|1|cannot be read
$tmp|1|cannot be read
$tmp/pipe|1|cannot be read
/dev/zero|1|cannot be read
$tmp/empty|0|-
$tmp/one --json|0|-
$tmp/empty -o $tmp/taken.txt|1|already exists
TABLE

"$exe" --version | grep -q '^pixvue-scan [0-9]' || fail "version"
[ "$(cat "$tmp/taken.txt")" = old ] || fail "an existing file was overwritten"
"$exe" "$tmp/empty" -o "$tmp/taken.txt" --force || fail "--force"
[ ! -s "$tmp/taken.txt" ] || fail "nothing found should leave an empty file"

# The demo pictures, as bookmarks the viewer loads: CR LF lines, the gradient among them.
"$exe" "$build/demo.bin" -o "$tmp/found.txt" || fail "demo"
grep -q $'^Picture 1 [0-9]* x [0-9]* ([01].[0-9][0-9]),[0-9]*,[0-9]*,[0-9]*\r$' "$tmp/found.txt" ||
    fail "bookmark lines: $(od -c "$tmp/found.txt" | head)"
grep -q ',153600,256,19[0-4]'$'\r' "$tmp/found.txt" || fail "gradient not found: $(cat "$tmp/found.txt")"
"$exe" "$build/demo.bin" --json | grep -q '"reason":' || fail "json"
echo "pixvue-scan command checks passed"
