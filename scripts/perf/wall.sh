#!/usr/bin/env bash
# The wall in step: real walls of 2 and 4 displays whose Exchange folder lies on a share, timed
# by the programs' own time stamps (each Velisto's LMSIGN_TICK_TRACE, LMControl's
# LMSIGN_JOB_TRACE; µs of the real-time clock, which all programs on one machine share).
#
#   scripts/perf/wall.sh                 # both measurements, as BENCHMARKS.md records them
#   scripts/perf/wall.sh unison          # only the ticks in unison
#   scripts/perf/wall.sh wakeups         # only the wake-ups across a share
#   LM_PERF_HANDOFFS=6 LM_PERF_SECONDS=10 scripts/perf/wall.sh   # a quick look
#
# LM_PERF_DISPLAYS ("2 4") and LM_PERF_WAKEUPS ("on off") choose the walls of the wake-ups'
# part, LM_PERF_KEEP the folder of its traces (its table goes to the same name with .md);
# scripts/perf/wall-cpu.sh runs two such walls at once.
#
# Ticks in unison: {2, 4 displays} × {the share on the control computer: LMControl on the
# folder itself, each display on an sshfs mount of it; the share on a file server: every
# program on an sshfs mount of a folder of its own}, each first with LMSIGN_INSTANTS=off on
# every display (items start as their jobs arrive, as before the instants) and then with the
# instants (the default); the wake-ups are on in both.
# Wake-ups across a share: {2, 4 displays}, every program on a mount of a file server's folder,
# with the wake-ups (the default) and without (LMSIGN_WAKEUPS=off on every program); the CPU of
# each program is counted over LM_PERF_SECONDS (default 60) of the show.
#
# Every configuration runs a show of the texts "A" to "E" at "中" (white on "暗い緑") until
# LM_PERF_HANDOFFS hand-offs (default 50; display n's next answer to display n + 1) are
# complete. Each display covers an X screen of 640×360 at 96 dpi (one Xvfb, one screen per
# display); the mounts are sshfs through an sshd on the loopback with throwaway keys, without
# a cache. Each configuration takes wake-up ports of its own (LM_PERF_PORT_BASE sets the base).
# Needs the Release programs in build-perf (built here when missing), sshfs and sshd.
# Prints Markdown tables, also into build-perf/wall.md; the traces of the last run of each
# configuration stay in build-perf/wall/.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

handoffs=${LM_PERF_HANDOFFS:-50}
seconds=${LM_PERF_SECONDS:-60}
parts=${1:-all}
case $parts in
    all | unison | wakeups) ;;
    *)
        echo "usage: $0 [unison|wakeups]" >&2
        exit 2
        ;;
esac
transit_us=100000 # one movement tick of a text

if [ ! -f "$perf_build/CMakeCache.txt" ]; then
    cmake -S "$perf_root" -B "$perf_build" -DCMAKE_BUILD_TYPE=Release -DLM_BUILD_TESTS=OFF \
        >/dev/null
fi
cmake --build "$perf_build" -j2 --target Velisto LMControl >/dev/null
velisto="$perf_build/display/Velisto"
lmcontrol="$perf_build/control/LMControl"

for tool in sshfs /usr/sbin/sshd ssh-keygen fusermount3 Xvfb ss; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
mkdir -p /run/sshd 2>/dev/null || as_root mkdir -p /run/sshd

tmp=$(mktemp -d /tmp/lm-wall.XXXXXX)
keep="${LM_PERF_KEEP:-$perf_build/wall}"
out="$keep.md"
pids=()
mounts=()
xvfb_pids=()
sshd_pid=""

cleanup() {
    local pid mount
    for pid in "${pids[@]}"; do
        stop_pid "$pid"
    done
    for mount in "${mounts[@]}"; do
        fusermount3 -u "$mount" 2>/dev/null || fusermount3 -uz "$mount" 2>/dev/null || true
    done
    [ -z "$sshd_pid" ] || stop_pid "$sshd_pid"
    for pid in "${xvfb_pids[@]}"; do
        stop_pid "$pid"
    done
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Nothing of the user's: settings, state and the control program's socket stay in $tmp.
export XDG_CONFIG_HOME="$tmp/config" XDG_STATE_HOME="$tmp/state" XDG_RUNTIME_DIR="$tmp/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset LMSIGN_NOTIFY LMSIGN_INSTANTS LMSIGN_WAKEUPS LMSIGN_PORT_BASE LMSIGN_TICK_TRACE \
    LMSIGN_JOB_TRACE

# One X screen per display, and one of its own for the control window.
start_xvfb 640x360 4
wall_display=$DISPLAY
xvfb_pids+=("$xvfb_pid")
start_xvfb 1024x768
control_display=$DISPLAY
xvfb_pids+=("$xvfb_pid")

now_us() {
    echo "${EPOCHREALTIME/./}"
}

# A loopback TCP port that nobody listens on.
free_tcp_port() {
    local port
    for _ in $(seq 100); do
        port=$((20000 + RANDOM % 20000))
        ss -Htln "sport = :$port" | grep -q . || { echo "$port"; return 0; }
    done
    return 1
}

# A base B for the wake-up ports (B for LMControl, B + n for display n) such that no UDP socket
# of this machine uses B to B + 16.
free_port_base() {
    local base
    if [ -n "${LM_PERF_PORT_BASE:-}" ]; then
        echo "$LM_PERF_PORT_BASE"
        return 0
    fi
    for _ in $(seq 100); do
        base=$((40000 + 20 * (RANDOM % 1000)))
        ss -Huan "( sport >= :$base and sport <= :$((base + 16)) )" | grep -q . ||
            { echo "$base"; return 0; }
    done
    return 1
}

# sshd on the loopback with throwaway keys: the "network" of the share.
ssh_keys="$tmp/keys"
mkdir -p "$ssh_keys"
ssh-keygen -q -t ed25519 -N '' -f "$ssh_keys/host"
ssh-keygen -q -t ed25519 -N '' -f "$ssh_keys/user"
ssh_port=$(free_tcp_port)
/usr/sbin/sshd -D -e -p "$ssh_port" -h "$ssh_keys/host" -o ListenAddress=127.0.0.1 \
    -o "AuthorizedKeysFile=$ssh_keys/user.pub" -o PidFile=none -o StrictModes=no \
    2>"$tmp/sshd.log" &
sshd_pid=$!

# Mounts the folder at the mount point over sshfs, without a cache, as a share between
# computers: changes made through one mount are not reported on another.
mount_share() {
    local folder=$1 point=$2
    mkdir -p "$point"
    for _ in $(seq 50); do
        if sshfs -p "$ssh_port" -o "IdentityFile=$ssh_keys/user,StrictHostKeyChecking=no" \
            -o UserKnownHostsFile=/dev/null,BatchMode=yes,cache=no \
            "$(id -un)@127.0.0.1:$folder" "$point" 2>>"$tmp/sshfs.log"; then
            mounts+=("$point")
            return 0
        fi
        sleep 0.2
    done
    echo "could not mount $folder over sshfs:" >&2
    cat "$tmp/sshfs.log" "$tmp/sshd.log" >&2
    return 1
}

unmount_all() {
    local mount
    for mount in "${mounts[@]}"; do
        fusermount3 -u "$mount" 2>/dev/null || fusermount3 -uz "$mount" 2>/dev/null || true
    done
    mounts=()
}

stop_programs() {
    local pid
    for pid in "${pids[@]}"; do
        stop_pid "$pid"
    done
    pids=()
}

# The show: the texts "A" to "E", 11 lines each, in code page 932 with CR LF.
write_show() {
    local text
    for text in A B C D E; do
        printf '%s\r\n' 文字 "$text" 左へ 白 暗い緑 中 '' '' '' '' ''
    done | iconv -f UTF-8 -t CP932 >"$1"
}

# CPU time of all threads of the process so far, in ns, as the scheduler counts it.
cpu_ns() {
    local file used total=0
    for file in /proc/"$1"/task/*/schedstat; do
        read -r used _ 2>/dev/null <"$file" || continue
        total=$((total + used))
    done
    echo "$total"
}

# The wake-up port a presence file publishes; empty until it is there whole.
published_port() {
    [ -f "$1" ] || return 0
    { tr -d '\r' 2>/dev/null <"$1" | awk -F= '$1 == "port" { print $2 }'; } || true
}

# Hand-offs complete in the traces of DIR: next answers of displays 2 to N.
handoffs_done() {
    local dir=$1 displays=$2 n files=()
    for n in $(seq 2 "$displays"); do
        [ -f "$dir/tick$n.tsv" ] && files+=("$dir/tick$n.tsv")
    done
    [ ${#files[@]} -gt 0 ] || { echo 0; return 0; }
    # The show's first item is left out (see handoff_records).
    awk -F'\t' '$1 == "tick" && $8 ~ /^next/ && $3 != "-1" { n[$2]++ }
        END { for (d in n) done += n[d] - 1; print done + 0 }' "${files[@]}"
}

# Runs one wall until its hand-offs (and its CPU window) are complete, and keeps its traces in
# DIR: tick<n>.tsv, jobs.tsv, the programs' output and, with a CPU window, cpu.tsv.
#   run_wall DIR DISPLAYS control|server on|off(instants) on|off(wake-ups) CPU_SECONDS
run_wall() {
    local dir=$1 displays=$2 share=$3 instants=$4 wakeups=$5 cpu=$6
    local attempt
    for attempt in 1 2 3; do
        # Called plainly, not in a condition, so that any failure inside ends the script.
        run_wall_once "$@"
        [ "$wall_ran" -eq 0 ] || return 0
        echo "  retrying with other ports (attempt $attempt failed)" >&2
    done
    echo "the wall in $dir did not come up" >&2
    exit 1
}

run_wall_once() {
    local dir=$1 displays=$2 share=$3 instants=$4 wakeups=$5 cpu=$6
    local run folder base n control_pid wanted port
    local common_env=() display_env=() velisto_pids=()
    wall_ran=0
    run=$(mktemp -d "$tmp/run.XXXX")
    rm -rf "$dir"
    mkdir -p "$dir" "$run/control"
    if [ "$share" = control ]; then
        folder="$run/control/data"
        mkdir -p "$folder"
    else
        folder="$run/server/data"
        mkdir -p "$folder"
        mount_share "$folder" "$run/control/data"
    fi
    for n in $(seq "$displays"); do
        mount_share "$folder" "$run/pc$n/data"
    done
    write_show "$run/control/show.txt"
    base=$(free_port_base)
    [ "$wakeups" = on ] || common_env+=(LMSIGN_WAKEUPS=off)
    display_env=("${common_env[@]}")
    [ "$instants" = on ] || display_env+=(LMSIGN_INSTANTS=off)

    (cd "$run/control" && exec env "${common_env[@]}" LMSIGN_JOB_TRACE="$dir/jobs.tsv" \
        DISPLAY="$control_display" "$lmcontrol" --port-base "$base") >"$dir/control.log" 2>&1 &
    control_pid=$!
    pids+=("$control_pid")
    for _ in $(seq 200); do
        [ -n "$(published_port "$folder/LMControl.dat")" ] && break
        sleep 0.05
    done
    for n in $(seq "$displays"); do
        (cd "$run/pc$n" && exec env "${display_env[@]}" LMSIGN_TICK_TRACE="$dir/tick$n.tsv" \
            DISPLAY="$wall_display" "$velisto" --number "$n" --screen "$n" --port-base "$base") \
            >"$dir/velisto$n.log" 2>&1 &
        velisto_pids+=($!)
        pids+=($!)
    done
    # Every display present, with the ports it was given when it takes wake-ups.
    local ready=0
    for _ in $(seq 300); do
        ready=1
        for n in 0 $(seq "$displays"); do
            if [ "$n" -eq 0 ]; then
                port=$(published_port "$folder/LMControl.dat")
                wanted=$base
            else
                port=$(published_port "$folder/LMAlive$n.dat")
                wanted=$((base + n))
            fi
            [ "$wakeups" = on ] || wanted=0
            [ "$port" = "$wanted" ] || ready=0
        done
        [ "$ready" -eq 1 ] && break
        sleep 0.1
    done
    if [ "$ready" -ne 1 ]; then
        echo "  not every program took its port from $base:" >&2
        grep -H port= "$folder"/LM*.dat >&2 || true
        stop_programs
        unmount_all
        rm -rf "$run"
        return 0
    fi
    # The control program sees each display change its presence file, then starts the show:
    # a second LMControl on the folder hands "--start" to the one that runs.
    sleep 2
    if ! (cd "$run/control" && DISPLAY="$control_display" "$lmcontrol" --start show.txt) \
        >>"$dir/control.log" 2>&1; then
        echo "  LMControl --start was not taken:" >&2
        cat "$dir/control.log" >&2
        exit 1
    fi

    local began ends cpu_from="" cpu_to="" names=() before=() done_now=0
    began=$(date +%s)
    ends=$((began + 120 + cpu + handoffs * 12 / (displays - 1)))
    names=(LMControl)
    for n in $(seq "$displays"); do
        names+=("Velisto $n")
    done
    local watched=("$control_pid" "${velisto_pids[@]}")
    while :; do
        done_now=$(handoffs_done "$dir" "$displays")
        if [ "$cpu" -gt 0 ]; then
            # From display 1's start of the show's first item.
            if [ -z "$cpu_from" ] && [ -f "$dir/tick1.tsv" ] &&
                awk -F'\t' '$1 == "start" && $3 != "-1" { found = 1 } END { exit !found }' \
                    "$dir/tick1.tsv"; then
                cpu_from=$(now_us)
                before=()
                for n in "${!watched[@]}"; do
                    before+=("$(cpu_ns "${watched[$n]}")")
                done
            elif [ -n "$cpu_from" ] && [ -z "$cpu_to" ] &&
                [ $(($(now_us) - cpu_from)) -ge $((cpu * 1000000)) ]; then
                cpu_to=$(now_us)
                {
                    printf 'window\t%s\t%s\n' "$cpu_from" "$cpu_to"
                    for n in "${!watched[@]}"; do
                        printf 'cpu\t%s\t%s\n' "${names[$n]}" \
                            "$(($(cpu_ns "${watched[$n]}") - before[n]))"
                    done
                } >"$dir/cpu.tsv"
            fi
        fi
        if [ "$done_now" -ge "$handoffs" ] && { [ "$cpu" -eq 0 ] || [ -n "$cpu_to" ]; }; then
            break
        fi
        if [ "$(date +%s)" -gt "$ends" ]; then
            echo "  only $done_now hand-offs after $((ends - began)) s; see $dir" >&2
            break
        fi
        sleep 0.5
    done
    printf 'load\t%s\n' "$(cut -d' ' -f1-3 /proc/loadavg)" >>"$dir/run.tsv"
    printf 'seconds\t%s\n' "$(($(date +%s) - began))" >>"$dir/run.tsv"
    stop_programs
    unmount_all
    rm -rf "$run"
    wall_ran=1
}

# One record per hand-off of the traces of DIR (tab-separated; times in ms):
#   handoff <from> <head> <k> <k equal: 1|0> <scheduled offset> <handler offset> <start how>
#           <handler − instant or -> <replayed ticks at the start> <ticks due at the start>
#           <answer written to job written or -> <job written to job read or ->
#           <display n's next tick (scheduled) to its answer written or ->
#   chain <head> <scheduled lag> <handler lag>     (display 1 to N, less the transits)
#   missing <from> <head>                          (display n + 1 never gave its next answer)
# Offsets: display n + 1's next tick less display n's, less k × 100 ms, k being the tick count
# of display n + 1's next tick. The hand-offs of the show's first item come as "first" and
# "firstchain" records, left out of the figures: the control program switches its watchers on
# one per starter tick (3 s at "中"), so that item may reach display n's edge before the
# watcher that hands it on to display n + 1 runs, whatever the wake-ups do.
handoff_records() {
    local dir=$1 displays=$2 n files=()
    for n in $(seq "$displays"); do
        files+=("$dir/tick$n.tsv")
    done
    [ -f "$dir/jobs.tsv" ] && files+=("$dir/jobs.tsv")
    awk -v displays="$displays" -v transit="$transit_us" '
        BEGIN { FS = OFS = "\t" }
        function ms(us) { return sprintf("%.3f", us / 1000) }
        function abs(x) { return x < 0 ? -x : x }
        FILENAME ~ /jobs\.tsv$/ {
            if ($1 == "job") { d = $2; jn[d]++; jhead[d, jn[d]] = $3; jat[d, jn[d]] = $4 }
            next
        }
        $1 == "start" {
            d = $2; sn[d]++; s = sn[d]
            shead[d, s] = $3; show[d, s] = $4; sinst[d, s] = $5; sat[d, s] = $6
            cur[d] = s
            next
        }
        $1 == "tick" {
            d = $2
            if (!(d in last) || $5 + 0 > last[d]) last[d] = $5 + 0
            s = cur[d]
            own = s != "" && $3 == shead[d, s]
            if (own) {
                # The ticks run at the start before the first one painted: replayed.
                if (!((d, s) in painted)) {
                    if ($7 == "replayed") replayed[d, s]++; else painted[d, s] = 1
                }
                if ($5 + 0 <= sat[d, s] + 0) due[d, s]++
            }
            # Not the blank "stop" job (line 1 "-1") that the control program starts with.
            if ($8 ~ /^next/ && $3 != "-1") {
                nn[d]++; i = nn[d]
                nhead[d, i] = $3; nk[d, i] = $4; nat[d, i] = $5; nrun[d, i] = $6; nans[d, i] = $9
                nstart[d, i] = own ? s : ""
            }
        }
        END {
            for (d = 1; d < displays; d++) {
                e = d + 1
                for (i = 1; i <= nn[d]; i++) {
                    # Display n + 1 gives its next answer k ticks after display n; the same head
                    # comes back only a round of five items later.
                    best = ""; bestGap = 1e6
                    for (j = 1; j <= nn[e]; j++) {
                        if (nhead[e, j] != nhead[d, i]) continue
                        gap = abs(nat[e, j] - nat[d, i] - nk[d, i] * transit)
                        if (gap < bestGap) { bestGap = gap; best = j }
                    }
                    if (best == "") {
                        if (nat[d, i] + nk[d, i] * transit + 2e6 <= last[e] + 0)
                            print "missing", d, nhead[d, i]
                        continue
                    }
                    after[d, i] = best
                    k = nk[e, best]
                    s = nstart[e, best]
                    how = s != "" ? show[e, s] : "none"
                    delay = how == "instant" ? ms(sat[e, s] - sinst[e, s]) : "-"
                    job = ""
                    if (nans[d, i] != "") {
                        for (m = 1; m <= jn[e]; m++) {
                            if (jhead[e, m] != nhead[d, i]) continue
                            g = jat[e, m] - nans[d, i]
                            if (g > -1e6 && g < 2e6 && (job == "" || abs(g) < abs(jobGap))) {
                                job = m; jobGap = g
                            }
                        }
                    }
                    control = job != "" ? ms(jobGap) : "-"
                    read = job != "" && s != "" ? ms(sat[e, s] - jat[e, job]) : "-"
                    answered = nans[d, i] != "" ? ms(nans[d, i] - nat[d, i]) : "-"
                    print (i == 1 ? "first" : "handoff"), d, nhead[d, i], k, (k == nk[d, i]) ? 1 : 0,
                          ms(nat[e, best] - nat[d, i] - k * transit),
                          ms(nrun[e, best] - nrun[d, i] - k * transit), how, delay,
                          s != "" ? replayed[e, s] + 0 : 0, s != "" ? due[e, s] + 0 : 0,
                          control, read, answered
                }
            }
            if (displays < 3) exit
            for (i = 1; i <= nn[1]; i++) {
                j = i; ticks = 0
                for (d = 1; d < displays && j != ""; d++) {
                    j = ((d, j) in after) ? after[d, j] : ""
                    if (j != "") ticks += nk[d + 1, j]
                }
                if (j == "") continue
                print (i == 1 ? "firstchain" : "chain"), nhead[1, i], ms(nat[displays, j] - nat[1, i] - ticks * transit),
                      ms(nrun[displays, j] - nrun[1, i] - ticks * transit)
            }
        }' "${files[@]}"
}

# Of the numbers on stdin: "count median p90 p99 worst" where median is of the values as they
# are and p90, p99 and worst of their sizes (nearest rank); worst keeps its sign.
spread() {
    awk '{ v[NR] = $1 + 0; a[NR] = $1 < 0 ? -$1 : $1 + 0 }
        function sorted(x, n,   i, j, t) {
            for (i = 2; i <= n; i++) {
                t = x[i]
                for (j = i - 1; j >= 1 && x[j] > t; j--) x[j + 1] = x[j]
                x[j + 1] = t
            }
        }
        function rank(p, n) { return int(p * n - 1e-9) + 1 }
        END {
            if (NR == 0) { print "0 - - - -"; exit }
            worst = v[1]
            for (i = 2; i <= NR; i++) if (a[i] > (worst < 0 ? -worst : worst)) worst = v[i]
            sorted(v, NR); sorted(a, NR)
            printf "%d %.2f %.2f %.2f %.2f\n", NR, v[rank(0.5, NR)], a[rank(0.9, NR)],
                   a[rank(0.99, NR)], worst
        }'
}

# Of the numbers on stdin: "count median p90 p99 worst", all of the values as they are.
quantiles() {
    sort -g | awk '{ v[NR] = $1 }
        function at(p) { return v[int(p * NR - 1e-9) + 1] }
        END {
            if (NR == 0) { print "0 - - - -"; exit }
            printf "%d %.1f %.1f %.1f %.1f\n", NR, at(0.5), at(0.9), at(0.99), v[NR]
        }'
}

# Column c of the hand-off records in FILE, without the "-".
column_of() {
    awk -F'\t' -v c="$2" '$1 == "handoff" && $c != "-" { print $c }' "$1"
}

# "n (1×a, 2×b)": the starts with replayed ticks and how many intervals each caught up.
catch_ups() {
    awk -F'\t' '$1 == "handoff" && $10 > 0 { count[$10]++; all++ }
        END {
            if (all == 0) { print "0"; exit }
            line = ""
            for (k = 1; k <= 1000; k++) if (k in count) line = line (line == "" ? "" : ", ") k "×" count[k]
            printf "%d (%s)\n", all, line
        }' "$1"
}

# "a of n" of the hand-offs whose column c equals the value.
share_of() {
    awk -F'\t' -v c="$2" -v value="$3" \
        '$1 == "handoff" { all++; if ($c == value) hit++ }
         END { printf "%d of %d\n", hit, all }' "$1"
}

# What the figures leave out of the records in FILE: the first item's hand-offs, and anything
# that reads oddly.
remarks() {
    awk -F'\t' '$1 == "missing" { missing++ } $1 == "handoff" && $5 == 0 { kdiff++ }
        $1 == "first" { run = run sep $7; control = control sep $12; late = late sep $9; sep = ", " }
        END {
            if (run != "") printf " First item (left out): handler offsets %s ms; answer to job %s ms; job read less the instant %s ms.", run, control, late
            if (missing) printf " %d hand-offs that display n + 1 never answered.", missing
            if (kdiff) printf " %d hand-offs with another k on display n + 1.", kdiff
        }' "$1"
}

share_name() {
    if [ "$1" = control ]; then echo "on the control computer"; else echo "on a file server"; fi
}

# "median / p99 / worst ms" of the numbers on stdin (spread).
in_unison() {
    local med p99 worst
    read -r _ med _ p99 worst < <(spread)
    echo "$med / $p99 / $worst ms"
}

# How many hand-offs of FILE found a tick already due when display n + 1 took the job up.
ticks_due() {
    awk -F'\t' '$1 == "handoff" && $11 > 0 { n++ } END { print n + 0 }' "$1"
}

# The load and length of the run in DIR, and the remarks on its records.
run_note() {
    echo "$(awk -F'\t' '{ printf "%s %s; ", $1, $2 }' "$1/run.tsv")$(remarks "$1/records.tsv")"
}

started=$(date +%s)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
rm -rf "$keep"
mkdir -p "$keep"
notes=()

unison_rows=()
lag_rows=()
if [ "$parts" != wakeups ]; then
    for displays in 2 4; do
        for share in control server; do
            for instants in off on; do
                dir="$keep/unison-$displays-$share-instants-$instants"
                name="$displays displays, share $(share_name "$share"), instants $instants"
                echo "unison: $name" >&2
                run_wall "$dir" "$displays" "$share" "$instants" on 0
                records="$dir/records.tsv"
                handoff_records "$dir" "$displays" >"$records"
                notes+=("unison, $name: $(run_note "$dir")")
                mode=$([ "$instants" = on ] && echo "new (instants)" || echo "old (on arrival)")
                unison_rows+=("| $displays | $(share_name "$share") | $mode \
| $(column_of "$records" 6 | wc -l) | $(share_of "$records" 8 instant) \
| $(column_of "$records" 6 | in_unison) | $(column_of "$records" 7 | in_unison) \
| $(catch_ups "$records") | $(ticks_due "$records") |")
                if [ "$displays" -eq 4 ]; then
                    lag_rows+=("| $(share_name "$share") | $mode \
| $(awk -F'\t' '$1 == "chain"' "$records" | wc -l) \
| $(awk -F'\t' '$1 == "chain" { print $3 }' "$records" | in_unison) \
| $(awk -F'\t' '$1 == "chain" { print $4 }' "$records" | in_unison) |")
                fi
            done
        done
    done
fi

control_rows=()
wakeup_modes=${LM_PERF_WAKEUPS:-on off}
instant_rows=()
cpu_rows=()
if [ "$parts" != unison ]; then
    for displays in ${LM_PERF_DISPLAYS:-2 4}; do
        for wakeups in $wakeup_modes; do
            dir="$keep/wakeups-$displays-$wakeups"
            echo "wake-ups: $displays displays, wake-ups $wakeups" >&2
            run_wall "$dir" "$displays" server on "$wakeups" "$seconds"
            records="$dir/records.tsv"
            handoff_records "$dir" "$displays" >"$records"
            notes+=("wake-ups, $displays displays, wake-ups $wakeups: $(run_note "$dir")")
            mode=$([ "$wakeups" = on ] && echo "with" || echo "without")
            read -r count med p90 p99 worst < <(column_of "$records" 12 | quantiles)
            control_rows+=("| $displays | $mode | $count | $med ms | $p90 ms | $p99 ms | $worst ms |")
            read -r _ med _ p99 worst < <(column_of "$records" 9 | quantiles)
            read -r _ read_med _ read_p99 _ < <(column_of "$records" 13 | quantiles)
            read -r _ answer_med _ answer_p99 _ < <(column_of "$records" 14 | quantiles)
            instant_rows+=("| $displays | $mode | $(share_of "$records" 8 instant) \
| $med ms | $p99 ms | $worst ms | $(share_of "$records" 8 arrival | cut -d' ' -f1) \
| $(catch_ups "$records") | $(ticks_due "$records") | $answer_med / $answer_p99 ms \
| $read_med / $read_p99 ms |")
        done
        # CPU: percent of one core over the window, with and without, and per item sent to
        # display 1 in the window (the show runs a little faster with the wake-ups).
        # Only with both modes in this run (wall-cpu.sh runs them apart and compares).
        [[ " $wakeup_modes " == *" on "* && " $wakeup_modes " == *" off "* ]] || continue
        cpu_rows+=("$(
            for wakeups in on off; do
                dir="$keep/wakeups-$displays-$wakeups"
                awk -F'\t' -v mode="$wakeups" '
                    FILENAME ~ /cpu\.tsv$/ && $1 == "window" { from = $2; to = $3; next }
                    FILENAME ~ /cpu\.tsv$/ && $1 == "cpu" { ns[$2] = $3; next }
                    $1 == "job" && $2 == 1 && $4 + 0 >= from + 0 && $4 + 0 <= to + 0 { items++ }
                    END {
                        for (p in ns) printf "%s\t%s\t%.6f\t%d\t%.3f\n", mode, p,
                            ns[p] / 1e3 / (to - from), items, ns[p] / 1e6
                    }' "$dir/cpu.tsv" "$dir/jobs.tsv"
            done | awk -F'\t' -v displays="$displays" '
                { name = $2; if (name ~ /^Velisto/) { name = "Velisto (mean of the " displays ")" }
                  share[$1, name] += $3; count[$1, name]++; items[$1] = $4; ms[$1, name] += $5
                  names[name] = 1 }
                END {
                    for (p in names) {
                        on = 100 * share["on", p] / count["on", p]
                        off = 100 * share["off", p] / count["off", p]
                        perItem = "-"
                        if (items["on"] > 0 && items["off"] > 0 && ms["off", p] > 0) {
                            perOn = ms["on", p] / items["on"]
                            perOff = ms["off", p] / items["off"]
                            perItem = sprintf("%+.1f %%", 100 * (perOn - perOff) / perOff)
                        }
                        printf "| %d | %s | %.2f %% | %.2f %% | %+.1f %% | %d / %d | %s |\n",
                               displays, p, on, off, (off > 0 ? 100 * (on - off) / off : 0),
                               items["on"], items["off"], perItem
                    }
                }' | sort
        )")
    done
fi

{
    echo "Run of $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$perf_root" rev-parse --short HEAD), $(( ($(date +%s) - started) / 60 )) min; $handoffs hand-offs per configuration."
    echo
    machine_description | sed 's/^/- /'
    echo "- Load average at the start: $load_before; at the end: $(cut -d' ' -f1-3 /proc/loadavg)."
    if [ ${#unison_rows[@]} -gt 0 ]; then
        echo
        echo "Ticks in unison: display n + 1's next tick less display n's, less the item's k ticks of 100 ms (median / p99 / worst; p99 and worst of the size):"
        echo
        echo "| Displays | Share | Mode | Hand-offs | Started on an instant | Scheduled | Handlers | Catch-ups (intervals) | Starts with a tick due |"
        echo "|---|---|---|---|---|---|---|---|---|"
        printf '%s\n' "${unison_rows[@]}"
        echo
        echo "Lag at the end of the chain: display 4's next tick less display 1's, less three transits (median / p99 / worst):"
        echo
        echo "| Share | Mode | Items through all four | Scheduled | Handlers |"
        echo "|---|---|---|---|---|"
        printf '%s\n' "${lag_rows[@]}"
    fi
    if [ ${#control_rows[@]} -gt 0 ]; then
        echo
        echo "Wake-ups across a share, every program on a mount of a file server's folder. Control half: display n's answer written to display n + 1's job written:"
        echo
        echo "| Displays | Wake-ups | Hand-offs | Median | p90 | p99 | Worst |"
        echo "|---|---|---|---|---|---|---|"
        printf '%s\n' "${control_rows[@]}"
        echo
        echo "Job read by display n + 1 less the instant (starts on an instant; median, p99, worst), and two of its parts (median / p99): display n's next tick to its answer written, and display n + 1's job written to read (the control half between them is above):"
        echo
        echo "| Displays | Wake-ups | Started on an instant | Median | p99 | Worst | Started on arrival | Catch-ups (intervals) | Starts with a tick due | Tick to answer written | Job written to read |"
        echo "|---|---|---|---|---|---|---|---|---|---|---|"
        printf '%s\n' "${instant_rows[@]}"
        if [ ${#cpu_rows[@]} -gt 0 ]; then
            echo
            echo "CPU of each program over $seconds s of the show (percent of one core):"
            echo
            echo "| Displays | Program | With wake-ups | Without | Change | Items sent to display 1 | Change per item |"
            echo "|---|---|---|---|---|---|---|"
            printf '%s\n' "${cpu_rows[@]}"
        fi
    fi
    echo
    echo "Configurations:"
    echo
    printf -- '- %s\n' "${notes[@]}"
} | tee "$out"
