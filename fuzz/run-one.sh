#!/usr/bin/env bash
# Runs one fuzz target for a set time: new inputs go to a work folder, the seeds stay as they are.
# usage: run-one.sh <fuzzer> <work-folder> <seed-folder> <seconds>
set -uo pipefail
fuzzer=$1 work=$2 seeds=$3 seconds=$4
mkdir -p "$work"
cd "$work" || exit 1
"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=1024 \
    "$work" "$seeds" > "$work/last-run.log" 2>&1
status=$?
grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Done" "$work/last-run.log"
exit $status
