#!/usr/bin/env bash
# The CPU the wake-ups cost, side by side: two walls of the same size run at the same time on
# this machine, one with the wake-ups and one without (LMSIGN_WAKEUPS=off), each as wall.sh
# runs it (every program on an sshfs mount of a file server's folder, CPU counted over
# LM_PERF_SECONDS of the show). Both meet the same load at the same moments, which walls run
# one after the other do not: there, the CPU of the same work varies by up to 10 % from one
# wall to the next.
#
#   scripts/perf/wall-cpu.sh               # 3 runs of two walls of 2 displays
#   LM_PERF_RUNS=5 LM_PERF_DISPLAYS=4 scripts/perf/wall-cpu.sh
#
# Prints a Markdown table of each program's CPU summed over the runs, and each run's change;
# also into build-perf/wall-cpu.md.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

runs=${LM_PERF_RUNS:-3}
displays=${LM_PERF_DISPLAYS:-2}
keep="$perf_build/wall-cpu"
out="$keep.md"

# Built once here, before the two walls would build it at the same time.
if [ ! -f "$perf_build/CMakeCache.txt" ]; then
    cmake -S "$perf_root" -B "$perf_build" -DCMAKE_BUILD_TYPE=Release -DLM_BUILD_TESTS=OFF \
        >/dev/null
fi
cmake --build "$perf_build" -j2 --target Velisto LMControl >/dev/null

rm -rf "$keep"
mkdir -p "$keep"
for run in $(seq "$runs"); do
    echo "run $run of $runs" >&2
    walls=()
    for mode in on off; do
        LM_PERF_HANDOFFS=5 LM_PERF_DISPLAYS="$displays" LM_PERF_WAKEUPS="$mode" \
            LM_PERF_KEEP="$keep/$run-$mode" "$here/wall.sh" wakeups >/dev/null \
            2>"$keep/$run-$mode.log" &
        walls+=($!)
    done
    for wall in "${walls[@]}"; do
        wait "$wall" || { echo "a wall failed: see $keep/$run-*.log" >&2; exit 1; }
    done
done

# Percent of one core over each wall's window; displays are named "Velisto n".
for run in $(seq "$runs"); do
    for mode in on off; do
        awk -F'\t' -v run="$run" -v mode="$mode" '
            $1 == "window" { seconds = ($3 - $2) / 1e6 }
            $1 == "cpu" { printf "%s\t%s\t%s\t%.6f\n", run, mode, $2, $3 / 1e7 / seconds }' \
            "$keep/$run-$mode/wakeups-$displays-$mode/cpu.tsv"
    done
done | awk -F'\t' -v runs="$runs" '
    { sum[$3, $2] += $4; each[$3, $1, $2] = $4; names[$3] = 1 }
    END {
        for (p in names) {
            line = ""
            for (r = 1; r <= runs; r++) {
                line = line (r > 1 ? ", " : "") sprintf("%+.1f %%", 100 * (each[p, r, "on"] - each[p, r, "off"]) / each[p, r, "off"])
            }
            printf "| %s | %.3f %% | %.3f %% | %+.1f %% | %s |\n", p, sum[p, "on"] / runs,
                sum[p, "off"] / runs, 100 * (sum[p, "on"] - sum[p, "off"]) / sum[p, "off"], line
        }
    }' | sort >"$keep/rows.md"
{
    echo "CPU of each program, two walls of $displays displays side by side, $runs runs (percent of one core, mean of the runs):"
    echo
    echo "| Program | With wake-ups | Without | Change | Change in each run |"
    echo "|---|---|---|---|---|"
    cat "$keep/rows.md"
} | tee "$out"
