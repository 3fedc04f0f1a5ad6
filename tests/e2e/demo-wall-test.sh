#!/usr/bin/env bash
# The demo wall as the README's first command runs it without a desktop, with the programs of
# this build: the show crosses all three screens, and nothing the script started outlives it.
# Usage: demo-wall-test.sh SOURCE_DIR BUILD_DIR OUT_DIR LSAN_SUPPRESSIONS
set -u
source=$1
build=$2
out=$3
suppressions=$4
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

rm -rf "$out"
mkdir -p "$out"
# Every process the script starts inherits this; none may be left once it returns.
mark=$$-$(date +%s%N)
env -u DISPLAY LM_DEMO_BUILD="$build" LM_DEMO_OUT="$out" LM_DEMO_MARK="$mark" \
    LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$suppressions:print_suppressions=0" \
    bash "$source/scripts/run.sh" >"$out/run.log" 2>&1
status=$?
[ $status -eq 0 ] || fail "run.sh exited with $status: $(tail -n 5 "$out/run.log")"
# Its warnings: a display or LMControl that the menus did not end, a kind of hand-over not seen.
if [ $status -eq 0 ] && grep -q "^run.sh: " "$out/run.log"; then
    fail "run.sh warned: $(grep "^run.sh: " "$out/run.log")"
fi

left=$(grep -lz "^LM_DEMO_MARK=$mark\$" /proc/[0-9]*/environ 2>/dev/null)
for environ in $left; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    fail "process $pid ($(cat "/proc/$pid/comm" 2>/dev/null)) outlived run.sh"
    kill -KILL "$pid" 2>/dev/null
done

# Each display answered: displays 1 and 2 passed every item on, display 3 answered for one.
shots=$out/demo-wall-shots
items=$(($(wc -l <"$source/examples/demo.txt") / 11))
for n in 2 3; do
    for ((item = 0; item < items; item++)); do
        grep -q "^job $n $item " "$shots/wall.log" 2>/dev/null ||
            fail "item $item never reached display $n (display $((n - 1)) did not answer)"
    done
done
grep -q "^answer 3 " "$shots/wall.log" 2>/dev/null || fail "display 3 never answered"

# The shots of the wall, display 3 at the left: screens of equal size, 10 pixel bezels, a
# 22 pixel caption strip.
screen_area() {
    local w h
    read -r w h < <(identify -format '%w %h' "$1")
    w=$(((w - 10) / 3 - 10))
    echo "${w}x$((h - 42))+$((10 + (3 - $2) * (w + 10)))+10"
}
# Pixels of one colour on display N's screen.
count() {
    convert "$1" -crop "$(screen_area "$1" "$2")" +repage -format %c histogram:info:- |
        grep -i " $3 " | cut -d: -f1 | tr -d ' ' | grep . || echo 0
}
colours() { convert "$1" -crop "$(screen_area "$1" "$2")" +repage -format %k info:; }
shot() { ls "$shots"/wall-??-"$1".png 2>/dev/null | head -n1; }

# The welcome text, bright yellow on dark blue, on both screens it crosses.
for n in 2 3; do
    picture=$(shot "item0-to-$n-text")
    if [ -z "$picture" ]; then
        fail "no shot of the welcome text crossing to display $n"
        continue
    fi
    for screen in $((n - 1)) $n; do
        [ "$(count "$picture" "$screen" '#FFFF00')" -ge 200 ] &&
            [ "$(count "$picture" "$screen" '#000080')" -ge 200 ] ||
            fail "$(basename "$picture"): display $screen does not show the welcome text"
    done
done

# The moving picture, a photograph of thousands of colours (a text has a few hundred), on both
# screens of at least one of its crossings.
moving=0
for picture in "$shots"/wall-??-item*-picture-moves.png; do
    [ -e "$picture" ] || continue
    n=${picture%-picture-moves.png}
    n=${n##*-to-}
    if [ "$(colours "$picture" $((n - 1)))" -ge 1000 ] && [ "$(colours "$picture" "$n")" -ge 1000 ]
    then
        moving=1
    fi
done
[ $moving -eq 1 ] || fail "no shot shows the moving picture across two screens"

# The still picture, its sign's yellow, on the screen it has just reached.
for n in 2 3; do
    picture=$(shot "item3-to-$n-picture-stands")
    [ -n "$picture" ] && [ "$(count "$picture" "$n" '#FFE600')" -ge 1000 ] ||
        fail "no shot shows the still picture on display $n"
done

[ $failed -eq 0 ] || echo "The run's output, shots and the programs' logs: $out"
exit $failed
