#!/usr/bin/env bash
# The movement tick of Velisto with its painting (benchmarks/DisplayTickBenchmark.cpp), medians
# of 5 repetitions. Prints Markdown table rows.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build_targets display_tick_benchmark

"$perf_build/benchmarks/display_tick_benchmark" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
    awk -F, '
        $1 ~ /_median"$/ {
            split($1, name, "[\"/_]")
            item = name[2] == "textTick" ? "Text" : name[2] == "movingPictureTick" ? "Moving picture" : "Still picture"
            printf "| %s | %s×%s | %.3f ms | %.3f ms | %.3f ms |\n", item, name[3], name[4], $3, $11, $12
        }'
