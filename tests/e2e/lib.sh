# Shared steps of the end-to-end tests: an X server of our own, a program folder of our own
# (setting.dat lives beside the program), and waits on what the X server reports.
set -euo pipefail

KORUVA_BIN=${1:?usage: $0 PATH_TO_KORUVA}
E2E_DIR=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
WORK=$(mktemp -d)
E2E_TOP=$WORK
XVFB_PID=
WM=none
DESKTOP_PID=
DESKTOP_LAUNCHER=
DESKTOP_USER=
CLOCK_PID=
WATCH_PID=
# Every desktop runs a window manager, each framing windows its own way; "none" is a bare X
# server. The big desktops' own: xfwm4 (XFCE), marco (MATE), kwin_x11 (KDE), mutter (GNOME on
# Xorg), and the Wayland sessions of KDE, GNOME and sway, the clock on their XWayland; weston's
# XWayland takes no pointer input from xdotool, so only what needs none runs there. odd-*:
# window managers that misbehave (tests/e2e/odd_wm.py). KORUVA_E2E_WMS narrows the list.
read -r -a WINDOW_MANAGERS <<<"${KORUVA_E2E_WMS:-none openbox icewm fluxbox metacity xfwm4 marco kwin_x11 mutter kwin_wayland mutter_wayland sway weston odd-noframe odd-flood odd-negative}"
# sway refuses root, and only root can make a user to run it.
SKIPPED=
if [ -z "${KORUVA_E2E_WMS:-}" ] && [ "$(id -u)" -ne 0 ]; then
    SKIPPED="sway skipped: it runs as a user of its own, which only root can make"
    read -r -a WINDOW_MANAGERS <<<"${WINDOW_MANAGERS[*]/sway/}"
fi
# Desktops running side by side, each on its own display.
E2E_JOBS=${KORUVA_E2E_JOBS:-4}
RUNNING=()

cleanup() {
    local pid
    for pid in "${RUNNING[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${RUNNING[@]}"; do wait "$pid" 2>/dev/null || true; done
    end_process "$CLOCK_PID"
    end_watch
    stop_display
    rm -rf "$WORK"
}

stop_display() {
    end_desktop
    end_process "$XVFB_PID"
    XVFB_PID=
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
    if [ "$WM" = none ]; then
        start_xvfb
    else
        start_desktop
    fi
}

# A desktop of its own (tests/e2e/desktop.sh): where root may, as the first process of a PID
# namespace, so that whatever the desktop starts ends with it and is reaped.
start_desktop() {
    local program=${WM%%-*}
    [ "$program" = odd ] && program=/usr/bin/python3
    [ "$program" = mutter_wayland ] && program=mutter
    command -v "$program" >/dev/null || fail "$WM is not installed"
    if [ "$WM" = sway ]; then
        [ "$(id -u)" -eq 0 ] || fail "sway refuses root and only root can make a user to run it"
        DESKTOP_USER=koruva-sway-$$-$BASHPID
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
            "$DESKTOP_USER" || fail "cannot make the user sway runs as"
        # It reads its configuration from our work folder.
        mkdir -p "$WORK/desktop"
        chmod o+x "$E2E_TOP" "$WORK" "$WORK/desktop"
    fi
    local report="$WORK/desktop.report"
    rm -f "$report"
    mkfifo "$report"
    # The namespace has a /proc of its own: compositors look their clients up there.
    local launch=(setsid) namespace=
    if [ "$(id -u)" -eq 0 ] && unshare --pid --fork --kill-child --mount-proc true 2>/dev/null; then
        launch=(unshare --pid --fork --kill-child --mount-proc) namespace=yes
    fi
    "${launch[@]}" "$E2E_DIR/desktop.sh" "$WM" "$report" "$WORK/desktop" $DESKTOP_USER \
        2>>"$WORK/desktop.log" &
    DESKTOP_LAUNCHER=$!
    local xauthority
    # Opened for writing too, so that a desktop that dies before it tells cannot block the read.
    read -r -t 90 DISPLAY xauthority <>"$report" ||
        fail "$WM did not start: $(tail -n 5 "$WORK/desktop.log" "$WORK/desktop/wm.log" 2>&1)"
    DESKTOP_PID=$DESKTOP_LAUNCHER
    [ -z "$namespace" ] ||
        DESKTOP_PID=$(awk '{print $1}' "/proc/$DESKTOP_LAUNCHER/task/$DESKTOP_LAUNCHER/children")
    export DISPLAY
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM XAUTHORITY
    [ "$xauthority" = - ] || export XAUTHORITY="$xauthority"
}

# The desktop ends what it started; the namespace (or, without one, the process group) takes
# whatever would not end.
end_desktop() {
    if [ -n "$DESKTOP_LAUNCHER" ]; then
        [ -z "$DESKTOP_PID" ] || kill "$DESKTOP_PID" 2>/dev/null || true
        local deadline=$((SECONDS + 10))
        while kill -0 "$DESKTOP_LAUNCHER" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
        [ -z "$DESKTOP_PID" ] || kill -KILL "$DESKTOP_PID" 2>/dev/null || true
        kill -KILL -- "-$DESKTOP_LAUNCHER" 2>/dev/null || true
        kill -KILL "$DESKTOP_LAUNCHER" 2>/dev/null || true
        wait "$DESKTOP_LAUNCHER" 2>/dev/null || true
        DESKTOP_LAUNCHER= DESKTOP_PID=
    fi
    if [ -n "$DESKTOP_USER" ]; then
        # Nothing of the user's may outlive it; a namespace has taken everything already.
        local pid
        for pid in $(ps -u "$DESKTOP_USER" -o pid= 2>/dev/null); do kill -KILL "$pid" 2>/dev/null || true; done
        userdel "$DESKTOP_USER" 2>/dev/null || true
        DESKTOP_USER=
    fi
}

# What a desktop does that the checks must know: whether it frames windows and says so
# (_NET_FRAME_EXTENTS), whether it places windows by its own policy whatever they ask, and
# whether xdotool's pointer reaches its windows.
frames_windows() {
    case $WM in none | sway | weston | odd-noframe | odd-flood) return 1 ;; esac
}
places_windows_itself() {
    case $WM in sway | weston) return 0 ;; *) return 1 ;; esac
}
has_pointer() { [ "$WM" != weston ]; }
# Those that keep a new window's frame on the screen, whatever position it asks for.
keeps_new_frames_on_screen() {
    case $WM in metacity | fluxbox | xfwm4 | marco | kwin_x11 | mutter | kwin_wayland | mutter_wayland) return 0 ;; *) return 1 ;; esac
}

# Runs `$1 WM` for every desktop of WINDOW_MANAGERS, E2E_JOBS at a time, each in a subshell
# with a work folder and a display of its own; prints each one's output as it ends.
on_every_desktop() {
    local check=$1 wm pid failed=0
    [ -z "$SKIPPED" ] || echo "$SKIPPED"
    local -A desktop_of=()
    for wm in "${WINDOW_MANAGERS[@]}"; do
        while [ ${#RUNNING[@]} -ge "$E2E_JOBS" ]; do reap_desktop_check || failed=1; done
        (
            RUNNING=() WATCH_PID= CLOCK_PID= XVFB_PID= DESKTOP_LAUNCHER= DESKTOP_USER=
            WORK="$WORK/$wm"
            mkdir -p "$WORK"
            export XDG_CONFIG_HOME="$WORK/config"
            trap cleanup EXIT
            trap 'exit 143' TERM
            "$check" "$wm"
        ) >"$WORK/$wm.out" 2>&1 &
        desktop_of[$!]=$wm
        RUNNING+=("$!")
    done
    while [ ${#RUNNING[@]} -gt 0 ]; do reap_desktop_check || failed=1; done
    return $failed
}

reap_desktop_check() {
    local pid status=0 kept=()
    wait -n -p pid "${RUNNING[@]}" || status=$?
    for kept_pid in "${RUNNING[@]}"; do [ "$kept_pid" = "$pid" ] || kept+=("$kept_pid"); done
    RUNNING=("${kept[@]}")
    cat "$WORK/${desktop_of[$pid]}.out"
    return $status
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
        [ $SECONDS -lt $deadline ] || fail "timed out waiting for: $what${CX:+ (the client area last at $CX,$CY)}"
        sleep 0.02
    done
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
    [ -n "$WATCH_PID" ] || return 0
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
    # What the X server shows is what the screen shows, but where the compositor places
    # windows itself, and under kwin, which maps a new frame before it places it and paints
    # the screen only once it has: a first drawing may meet the frame on its way there.
    # fluxbox maps its frame before it has settled the window inside it, one pixel off, and
    # settles it at once; a drawing the X server kept from before (the program draws as soon
    # as its window is mapped inside the frame) shows for that instant, once in a few hundred
    # starts on a busy machine.
    case $WM in kwin_x11 | kwin_wayland | sway | weston | fluxbox) ;;
    *) [ "$moves" = 0 ] && [ "$at" = "$final" ] || fail "not shown once at its place: $answer" ;;
    esac
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
    end_watch
    [ "$status" = "$expected" ] || fail "exit status $status, expected $expected"
}

stop_clock() {
    kill "$CLOCK_PID"
    wait "$CLOCK_PID" 2>/dev/null || true
    CLOCK_PID=
    end_watch
}

crlf() { printf '%s\r\n' "$@"; }
