#!/usr/bin/env bash
# Frame intervals of a gliding sign (Velisto with smooth motion, benchmarks/GlideFrames.cpp):
# a text at "中" on a 1920x1080 Xvfb for LM_PERF_SECONDS (default 20). Prints a Markdown row.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build_targets glide_frames

cleanup() { [ -n "${xvfb_pid:-}" ] && stop_pid "$xvfb_pid"; }
trap cleanup EXIT
start_xvfb 1920x1080
line=$("$perf_build/benchmarks/glide_frames" --seconds "${LM_PERF_SECONDS:-20}" 2>/dev/null)
# "refresh 60.0 Hz, frame timer 17 ms, N intervals: median M ms, p99 P ms, slowest S ms, later
# than 1.5 intervals L %"
awk '{ gsub(",", ""); printf "| %s Hz | %s ms | %s | %s ms | %s ms | %s ms | %s %% |\n", $2, $6, $8, $11, $14, $17, $23 }' <<<"$line"
