#!/usr/bin/env bash
# The control computer's own times, on the Release build in build-perf:
#
#   resume  from `LMControl --resume` to display 1's first item job, after LMControl was killed
#           in mid-show (LM_PERF_RUNS starts, default 5)
#   urgent  from `LMControl --say` to the urgent text's job on every display, with 3 and with 16
#           displays running (Velisto on one screen each of one Xvfb; LM_PERF_RUNS runs,
#           default 10)
#
# Prints Markdown table rows. Every program runs in a scratch folder with its own state and
# runtime folders.
set -euo pipefail
source "$(dirname "$0")/common.sh"

build_targets Velisto LMControl
lmcontrol=$perf_build/control/LMControl
velisto=$perf_build/display/Velisto

pids=()
use_scratch
now_us() { echo $(($(date +%s%N) / 1000)); }

# The show: two texts, in code page 932 with CR LF.
work=$scratch/work
mkdir -p "$work"
printf '%s\r\n' 文字 A 移動しない 白 暗い緑 中 '' '' '' '' '' 文字 B 移動しない 白 暗い赤 中 '' '' '' '' '' |
    iconv -f UTF-8 -t CP932 >"$work/show.txt"

head_of() { head -n1 "$work/data/LMData$1.ini" 2>/dev/null | tr -d '\r' || true; }

# "median worst" in ms of the values on standard input (µs).
median_worst() {
    sort -n | awk '{ v[NR] = $1 } END { printf "%.0f %.0f\n", v[int((NR + 1) / 2)] / 1000, v[NR] / 1000 }'
}

runs=${LM_PERF_RUNS:-5}
start_xvfb 640x360
samples=()
for _ in $(seq "$runs"); do
    (cd "$work" && exec "$lmcontrol" --start show.txt) >/dev/null 2>&1 &
    pid=$!
    until [ "$(head_of 1)" = " 0 " ]; do sleep 0.05; done
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    rm -f "$work"/data/LMData*.ini
    started=$(now_us)
    (cd "$work" && exec "$lmcontrol" --resume) >/dev/null 2>&1 &
    pid=$!
    until [ "$(head_of 1)" = " 0 " ]; do sleep 0.002; done
    samples+=($(($(now_us) - started)))
    stop_pid "$pid"
done
read -r median worst < <(printf '%s\n' "${samples[@]}" | median_worst)
echo "| --resume to display 1's first item job (\"中\": two start paces of 3 s) | $runs | $median ms | $worst ms |"
stop_pid "$xvfb_pid"
xvfb_pid=

# Urgent messages: the displays on one X server with a screen each.
urgent_runs=${LM_PERF_RUNS:-10}
for displays in 3 16; do
    start_xvfb 320x180 "$displays"
    rm -rf "$work/data"
    (cd "$work" && exec "$lmcontrol" --start show.txt) >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
    for n in $(seq "$displays"); do
        (cd "$work" && exec "$velisto" --screen "$n" --number "$n") >/dev/null 2>&1 &
        pids+=($!)
    done
    # Every display is there once the control program has seen its presence change.
    sleep 4
    samples=()
    for _ in $(seq "$urgent_runs"); do
        started=$(now_us)
        (cd "$work" && "$lmcontrol" --say "緊急のお知らせです")
        for n in $(seq "$displays"); do
            until [[ "$(head_of "$n")" == " 900"[01]" " ]]; do sleep 0.001; done
        done
        samples+=($(($(now_us) - started)))
        (cd "$work" && "$lmcontrol" --say-end)
        sleep 1
    done
    read -r median worst < <(printf '%s\n' "${samples[@]}" | median_worst)
    echo "| --say to the urgent job on every one of $displays displays | $urgent_runs | $median ms | $worst ms |"
    for pid in "${pids[@]}"; do stop_pid "$pid"; done
    pids=()
    stop_pid "$xvfb_pid"
    xvfb_pid=
done
