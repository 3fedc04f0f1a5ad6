#!/usr/bin/env bash
# The demo wall: three display screens side by side, each a real X screen with its own
# Velisto (display 3 left, 2 middle, 1 right), and LMControl with the sample show loaded.
#
# On a desktop (DISPLAY set) the screens are three Xephyr windows and LMControl runs on the
# desktop: press "表示させる" and watch. Closing LMControl, or Ctrl+C here, ends the wall.
#
# Without a desktop every screen is an Xvfb server (and one more for LMControl). The script
# then runs the show itself at "速く", saves screenshots of the wall as the items cross from
# screen to screen, prints where they are, stops the show and ends everything.
#
# LMControl starts with the show file on its command line and each Velisto with its number
# (--number); everything else is done as an operator would do it, through the windows. Every
# process started here ends with the script, and none touches the user's own state: the
# programs keep theirs (XDG_STATE_HOME, XDG_RUNTIME_DIR) in a scratch folder.
#
# Without a desktop it also writes what it saw to demo-wall-shots/wall.log: "job N ITEM KIND"
# when display N was given an item (display N-1 had answered), "answer 3 ITEM FILE" when
# display 3 first answered for an item.
#
# Two variables, for the tests above all:
#   LM_DEMO_BUILD=DIR  run the programs of this build folder as they are: no packages are
#                      installed and nothing is built.
#   LM_DEMO_OUT=DIR    put demo-wall/ (the working folder), demo-wall-shots/ and
#                      demo-wall-logs/ in DIR instead of in build/.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ -n "${LM_DEMO_BUILD:-}" ]; then
    build=$(cd "$LM_DEMO_BUILD" && pwd)
    for program in display/Velisto control/LMControl tools/lm_wallshot; do
        if [ ! -x "$build/$program" ]; then
            echo "run.sh: $build/$program is missing: build it first" >&2
            exit 1
        fi
    done
else
    # Xephyr on a desktop, Xvfb without one.
    if [ -n "${DISPLAY:-}" ]; then
        scripts/install-deps.sh wall-desktop
    else
        scripts/install-deps.sh wall
    fi
    echo "Building Velisto and LMControl (RelWithDebInfo, build/) ..."
    # A new build folder leaves the tests out (scripts/test.sh adds them); one that exists
    # keeps its choice.
    withoutTests=()
    [ -f build/CMakeCache.txt ] || withoutTests=(-DLM_BUILD_TESTS=OFF)
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${withoutTests[@]}" >/dev/null
    cmake --build build -j"$(nproc)" --target Velisto LMControl lm_wallshot
    build=$root/build
fi
export LANG=C.UTF-8
unset LC_ALL
velisto=$build/display/Velisto
lmcontrol=$build/control/LMControl
wallshot() { "$build/tools/lm_wallshot" "$@"; }

# The working folder of every program: the pictures and the show file; data/ under it is the
# Exchange folder, made by LMControl.
out=${LM_DEMO_OUT:-$root/build}
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$out/demo-wall
rm -rf "$work"
mkdir -p "$work"
cp examples/welcome.jpg examples/caution.bmp examples/demo.txt "$work"/
shots=$out/demo-wall-shots
logs=$out/demo-wall-logs
rm -rf "$shots" "$logs"
mkdir -p "$logs"
scratch=$(mktemp -d)
# LMControl keeps a copy of its list for --resume under XDG_STATE_HOME and its lock and socket
# in XDG_RUNTIME_DIR (which must be private); Qt asks for the latter in every program.
export XDG_STATE_HOME=$scratch/state XDG_RUNTIME_DIR=$scratch/run
mkdir -m 700 "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"

# ---------------------------------------------------------------------------------------------
# Processes: every one started is remembered and ended on the way out, whatever happens. Each
# also gets TERM from the kernel should this script die without running its trap.
pids=()
dieWithScript=(setpriv --pdeathsig TERM)
cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    local i
    # Newest first: the programs before the X servers they run on.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${pids[i]}" 2>/dev/null || true
    done
    for _ in $(seq 30); do
        local running=0
        for pid in "${pids[@]}"; do
            if alive "$pid"; then
                running=1
            fi
        done
        [ $running -eq 0 ] && break
        sleep 0.1
    done
    for pid in "${pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$scratch"
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

fail() {
    echo "run.sh: $*" >&2
    if [ -n "${controlDisplay:-}" ] && [ "$controlDisplay" != "${desktop:-}" ] &&
        on_display "$controlDisplay" import -window root "$logs/failure.png" 2>/dev/null; then
        echo "run.sh: the screen at that moment: $logs/failure.png" >&2
    fi
    echo "run.sh: the programs' output is in $logs" >&2
    exit 1
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Whether a process runs; one that has ended but is not yet reaped does not.
alive() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
    [[ "$state" != Z* ]]
}

# Starts an X server (Xvfb or Xephyr, with its arguments) that picks a free display number
# itself; sets `server_display` to ":N".
start_server() {
    local name=$1
    shift
    local numberFile=$scratch/$name.display
    : >"$numberFile"
    "${dieWithScript[@]}" "$@" -displayfd 3 -nolisten tcp -noreset 3>"$numberFile" \
        >"$logs/$name.log" 2>&1 &
    pids+=($!)
    local serverPid=$!
    local deadline=$(($(now_ms) + 15000))
    while ! grep -q '^[0-9]' "$numberFile"; do
        alive "$serverPid" || fail "$1 did not start"
        [ "$(now_ms)" -lt $deadline ] || fail "$1 gave no display number"
        sleep 0.05
    done
    server_display=:$(head -n1 "$numberFile" | tr -d '[:space:]')
}

# The environment of a program on one of our servers: X11, 96 dpi as the server says, no
# scaling from the desktop's settings.
ownServerEnv=(env -u WAYLAND_DISPLAY -u XAUTHORITY -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS
    -u QT_AUTO_SCREEN_SCALE_FACTOR -u QT_ENABLE_HIGHDPI_SCALING -u QT_FONT_DPI QT_QPA_PLATFORM=xcb)
run_on() {
    local display=$1
    shift
    "${ownServerEnv[@]}" DISPLAY="$display" "$@"
}

# A command for a display: ours get run_on's environment, the desktop keeps its own.
on_display() {
    local display=$1
    shift
    if [ "$display" = "${desktop:-}" ]; then
        DISPLAY="$display" "$@"
    else
        run_on "$display" "$@"
    fi
}

xdo() {
    local display=$1
    shift
    on_display "$display" timeout 10 xdotool "$@"
}

# Starts a program (with its options) in the working folder on a display; sets `program_pid`
# (the program's own process: the subshell execs it).
start_program() {
    local display=$1 program=$2 log=$3
    shift 3
    if [ "$display" = "${desktop:-}" ]; then
        (cd "$work" && exec "${dieWithScript[@]}" env DISPLAY="$display" QT_QPA_PLATFORM=xcb \
            "$program" "$@") >"$logs/$log.log" 2>&1 &
    else
        (cd "$work" && exec "${dieWithScript[@]}" "${ownServerEnv[@]}" DISPLAY="$display" \
            "$program" "$@") >"$logs/$log.log" 2>&1 &
    fi
    pids+=($!)
    program_pid=$!
}

# The first visible window of a process (optionally with this exact name); sets `window`.
wait_for_window() {
    local display=$1 pid=$2 name=${3:-} timeout=${4:-20000}
    local deadline=$(($(now_ms) + timeout))
    window=""
    while [ -z "$window" ]; do
        alive "$pid" || fail "process $pid ended before it showed its window"
        [ "$(now_ms)" -lt $deadline ] || fail "no window${name:+ \"$name\"} of process $pid"
        local candidate
        for candidate in $(xdo "$display" search --onlyvisible --pid "$pid" 2>/dev/null); do
            if [ -z "$name" ] || [ "$(xdo "$display" getwindowname "$candidate")" = "$name" ]; then
                window=$candidate
                break
            fi
        done
        [ -n "$window" ] || sleep 0.1
    done
}

# Sets `wx wy ww wh`: where the window's client area stands on its screen, in pixels. xwininfo,
# since xdotool's getwindowgeometry counts a window manager's frame twice.
read_geometry() {
    local display=$1 id=$2 info
    info=$(on_display "$display" xwininfo -id "$id") || fail "window $id is gone"
    wx=$(sed -n 's/^ *Absolute upper-left X: *\(-\?[0-9]*\)$/\1/p' <<<"$info")
    wy=$(sed -n 's/^ *Absolute upper-left Y: *\(-\?[0-9]*\)$/\1/p' <<<"$info")
    ww=$(sed -n 's/^ *Width: *\([0-9]*\)$/\1/p' <<<"$info")
    wh=$(sed -n 's/^ *Height: *\([0-9]*\)$/\1/p' <<<"$info")
    [ -n "$wx" ] && [ -n "$wy" ] && [ -n "$ww" ] && [ -n "$wh" ] ||
        fail "cannot read where window $id stands"
}

# Clicks the centre of a control given in twips (left, top, width, height) inside an area that
# begins at pixel (x0, y0) and holds `num` pixels for every `den` twips.
click_twips() {
    local display=$1 x0=$2 y0=$3 num=$4 den=$5 left=$6 top=$7 width=$8 height=$9
    local x=$((x0 + (2 * left + width) * num / (2 * den)))
    local y=$((y0 + (2 * top + height) * num / (2 * den)))
    xdo "$display" mousemove "$x" "$y" click 1
}

wait_until() {
    local timeout=$1
    shift
    local deadline=$(($(now_ms) + timeout))
    until "$@"; do
        [ "$(now_ms)" -lt $deadline ] || return 1
        sleep 0.05
    done
}

# Takes all three screens at once and keeps them for composing.
shotCount=0
take_shot() {
    local label=$1 n
    local importPids=()
    shotCount=$((shotCount + 1))
    local base=$scratch/$(printf 'wall-%02d-%s' $shotCount "$label")
    for n in 3 2 1; do
        run_on "${screenDisplays[n]}" import -window root "$base-$n.png" 2>/dev/null &
        importPids+=($!)
    done
    wait "${importPids[@]}" || fail "cannot take screenshots of the screens"
    echo "$base" >>"$scratch/shots"
}

# ---------------------------------------------------------------------------------------------
# The display screens.
desktop=${DISPLAY:-}
if [ -n "$desktop" ] && ! xdpyinfo >/dev/null 2>&1; then
    echo "The desktop $desktop does not answer: the wall runs without it."
    desktop=""
    [ -n "${LM_DEMO_BUILD:-}" ] || scripts/install-deps.sh wall
fi
screenDisplays=() # index 1..3: the X display of display n's screen

if [ -n "$desktop" ]; then
    echo "Setting up the wall through its windows: leave the mouse and keyboard alone until it"
    echo "is ready (a few seconds)."
    command -v Xephyr >/dev/null || fail "Xephyr is missing (package xserver-xephyr)"
    read -r deskW deskH < <(DISPLAY="$desktop" xdotool getdisplaygeometry) ||
        fail "cannot read the size of the desktop $desktop"
    # Three 16:9 screens side by side with a margin between them, and room below them for
    # LMControl (about 600 pixels with its frame) where the desktop is tall enough.
    margin=16
    top=40
    screenW=$(((deskW - 4 * margin) / 3))
    screenH=$((screenW * 9 / 16))
    roomH=$((deskH - top - 40 - 620))
    if [ $screenH -gt $roomH ]; then
        screenH=$((roomH < 270 ? 270 : roomH))
    fi
    for n in 3 2 1; do
        # Display 3 at the left, display 1 at the right.
        left=$((margin + (3 - n) * (screenW + margin)))
        title="Velisto ${n} - display ${n}"
        start_server "xephyr-$n" Xephyr -screen "${screenW}x${screenH}+${left}+${top}" -dpi 96 \
            -title "$title" -no-host-grab -br
        screenDisplays[n]=$server_display
        # Window managers that place new windows themselves get the place asked for once more.
        DISPLAY="$desktop" timeout 5 xdotool search --sync --name "^$title\$" \
            windowmove %1 "$left" "$top" >/dev/null 2>&1 || true
    done
    controlDisplay=$desktop
else
    screenW=640
    screenH=360
    for n in 3 2 1; do
        start_server "xvfb-$n" Xvfb -screen 0 "${screenW}x${screenH}x24" -dpi 96
        screenDisplays[n]=$server_display
    done
    start_server xvfb-control Xvfb -screen 0 1024x768x24 -dpi 96
    controlDisplay=$server_display
fi

# ---------------------------------------------------------------------------------------------
# LMControl first: it makes the Exchange folder and clears it of old jobs and answers. It loads
# the sample show as "読み込み" would.
start_program "$controlDisplay" "$lmcontrol" lmcontrol demo.txt
controlPid=$program_pid
wait_for_window "$controlDisplay" "$controlPid" "制御機　ミラトス"
controlWindow=$window
wait_until 10000 test -d "$work/data" || fail "LMControl made no data/ folder"

# One Velisto per screen, started with its number: no panel to fill in.
velistoPids=()
for n in 1 2 3; do
    display=${screenDisplays[n]}
    start_program "$display" "$velisto" "velisto-$n" --number "$n"
    velistoPids[n]=$program_pid
    wait_for_window "$display" "$program_pid" "ミラトス  $n"
done
if [ -z "$desktop" ]; then
    # Each screen shows its number until the first job.
    take_shot numbers
fi

if [ -n "$desktop" ]; then
    DISPLAY="$desktop" timeout 5 xdotool windowactivate --sync "$controlWindow" >/dev/null 2>&1 ||
        true
fi
read_geometry "$controlDisplay" "$controlWindow"
if [ -n "$desktop" ]; then
    # Below the wall, when the desktop has room for it.
    frameH=$((wh + 40))
    belowY=$((top + screenH + 40 + margin))
    if [ $((belowY + frameH)) -le "$deskH" ]; then
        DISPLAY="$desktop" timeout 5 xdotool windowmove --sync "$controlWindow" \
            $(((deskW - ww) / 2)) "$belowY" >/dev/null 2>&1 || true
        read_geometry "$controlDisplay" "$controlWindow"
    fi
fi

# The controls stand where the form places them, in twips from the top left of its client area.
# Pixels per twip: on our own X server at 96 dpi, 1 for 15; on a desktop, whatever its DPI or
# scaling, the client area's 10815 twips are the window's width.
if [ -n "$desktop" ]; then
    twipsNum=$ww
    twipsDen=10815
else
    twipsNum=1
    twipsDen=15
fi
pixels() { echo $(($1 * twipsNum / twipsDen)); }

# Where the client area begins is found on a screenshot, from the label "ｺﾝﾋﾟｭｰﾀ" (in the frame
# "現在の表示" at 1560, 7080 twips): the only place of its colour, RGB(192,255,255), in the window.
# Not from the window's height, which also holds the bars above and below the client area, nor
# from where the form's colour begins, since the menu bar takes on that colour too.
controlShot=$scratch/control.png
shoot_control() {
    on_display "$controlDisplay" import -window "$controlWindow" "$controlShot" 2>/dev/null
}
find_client() {
    local found
    shoot_control && found=$(wallshot find "$controlShot" '#c0ffff') || return 1
    read -r clientX clientY <<<"$found"
    clientX=$((clientX - $(pixels 1560)))
    clientY=$((clientY - $(pixels 7080)))
}
wait_until 10000 find_client || fail "the control window shows no label \"ｺﾝﾋﾟｭｰﾀ\""
# The client area is as wide as the window.
[ "${clientX#-}" -le 2 ] && [ "$clientY" -ge 0 ] ||
    fail "the control window is not laid out as expected (client area at $clientX,$clientY)"
cx=$wx
cy=$((wy + clientY))
control_click() { click_twips "$controlDisplay" "$cx" "$cy" "$twipsNum" "$twipsDen" "$@"; }

# The list shows the loaded items.
list_filled() {
    shoot_control &&
        wallshot varied "$controlShot" "$(pixels 180)" $((clientY + $(pixels 4620))) \
            "$(pixels 10000)" "$(pixels 1900)"
}
wait_until 10000 list_filled || fail "the sample show did not load"

# Picks the first (Home) or last (End) entry of a choice list given in twips: its list opened
# with F4, as an operator may. Typing the Japanese word instead is not safe with xdotool, which
# gives each character outside the keyboard map a borrowed key that the next character may take
# over before the program has read it.
choose() {
    local key=$1
    shift
    control_click "$@"
    xdo "$controlDisplay" key F4
    sleep 0.3
    xdo "$controlDisplay" key "$key" Return
}

# ---------------------------------------------------------------------------------------------
if [ -n "$desktop" ]; then
    # Pictures move: the movement of every picture job is the window's "画像の移動".
    choose End 3960 7320 1455 315 # "画像の移動": "左へ"
    cat <<EOF

The demo wall is ready: display 3 (left), 2 and 1 (right) are the three Xephyr windows.
LMControl holds the sample show. Press "表示させる" and watch the show run across the screens.
"画像の移動" is "左へ": every picture moves. Choose "移動しない" while a text runs, and the
next pictures stand still instead. Close LMControl (or press Ctrl+C here) to end the wall.
EOF
    wait "$controlPid" || true
    exit 0
fi

# ---------------------------------------------------------------------------------------------
# Without a desktop: run the show at "速く" and photograph it.
mkdir -p "$shots"
choose Home 3960 6840 1455 345 # "表示の速さ": "速く"
choose End 3960 7320 1455 315  # "画像の移動": "左へ"

# Line 1 (the item number) and any line of display n's job file, read as LMControl wrote it.
job_head() { head -n1 "$work/data/LMData$1.ini" 2>/dev/null | tr -d '\r ' || true; }
job_line() {
    sed -n "$2p" "$work/data/LMData$1.ini" 2>/dev/null | iconv -f CP932 -t UTF-8 2>/dev/null |
        tr -d '\r' || true
}

control_click 7320 6960 1935 855 # "表示させる"
echo "The show runs (speed 速く); saving screenshots of the wall ..."

itemCount=$(($(wc -l <"$work/demo.txt") / 11))
lastItem=$((itemCount - 1))
declare -A seen=()   # per display: the item number of its last job
declare -A taken=()  # the kinds of hand-over photographed
due=()       # pending shots: "time label"
stillSet=0
seenLog=$shots/wall.log
: >"$seenLog"
# Display 3 passes its items to no display: its LMPEnd3.ans stays until the show stops,
# LMPNext3.ans may be taken at once, so either counts. Only for an item of the show: each
# display also answers for the empty job LMControl gives it at its start (item -1).
display3Answered=0
watch_display3() {
    local answer item
    [ $display3Answered -eq 0 ] || return 0
    for answer in LMPNext3.ans LMPEnd3.ans; do
        item=$(head -c 20 "$work/data/$answer" 2>/dev/null | cut -d, -f1 | tr -d '\r\n ') ||
            true
        if [[ "$item" =~ ^[0-9]+$ ]]; then
            echo "answer 3 $item $answer" >>"$seenLog"
            display3Answered=1
            return 0
        fi
    done
}
# Generous, for slow (sanitizer) builds: the show itself takes about 45 s.
startedAt=$(now_ms)
finished=0
while [ $finished -eq 0 ]; do
    if [ -z "${seen[2]:-}" ] && [ "$(now_ms)" -ge $((startedAt + 60000)) ]; then
        fail "display 1 never answered: no item reached display 2"
    elif [ -z "${seen[3]:-}" ] && [ "$(now_ms)" -ge $((startedAt + 90000)) ]; then
        fail "display 2 never answered: no item reached display 3"
    elif [ "$(now_ms)" -ge $((startedAt + 180000)) ]; then
        fail "the show did not reach display 3's last item in time"
    fi
    watch_display3
    for n in 2 3; do
        head=$(job_head $n)
        [[ "$head" =~ ^[0-9]+$ ]] || continue
        [ "${seen[$n]:-}" = "$head" ] && continue
        seen[$n]=$head
        # An item has just crossed from screen n-1 to screen n: photograph it on both.
        kind=$(job_line $n 2)
        movement=$(job_line $n 4)
        if [ "$kind" = "画像" ] && [ "$movement" = "左へ" ]; then
            delay=1500
            what=picture-moves
        elif [ "$kind" = "画像" ]; then
            delay=400
            what=picture-stands
        else
            delay=600
            what=text
        fi
        due+=("$(($(now_ms) + delay)) item$head-to-$n-$what")
        echo "job $n $head $what" >>"$seenLog"
        taken[$what]=1
        # Once the moving picture has reached display 3, the next pictures stand still.
        if [ $n -eq 3 ] && [ "$what" = picture-moves ] && [ $stillSet -eq 0 ]; then
            choose Home 3960 7320 1455 315 # "移動しない"
            stillSet=1
        fi
        if [ $n -eq 3 ] && [ "$head" -eq $lastItem ]; then
            finished=1
        fi
    done
    remaining=()
    for entry in "${due[@]}"; do
        if [ "${entry%% *}" -le "$(now_ms)" ]; then
            take_shot "${entry#* }"
        else
            remaining+=("$entry")
        fi
    done
    due=("${remaining[@]}")
    sleep 0.05
done
while [ ${#due[@]} -gt 0 ]; do
    entry=${due[0]}
    while [ "${entry%% *}" -gt "$(now_ms)" ]; do
        watch_display3
        sleep 0.05
    done
    take_shot "${entry#* }"
    due=("${due[@]:1}")
done
display3_answered() {
    watch_display3
    [ $display3Answered -eq 1 ]
}
wait_until 10000 display3_answered ||
    fail "display 3 never answered: neither LMPNext3.ans nor LMPEnd3.ans appeared"

for what in text picture-moves picture-stands; do
    [ -n "${taken[$what]:-}" ] || echo "run.sh: no hand-over of the kind $what was seen" >&2
done

# "表示を止める": every screen turns dark blue.
control_click 9600 6960 975 855
sleep 1
take_shot stopped

# "終了" > "表示プログラムをすべて終了させる", Yes: every Velisto ends. The menus from the
# keyboard: a click on the label "表示のリスト" gives the window the keyboard and does nothing
# else, F10 opens "ファイル" and Right its neighbour; in its two items Up wraps round, so Up Up
# comes to the first whichever item the menu opened on, and Up to the last.
open_end_menu() {
    control_click 120 4200 1455 375
    sleep 0.2
    xdo "$controlDisplay" key F10
    sleep 0.3
    xdo "$controlDisplay" key Right
    sleep 0.3
}
open_end_menu
xdo "$controlDisplay" key Up Up Return
sleep 0.5
xdo "$controlDisplay" key Return
velistos_gone() {
    local n
    for n in 1 2 3; do
        alive "${velistoPids[n]}" && return 1
    done
    return 0
}
wait_until 15000 velistos_gone || echo "run.sh: a display did not end by itself" >&2

# "このプログラムを終了する", Yes: LMControl ends and clears the Exchange folder.
open_end_menu
xdo "$controlDisplay" key Up Return
sleep 0.5
xdo "$controlDisplay" key Return
control_gone() { ! alive "$controlPid"; }
wait_until 15000 control_gone ||
    echo "run.sh: LMControl did not end by itself" >&2

mkdir -p "$shots"
while read -r base; do
    wallshot compose "$shots/$(basename "$base").png" "$base-3.png" "$base-2.png" "$base-1.png"
done <"$scratch/shots"
echo
echo "Screenshots of the wall (display 3 left, display 1 right):"
ls -1 "$shots"/*.png
