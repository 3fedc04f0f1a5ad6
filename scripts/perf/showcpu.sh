#!/usr/bin/env bash
# CPU time (utime + stime) of LMControl and of each of three Velistos while a show of two
# texts at "速く" runs for LM_PERF_SECONDS (default 60), with notifications and then on the
# polls alone (LMSIGN_NOTIFY=off), both in the show hand-off test; LM_PERF_CPU_RUNS runs
# (default 1) of each are added up. Prints Markdown table rows.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build_targets showhandover_e2e_tests

seconds=${LM_PERF_SECONDS:-60}
csv=$(mktemp)
log=$(mktemp)
trap 'rm -f "$csv" "$log"' EXIT
for _ in $(seq "${LM_PERF_CPU_RUNS:-1}"); do
    # Run directly: the test's own CTest timeout does not allow for long windows.
    LM_SHOW_CPU_SECONDS=$seconds LM_SHOW_CPU_CSV=$csv LM_HANDOFF_SAMPLES=8 \
        QT_QPA_PLATFORM=offscreen "$perf_build/tests/e2e/showhandover_e2e_tests" >"$log" 2>&1 ||
        { echo "the show hand-off test failed:" >&2; grep -A1 '^FAIL' "$log" >&2; exit 1; }
done

# Rows "mode,program,seconds,cpu_ms,items": percent of one core with and without
# notifications, and the change per item sent to display 1 (the show runs faster with them).
awk -F, '
    { program = $2; sub(/ [0-9]+$/, "", program)
      ms[$1, program] += $4; s[$1, program] += $3; items[$1, program] += $5; names[program] = 1 }
    END {
        for (p in names) {
            on = 100 * ms["notifications", p] / 1000 / s["notifications", p]
            off = 100 * ms["polls", p] / 1000 / s["polls", p]
            perOn = ms["notifications", p] / items["notifications", p]
            perOff = ms["polls", p] / items["polls", p]
            printf "| %s | %.2f %% | %.2f %% | %+.1f %% | %+.1f %% |\n",
                   p == "Velisto" ? "Velisto (mean of the three)" : p, on, off,
                   100 * (on - off) / off, 100 * (perOn - perOff) / perOff
        }
    }' "$csv" | sort
