#!/usr/bin/env bash
# Checks lm_wallshot on the sample pictures: what counts as drawn, where compose puts the
# screens, bezels and captions, and where find sees a colour begin.
# Usage: wallshot-test.sh LM_WALLSHOT EXAMPLES_FOLDER
set -u
tool=$1
examples=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0

expect() {
    local expected=$1
    shift
    "$tool" "$@" 2>/dev/null
    local actual=$?
    if [ $actual -ne "$expected" ]; then
        echo "FAIL: lm_wallshot $* exited with $actual, not $expected"
        failed=1
    fi
}

caution=$examples/caution.bmp # 480 x 270, white corners around a yellow sign
welcome=$examples/welcome.jpg # 1280 x 720, a sunset

# The sign is drawn; the white corner is not; an area outside the picture is an error.
expect 0 varied "$caution" 200 100 80 80
expect 1 varied "$caution" 0 0 20 10
expect 2 varied "$caution" 1000 1000 10 10

# Screens side by side in the order given, 10 pixel bezels, a caption strip below.
expect 0 compose "$out/wall.png" "$caution" "$welcome"
expect 1 varied "$out/wall.png" 0 0 1790 10     # bezel above both screens
expect 1 varied "$out/wall.png" 490 10 10 720   # bezel between them
expect 1 varied "$out/wall.png" 10 10 20 10     # the caution sign's corner, left
expect 0 varied "$out/wall.png" 10 10 480 270   # the sign itself
expect 1 varied "$out/wall.png" 10 280 480 440  # below the shorter screen: bezel
expect 0 varied "$out/wall.png" 500 10 1280 720 # the sunset, right
expect 0 varied "$out/wall.png" 500 735 1280 22 # its caption
expect 1 compose "$out/none.png" "$out/missing.png"

# find: where a colour begins, row by row, in the picture's own pixels. The sign's red starts at
# its peak (235, 15), though it reaches further left lower down.
found=$("$tool" find "$out/wall.png" '#c80000' 2>/dev/null)
[ "$found" = "245 25" ] || { echo "FAIL: find gave \"$found\", not \"245 25\""; failed=1; }
expect 1 find "$caution" '#0000ff'
expect 2 find "$caution" blue-ish
exit $failed
