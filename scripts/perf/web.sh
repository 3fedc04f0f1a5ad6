#!/usr/bin/env bash
# The web API's costs, on the Release build in build-perf, with LMControl --no-window serving
# it on the loopback and one Velisto (display 1) under Xvfb:
#
#   start    POST /api/show/start to display 1's job file naming row 0 (LM_PERF_WEB_RUNS runs,
#            default 20), at "速く": the desk writes that job two start paces (2 × 1000 ms)
#            and one watcher period (100 ms) after the start, by design; these 2100 ms are
#            subtracted to leave what the API and the job's writing add
#   streams  LMControl's CPU while a show runs, without a change stream and with 50 open
#            (LM_PERF_WEB_SECONDS each, default 30)
#
# The hand-off under a load of 20 clients: LM_PERF_WEB_LOAD=1 scripts/perf/handoff.sh.
# Prints Markdown table rows.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build_targets LMControl Velisto web_api_load
lmcontrol=$perf_build/control/LMControl
load=$perf_build/benchmarks/web_api_load

pids=()
use_scratch
work=$scratch/work
cd "$work"

echo perf-password | "$lmcontrol" --web-password >/dev/null
token=$("$lmcontrol" --web-token perf 2>/dev/null)
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$lmcontrol" --no-window --web --web-port "$port" >"$scratch/lmcontrol.log" 2>&1 &
control_pid=$!
pids+=("$control_pid")
api() {
    curl -sk -o /dev/null -w '%{http_code}' -X "$1" -H "Authorization: Bearer $token" \
        -H 'Content-Type: application/json' --data-binary "${3:-}" "https://127.0.0.1:$port$2"
}
for _ in $(seq 100); do
    [ "$(api GET /api/session)" = 200 ] && break
    sleep 0.1
done
start_xvfb 640x360
start_velisto "$work"
pids+=("$velisto_pid")
api PUT /api/show/settings '{"speed": "速く"}' >/dev/null
api POST /api/list '{"text": "A", "backColour": "暗い緑", "speed": "速く"}' >/dev/null
api POST /api/list '{"text": "B", "backColour": "暗い赤", "speed": "速く"}' >/dev/null

runs=${LM_PERF_WEB_RUNS:-20}
"$load" start "$port" "$token" "$work" "$runs" >"$scratch/start.txt"
# "median worst" in ms of one column (µs), less `minus` µs.
figures() {
    awk -v c="$1" -v minus="$2" '{ print $c - minus }' "$scratch/start.txt" | sort -g |
        awk '{ v[NR] = $1 } END { printf "%.1f ms | %.1f ms", v[int((NR + 1) / 2)] / 1000, v[NR] / 1000 }'
}
echo "| POST /api/show/start, request to answer | $runs | $(figures 1 0) |"
echo "| POST /api/show/start to display 1's job for row 0 | $runs | $(figures 2 0) |"
echo "| the same, less two paces and a watcher period (2100 ms) | $runs | $(figures 2 2100000) |"

# The show runs; the wall's cells change as its items pass, and each change is published.
api POST /api/show/start >/dev/null
seconds=${LM_PERF_WEB_SECONDS:-30}
hz=$(clock_ticks_per_second)
cpu_percent() {
    local before=$scratch/before after=$scratch/after
    tree_cpu_ticks "$control_pid" >"$before"
    sleep "$seconds"
    tree_cpu_ticks "$control_pid" >"$after"
    awk -v t="$(ticks_between "$before" "$after")" -v hz="$hz" -v s="$seconds" \
        'BEGIN { printf "%.2f", 100 * t / hz / s }'
}
sleep 2
quiet=$(cpu_percent)
"$load" streams "$port" "$token" 50 $((seconds + 10)) >"$scratch/streams.txt" &
streams_pid=$!
pids+=("$streams_pid")
sleep 5
busy=$(cpu_percent)
wait "$streams_pid"
open=$(cat "$scratch/streams.txt")
echo "| LMControl CPU while a show runs (% of one core), no stream / $open streams open | ${seconds} s each | $quiet % / $busy % | +$(awk -v a="$quiet" -v b="$busy" 'BEGIN { printf "%.2f", b - a }') % |"
