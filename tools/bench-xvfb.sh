#!/usr/bin/env bash
# The end-to-end benchmarks on a real X server (Xvfb, Qt's xcb platform), where every title of a
# load is sent to the server before the next row. Usage: tools/bench-xvfb.sh [build dir]
# [benchmark flags...], e.g. --benchmark_filter=LoadPic for the loads alone.
set -euo pipefail
build=${1:-build}
shift || true
if ! command -v xvfb-run >/dev/null; then
    echo "xvfb-run not found: no X server benchmarks (tools/install-deps.sh installs it)"
    exit 0
fi
exec xvfb-run -a -s "-screen 0 1920x1080x24" env QT_QPA_PLATFORM=xcb \
    "$build/bench/pixvue_bench_app" "$@"
