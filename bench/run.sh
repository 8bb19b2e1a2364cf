#!/usr/bin/env bash
# Every benchmark figure of the clock, side by side with `xclock -digital -update 1`, conky
# showing two lines of time once a second, a plain Qt clock and the floors of bench/floor_*.cpp
# (what Qt costs when it only wakes, when it paints one tile a second, and the limit: one
# CopyArea a second), under Xvfbs of our own, as tables of median, min and max and of ratios to
# xclock and to the CopyArea floor in the same run. Release build. Takes about 8 minutes.
# RUNS, RESTART_RUNS, ROUNDS, IDLE_SECONDS, LAG_TICKS, SWINGS and PROFILE_SECONDS shorten or
# lengthen it (RUNS=3 ROUNDS=1 IDLE_SECONDS=10 LAG_TICKS=10 SWINGS=1 PROFILE_SECONDS=5 checks
# it works).
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-10}
RESTART_RUNS=${RESTART_RUNS:-3}
ROUNDS=${ROUNDS:-3}
IDLE_SECONDS=${IDLE_SECONDS:-30}
LAG_TICKS=${LAG_TICKS:-60}
SWINGS=${SWINGS:-5}
PROFILE_SECONDS=${PROFILE_SECONDS:-20}

tools/install-deps.sh bench
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" >/dev/null
STARTED=$(date -u '+%Y-%m-%d %H:%M UTC')
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
BIN=build-release/koruva
BENCH=build-release/bench
# The X servers and desktops of the end-to-end tests (new_xvfb, desktops.txt).
source tests/e2e/lib.sh
WORK=$(mktemp -d)
pids=()
end_bench() {
    end_load
    end_session_bus
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
# The load beside which the loaded rounds run: memory streamed on every core, as a desktop busy
# with other work does. Ended by its PID and its workers' (it also ends itself, should the bench
# be killed outright).
LOAD_PID=
start_load() { # seconds
    stress-ng --vm "$(nproc)" --vm-bytes 64M --timeout "$(($1 + 10))s" --quiet >/dev/null 2>&1 &
    LOAD_PID=$!
}
end_load() {
    [ -n "$LOAD_PID" ] || return 0
    local workers
    workers=$(cat /proc/"$LOAD_PID"/task/*/children 2>/dev/null || true)
    kill "$LOAD_PID" 2>/dev/null || true
    wait "$LOAD_PID" 2>/dev/null || true
    for pid in $workers; do kill -KILL "$pid" 2>/dev/null || true; done
    LOAD_PID=
}
trap end_bench EXIT

# A new Xvfb, ended with the bench: sets XVFB_PID and XVFB_DISPLAY.
start_server() {
    new_xvfb /dev/null 1280x1024 || { echo "Xvfb did not start" >&2; exit 1; }
    pids+=("$XVFB_PID")
}
start_server
export DISPLAY=$XVFB_DISPLAY
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
# A session bus, as every desktop gives its programs: without one, each Qt program's start forks
# dbus-launch to autolaunch one, which no user's start pays (about 8 ms of a start here).
new_session_bus "$WORK/bus.log" || { echo "no session bus" >&2; exit 1; }

# median min max of the numbers on stdin (a start that showed no picture within its bound, -1,
# left out)
stats() { awk '$1 >= 0' | sort -g | awk '{v[NR] = $1} END {if (NR == 0) {print "- - -"; exit} m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.6g %.6g %.6g\n", m, v[1], v[NR]}'; }
# CPU time of all the process's threads in nanoseconds: schedstat is exact where the tick
# counts of /proc/PID/stat only resolve 10 ms.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{s += $1} END {printf "%d\n", s}'; }
# Wake-ups of all the process's threads: each voluntary context switch is one sleep, so one
# wake-up after it.
wakeups() { cat /proc/"$1"/task/*/status | awk '$1 == "voluntary_ctxt_switches:" {s += $2} END {printf "%d\n", s}'; }
status_kb() { awk -v key="$2:" '$1 == key {print $2}' "/proc/$1/status"; }
# Busy time of the whole machine in nanoseconds, every core.
machine_busy_ns() { awk -v hz="$(getconf CLK_TCK)" '$1 == "cpu" {printf "%.0f\n", ($2 + $3 + $4 + $7 + $8) * 1e9 / hz}' /proc/stat; }

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

# The programs the bench compares, by name: ours in the C locale and in Japanese (whose texts
# come from ICU and whose glyphs from a CJK font), the floors, the plain Qt clock, the peers.
declare -A label=(
    [ours]="ours, C" [ours_ja]="ours, ja_JP" [wakes]="floor: Qt wakes"
    [tile]="floor: Qt paints a tile" [copyarea]="floor: one CopyArea"
    [plainqt]="a plain Qt clock (two QLabels, setText)" [xclock]="xclock -digital -update 1"
    [conky]="conky, the same two lines"
)
command_of() { # name, program folder: the command that starts it, one word a line
    case $1 in
    ours) printf '%s\n' "$2/koruva" ;;
    ours_ja) printf '%s\n' env LC_ALL=ja_JP.UTF-8 "$2/koruva" ;;
    wakes) printf '%s\n' "$BENCH/floor_wakes" ;;
    tile) printf '%s\n' "$BENCH/floor_tile" ;;
    copyarea) printf '%s\n' "$BENCH/floor_copyarea" ;;
    plainqt) printf '%s\n' "$BENCH/plain_qt_clock" ;;
    xclock) printf '%s\n' xclock -digital -update 1 ;;
    conky) printf '%s\n' "${CONKY[@]}" ;;
    esac
}

new_folder() {
    local dir
    dir=$(mktemp -d "$WORK/app.XXXX")
    cp "$BIN" "$dir/koruva"
    echo "$dir"
}

# Exec to the first frame that shows a picture, the starts of each program interleaved with
# the others' so that the machine's moods fall on all alike. The CopyArea floor shows its first
# tile only at its first second, Qt wakes never shows one: neither is a start-up figure.
STARTERS=(ours ours_ja tile plainqt xclock)
echo "start-up: $RUNS runs each of ${STARTERS[*]}" >&2
dir=$(new_folder)
for _ in $(seq "$RUNS"); do
    for name in "${STARTERS[@]}"; do
        mapfile -t command < <(command_of "$name" "$dir")
        read -r pid _ _ picture < <("$BENCH/startwatch" "${command[@]}" 2>/dev/null)
        kill "$pid"
        # Not our child: gone once its /proc entry is.
        while [ -e "/proc/$pid" ] && ! grep -q '^State:.*Z' "/proc/$pid/status" 2>/dev/null; do sleep 0.01; done
        echo "$picture" >>"$WORK/start.$name"
    done
done
# A wrong file copied over setting.dat: 48 MB, larger than any position file, so not read.
dir=$(new_folder)
{ printf '1500\r\n3000\r\n'; awk 'BEGIN { for (i = 0; i < 16000000; i++) printf "9\r\n" }'; } >"$dir/setting.dat"
for _ in $(seq 5); do
    read -r pid _ _ picture < <("$BENCH/startwatch" "$dir/koruva" 2>/dev/null)
    kill "$pid"
    echo "$picture" >>"$WORK/start.big"
done

# A restart with a saved position under each desktop of tests/e2e/desktops.txt that the bench
# runs and that can be started here, each on a display of its own as the end-to-end tests start
# them: exec to the first picture of the clock's own window (docs/bench.md says why not weston).
DESKTOPS=${DESKTOPS:-$(desktops_for bench | xargs)}
echo "restart under each desktop: $RESTART_RUNS runs each" >&2
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
        for _ in $(seq "$RESTART_RUNS"); do
            read -r pid _ _ picture < <("$BENCH/startwatch" "$dir/koruva" 2>/dev/null)
            kill "$pid"
            echo "$picture" >>"$results"
        done
    ) >"$results.log" 2>&1 || echo "$wm: not measured: $(tail -n 1 "$results.log")" >&2
done

# Each clock on an X server of its own, all at once, so that what each leaves to its server
# (xclock draws its text in the server, Qt sends pixels) is counted with it: CPU of every
# thread of the program and of its server, wake-ups, memory. Rounds of a quiet window and a
# window beside the load, alternating, so that whatever else the machine does falls on both.
IDLERS=(ours ours_ja wakes tile copyarea plainqt xclock conky)
echo "idle: ${#IDLERS[@]} clocks at once, $ROUNDS rounds of ${IDLE_SECONDS} s quiet and ${IDLE_SECONDS} s beside stress-ng --vm $(nproc) --vm-bytes 64M" >&2
declare -A clock_pid server_pid
dir=$(new_folder)
for name in "${IDLERS[@]}"; do
    start_server
    server_pid[$name]=$XVFB_PID
    mapfile -t command < <(command_of "$name" "$dir")
    DISPLAY=$XVFB_DISPLAY "${command[@]}" >/dev/null 2>&1 &
    clock_pid[$name]=$!
    pids+=("$!")
done
# Start-up is over, and so are the one-shot timers Qt arms at start-up (one fires about 28 s
# in); only the ticking remains.
sleep 35
window=$IDLE_SECONDS
# Each window starts and ends half way between two turns of the second, so that every clock's
# ticks fall inside it the same number of times.
half_second() { sleep "$(date +%N | awk '{n = $1 + 0; printf "%.3f", ((n < 5e8 ? 5e8 : 15e8) - n) / 1e9}')"; }
per_second() { awk -v d="$1" -v w="$window" 'BEGIN {print d / w}'; }
seconds_per_hour() { awk -v d="$1" -v w="$window" 'BEGIN {print d / 1e9 / w * 3600}'; }
declare -A cpu_before server_cpu_before wakeups_before server_wakeups_before
measure_window() { # quiet or loaded
    local condition=$1 name pid server cpu server_cpu ours_total=0 busy_before
    half_second
    busy_before=$(machine_busy_ns)
    for name in "${IDLERS[@]}"; do
        cpu_before[$name]=$(cpu_ns "${clock_pid[$name]}")
        server_cpu_before[$name]=$(cpu_ns "${server_pid[$name]}")
        wakeups_before[$name]=$(wakeups "${clock_pid[$name]}")
        server_wakeups_before[$name]=$(wakeups "${server_pid[$name]}")
    done
    sleep "$window"
    for name in "${IDLERS[@]}"; do
        pid=${clock_pid[$name]} server=${server_pid[$name]}
        cpu=$(($(cpu_ns "$pid") - cpu_before[$name]))
        server_cpu=$(($(cpu_ns "$server") - server_cpu_before[$name]))
        ours_total=$((ours_total + cpu + server_cpu))
        seconds_per_hour "$cpu" >>"$WORK/$condition.program.$name"
        seconds_per_hour "$server_cpu" >>"$WORK/$condition.server.$name"
        seconds_per_hour $((cpu + server_cpu)) >>"$WORK/$condition.both.$name"
        [ "$condition" = quiet ] || continue
        per_second $(($(wakeups "$pid") - wakeups_before[$name])) >>"$WORK/wake.$name"
        per_second $(($(wakeups "$server") - server_wakeups_before[$name])) >>"$WORK/wakex.$name"
        status_kb "$pid" VmRSS | awk '{print $1 / 1024}' >>"$WORK/rss.$name"
        awk '$1 == "Pss:" {print $2 / 1024}' "/proc/$pid/smaps_rollup" >>"$WORK/pss.$name"
    done
    # What else the machine did meanwhile, in % of all its cores.
    awk -v b=$(($(machine_busy_ns) - busy_before - ours_total)) -v w="$window" -v n="$(nproc)" \
        'BEGIN {printf "%.0f\n", b / 1e9 / w / n * 100}' >>"$WORK/$condition.else"
}
for round in $(seq "$ROUNDS"); do
    echo "round $round: quiet" >&2
    measure_window quiet
    echo "round $round: loaded" >&2
    start_load $((window + 5))
    sleep 2
    measure_window loaded
    end_load
    sleep 2
done
for name in "${IDLERS[@]}"; do
    kill "${clock_pid[$name]}" "${server_pid[$name]}"
done

# Alone: anything beside it, even the idle clocks' start-up, shows in its tail.
echo "face lag over $LAG_TICKS ticks" >&2
"$BENCH/bench_clock" lag "$LAG_TICKS" 2>/dev/null >"$WORK/lag"

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
    # A window within one minute: the turn of a minute formats and lays out the time anew, which
    # the idle seconds between do not.
    local second=$((10#$(date +%S)))
    [ $((second + PROFILE_SECONDS)) -lt 59 ] || sleep $((61 - second))
    half_second
    callgrind_control -i on "$pid" >/dev/null 2>&1
    sleep "$PROFILE_SECONDS"
    callgrind_control -d "$pid" >/dev/null 2>&1
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
profile tile "$BENCH/floor_tile" &
profiled+=($!)
profile copyarea "$BENCH/floor_copyarea" &
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

# The cells of the idle and start-up tables. Ratios are taken window by window (start by start),
# between figures taken at the same moment, and their median given.
med() { [ -s "$1" ] && stats <"$1" | awk -v f="${2:-%.2f}" '{printf f, $1}' || printf -- -; }
span() { [ -s "$1" ] && stats <"$1" | awk -v f="${2:-%.2f}" '{printf f " (" f "–" f ")", $1, $2, $3}' || printf -- -; }
ratio() { # file, reference file
    [ -s "$1" ] && [ -s "$2" ] || { printf -- -; return; }
    paste "$1" "$2" | awk '$1 >= 0 && $2 > 0 {print $1 / $2}' | stats | awk '{printf "%.2f", $1}'
}
echo
echo "Machine: $(uname -srm), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores; started $STARTED, load average before $LOAD_BEFORE"
echo "Build: Release, $(g++ --version | head -n 1), Qt $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null), commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet HEAD 2>/dev/null || echo ' (with changes)')"
echo "Peers: xclock -digital -update 1 ($(dpkg-query -W -f='x11-apps ${Version}' x11-apps 2>/dev/null)); conky, two lines of time, 1 s, Xft, own window ($(dpkg-query -W -f='conky-std ${Version}' conky-std 2>/dev/null)); the floors and the plain Qt clock: bench/floor_*.cpp, bench/plain_qt_clock.cpp, this build"
echo "X servers: Xvfb 1280x1024x24, no window manager, one per clock; ${#IDLERS[@]} clocks at once, $ROUNDS rounds of $IDLE_SECONDS s quiet and beside stress-ng --vm $(nproc) --vm-bytes 64M ($(dpkg-query -W -f='${Version}' stress-ng 2>/dev/null))"
echo "The rest of the machine meanwhile, % of all cores: quiet windows $(span "$WORK/quiet.else" %.0f), loaded windows $(span "$WORK/loaded.else" %.0f)"
echo
echo "The idle second, the program and its X server together: s of CPU an hour, median (min–max) of the windows; ratios to xclock's and to the CopyArea floor's in the same window."
echo
echo "| clock | quiet: program | quiet: X server | quiet: both | ÷ xclock | ÷ CopyArea | loaded: both | ÷ xclock | ÷ CopyArea |"
echo "|---|---|---|---|---|---|---|---|---|"
for name in "${IDLERS[@]}"; do
    printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "${label[$name]}" \
        "$(med "$WORK/quiet.program.$name")" "$(med "$WORK/quiet.server.$name")" \
        "$(span "$WORK/quiet.both.$name")" \
        "$(ratio "$WORK/quiet.both.$name" "$WORK/quiet.both.xclock")" \
        "$(ratio "$WORK/quiet.both.$name" "$WORK/quiet.both.copyarea")" \
        "$(span "$WORK/loaded.both.$name")" \
        "$(ratio "$WORK/loaded.both.$name" "$WORK/loaded.both.xclock")" \
        "$(ratio "$WORK/loaded.both.$name" "$WORK/loaded.both.copyarea")"
done
echo
echo "Wake-ups of every thread of the program (and of its X server) per second, and memory (MB, /proc/PID/status and smaps_rollup, all ${#IDLERS[@]} clocks sharing the libraries), in the quiet windows."
echo
echo "| clock | wake-ups/s | ÷ xclock | ÷ CopyArea | X server's | RSS MB | ÷ xclock | ÷ CopyArea | PSS MB | ÷ xclock | ÷ CopyArea |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
for name in "${IDLERS[@]}"; do
    printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "${label[$name]}" \
        "$(med "$WORK/wake.$name")" "$(ratio "$WORK/wake.$name" "$WORK/wake.xclock")" \
        "$(ratio "$WORK/wake.$name" "$WORK/wake.copyarea")" "$(med "$WORK/wakex.$name")" \
        "$(med "$WORK/rss.$name" %.1f)" "$(ratio "$WORK/rss.$name" "$WORK/rss.xclock")" \
        "$(ratio "$WORK/rss.$name" "$WORK/rss.copyarea")" \
        "$(med "$WORK/pss.$name" %.1f)" "$(ratio "$WORK/pss.$name" "$WORK/pss.xclock")" \
        "$(ratio "$WORK/pss.$name" "$WORK/pss.copyarea")"
done
echo
echo "Start-up, exec to the first frame that shows a picture (not one flat colour), ms: $RUNS starts each, interleaved, on one Xvfb; ratios start by start."
echo
echo "| program | ms, median (min–max) | ÷ tile floor | ÷ xclock |"
echo "|---|---|---|---|"
for name in "${STARTERS[@]}"; do
    printf '| %s | %s | %s | %s |\n' "${label[$name]}" "$(span "$WORK/start.$name" %.1f)" \
        "$(ratio "$WORK/start.$name" "$WORK/start.tile")" "$(ratio "$WORK/start.$name" "$WORK/start.xclock")"
done
echo
echo "The instruction budget and the other figures."
echo
echo "| figure | ours: median (min–max) | xclock: median (min–max) | ours / xclock | conky: median (min–max) | ours / conky | goal | met |"
echo "|---|---|---|---|---|---|---|---|"
row "$WORK/start.big" "" "" "(reported)" '-' "start-up beside a 48 MB setting.dat (not read), exec to first picture, ms"
for wm in $DESKTOPS; do
    [ ! -s "$WORK/restart.$wm" ] || row "$WORK/restart.$wm" "" "" "(reported)" '-' "restart with a saved position under $wm, exec to first picture, ms"
done
row "$WORK/ir.ours" "$WORK/ir.xclock" "$WORK/ir.conky" "(reported)" '-' "instructions per idle second, whole process (callgrind)"
row "$WORK/ir.ours_ja" "$WORK/ir.xclock" "$WORK/ir.conky" "(reported)" '-' "the same in ja_JP"
row "$WORK/ir.tile" "$WORK/ir.xclock" "$WORK/ir.conky" "(reported)" '-' "the same for the tile floor (in the ours column)"
row "$WORK/ir.copyarea" "$WORK/ir.xclock" "$WORK/ir.conky" "(reported)" '-' "the same for the CopyArea floor (in the ours column)"
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
