# The program under test in the end-to-end tests: a program folder of its own (setting.dat
# lives beside the program), its start, where its window stands, input to it, its save and its
# end, and waits on what the X server reports. Sourcing it defines functions only.

fail() {
    echo "FAIL (window manager: $WM): $*" >&2
    if [ -s "$WORK/clock.stderr" ]; then
        echo "--- the clock's standard error, last lines:" >&2
        tail -n 60 "$WORK/clock.stderr" >&2
    fi
    exit 1
}

# Polls an observable condition, never a fixed sleep standing in for one.
wait_until() {
    local what=$1
    shift
    # Only a bound on what never comes: on two cores running four desktops and a build, a
    # window can take its time.
    local deadline=$((SECONDS + 60))
    until "$@"; do
        [ $SECONDS -lt $deadline ] || fail "timed out waiting for: $what${CX:+ (the client area last at $CX,$CY)}"
        sleep 0.02
    done
}

crlf() { printf '%s\r\n' "$@"; }

# A fresh program folder holding a copy of the program.
new_program_folder() {
    local dir="$WORK/app-$RANDOM$RANDOM"
    mkdir -p "$dir"
    cp "$KORUVA_BIN" "$dir/koruva"
    echo "$dir"
}

# RUN_AS, when set, is the command prefix that starts the clock as another user.
RUN_AS=()
start_clock() {
    local dir=$1
    start_watch
    "${RUN_AS[@]}" "$dir/koruva" 2>>"$WORK/clock.stderr" &
    CLOCK_PID=$!
    WID=
    wait_until "the clock window to appear" find_clock_window
    # A window manager frames the window after mapping it; until then no position is final.
    ! frames_windows || wait_until "$WM to frame the clock" frame_extents_set
    wait_until "the clock to be drawn" viewable
}

frame_extents_set() { xprop -id "$WID" _NET_FRAME_EXTENTS 2>/dev/null | grep -q ' = '; }
viewable() { xwininfo -id "$WID" 2>/dev/null | grep -q 'IsViewable'; }

find_clock_window() {
    clock_running || fail "the clock ended at start-up: $(tail -n 3 "$WORK/clock.stderr")"
    WID=$(xdotool search --onlyvisible --name '^Velomire -KORUVA!-$' 2>/dev/null | head -n 1)
    [ -n "$WID" ]
}

clock_running() { kill -0 "$CLOCK_PID" 2>/dev/null; }

# Waits for the clock to end and checks its exit status.
wait_clock_exit() {
    local expected=$1 status=0
    wait_until "the clock to end" bash -c "! kill -0 $CLOCK_PID 2>/dev/null"
    wait "$CLOCK_PID" || status=$?
    CLOCK_PID=
    end_watch
    [ "$status" = "$expected" ] || fail "exit status $status, expected $expected"
}

stop_clock() {
    kill "$CLOCK_PID"
    wait "$CLOCK_PID" 2>/dev/null || true
    CLOCK_PID=
    end_watch
}

# Watches the X server from before the clock starts (tests/e2e/map_watch.py).
start_watch() {
    end_watch
    rm -f "$WORK/watch.in" "$WORK/watch.out"
    mkfifo "$WORK/watch.in" "$WORK/watch.out"
    /usr/bin/python3 "$E2E_DIR/map_watch.py" <"$WORK/watch.in" >"$WORK/watch.out" 2>>"$WORK/watch.log" &
    WATCH_PID=$!
    exec {WATCH_ASK}>"$WORK/watch.in" {WATCH_TELL}<"$WORK/watch.out"
    local ready=
    read -r -t 30 ready <&"$WATCH_TELL" || true
    [ "$ready" = ready ] || fail "the map watcher did not start: $(cat "$WORK/watch.log")"
}

end_watch() {
    [ -n "${WATCH_PID:-}" ] || return 0
    exec {WATCH_ASK}>&- {WATCH_TELL}<&-
    end_process "$WATCH_PID"
    WATCH_PID=
}

# The clock's window became viewable once, and its program never asked to move it after that;
# it was first drawn where it stands now and has not moved since: no hop from a first place
# to the real one.
mapped_once_at_its_place() {
    [ -n "$WATCH_PID" ] || fail "no map watcher runs"
    echo "$WID" >&"$WATCH_ASK"
    # The watcher waits up to ten seconds for the window's first drawing.
    local answer=
    read -r -t 60 answer <&"$WATCH_TELL" || true
    end_watch
    [ -n "$answer" ] || fail "the map watcher gave no answer: $(cat "$WORK/watch.log")"
    local shown at final moves asked
    read -r shown at final moves asked <<<"$(sed 's/[a-z]*=//g' <<<"$answer")"
    [ "$shown" = 1 ] && [ "$asked" = 0 ] || fail "not shown once at its place: $answer"
    # What the X server shows is what the screen shows, but where a first drawing may meet the
    # frame on its way to its place (docs/desktops.md tells how each such desktop does it).
    if ! has_trait shown-on-the-way; then
        [ "$moves" = 0 ] && [ "$at" = "$final" ] || fail "not shown once at its place: $answer"
    fi
}

# Sets FRAME_LEFT and FRAME_TOP: the frame's width on the left and height on top, as signed
# numbers (a window manager may claim a negative frame), 0 without a frame of four sides.
read_frame_extents() {
    FRAME_LEFT=0 FRAME_TOP=0
    local values
    values=$(xprop -id "$WID" _NET_FRAME_EXTENTS | sed -n 's/.* = //p' | tr -d ,)
    [ "$(wc -w <<<"$values")" = 4 ] || return 0
    read -r FRAME_LEFT _ FRAME_TOP _ <<<"$values"
    [ "$FRAME_LEFT" -lt 2147483648 ] || FRAME_LEFT=$((FRAME_LEFT - 4294967296))
    [ "$FRAME_TOP" -lt 2147483648 ] || FRAME_TOP=$((FRAME_TOP - 4294967296))
}

# Sets CX, CY: where the client area stands on the screen, whatever frame surrounds it.
read_client() {
    local info
    info=$(xwininfo -id "$WID")
    CX=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
    CY=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
}

client_at() {
    read_client
    [ "$CX" = "$1" ] && [ "$CY" = "$2" ]
}

# Sets X, Y, WIDTH, HEIGHT of the clock window.
read_geometry() {
    eval "$(xdotool getwindowgeometry --shell "$WID")"
}

window_at() {
    read_geometry
    [ "$X" = "$1" ] && [ "$Y" = "$2" ]
}

# Drags the window from the picture by $1,$2 and waits until it stands there.
drag_by() {
    read_geometry
    local x=$((X + $1)) y=$((Y + $2))
    xdotool mousemove --window "$WID" 5 5 mousedown 1 mousemove_relative --sync -- "$1" "$2" mouseup 1
    wait_until "the drag by $1,$2" window_at "$x" "$y"
}

# Saves by double-click on the picture and waits for the clock to end with status $1 (0).
double_click_save() {
    xdotool mousemove --window "$WID" 5 5 click --repeat 2 --delay 60 1
    wait_clock_exit "${1:-0}"
}
