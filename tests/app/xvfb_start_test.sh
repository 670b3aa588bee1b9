#!/usr/bin/env bash
# Starts the real viewer on an X server and waits for its main window and title.
set -euo pipefail
viewer=$1
export QT_QPA_PLATFORM=xcb
"$viewer" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
    if xdotool search --name "^Ambrel's Pixvue 0.1\$" >/dev/null 2>&1; then
        kill -0 $pid  # still running
        echo "main window appeared with its title"
        exit 0
    fi
    sleep 0.1
done
echo "no window titled \"Ambrel's Pixvue 0.1\" within 10 s" >&2
exit 1
