#!/usr/bin/env bash
# Every benchmark figure of the clock, side by side with `xclock -digital -update 1` under
# one Xvfb of our own, as a table of median, min and max. Release build. Takes about 5 minutes.
# RUNS, IDLE_SECONDS, LAG_TICKS and SWINGS shorten or lengthen it.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-10}
IDLE_SECONDS=${IDLE_SECONDS:-120}
LAG_TICKS=${LAG_TICKS:-60}
SWINGS=${SWINGS:-5}

tools/install-deps.sh bench
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" >/dev/null
BIN=build-release/koruva
BENCH=build-release/bench
WORK=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

# Sets server_pid and server_display to a new Xvfb.
start_server() {
    rm -f "$WORK/displayfd" && mkfifo "$WORK/displayfd"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$WORK/displayfd" 2>/dev/null &
    server_pid=$!
    pids+=("$server_pid")
    read -r server_display <"$WORK/displayfd"
}
start_server
export DISPLAY=":$server_display"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

# median min max of the numbers on stdin
stats() { sort -g | awk '{v[NR] = $1} END {if (NR == 0) {print "- - -"; exit} m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.6g %.6g %.6g\n", m, v[1], v[NR]}'; }
# CPU time of all the process's threads in nanoseconds: schedstat is exact where the tick
# counts of /proc/PID/stat only resolve 10 ms.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{s += $1} END {printf "%d\n", s}'; }
# Wake-ups of all the process's threads: each voluntary context switch is one sleep, so one
# wake-up after it.
wakeups() { cat /proc/"$1"/task/*/status | awk '$1 == "voluntary_ctxt_switches:" {s += $2} END {printf "%d\n", s}'; }
status_kb() { awk -v key="$2:" '$1 == key {print $2}' "/proc/$1/status"; }

new_folder() {
    local dir
    dir=$(mktemp -d "$WORK/app.XXXX")
    cp "$BIN" "$dir/koruva"
    echo "$dir"
}

echo "start-up: $RUNS runs each" >&2
: >"$WORK/start.ours" && : >"$WORK/start.xclock" && : >"$WORK/start.big"
for _ in $(seq "$RUNS"); do
    dir=$(new_folder)
    read -r pid _ paint < <("$BENCH/startwatch" "$dir/koruva" 2>/dev/null)
    kill "$pid"; wait "$pid" 2>/dev/null || true
    echo "$paint" >>"$WORK/start.ours"
    read -r pid _ paint < <("$BENCH/startwatch" xclock -digital -update 1 2>/dev/null)
    kill "$pid"; wait "$pid" 2>/dev/null || true
    echo "$paint" >>"$WORK/start.xclock"
done
# A wrong file copied over setting.dat: 48 MB, larger than any position file, so not read.
dir=$(new_folder)
{ printf '1500\r\n3000\r\n'; yes 9 | head -n 16000000 | sed 's/$/\r/'; } >"$dir/setting.dat"
for _ in $(seq 5); do
    read -r pid _ paint < <("$BENCH/startwatch" "$dir/koruva" 2>/dev/null)
    kill "$pid"; wait "$pid" 2>/dev/null || true
    echo "$paint" >>"$WORK/start.big"
done

echo "idle: ${IDLE_SECONDS} s of both clocks, face lag over $LAG_TICKS ticks meanwhile" >&2
# Each clock on an X server of its own, so the drawing each leaves to its server (xclock
# draws its text in the server, we draw ours ourselves) can be counted too.
start_server
ours_server=$server_pid
dir=$(new_folder)
DISPLAY=":$server_display" "$dir/koruva" 2>/dev/null &
ours=$!
pids+=("$ours")
start_server
theirs_server=$server_pid
DISPLAY=":$server_display" xclock -digital -update 1 &
theirs=$!
pids+=("$theirs")
"$BENCH/bench_clock" lag "$LAG_TICKS" 2>/dev/null >"$WORK/lag" &
lagpid=$!
# Start-up is over, and so are the one-shot timers Qt arms at start-up (one fires about 28 s
# in); only the ticking remains.
sleep 35
: >"$WORK/idle.ours" && : >"$WORK/idle.xclock"
window=$((IDLE_SECONDS / 4))
# Each window starts and ends half way between two turns of the second, so both clocks' ticks
# fall inside it the same number of times.
half_second() { sleep "$(date +%N | awk '{n = $1 + 0; printf "%.3f", ((n < 5e8 ? 5e8 : 15e8) - n) / 1e9}')"; }
for _ in 1 2 3 4; do
    half_second
    a0=$(cpu_ns "$ours") b0=$(cpu_ns "$theirs") c0=$(cpu_ns "$ours_server") d0=$(cpu_ns "$theirs_server")
    e0=$(wakeups "$ours") f0=$(wakeups "$theirs") g0=$(wakeups "$ours_server") h0=$(wakeups "$theirs_server")
    sleep "$window"
    a1=$(cpu_ns "$ours") b1=$(cpu_ns "$theirs") c1=$(cpu_ns "$ours_server") d1=$(cpu_ns "$theirs_server")
    e1=$(wakeups "$ours") f1=$(wakeups "$theirs") g1=$(wakeups "$ours_server") h1=$(wakeups "$theirs_server")
    awk -v d=$((e1 - e0)) -v w="$window" 'BEGIN {print d / w}' >>"$WORK/wake.ours"
    awk -v d=$((f1 - f0)) -v w="$window" 'BEGIN {print d / w}' >>"$WORK/wake.xclock"
    awk -v d=$((g1 - g0)) -v w="$window" 'BEGIN {print d / w}' >>"$WORK/wakex.ours"
    awk -v d=$((h1 - h0)) -v w="$window" 'BEGIN {print d / w}' >>"$WORK/wakex.xclock"
    awk -v d=$((a1 - a0)) -v w="$window" 'BEGIN {print d / 1e9 / w * 3600}' >>"$WORK/idle.ours"
    awk -v d=$((b1 - b0)) -v w="$window" 'BEGIN {print d / 1e9 / w * 3600}' >>"$WORK/idle.xclock"
    awk -v d=$((a1 - a0 + c1 - c0)) -v w="$window" 'BEGIN {print d / 1e9 / w * 3600}' >>"$WORK/idlex.ours"
    awk -v d=$((b1 - b0 + d1 - d0)) -v w="$window" 'BEGIN {print d / 1e9 / w * 3600}' >>"$WORK/idlex.xclock"
    status_kb "$ours" VmRSS >>"$WORK/rss.ours"
    status_kb "$theirs" VmRSS >>"$WORK/rss.xclock"
    awk '$1 == "Pss:" {print $2}' "/proc/$ours/smaps_rollup" >>"$WORK/pss.ours"
    awk '$1 == "Pss:" {print $2}' "/proc/$theirs/smaps_rollup" >>"$WORK/pss.xclock"
done
status_kb "$ours" VmHWM >"$WORK/hwm.ours"
status_kb "$theirs" VmHWM >"$WORK/hwm.xclock"
wait "$lagpid" || true
kill "$ours" "$theirs" "$ours_server" "$theirs_server"

echo "tick cost under callgrind" >&2
irs() {
    valgrind --tool=callgrind --callgrind-out-file="$WORK/cg.out" "$BENCH/bench_clock" ticks "$1" >/dev/null 2>&1
    awk '/^(summary|totals):/ {print $2; exit}' "$WORK/cg.out"
}
ir100=$(irs 100)
ir600=$(irs 600)
echo $(((ir600 - ir100) / 500)) >"$WORK/tick"

echo "swing: $SWINGS in-process, $SWINGS on the X server" >&2
"$BENCH/bench_clock" swing "$SWINGS" 2>/dev/null >"$WORK/swing"
dir=$(new_folder)
"$dir/koruva" 2>/dev/null &
ours=$!
pids+=("$ours")
wid=
until [ -n "$wid" ]; do wid=$(xdotool search --onlyvisible --name '^Velomire -KORUVA!-$' 2>/dev/null | head -n 1) || sleep 0.05; done
: >"$WORK/swingcpu"
for i in $(seq "$SWINGS"); do
    # A fresh point each time: Qt drops a motion to the very point it saw last.
    xdotool mousemove --window "$wid" $((100 + 2 * i)) 132 mousemove --window "$wid" $((101 + 2 * i)) 132
    a0=$(cpu_ns "$ours")
    sleep 8.04
    a1=$(cpu_ns "$ours")
    awk -v d=$((a1 - a0)) 'BEGIN {print d / 1e9 / 8.04 * 100}' >>"$WORK/swingcpu"
    xdotool mousemove 0 0
    sleep 0.5
done
kill "$ours"

row() { # ours file, xclock file or "", goal text, goal test on the median (awk expr with m, x; "-" for none), figure
    read -r m lo hi < <(stats <"$1")
    local xs="-" ratio="-" x=""
    if [ -n "$2" ]; then
        read -r x xlo xhi < <(stats <"$2")
        xs="$x ($xlo–$xhi)"
        ratio=$(awk -v a="$m" -v b="$x" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "-"}')
    fi
    local met="-"
    [ "$4" = "-" ] || met=$(awk -v m="$m" -v x="${x:-0}" "BEGIN {print ($4) ? \"met\" : \"not met\"}")
    printf '| %s | %s (%s–%s) | %s | %s | %s | %s |\n' "$5" "$m" "$lo" "$hi" "$xs" "$ratio" "$3" "$met"
}
awk '{print $1}' "$WORK/swing" >"$WORK/swing.wall"
awk '{print $2 * 100}' "$WORK/swing" >"$WORK/swing.cpu"

echo
echo "Machine: $(uname -srm), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
echo "Build: Release, $(g++ --version | head -n 1), Qt $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null), commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
echo "Peer: xclock -digital -update 1 ($(dpkg-query -W -f='x11-apps ${Version}' x11-apps 2>/dev/null)); X server: Xvfb 1280x800x24, no window manager (one per clock for the idle figures)"
echo
echo "| figure | ours: median (min–max) | xclock: median (min–max) | ours / xclock | goal | met |"
echo "|---|---|---|---|---|---|"
row "$WORK/start.ours" "$WORK/start.xclock" "no slower than xclock" 'm <= x' "start-up, exec to first paint, ms"
row "$WORK/start.big" "" "(reported)" '-' "start-up beside a 48 MB setting.dat (not read), exec to first paint, ms"
row "$WORK/idle.ours" "$WORK/idle.xclock" "no more than xclock" 'm <= x' "idle CPU, s per hour"
row "$WORK/idlex.ours" "$WORK/idlex.xclock" "no more than xclock" 'm <= x' "idle CPU with the X server's share, s per hour"
row "$WORK/wake.ours" "$WORK/wake.xclock" "no more than xclock" 'm <= x' "idle wake-ups per second, all threads"
row "$WORK/wakex.ours" "$WORK/wakex.xclock" "(reported)" '-' "idle wake-ups per second of the X server"
row "$WORK/rss.ours" "$WORK/rss.xclock" "under 30 MB" 'm < 30720' "resident memory VmRSS, kB"
row "$WORK/pss.ours" "$WORK/pss.xclock" "(reported: shared library pages counted by share)" '-' "proportional memory Pss, kB"
row "$WORK/hwm.ours" "$WORK/hwm.xclock" "under 30 MB" 'm < 30720' "peak resident memory VmHWM, kB"
row "$WORK/tick" "" "(reported)" '-' "instructions per face refresh (callgrind)"
sort -g "$WORK/lag" | awk '{v[NR] = $1} END {printf "%s\n%s\n", v[int(NR * 0.5 + 0.5)], v[int(NR * 0.99 + 0.5)]}' >"$WORK/lag.p"
printf '| face lag after the turn of the second, ms | p50 %s, p99 %s, max %s over %d ticks | - | - | p99 under 20 ms | %s |\n' \
    "$(sed -n 1p "$WORK/lag.p")" "$(sed -n 2p "$WORK/lag.p")" "$(sort -g "$WORK/lag" | tail -n 1)" "$(wc -l <"$WORK/lag")" \
    "$(awk -v p="$(sed -n 2p "$WORK/lag.p")" 'BEGIN {print (p < 20) ? "met" : "not met"}')"
row "$WORK/swing.wall" "" "within 1% of 8.04 s" 'm >= 7.9596 && m <= 8.1204' "swing wall time, s (in-process)"
row "$WORK/swing.cpu" "" "under 2% of a core" 'm < 2' "CPU during a swing, % of a core (in-process, offscreen)"
row "$WORK/swingcpu" "" "under 2% of a core" 'm < 2' "CPU during a swing, % of a core (the program on Xvfb)"
