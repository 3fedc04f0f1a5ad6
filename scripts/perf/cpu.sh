#!/usr/bin/env bash
# CPU used while a text scrolls across a 1920x1080 screen for a while (60 s unless
# LM_PERF_SECONDS says otherwise): Velisto against a full-screen Chromium page that scrolls the
# same text at the same speed with a CSS animation, each on its own Xvfb, one after the other.
# Counts utime + stime (/proc/<pid>/stat) of the program and all its child processes, and of
# the X server that draws for it. Prints Markdown table rows.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build_targets Velisto

seconds=${LM_PERF_SECONDS:-60}
width=1920
height=1080
# Long enough to keep the screen full of moving text for the whole window: at "中" the text
# moves one screen width in 3.6 s and each character is about 0.9 screen heights wide.
text="本日は当館にお越しいただき誠にありがとうございます。展示は三階までご覧いただけます。お帰りの際はお忘れ物のないようご注意下さい。"
hz=$(clock_ticks_per_second)

work=$(mktemp -d)
cleanup() {
    [ -n "${program_pid:-}" ] && stop_pid "$program_pid"
    [ -n "${xvfb_pid:-}" ] && stop_pid "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT

# Percent of one core that the process tree of pid used over the window.
measure_window() {
    local pid=$1 server=$2 before="$work/before" after="$work/after"
    tree_cpu_ticks "$pid" >"$before"
    tree_cpu_ticks "$server" >"$before.x"
    sleep "$seconds"
    tree_cpu_ticks "$pid" >"$after"
    tree_cpu_ticks "$server" >"$after.x"
    kill -0 "$pid" || { echo "the program ended during the measurement" >&2; cat "$work"/*/velisto.log "$work"/velisto.log >&2 2>/dev/null; return 1; }
    local program x
    program=$(ticks_between "$before" "$after")
    x=$(ticks_between "$before.x" "$after.x")
    awk -v p="$program" -v x="$x" -v hz="$hz" -v s="$seconds" \
        'BEGIN { printf "%.1f %.1f %.1f\n", 100 * p / hz / s, 100 * x / hz / s, 100 * (p + x) / hz / s }'
}

# velisto_row LABEL [OPTION...]
velisto_row() {
    local label=$1
    shift
    start_xvfb "${width}x${height}"
    rm -rf "$work/velisto"
    mkdir -p "$work/velisto/data"
    start_velisto "$work/velisto" "$@"
    program_pid=$velisto_pid
    write_job "$work/velisto/data/LMData1.ini" " 0 " 文字 左へ 白 暗い青 中 "$text" ""
    # The job starts at the next poll; the text has entered the screen a second later.
    sleep 2
    read -r program x total < <(measure_window "$program_pid" "$xvfb_pid")
    echo "| $label | $program % | $x % | $total % |"
    stop_pid "$program_pid"
    stop_pid "$xvfb_pid"
    program_pid=""
    xvfb_pid=""
}

# The page a user would write: the same text, colours and font size (window height / 22 points
# at 96 dpi, 90.9 % of the height), moving one screen width per 3.6 s, as a CSS animation of
# the transform over 20 screen widths in 72 s. timing is "linear" or "steps(720)" (100 ms
# steps, as the sign moves).
write_page() {
    local file=$1 timing=$2
    cat >"$file" <<HTML
<!DOCTYPE html>
<html lang="ja"><head><meta charset="utf-8"><title>sign</title>
<style>
html, body { margin: 0; width: 100%; height: 100%; overflow: hidden; background: #000080; }
#sign {
  position: absolute; top: 0; left: 0; white-space: nowrap; color: #ffffff;
  font-family: "ＭＳ ゴシック", "IPAGothic", monospace; font-size: 90.909vh; line-height: 100vh;
  animation: scroll 72s $timing infinite;
}
@keyframes scroll { from { transform: translateX(100vw); } to { transform: translateX(-1900vw); } }
</style></head>
<body><div id="sign">$text</div></body></html>
HTML
}

chromium_row() {
    local timing=$1 label=$2
    start_xvfb "${width}x${height}"
    local profile="$work/chromium-profile-$RANDOM"
    mkdir -p "$profile"
    write_page "$work/sign.html" "$timing"
    chromium --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --password-store=basic --noerrdialogs --disable-features=Translate --user-data-dir="$profile" \
        --window-position=0,0 --window-size=$width,$height --kiosk \
        "file://$work/sign.html" >/dev/null 2>&1 &
    program_pid=$!
    # Start-up, first layout and the animation under way.
    sleep 8
    read -r program x total < <(measure_window "$program_pid" "$xvfb_pid")
    echo "| $label | $program % | $x % | $total % |"
    if [ -n "${LM_PERF_SHOTS:-}" ]; then
        import -window root "$LM_PERF_SHOTS/chromium-$RANDOM.png"
    fi
    stop_pid "$program_pid"
    stop_pid "$xvfb_pid"
    program_pid=""
    xvfb_pid=""
}

ensure_chromium
velisto_row "Velisto (text at \"中\", 100 ms steps)"
velisto_row "Velisto --smooth (text at \"中\", gliding)" --smooth
chromium_row linear "Chromium (CSS animation, smooth)"
chromium_row "steps(720)" "Chromium (CSS animation in 100 ms steps)"
