#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds, starting from its seed corpus in
# fuzz/corpus/<target>, and prints per target its executions and findings. New inputs go to
# <build>/corpus/<target>, findings to <build>/findings/<target>; the seeds are left as they are.
# Usage: fuzz/run.sh BUILD_DIR SECONDS
set -uo pipefail

build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
summary=()
# A smaller quarantine than AddressSanitizer's default keeps each run well under the memory limit.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64:detect_leaks=1}

for bin in "$build"/fuzz/fuzz_*; do
    [ -x "$bin" ] || continue
    name=${bin##*/fuzz_}
    work="$build/corpus/$name"
    found="$build/findings/$name"
    log="$build/fuzz-$name.log"
    rm -rf "$found"
    mkdir -p "$work" "$found"
    # A single input may take at most 10 s and 256 MiB at once: a hang or unbounded memory is a
    # finding too.
    "$bin" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=1024 \
        -malloc_limit_mb=256 -artifact_prefix="$found/" "$work" "$root/fuzz/corpus/$name" \
        >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    findings=$(find "$found" -type f | wc -l)
    if [ "$rc" -ne 0 ] && [ "$findings" -eq 0 ]; then findings=1; fi
    line=$(printf '%-16s %10s executions %7s per second  %s findings' \
        "$name" "${runs:-?}" "${rate:-?}" "$findings")
    summary+=("$line")
    echo "$line"
    if [ "$findings" -ne 0 ]; then
        status=1
        echo "---- $name: last lines of $log" >&2
        tail -n 30 "$log" >&2
        find "$found" -type f >&2
    fi
done

echo "== fuzzing, ${seconds} s per target"
printf '%s\n' "${summary[@]}"
exit $status
