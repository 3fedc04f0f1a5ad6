# Shared pieces of the performance scripts; sourced, not run.
#
# Each measurement runs the real programs on a private Xvfb and reads what the kernel counts
# for their processes (/proc/<pid>/stat and /proc/<pid>/status), so nothing is instrumented.

perf_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
perf_build="${LM_PERF_BUILD:-$perf_root/build-perf}"
export LANG=C.UTF-8
unset LC_ALL

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Debian's chromium, installed when missing.
ensure_chromium() {
    if command -v chromium >/dev/null 2>&1; then
        return 0
    fi
    echo "Installing Debian's chromium" >&2
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq chromium >&2
}

# Builds these targets of the Release build in build-perf, configured with the benchmarks and
# the tests when it lacks them, so that each script also runs alone on a fresh clone. run.sh
# builds everything once and sets LM_PERF_BUILT for the scripts it runs.
build_targets() {
    [ -z "${LM_PERF_BUILT:-}" ] || return 0
    local cache="$perf_build/CMakeCache.txt"
    if ! grep -qs '^LM_BUILD_BENCHMARKS:BOOL=ON$' "$cache" ||
        ! grep -qs '^LM_BUILD_TESTS:BOOL=ON$' "$cache"; then
        cmake -S "$perf_root" -B "$perf_build" -DCMAKE_BUILD_TYPE=Release \
            -DLM_BUILD_BENCHMARKS=ON -DLM_BUILD_TESTS=ON >/dev/null
    fi
    echo "Building $* in $perf_build" >&2
    cmake --build "$perf_build" -j2 --target "$@" >/dev/null
}

# The programs, the tick and frame benchmarks, the start-up helper and the show hand-off test
# that measures the gaps. Only these targets are built, not the other tests.
build_programs() {
    build_targets Velisto LMControl display_tick_benchmark first_frame glide_frames \
        showhandover_e2e_tests
}

# Starts Xvfb WxH at 96 dpi on a free display with a black root; sets xvfb_pid and DISPLAY.
# A second argument gives it that many X screens of the size (Qt sees each as a monitor).
start_xvfb() {
    local size=$1 count=${2:-1} fifo screens=() screen
    for screen in $(seq 0 $((count - 1))); do
        screens+=(-screen "$screen" "${size}x24")
    done
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 "${screens[@]}" -dpi 96 -br -nolisten tcp -noreset \
        3>"$fifo" 2>/dev/null &
    xvfb_pid=$!
    local number
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
    export QT_QPA_PLATFORM=xcb
}

# A scratch folder for the programs' configuration, state and runtime folders, with work/ for
# their working folder, removed when the script ends, after the programs in `pids` (an array
# the script declares) and Xvfb are stopped. Sets scratch.
use_scratch() {
    scratch=$(mktemp -d)
    trap end_scratch EXIT
    export XDG_CONFIG_HOME=$scratch/config XDG_STATE_HOME=$scratch/state
    export XDG_RUNTIME_DIR=$scratch/run
    mkdir -p "$XDG_RUNTIME_DIR" "$scratch/work"
    chmod 700 "$XDG_RUNTIME_DIR"
}

end_scratch() {
    local pid
    for pid in "${pids[@]}"; do stop_pid "$pid"; done
    [ -z "${xvfb_pid:-}" ] || stop_pid "$xvfb_pid"
    rm -rf "$scratch"
}

stop_pid() {
    local pid=$1
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# The process and all its descendants, one pid a line.
process_tree() {
    ps -e -o pid=,ppid= | awk -v root="$1" '
        { parent[$1] = $2; pids[NR] = $1 }
        END {
            keep[root] = 1; changed = 1
            while (changed) {
                changed = 0
                for (i in pids) { p = pids[i]; if (!(p in keep) && (parent[p] in keep)) { keep[p] = 1; changed = 1 } }
            }
            for (p in keep) print p
        }'
}

# "pid:starttime ticks" for every process of the tree: utime + stime in clock ticks. The start
# time tells a reused pid from the process it replaced.
tree_cpu_ticks() {
    local pid stat
    for pid in $(process_tree "$1"); do
        stat=$(cat "/proc/$pid/stat" 2>/dev/null) || continue
        # Fields after the command name, which may hold blanks: state is field 3.
        awk -v pid="$pid" '{ sub(/^.*\) /, ""); print pid ":" $20, $12 + $13 }' <<<"$stat"
    done
}

# Clock ticks the tree used between two tree_cpu_ticks snapshots; a process born in between
# counts from zero.
ticks_between() {
    awk 'NR == FNR { before[$1] = $2; next } { used += $2 - (($1 in before) ? before[$1] : 0) }
         END { print used + 0 }' "$1" "$2"
}

clock_ticks_per_second() {
    getconf CLK_TCK
}

# Kilobytes of a field of /proc/<pid>/status (VmHWM, VmRSS).
status_kb() {
    awk -v field="$2:" '$1 == field { print $2 }' "/proc/$1/status" 2>/dev/null
}

# A job file for display 1 in code page 932 with CR LF. Arguments: head kind movement fore
# back speed text picture (UTF-8).
write_job() {
    local file=$1
    shift
    printf '%s\r\n%s\r\n\r\n%s\r\n\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s\r\n' "$@" |
        iconv -f UTF-8 -t CP932 >"$file.tmp"
    mv "$file.tmp" "$file"
}

# Starts Velisto in the working folder on $DISPLAY as display number 1, with any further
# arguments as its options, and sets velisto_pid. Returns when the caption shows the number.
start_velisto() {
    local work=$1 window
    shift
    # --number, not "OK" in the panel: nothing is remembered in the user's settings.
    (cd "$work" && exec "$perf_build/display/Velisto" --number 1 "$@") >"$work/velisto.log" 2>&1 &
    velisto_pid=$!
    for _ in $(seq 300); do
        window=$(xdotool search --onlyvisible --pid "$velisto_pid" 2>/dev/null | head -1 || true)
        [ -n "$window" ] && break
        kill -0 "$velisto_pid" 2>/dev/null || break
        sleep 0.05
    done
    if [ -z "$window" ]; then
        echo "Velisto ($perf_build/display/Velisto) showed no window; its output:" >&2
        cat "$work/velisto.log" >&2
        return 1
    fi
    for _ in $(seq 100); do
        [ "$(xdotool getwindowname "$window" 2>/dev/null || true)" = "ミラトス  1" ] && return 0
        sleep 0.05
    done
    echo "Velisto did not take display number 1" >&2
    return 1
}

machine_description() {
    local model cores
    model=$(lscpu | awk -F: '/^Model name/ { sub(/^ +/, "", $2); print $2 }')
    cores=$(nproc)
    echo "CPU: $model, $cores cores; $(awk '{ print "load average " $1 ", " $2 ", " $3 }' /proc/loadavg)"
    echo "Memory: $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
    echo "System: $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r)"
    echo "Qt: $(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null), compiler: $(c++ --version | head -1)"
    if command -v chromium >/dev/null 2>&1; then
        echo "Chromium: $(chromium --version 2>/dev/null | head -1)"
    fi
}
