#!/usr/bin/env bash
# Peak resident memory of the viewer with its largest picture at zoom 11 fitted by "Resize":
# offscreen, then on an X server (Xvfb) at a full-HD and at a 4K screen size, since the
# picture window grows to the screen. Usage: tools/peak-memory.sh [build dir] [--regions]
set -euo pipefail
build=${1:-build}
shift || true
program="$build/bench/pixvue_peak_memory"
QT_QPA_PLATFORM=offscreen "$program" "$@" 2>/dev/null
if command -v xvfb-run >/dev/null; then
    for screen in 1920x1080 3840x2160; do
        xvfb-run -a -s "-screen 0 ${screen}x24" env QT_QPA_PLATFORM=xcb "$program" "$@" 2>/dev/null
    done
fi
