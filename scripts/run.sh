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
# Each Velisto starts with its number (--number); everything else is done as an operator would
# do it, through the windows. Every process started here ends with the script.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Xephyr on a desktop, Xvfb without one.
if [ -n "${DISPLAY:-}" ]; then
    scripts/install-deps.sh wall-desktop
else
    scripts/install-deps.sh wall
fi
export LANG=C.UTF-8
unset LC_ALL

echo "Building Velisto and LMControl (RelWithDebInfo, build/) ..."
# A new build folder leaves the tests out (scripts/test.sh adds them); one that exists keeps
# its choice.
withoutTests=()
[ -f build/CMakeCache.txt ] || withoutTests=(-DLM_BUILD_TESTS=OFF)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${withoutTests[@]}" >/dev/null
cmake --build build -j"$(nproc)" --target Velisto LMControl lm_wallshot
velisto=$root/build/display/Velisto
lmcontrol=$root/build/control/LMControl
wallshot() {
    # The tool runs offscreen; Qt's note about the runtime folder is noise here.
    "$root/build/tools/lm_wallshot" "$@" 2> >(grep -v XDG_RUNTIME_DIR >&2)
}

# The working folder of every program: the pictures and the show file; data/ under it is the
# Exchange folder, made by LMControl.
work=$root/build/demo-wall
rm -rf "$work"
mkdir -p "$work"
cp examples/welcome.jpg examples/caution.bmp examples/demo.txt "$work"/
shots=$root/build/demo-wall-shots
logs=$root/build/demo-wall-logs
rm -rf "$shots" "$logs"
mkdir -p "$logs"
scratch=$(mktemp -d)

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
    scripts/install-deps.sh wall
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
# LMControl first: it makes the Exchange folder and clears it of old jobs and answers.
start_program "$controlDisplay" "$lmcontrol" lmcontrol
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

# The control window: 10815 x 8100 twips below its menu bar. Its size on the screen gives the
# pixels per twip, whatever the desktop's DPI or scaling.
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
cx=$wx
ctop=$wy
cw=$ww
menuH=$((wh - 8100 * ww / 10815))
cy=$((wy + menuH))
[ $menuH -gt 0 ] && [ $menuH -lt 80 ] ||
    fail "the control window is not the expected size (${ww}x${wh})"
control_click() { click_twips "$controlDisplay" "$cx" "$cy" "$cw" 10815 "$@"; }

# Load the sample show: "表示のリスト  ﾌｧｲﾙ読み込み", then in the chooser (which starts in the
# working folder) the name and "OK".
chooserTitle=データファイルの読み込み
chooser_shown() {
    chooser=$(xdo "$controlDisplay" search --onlyvisible --name "^$chooserTitle\$" 2>/dev/null |
        head -n1)
    [ -n "$chooser" ]
}
for attempt in 1 2 3; do
    control_click 1680 3840 1815 495
    wait_until 5000 chooser_shown && break
    [ $attempt -lt 3 ] || fail "the chooser did not open"
done
read_geometry "$controlDisplay" "$chooser"
click_twips "$controlDisplay" "$wx" "$wy" "$ww" 9345 3360 3120 2775 375
xdo "$controlDisplay" type --delay 20 "demo.txt"
click_twips "$controlDisplay" "$wx" "$wy" "$ww" 9345 4320 3720 2175 615
chooser_gone() { ! chooser_shown; }
wait_until 5000 chooser_gone || fail "the chooser did not close"

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

# The list shows the loaded items.
listShot=$scratch/control.png
on_display "$controlDisplay" import -window "$controlWindow" "$listShot" ||
    fail "cannot take a screenshot of the control window"
listX=$(((120 + 60) * cw / 10815))
listY=$((menuH + (4560 + 60) * cw / 10815))
wallshot varied "$listShot" $listX $listY $((10000 * cw / 10815)) $((1900 * cw / 10815)) ||
    fail "the sample show did not load"

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
deadline=$(($(now_ms) + 180000))
finished=0
while [ $finished -eq 0 ]; do
    [ "$(now_ms)" -lt $deadline ] || fail "the show did not reach display 3's last item in time"
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
    while [ "${entry%% *}" -gt "$(now_ms)" ]; do sleep 0.05; done
    take_shot "${entry#* }"
    due=("${due[@]:1}")
done

for what in text picture-moves picture-stands; do
    [ -n "${taken[$what]:-}" ] || echo "run.sh: no hand-over of the kind $what was seen" >&2
done

# "表示を止める": every screen turns dark blue.
control_click 9600 6960 975 855
sleep 1
take_shot stopped

# "終了" > "表示プログラムをすべて終了させる", Yes: every Velisto ends. The menu bar is opened
# on "ファイル" and walked to its neighbour; in its two items Up wraps round, so Up Up comes to
# the first whichever item the menu opened on, and Up to the last.
open_end_menu() {
    xdo "$controlDisplay" mousemove $((cx + 20)) $((ctop + menuH / 2)) click 1
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
wait_until 5000 velistos_gone || echo "run.sh: a display did not end by itself" >&2

# "このプログラムを終了する", Yes: LMControl ends and clears the Exchange folder.
open_end_menu
xdo "$controlDisplay" key Up Return
sleep 0.5
xdo "$controlDisplay" key Return
control_gone() { ! alive "$controlPid"; }
wait_until 5000 control_gone ||
    echo "run.sh: LMControl did not end by itself" >&2

mkdir -p "$shots"
while read -r base; do
    wallshot compose "$shots/$(basename "$base").png" "$base-3.png" "$base-2.png" "$base-1.png"
done <"$scratch/shots"
echo
echo "Screenshots of the wall (display 3 left, display 1 right):"
ls -1 "$shots"/*.png
