#!/usr/bin/env bash
# The browser page, on the Release build in build-perf: its first load (bytes and time, over
# HTTPS on the loopback, from 127.0.0.2 as another computer) and its CPU in Chromium while the
# wall runs a show of two texts on two displays (Velisto under Xvfb):
#
#   scripts/perf/page.sh                 # 10 first visits, then 60 s of the wall
#   LM_PERF_RUNS=5 LM_PERF_SECONDS=20 scripts/perf/page.sh
#
# Prints Markdown table rows; also into build-perf/page.md. Needs Debian's chromium,
# chromium-driver and python3-selenium (scripts/install-deps.sh tests).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

build_targets Velisto LMControl
lmcontrol=$perf_build/control/LMControl
velisto=$perf_build/display/Velisto

pids=()
use_scratch
work=$scratch/work
password="a password for the measurement"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

(cd "$work" && echo "$password" | "$lmcontrol" --web-password >/dev/null)
start_xvfb 640x360
for n in 1 2; do
    (cd "$work" && exec "$velisto" --number "$n") >"$scratch/velisto$n.log" 2>&1 &
    pids+=($!)
done
(cd "$work" && exec "$lmcontrol" --no-window --web --web-port "$port") >"$scratch/lmcontrol.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    grep -q "serves on port" "$scratch/lmcontrol.log" && break
    sleep 0.1
done

{
    echo "| What | Runs | Median | Worst |"
    echo "|---|---|---|---|"
    /usr/bin/python3 "$here/page_measure.py" "https://127.0.0.2:$port/" "$password" \
        "${LM_PERF_RUNS:-10}" "${LM_PERF_SECONDS:-60}"
} | tee "$perf_build/page.md"
