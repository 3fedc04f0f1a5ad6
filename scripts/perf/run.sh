#!/usr/bin/env bash
# Measures everything BENCHMARKS.md records under "Measured against the alternatives", in one
# run on this machine, and prints the figures as Markdown (also kept in build-perf/perf.md):
#
#   scripts/perf/run.sh
#
# It builds the Release programs in build-perf, installs Debian's chromium when it is missing,
# and takes about twenty minutes: 4 × 60 s of scrolling, 20 s of gliding frames, then memory,
# start-up, the ticks, the hand-off gaps with notifications and on the polls alone, and 2 × 60 s
# of a show for the CPU it takes.
# LM_PERF_SECONDS shortens the scrolling window for a quick look.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

ensure_chromium
build_programs
export LM_PERF_BUILT=1
mkdir -p "$perf_build"
out="$perf_build/perf.md"

{
    echo "Run of $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$perf_root" rev-parse --short HEAD)."
    echo
    machine_description | sed 's/^/- /'
    echo
    echo "CPU while a text scrolls for ${LM_PERF_SECONDS:-60} s at 1920×1080 (percent of one core):"
    echo
    echo "| Program | Program and its child processes | X server | Both |"
    echo "|---|---|---|---|"
    "$here/cpu.sh"
    echo
    echo "Peak memory of Velisto with a moving 3840×2160 JPEG:"
    echo
    echo "| Screen | VmHWM before the picture | VmHWM with the picture | VmRSS with the picture | of it private | libraries and fonts | window buffer shared with X |"
    echo "|---|---|---|---|---|---|---|"
    "$here/memory.sh"
    echo
    echo "Start-up to the first frame, ${LM_PERF_RUNS:-10} starts each:"
    echo
    echo "| Program | Median | Fastest | Slowest | First start |"
    echo "|---|---|---|---|---|"
    "$here/startup.sh"
    echo
    echo "Movement tick with its painting, medians of 5 repetitions:"
    echo
    echo "| Item | Screen | Mean per tick | p50 of single ticks | p90 of single ticks |"
    echo "|---|---|---|---|---|"
    "$here/tick.sh"
    echo
    echo "Frame intervals of Velisto --smooth, a text at \"中\" at 1920×1080 for ${LM_PERF_SECONDS:-20} s:"
    echo
    echo "| Refresh rate | Frame timer | Intervals | Median | p99 | Slowest | Later than 1.5 intervals |"
    echo "|---|---|---|---|---|---|---|"
    "$here/frames.sh"
    echo
    echo "Hand-off gap on three displays at \"速く\", ${LM_PERF_HANDOFF_RUNS:-5} runs, with notifications / on the polls alone:"
    echo
    echo "| Part | Hand-offs | Median | p90 | p99 | Slowest |"
    echo "|---|---|---|---|---|---|"
    "$here/handoff.sh"
    echo
    echo "CPU of the programs while a show runs on three displays for ${LM_PERF_SECONDS:-60} s (percent of one core):"
    echo
    echo "| Program | With notifications | On the polls alone | Change | Change per item sent |"
    echo "|---|---|---|---|---|"
    "$here/showcpu.sh"
    echo
    echo "Load after the run: $(cut -d' ' -f1-3 /proc/loadavg)."
} | tee "$out"
