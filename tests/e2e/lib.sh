# Shared steps of the end-to-end tests: an X server of our own, a program folder of our own
# (setting.dat lives beside the program), and waits on what the X server reports.
set -euo pipefail

KORUVA_BIN=${1:?usage: $0 PATH_TO_KORUVA}
WORK=$(mktemp -d)
XVFB_PID=
CLOCK_PID=

cleanup() {
    [ -n "$CLOCK_PID" ] && kill "$CLOCK_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
# Where setting.dat goes when the program folder is not writable: ours, never the user's own.
export XDG_CONFIG_HOME="$WORK/config"

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$WORK/clock.stderr" ]; then
        echo "--- the clock's standard error, last lines:" >&2
        tail -n 60 "$WORK/clock.stderr" >&2
    fi
    exit 1
}

start_xvfb() {
    local fifo="$WORK/displayfd"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fifo" 2>"$WORK/xvfb.log" &
    XVFB_PID=$!
    local number
    read -r -t 20 number <"$fifo" || fail "Xvfb did not start"
    export DISPLAY=":$number"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM
}

# A fresh program folder holding a copy of the program.
new_program_folder() {
    local dir="$WORK/app-$RANDOM$RANDOM"
    mkdir -p "$dir"
    cp "$KORUVA_BIN" "$dir/koruva"
    echo "$dir"
}

# Polls an observable condition, never a fixed sleep standing in for one.
wait_until() {
    local what=$1
    shift
    local deadline=$((SECONDS + 20))
    until "$@"; do
        [ $SECONDS -lt $deadline ] || fail "timed out waiting for: $what"
        sleep 0.02
    done
}

start_clock() {
    local dir=$1
    "$dir/koruva" 2>>"$WORK/clock.stderr" &
    CLOCK_PID=$!
    WID=
    wait_until "the clock window to appear" find_clock_window
}

find_clock_window() {
    clock_running || fail "the clock ended at start-up: $(tail -n 3 "$WORK/clock.stderr")"
    WID=$(xdotool search --onlyvisible --name '^Velomire -KORUVA!-$' 2>/dev/null | head -n 1)
    [ -n "$WID" ]
}

clock_running() { kill -0 "$CLOCK_PID" 2>/dev/null; }

# Sets X, Y, WIDTH, HEIGHT of the clock window.
read_geometry() {
    eval "$(xdotool getwindowgeometry --shell "$WID")"
}

window_at() {
    read_geometry
    [ "$X" = "$1" ] && [ "$Y" = "$2" ]
}

# Waits for the clock to end and checks its exit status.
wait_clock_exit() {
    local expected=$1 status=0
    wait_until "the clock to end" bash -c "! kill -0 $CLOCK_PID 2>/dev/null"
    wait "$CLOCK_PID" || status=$?
    CLOCK_PID=
    [ "$status" = "$expected" ] || fail "exit status $status, expected $expected"
}

stop_clock() {
    kill "$CLOCK_PID"
    wait "$CLOCK_PID" 2>/dev/null || true
    CLOCK_PID=
}

crlf() { printf '%s\r\n' "$@"; }
