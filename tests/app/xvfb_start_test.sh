#!/usr/bin/env bash
# Starts the real viewer on an X server, waits for its main window and title, then ends it
# through File > Exit and checks that the whole program has gone.
set -euo pipefail
viewer=$1
export QT_QPA_PLATFORM=xcb
"$viewer" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
window=
for _ in $(seq 1 100); do
    window=$(xdotool search --name "^Ambrel's Pixvue 0.1\$" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "no window titled \"Ambrel's Pixvue 0.1\" within 10 s" >&2; exit 1; }
kill -0 $pid
echo "main window appeared with its title"

# File is the menu bar's first item; its second item is Exit.
sleep 0.5
xdotool mousemove --window "$window" 12 8 click 1
sleep 0.5
xdotool key Down Down Return
for _ in $(seq 1 50); do
    if ! kill -0 $pid 2>/dev/null; then
        wait $pid
        echo "File > Exit ended the program"
        exit 0
    fi
    sleep 0.1
done
echo "the program was still running 5 s after File > Exit" >&2
exit 1
