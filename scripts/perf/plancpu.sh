#!/usr/bin/env bash
# CPU time of an idle LMControl (a window, no display, no show) over LM_PERF_SECONDS (default
# 60), without a plan and following one whose entry in force is blank, LM_PERF_RUNS times each
# (default 3), the two running side by side. The time is counted twice: utime + stime of
# /proc/<pid>/stat (in clock ticks of 10 ms) and the run time of every thread in
# /proc/<pid>/task/*/schedstat (in ns). Prints Markdown table rows: the medians and ranges, and
# the median as a share of one core.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build_targets LMControl

seconds=${LM_PERF_SECONDS:-60}
runs=${LM_PERF_RUNS:-3}
lmcontrol=$perf_build/control/LMControl
declare -A pids=()
use_scratch
export LMSIGN_WAKEUPS=off

# Blank now; its shows come twelve hours away, every day, and on dated days far ahead.
away=$(((10#$(date +%H) + 12) % 24))
{
    echo "lmsign-plan 1"
    echo "[otherwise]"
    echo "blank"
    printf '[weekly]\ndays = mon-sun\ntime = %02d:00-%02d:30\nshow = a.txt\n' "$away" "$away"
    for month in 01 04 07 10; do
        printf '[dated]\ndates = 2099-%s-01..2099-%s-07\nshow = b.txt\n' "$month" "$month"
    done
} >"$scratch/plan.txt"

start_xvfb 1024x768
hz=$(clock_ticks_per_second)
# Nanoseconds every thread of the process has run.
run_ns() {
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ ns += $1 } END { printf "%d\n", ns }'
}

# Both programs run at once, each in a folder of its own, so that both meet the same load of the
# machine; which of them starts first changes from run to run.
declare -A samples precise
for run in $(seq "$runs"); do
    order=(without with)
    [ $((run % 2)) = 1 ] || order=(with without)
    for mode in "${order[@]}"; do
        work=$scratch/work-$mode-$run
        mkdir -p "$work"
        arguments=()
        [ "$mode" = without ] || arguments=(--plan "$scratch/plan.txt")
        (cd "$work" && exec "$lmcontrol" "${arguments[@]}") >"$work/log" 2>&1 &
        pids[$mode]=$!
    done
    sleep 5 # past the start-up
    declare -A before ns
    for mode in without with; do
        before[$mode]=$(mktemp)
        tree_cpu_ticks "${pids[$mode]}" >"${before[$mode]}"
        ns[$mode]=$(run_ns "${pids[$mode]}")
    done
    sleep "$seconds"
    for mode in without with; do
        after=$(mktemp)
        tree_cpu_ticks "${pids[$mode]}" >"$after"
        samples[$mode]+="$(($(ticks_between "${before[$mode]}" "$after") * 1000 / hz)) "
        precise[$mode]+="$((($(run_ns "${pids[$mode]}") - ns[$mode]) / 1000)) "
        rm -f "${before[$mode]}" "$after"
    done
    for mode in without with; do
        stop_pid "${pids[$mode]}"
    done
    pids=()
done

# "median first–last" of the numbers on standard input.
median_range() {
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)], v[1], v[NR], NR }'
}

for mode in without with; do
    # shellcheck disable=SC2086
    read -r median low high count < <(printf '%s\n' ${samples[$mode]} | median_range)
    # shellcheck disable=SC2086
    read -r us usLow usHigh _ < <(printf '%s\n' ${precise[$mode]} | median_range)
    awk -v mode="$mode" -v n="$count" -v m="$median" -v l="$low" -v h="$high" -v us="$us" \
        -v ul="$usLow" -v uh="$usHigh" -v s="$seconds" 'BEGIN {
        printf "| LMControl %s --plan | %d | %d ms (%d–%d) | %.1f ms (%.1f–%.1f) | %.3f %% |\n",
               mode, n, m, l, h, us / 1000, ul / 1000, uh / 1000, 100 * us / 1e6 / s }'
done
