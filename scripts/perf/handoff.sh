#!/usr/bin/env bash
# The hand-off gap between two displays: from the "next" answer of display n to display n + 1
# showing the item, split into the control program's half (answer to job file) and the
# display's half (job file to screen). The show hand-off test runs a show on three real
# displays, first with notifications (the programs are told of each change in the Exchange
# folder), then on the polls alone (LMSIGN_NOTIFY=off); LM_PERF_HANDOFF_RUNS runs (default 5)
# of LM_HANDOFF_SAMPLES hand-offs each (default 40) make one sample of each, since each run
# meets the 80 and 100 ms timers in other phases.
# Prints Markdown table rows: notifications / polls alone in each cell.
# LM_PERF_WEB_LOAD=1: the control program also serves the web API, and 20 clients call it ten
# times a second throughout (benchmarks/WebApiLoad.cpp).
set -euo pipefail
source "$(dirname "$0")/common.sh"
build_targets showhandover_e2e_tests
if [ -n "${LM_PERF_WEB_LOAD:-}" ]; then
    build_targets web_api_load
    export LM_HANDOFF_WEB_LOAD=$perf_build/benchmarks/web_api_load
fi

csv=$(mktemp)
trap 'rm -f "$csv"' EXIT
export LM_HANDOFF_CSV=$csv
export LM_HANDOFF_SAMPLES=${LM_HANDOFF_SAMPLES:-40}
for _ in $(seq "${LM_PERF_HANDOFF_RUNS:-5}"); do
    ctest --test-dir "$perf_build" -R '^showhandover_e2e_tests$' --timeout 600 >/dev/null ||
        { echo "the show hand-off test failed" >&2; exit 1; }
done

# "n median p90 p99 worst" of one column for one mode.
figures() {
    local mode=$1 column=$2
    awk -F, -v mode="$mode" 'NR > 1 && $1 == mode' "$csv" | cut -d, -f"$column" | sort -g | awk '
        { value[NR] = $1 }
        function at(q,   i) { i = int(q * (NR - 1) + 0.5) + 1; return value[i] }
        END { printf "%d %.1f %.1f %.1f %.1f\n", NR, at(0.5), at(0.9), at(0.99), value[NR] }'
}

# Column 4 is the whole gap, 5 the control program's half, 6 the display's half.
summary() {
    local column=$1 name=$2
    paste -d' ' <(figures notifications "$column") <(figures polls "$column") | awk -v name="$name" '
        { printf "| %s | %d / %d | %.1f / %.1f ms | %.1f / %.1f ms | %.1f / %.1f ms | %.1f / %.1f ms |\n",
                 name, $1, $6, $2, $7, $3, $8, $4, $9, $5, $10 }'
}
summary 4 "Hand-off gap"
summary 5 "answer to job file (LMControl)"
summary 6 "job file to screen (Velisto)"
