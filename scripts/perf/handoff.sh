#!/usr/bin/env bash
# The hand-off gap between two displays: from the "next" answer of display n to display n + 1
# showing the item, split into the control program's half (answer to job file) and the
# display's half (job file to screen). The show hand-off test runs a show on three real
# displays; LM_PERF_HANDOFF_RUNS runs (default 5) of LM_HANDOFF_SAMPLES hand-offs each (default
# 40) make one sample, since each run meets the 80 and 100 ms timers in other phases.
# Prints Markdown table rows.
set -euo pipefail
source "$(dirname "$0")/common.sh"

csv=$(mktemp)
trap 'rm -f "$csv"' EXIT
export LM_HANDOFF_CSV=$csv
export LM_HANDOFF_SAMPLES=${LM_HANDOFF_SAMPLES:-40}
for _ in $(seq "${LM_PERF_HANDOFF_RUNS:-5}"); do
    ctest --test-dir "$perf_build" -R '^showhandover_e2e_tests$' --timeout 600 >/dev/null ||
        { echo "the show hand-off test failed" >&2; exit 1; }
done

# Column 3 is the whole gap, 4 the control program's half, 5 the display's half.
summary() {
    local column=$1 name=$2
    tail -n +2 "$csv" | cut -d, -f"$column" | sort -g | awk -v name="$name" '
        { value[NR] = $1 }
        function at(q,   i) { i = int(q * (NR - 1) + 0.5) + 1; return value[i] }
        END { printf "| %s | %d | %.1f ms | %.1f ms | %.1f ms | %.1f ms |\n", name, NR, at(0.5), at(0.9), at(0.99), value[NR] }'
}
summary 3 "Hand-off gap"
summary 4 "answer to job file (LMControl)"
summary 5 "job file to screen (Velisto)"
