# Shared steps of the end-to-end tests: an X server of our own, a program folder of our own
# (setting.dat lives beside the program), and waits on what the X server reports.
set -euo pipefail

KORUVA_BIN=${1:?usage: $0 PATH_TO_KORUVA}
WORK=$(mktemp -d)
XVFB_PID=
WM_PID=
WM=none
CLOCK_PID=
# Every desktop runs a window manager, each framing windows its own way; "none" is a bare X
# server. KORUVA_E2E_WMS narrows the list.
read -r -a WINDOW_MANAGERS <<<"${KORUVA_E2E_WMS:-none openbox icewm fluxbox metacity}"

cleanup() {
    end_process "$CLOCK_PID"
    stop_display
    rm -rf "$WORK"
}

stop_display() {
    end_process "$WM_PID"
    end_process "$XVFB_PID"
    WM_PID= XVFB_PID=
}

# Ends a child for sure and reaps it: some window managers (fluxbox) ignore SIGTERM once their
# display is gone, so the window manager goes first and a stubborn one gets SIGKILL.
end_process() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || true
    local deadline=$((SECONDS + 5))
    while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
trap cleanup EXIT
# Where setting.dat goes when the program folder is not writable: ours, never the user's own.
export XDG_CONFIG_HOME="$WORK/config"

fail() {
    echo "FAIL (window manager: $WM): $*" >&2
    if [ -s "$WORK/clock.stderr" ]; then
        echo "--- the clock's standard error, last lines:" >&2
        tail -n 60 "$WORK/clock.stderr" >&2
    fi
    exit 1
}

start_xvfb() {
    local fifo="$WORK/displayfd"
    rm -f "$fifo"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fifo" 2>"$WORK/xvfb.log" &
    XVFB_PID=$!
    local number
    read -r -t 20 number <"$fifo" || fail "Xvfb did not start"
    export DISPLAY=":$number"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM
}

# A fresh X server of its own, managed by window manager $1 (or none).
start_display() {
    stop_display
    WM=$1
    start_xvfb
    [ "$WM" = none ] && return
    command -v "$WM" >/dev/null || fail "$WM is not installed"
    local options=()
    if [ "$WM" = fluxbox ]; then
        # Without a wallpaper tool fluxbox says so in a dialog that lies over the clock.
        echo "background: none" >"$WORK/fluxbox.overlay"
        echo "session.styleOverlay: $WORK/fluxbox.overlay" >"$WORK/fluxbox.init"
        options=(-rc "$WORK/fluxbox.init")
    fi
    "$WM" "${options[@]}" >>"$WORK/wm.log" 2>&1 &
    WM_PID=$!
    wait_until "$WM to manage the screen" wm_ready
}

wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

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

# RUN_AS, when set, is the command prefix that starts the clock as another user.
RUN_AS=()
start_clock() {
    local dir=$1
    "${RUN_AS[@]}" "$dir/koruva" 2>>"$WORK/clock.stderr" &
    CLOCK_PID=$!
    WID=
    wait_until "the clock window to appear" find_clock_window
    # A window manager frames the window after mapping it; until then no position is final.
    [ "$WM" = none ] || wait_until "$WM to frame the clock" frame_extents_set
    wait_until "the clock to be drawn" viewable
}

frame_extents_set() { xprop -id "$WID" _NET_FRAME_EXTENTS 2>/dev/null | grep -q ' = '; }
viewable() { xwininfo -id "$WID" 2>/dev/null | grep -q 'IsViewable'; }

# Sets FRAME_LEFT and FRAME_TOP: the frame's width on the left and height on top.
read_frame_extents() {
    FRAME_LEFT=0 FRAME_TOP=0
    [ "$WM" = none ] && return
    local values
    values=$(xprop -id "$WID" _NET_FRAME_EXTENTS | sed 's/.* = //; s/,//g')
    read -r FRAME_LEFT _ FRAME_TOP _ <<<"$values"
}

# Sets CX, CY: where the client area stands on the screen, whatever frame surrounds it.
read_client() {
    local info
    info=$(xwininfo -id "$WID")
    CX=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
    CY=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
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

client_at() {
    read_client
    [ "$CX" = "$1" ] && [ "$CY" = "$2" ]
}

# The dark blue text of the lower label's column, from just below the upper label's box down,
# as black on white: the upper label only ever moves up, so all ink here is the lower label's.
label2_column() {
    import -window "$WID" ppm:- | convert ppm:- -crop 217x100+48+130 +repage -fuzz 12% \
        -fill black -opaque 'rgb(0,0,192)' -fill white +opaque black "$@"
}

# Pixels of the lower label's text inside its box at rest: none while a swing has carried it away.
label2_ink() {
    label2_column -crop 217x73+0+6 +repage -format '%[fx:round(w*h*(1-mean))]' info:
}

# The top and bottom row of the lower label's ink ("none" without ink).
label2_rows() {
    label2_column -trim -format '%Y %h' info: 2>/dev/null | tr -d + |
        awk '$2 > 1 {print $1, $1 + $2 - 1; next} {print "none"}'
}

# Call before any input reaches the clock: the labels rest where the window showed them.
remember_labels_home() {
    LABEL2_HOME=$(label2_rows)
    local top bottom
    read -r top bottom <<<"$LABEL2_HOME"
    [ "$top" != none ] && [ $((bottom - top)) -gt 20 ] ||
        fail "no lower label to be seen at start ($LABEL2_HOME)"
}

# A swing moves the label by 50 twips, over three pixels, a step; the digits shown move its
# antialiased top and bottom rows by at most one. So only the label at home lies within a pixel
# of where it stood at start.
labels_home() {
    local top bottom home_top home_bottom
    read -r top bottom <<<"$(label2_rows)"
    read -r home_top home_bottom <<<"${LABEL2_HOME:?remember_labels_home first}"
    [ "$top" != none ] && [ $((top - home_top)) -ge -1 ] && [ $((top - home_top)) -le 1 ] &&
        [ $((bottom - home_bottom)) -ge -1 ] && [ $((bottom - home_bottom)) -le 1 ]
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
