#!/usr/bin/env bash
# Starts the viewer on a virtual X server with a window manager, loads the demo data and its
# bookmarks, and saves a screenshot of both windows (default: docs/screenshot.png).
#   tools/screenshot.sh [OUT.png] [ZOOM]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
zoom=${2:-1}
command -v openbox >/dev/null || { apt-get update -qq && apt-get install -y -qq openbox; }
make build >/dev/null
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "
    openbox >/dev/null 2>&1 &
    sleep 1
    QT_QPA_PLATFORM=xcb build/tools/pixvue_screenshot build/demo.bin build/demo-bookmarks.txt '$out' $zoom
"
echo "saved $out"
