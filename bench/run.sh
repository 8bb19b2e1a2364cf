#!/usr/bin/env bash
# Every benchmark figure of the clock, side by side with `xclock -digital -update 1` and, for
# the idle figures, conky showing two lines of time once a second in a window of its own, under
# Xvfbs of our own, as a table of median, min and max. Release build. Takes about 7 minutes.
# RUNS, IDLE_SECONDS, LAG_TICKS, SWINGS and PROFILE_SECONDS shorten or lengthen it.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-10}
IDLE_SECONDS=${IDLE_SECONDS:-120}
LAG_TICKS=${LAG_TICKS:-60}
SWINGS=${SWINGS:-5}
PROFILE_SECONDS=${PROFILE_SECONDS:-20}

tools/install-deps.sh bench
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" >/dev/null
BIN=build-release/koruva
BENCH=build-release/bench
# The X servers and desktops of the end-to-end tests (new_xvfb, desktops.txt).
source tests/e2e/lib.sh
WORK=$(mktemp -d)
pids=()
end_bench() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap end_bench EXIT

# A new Xvfb, ended with the bench: sets XVFB_PID and XVFB_DISPLAY.
start_server() {
    new_xvfb || { echo "Xvfb did not start" >&2; exit 1; }
    pids+=("$XVFB_PID")
}
start_server
export DISPLAY=$XVFB_DISPLAY
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
# The clocks on bare servers have no session bus, and none autolaunched by libdbus to outlive
# them; under a desktop the clock shares the desktop's, as in the end-to-end tests.
no_session_bus

# median min max of the numbers on stdin
stats() { sort -g | awk '{v[NR] = $1} END {if (NR == 0) {print "- - -"; exit} m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.6g %.6g %.6g\n", m, v[1], v[NR]}'; }
# CPU time of all the process's threads in nanoseconds: schedstat is exact where the tick
# counts of /proc/PID/stat only resolve 10 ms.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{s += $1} END {printf "%d\n", s}'; }
# Wake-ups of all the process's threads: each voluntary context switch is one sleep, so one
# wake-up after it.
wakeups() { cat /proc/"$1"/task/*/status | awk '$1 == "voluntary_ctxt_switches:" {s += $2} END {printf "%d\n", s}'; }
status_kb() { awk -v key="$2:" '$1 == key {print $2}' "/proc/$1/status"; }

# conky as a clock: the date and the time on two lines, refreshed every second, in a window of
# its own, drawn with Xft.
cat >"$WORK/conky.conf" <<'EOF'
conky.config = {
    out_to_x = true, out_to_console = false, background = false,
    own_window = true, own_window_type = 'normal', own_window_title = 'conky-clock',
    update_interval = 1, use_xft = true, font = 'DejaVu Sans:pixelsize=40', double_buffer = true,
}
conky.text = [[
${time %x %a}
${time %X}
]]
EOF
CONKY=(conky -q -c "$WORK/conky.conf")

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
{ printf '1500\r\n3000\r\n'; awk 'BEGIN { for (i = 0; i < 16000000; i++) printf "9\r\n" }'; } >"$dir/setting.dat"
for _ in $(seq 5); do
    read -r pid _ paint < <("$BENCH/startwatch" "$dir/koruva" 2>/dev/null)
    kill "$pid"; wait "$pid" 2>/dev/null || true
    echo "$paint" >>"$WORK/start.big"
done

# A restart with a saved position under each desktop of tests/e2e/desktops.txt that the bench
# runs and that can be started here, each on a display of its own as the end-to-end tests start
# them: exec to the first paint of the clock's own window (docs/bench.md says why not weston).
DESKTOPS=${DESKTOPS:-$(desktops_for bench | xargs)}
echo "restart under each desktop: $RUNS runs each" >&2
for wm in $DESKTOPS; do
    results="$WORK/restart.$wm"
    : >"$results"
    why=$(desktop_missing "$wm")
    [ -z "$why" ] || { echo "$wm: not measured: $why" >&2; continue; }
    (
        e2e_work "$BIN" # a WORK of its own, and its cleanup
        start_display "$wm"
        dir=$(new_program_folder)
        crlf 3000 1500 >"$dir/setting.dat"
        for _ in $(seq "$RUNS"); do
            read -r pid _ paint < <("$BENCH/startwatch" "$dir/koruva" 2>/dev/null)
            kill "$pid"
            echo "$paint" >>"$results"
        done
    ) >"$results.log" 2>&1 || echo "$wm: not measured: $(tail -n 1 "$results.log")" >&2
done

echo "idle: ${IDLE_SECONDS} s of the clocks, face lag over $LAG_TICKS ticks meanwhile" >&2
# Each clock on an X server of its own, so the drawing each leaves to its server (xclock
# draws its text in the server, we draw ours ourselves) can be counted too.
# ours_ja: ours with Japanese regional settings, beside the C locale's.
CLOCKS=(ours ours_ja xclock conky)
declare -A clock_pid server_pid
start_idle_clock() { # name, command...
    local name=$1
    shift
    start_server
    server_pid[$name]=$XVFB_PID
    DISPLAY=$XVFB_DISPLAY "$@" >/dev/null 2>&1 &
    clock_pid[$name]=$!
    pids+=("$!")
}
dir=$(new_folder)
start_idle_clock ours "$dir/koruva"
start_idle_clock ours_ja env LC_ALL=ja_JP.UTF-8 "$dir/koruva"
start_idle_clock xclock xclock -digital -update 1
start_idle_clock conky "${CONKY[@]}"
"$BENCH/bench_clock" lag "$LAG_TICKS" 2>/dev/null >"$WORK/lag" &
lagpid=$!
# Start-up is over, and so are the one-shot timers Qt arms at start-up (one fires about 28 s
# in); only the ticking remains.
sleep 35
window=$((IDLE_SECONDS / 4))
# Each window starts and ends half way between two turns of the second, so both clocks' ticks
# fall inside it the same number of times.
half_second() { sleep "$(date +%N | awk '{n = $1 + 0; printf "%.3f", ((n < 5e8 ? 5e8 : 15e8) - n) / 1e9}')"; }
per_second() { awk -v d="$1" -v w="$window" 'BEGIN {print d / w}'; }
seconds_per_hour() { awk -v d="$1" -v w="$window" 'BEGIN {print d / 1e9 / w * 3600}'; }
declare -A cpu_before server_cpu_before wakeups_before server_wakeups_before
for _ in 1 2 3 4; do
    half_second
    for clock in "${CLOCKS[@]}"; do
        cpu_before[$clock]=$(cpu_ns "${clock_pid[$clock]}")
        server_cpu_before[$clock]=$(cpu_ns "${server_pid[$clock]}")
        wakeups_before[$clock]=$(wakeups "${clock_pid[$clock]}")
        server_wakeups_before[$clock]=$(wakeups "${server_pid[$clock]}")
    done
    sleep "$window"
    for clock in "${CLOCKS[@]}"; do
        pid=${clock_pid[$clock]} server=${server_pid[$clock]}
        cpu=$(($(cpu_ns "$pid") - cpu_before[$clock]))
        server_cpu=$(($(cpu_ns "$server") - server_cpu_before[$clock]))
        seconds_per_hour "$cpu" >>"$WORK/idle.$clock"
        seconds_per_hour $((cpu + server_cpu)) >>"$WORK/idlex.$clock"
        per_second $(($(wakeups "$pid") - wakeups_before[$clock])) >>"$WORK/wake.$clock"
        per_second $(($(wakeups "$server") - server_wakeups_before[$clock])) >>"$WORK/wakex.$clock"
        status_kb "$pid" VmRSS >>"$WORK/rss.$clock"
        awk '$1 == "Pss:" {print $2}' "/proc/$pid/smaps_rollup" >>"$WORK/pss.$clock"
    done
done
for clock in "${CLOCKS[@]}"; do
    status_kb "${clock_pid[$clock]}" VmHWM >"$WORK/hwm.$clock"
done
wait "$lagpid" || true
kill "${clock_pid[@]}" "${server_pid[@]}"

echo "tick cost under callgrind" >&2
irs() { # mode, ticks
    valgrind --tool=callgrind --callgrind-out-file="$WORK/cg.out" "$BENCH/bench_clock" "$1" "$2" >/dev/null 2>&1
    awk '/^(summary|totals):/ {print $2; exit}' "$WORK/cg.out"
}
# Qt painting the time, and the time composited for the digit window as on X11 (what is learnt
# once, in the first ticks, left out).
for mode in ticks digit-ticks; do
    ir100=$(irs $mode 100)
    ir600=$(irs $mode 600)
    echo $(((ir600 - ir100) / 500)) >"$WORK/tick.$mode"
done

# The whole process under callgrind on an Xvfb of its own, counting only whole idle seconds
# once start-up and its one-shot timers are over: instructions per tick, and how many
# functions the ticks touch (a tick's cost follows the code it finds cold).
echo "idle ticks under callgrind: $PROFILE_SECONDS s of each clock" >&2
profile() { # name, command...
    local name=$1
    shift
    start_server
    # Children traced: ours_ja is started through env.
    DISPLAY=$XVFB_DISPLAY valgrind --tool=callgrind --instr-atstart=no --trace-children=yes \
        --callgrind-out-file="$WORK/idle.$name.cg" "$@" >/dev/null 2>&1 &
    local pid=$! server=$XVFB_PID
    # Expanded now: the function's locals are gone by the time its subshell ends.
    # shellcheck disable=SC2064
    trap "kill $pid $server 2>/dev/null || true" EXIT
    sleep 40
    half_second
    callgrind_control -i on "$pid" >/dev/null
    sleep "$PROFILE_SECONDS"
    callgrind_control -d "$pid" >/dev/null
    kill "$pid" "$server"
    wait "$pid" 2>/dev/null || true
    local dump
    dump=$(ls "$WORK/idle.$name.cg".* | tail -n 1)
    awk -v s="$PROFILE_SECONDS" '/^(summary|totals):/ {print int($2 / s); exit}' "$dump" >"$WORK/ir.$name"
    callgrind_annotate --threshold=100 --inclusive=no "$dump" 2>/dev/null |
        awk '/^-+$/ {rule++; next} rule >= 3 && $1 ~ /^[0-9,]+$/ && $1 != "0" {n++} END {print n + 0}' >"$WORK/fn.$name"
}
dir=$(new_folder)
profile ours "$dir/koruva" &
profiled=($!)
profile ours_ja env LC_ALL=ja_JP.UTF-8 "$dir/koruva" &
profiled+=($!)
profile xclock xclock -digital -update 1 &
profiled+=($!)
profile conky "${CONKY[@]}" &
profiled+=($!)
wait "${profiled[@]}"

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
    cpu_before_swing=$(cpu_ns "$ours")
    sleep 8.04
    awk -v d=$(($(cpu_ns "$ours") - cpu_before_swing)) 'BEGIN {print d / 1e9 / 8.04 * 100}' >>"$WORK/swingcpu"
    xdotool mousemove 0 0
    sleep 0.5
done
kill "$ours"

# A peer's figures from file $2 and our median $1's ratio to its: sets P (its median), PEER, RATIO.
peer() {
    PEER="-" RATIO="-" P=""
    [ -n "$2" ] && [ -s "$2" ] || return 0
    local plo phi
    read -r P plo phi < <(stats <"$2")
    PEER="$P ($plo–$phi)"
    RATIO=$(awk -v a="$1" -v b="$P" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "-"}')
}
row() { # ours file, xclock file or "", conky file or "", goal text, goal test on the median (awk expr with m, x, c; "-" for none), figure
    [ -s "$1" ] || { printf '| %s | not measured | | | | | %s | - |\n' "$6" "$4"; return 0; }
    local m lo hi
    read -r m lo hi < <(stats <"$1")
    peer "$m" "$2"
    local x=${P:-0} xs=$PEER xr=$RATIO
    peer "$m" "$3"
    local c=${P:-0} cs=$PEER cr=$RATIO
    local met="-"
    [ "$5" = "-" ] || met=$(awk -v m="$m" -v x="$x" -v c="$c" "BEGIN {print ($5) ? \"met\" : \"not met\"}")
    printf '| %s | %s (%s–%s) | %s | %s | %s | %s | %s | %s |\n' "$6" "$m" "$lo" "$hi" "$xs" "$xr" "$cs" "$cr" "$4" "$met"
}
awk '{print $1}' "$WORK/swing" >"$WORK/swing.wall"
awk '{print $2 * 100}' "$WORK/swing" >"$WORK/swing.cpu"

echo
echo "Machine: $(uname -srm), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
echo "Build: Release, $(g++ --version | head -n 1), Qt $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null), commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
echo "Peers: xclock -digital -update 1 ($(dpkg-query -W -f='x11-apps ${Version}' x11-apps 2>/dev/null)); conky, two lines of time, 1 s, Xft, own window ($(dpkg-query -W -f='conky-std ${Version}' conky-std 2>/dev/null)); X server: Xvfb 1280x800x24, no window manager, one per clock for the idle figures"
echo
echo "| figure | ours: median (min–max) | xclock: median (min–max) | ours / xclock | conky: median (min–max) | ours / conky | goal | met |"
echo "|---|---|---|---|---|---|---|---|"
row "$WORK/start.ours" "$WORK/start.xclock" "" "no slower than xclock" 'm <= x' "start-up, exec to first paint, ms"
row "$WORK/start.big" "" "" "(reported)" '-' "start-up beside a 48 MB setting.dat (not read), exec to first paint, ms"
for wm in $DESKTOPS; do
    [ ! -s "$WORK/restart.$wm" ] || row "$WORK/restart.$wm" "" "" "(reported)" '-' "restart with a saved position under $wm, exec to first paint, ms"
done
row "$WORK/idle.ours" "$WORK/idle.xclock" "$WORK/idle.conky" "at or below xclock, below conky" 'm <= x && m < c' "idle CPU, s per hour"
row "$WORK/idle.ours_ja" "$WORK/idle.xclock" "$WORK/idle.conky" "at or below xclock, below conky" 'm <= x && m < c' "idle CPU in ja_JP, s per hour"
row "$WORK/idlex.ours" "$WORK/idlex.xclock" "$WORK/idlex.conky" "(reported)" '-' "idle CPU with the X server's share, s per hour"
row "$WORK/wake.ours" "$WORK/wake.xclock" "$WORK/wake.conky" "one a second, no more than xclock" 'm <= x' "idle wake-ups per second, all threads"
row "$WORK/wakex.ours" "$WORK/wakex.xclock" "$WORK/wakex.conky" "(reported)" '-' "idle wake-ups per second of the X server"
row "$WORK/rss.ours" "$WORK/rss.xclock" "$WORK/rss.conky" "under 30 MB" 'm < 30720' "resident memory VmRSS, kB"
row "$WORK/rss.ours_ja" "$WORK/rss.xclock" "$WORK/rss.conky" "under 30 MB" 'm < 30720' "resident memory VmRSS in ja_JP, kB"
row "$WORK/pss.ours" "$WORK/pss.xclock" "$WORK/pss.conky" "(reported: shared library pages counted by share)" '-' "proportional memory Pss, kB"
row "$WORK/hwm.ours" "$WORK/hwm.xclock" "$WORK/hwm.conky" "under 30 MB" 'm < 30720' "peak resident memory VmHWM, kB"
row "$WORK/ir.ours" "$WORK/ir.xclock" "$WORK/ir.conky" "(reported)" '-' "instructions per idle second, whole process (callgrind)"
row "$WORK/ir.ours_ja" "$WORK/ir.xclock" "$WORK/ir.conky" "(reported)" '-' "the same in ja_JP"
row "$WORK/fn.ours" "$WORK/fn.xclock" "$WORK/fn.conky" "(reported)" '-' "functions the idle ticks touch (callgrind)"
row "$WORK/tick.ticks" "" "" "(reported)" '-' "instructions per face refresh painted by Qt, offscreen, in-process (callgrind)"
row "$WORK/tick.digit-ticks" "" "" "(reported)" '-' "instructions per face refresh composited for the digit window, in-process (callgrind)"
sort -g "$WORK/lag" | awk '{v[NR] = $1} END {printf "%s\n%s\n", v[int(NR * 0.5 + 0.5)], v[int(NR * 0.99 + 0.5)]}' >"$WORK/lag.p"
printf '| face lag after the turn of the second, ms | p50 %s, p99 %s, max %s over %d ticks | - | - | - | - | p99 under 20 ms | %s |\n' \
    "$(sed -n 1p "$WORK/lag.p")" "$(sed -n 2p "$WORK/lag.p")" "$(sort -g "$WORK/lag" | tail -n 1)" "$(wc -l <"$WORK/lag")" \
    "$(awk -v p="$(sed -n 2p "$WORK/lag.p")" 'BEGIN {print (p < 20) ? "met" : "not met"}')"
row "$WORK/swing.wall" "" "" "within 1% of 8.04 s" 'm >= 7.9596 && m <= 8.1204' "swing wall time, s (in-process)"
row "$WORK/swing.cpu" "" "" "under 2% of a core" 'm < 2' "CPU during a swing, % of a core (in-process, offscreen)"
row "$WORK/swingcpu" "" "" "under 2% of a core" 'm < 2' "CPU during a swing, % of a core (the program on Xvfb)"
