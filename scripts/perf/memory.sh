#!/usr/bin/env bash
# Peak memory (VmHWM of /proc/<pid>/status) of Velisto while a 3840x2160 JPEG moves left
# across its screen, on a 1920x1080 and on a 3840x2160 Xvfb. Prints Markdown table rows.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build_targets Velisto

work=$(mktemp -d)
cleanup() {
    [ -n "${velisto_pid:-}" ] && stop_pid "$velisto_pid"
    [ -n "${xvfb_pid:-}" ] && stop_pid "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT

mb() {
    awk -v kb="$1" 'BEGIN { printf "%.1f MB", kb / 1024 }'
}

picture="$work/photo.jpg"
# A photograph-like picture: smooth colour with grain, so the JPEG is of a realistic size.
convert -size 3840x2160 gradient:navy-gold -attenuate 0.4 +noise Gaussian -quality 90 "$picture"

row() {
    local screen=$1
    start_xvfb "$screen"
    mkdir -p "$work/$screen/data"
    cp "$picture" "$work/$screen/data/photo.jpg"
    start_velisto "$work/$screen"
    local idle
    idle=$(status_kb "$velisto_pid" VmHWM)
    write_job "$work/$screen/data/LMData1.ini" " 0 " 画像 左へ 白 黒 中 "" photo.jpg
    # Decoded, shown and moved for a few ticks of 300 ms.
    sleep 4
    local peak rss private files shared
    peak=$(status_kb "$velisto_pid" VmHWM)
    rss=$(status_kb "$velisto_pid" VmRSS)
    # What the resident memory is made of: the program's own, the pages of the libraries and
    # fonts it maps (shared with every Qt program), and the window's buffer that it shares
    # with the X server.
    private=$(status_kb "$velisto_pid" RssAnon)
    files=$(status_kb "$velisto_pid" RssFile)
    shared=$(status_kb "$velisto_pid" RssShmem)
    echo "| ${screen/x/×} | $(mb "$idle") | $(mb "$peak") | $(mb "$rss") | $(mb "$private") | $(mb "$files") | $(mb "$shared") |"
    stop_pid "$velisto_pid"
    stop_pid "$xvfb_pid"
    velisto_pid=""
    xvfb_pid=""
}

row 1920x1080
row 3840x2160
