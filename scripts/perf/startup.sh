#!/usr/bin/env bash
# Start-up to the first frame: from starting the process until its window shows on the screen
# of a 1920x1080 Xvfb (benchmarks/FirstFrame.cpp watches one pixel of the screen). Velisto's
# first frame is its pale yellow sign surface; LMControl's is its window at the screen's centre.
# Prints Markdown table rows.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build_targets Velisto LMControl first_frame

runs=${LM_PERF_RUNS:-10}
work=$(mktemp -d)
cleanup() {
    [ -n "${xvfb_pid:-}" ] && stop_pid "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT

start_xvfb 1920x1080

row() {
    local name=$1 program=$2
    shift 2
    local output
    output=$("$perf_build/benchmarks/first_frame" --runs "$runs" --workdir "$work" "$@" \
        -- "$program" 2>/dev/null)
    local first median min max
    first=$(awk '/^run 1:/ { print $3 }' <<<"$output")
    median=$(awk '/^median/ { print $2 }' <<<"$output")
    min=$(awk '/^min/ { print $2 }' <<<"$output")
    max=$(awk '/^max/ { print $2 }' <<<"$output")
    echo "| $name | $median ms | $min ms | $max ms | $first ms |"
}

row Velisto "$perf_build/display/Velisto" --point 1900,1060 --colour ffffc0
row LMControl "$perf_build/control/LMControl" --point 960,300
