#!/usr/bin/env bash
# First start without setting.dat, save by double-click, restart in the same place: under each
# window manager, cycle after cycle, also partly off the screen and at twice the scale. Each
# start shows the window once, at its place. Where the compositor's policy places windows
# (sway, weston), the window shows at once wherever that is, and a save holds where it is. On a
# Wayland session without XWayland (with weston) the clock shows on native Wayland, and there
# (weston_native) takes the pointer's input. On a bare X server a screen reader reads the face.
#   startup_and_exit.sh KORUVA [DESKTOP...]   (every desktop of desktops.txt unless named)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_begin "$1"

# Rounds a/b half up, as Qt rounds a position in device pixels to device-independent ones.
half_up() { echo $(((2 * $1 + $2) >= 0 ? (2 * $1 + $2) / (2 * $2) : -((-(2 * $1 + $2) + 2 * $2 - 1) / (2 * $2)))); }

# Saves by double-click on the picture and checks the file holds the frame's place in twips.
save_and_check() {
    local dir=$1 scale=${2:-1}
    read_client
    read_frame_extents
    SAVED_CX=$CX SAVED_CY=$CY
    xdotool mousemove --window "$WID" $((5 * scale)) $((5 * scale)) click --repeat 2 --delay 60 1
    wait_clock_exit 0
    # Left/Top are the frame's, in twips of device-independent pixels; Qt rounds both to
    # those pixels half up.
    local left=$((($(half_up "$CX" "$scale") - $(half_up "$FRAME_LEFT" "$scale")) * 15))
    local top=$((($(half_up "$CY" "$scale") - $(half_up "$FRAME_TOP" "$scale")) * 15))
    [ "$(od -An -c "$dir/setting.dat" | tr -s ' ')" = "$(crlf $left $top | od -An -c | tr -s ' ')" ] ||
        fail "setting.dat holds $(od -c "$dir/setting.dat"), expected $left $top"
}

restart_in_place() {
    start_clock "$1"
    places_windows_itself ||
        wait_until "the saved place $SAVED_CX,$SAVED_CY" client_at "$SAVED_CX" "$SAVED_CY"
    mapped_once_at_its_place
}

check_desktop() {
    local wm=$1
    start_display "$wm"
    local app
    app=$(new_program_folder)

    start_clock "$app"
    [ "$(xdotool getwindowname "$WID")" = "Velomire -KORUVA!-" ] || fail "wrong title"
    read_geometry
    [ "$WIDTH" = 284 ] && [ "$HEIGHT" = 284 ] || fail "client area ${WIDTH}x$HEIGHT"
    places_windows_itself || client_at 433 265 || fail "client area at $CX,$CY, not at the design place"
    mapped_once_at_its_place
    [ ! -e "$app/setting.dat" ] || fail "start-up created setting.dat"

    if ! has_pointer; then
        stop_clock
        # A saved place asked for, and the window shown once wherever the compositor puts it.
        local seeded
        seeded=$(new_program_folder)
        crlf 3000 1500 >"$seeded/setting.dat"
        start_clock "$seeded"
        mapped_once_at_its_place
        stop_clock
        echo "ok: $wm (no pointer input: start-up only)"
        return
    fi

    # A double-click on a label's text belongs to the label: the clock stays. Dragging it
    # afterwards proves it is still alive and handled the double-click before the drag.
    xdotool mousemove --window "$WID" 40 100 click --repeat 2 --delay 60 1
    read_client
    local x0=$CX y0=$CY
    xdotool mousemove --window "$WID" 100 132 mousedown 1 mousemove_relative --sync 40 30 mouseup 1
    if places_windows_itself; then
        # The move is refused: the save that follows must hold where the window really is.
        client_at "$x0" "$y0" || fail "the compositor moved the window to $CX,$CY"
    else
        wait_until "the drag to move the window" client_at 473 295
    fi
    clock_running || fail "a double-click on a label ended the program"
    [ ! -e "$app/setting.dat" ] || fail "a double-click on a label saved"

    # Cycle after cycle the window comes back to the same pixel and the file stays the same.
    save_and_check "$app"
    local first cycle
    first=$(od -c "$app/setting.dat")
    for cycle in 1 2 3; do
        restart_in_place "$app"
        save_and_check "$app"
        [ "$(od -c "$app/setting.dat")" = "$first" ] || fail "cycle $cycle changed setting.dat"
    done

    # Partly off the top-left corner, frame and all. Most window managers keep a new window's
    # frame on the screen, so there the window comes to the corner instead, and stays there
    # cycle after cycle.
    local offside
    offside=$(new_program_folder)
    crlf -600 -450 >"$offside/setting.dat"
    start_clock "$offside"
    read_frame_extents
    if places_windows_itself; then
        :
    elif keeps_new_frames_on_screen; then
        wait_until "the corner" client_at "$FRAME_LEFT" "$FRAME_TOP"
    else
        wait_until "the place off the corner" client_at $((FRAME_LEFT - 40)) $((FRAME_TOP - 30))
    fi
    mapped_once_at_its_place
    save_and_check "$offside"
    places_windows_itself || keeps_new_frames_on_screen ||
        [ "$(cat "$offside/setting.dat")" = "$(crlf -600 -450)" ] ||
        fail "the negative position came back as $(od -c "$offside/setting.dat")"
    restart_in_place "$offside"
    stop_clock

    # At twice the scale the window is 568 x 568 pixels, and a saved place comes back.
    if has_trait scale-2; then
        export QT_SCALE_FACTOR=2
        local scaled
        scaled=$(new_program_folder)
        start_clock "$scaled"
        read_geometry
        [ "$WIDTH" = 568 ] && [ "$HEIGHT" = 568 ] || fail "scaled client area ${WIDTH}x$HEIGHT"
        read_client
        read_frame_extents
        # A frame of an odd number of pixels puts its corner half way between two
        # device-independent pixels; the first move by that corner lands it on one, half such
        # a pixel from the pointer, once.
        local snap_x=$((2 * $(half_up "$FRAME_LEFT" 2) - FRAME_LEFT))
        local snap_y=$((2 * $(half_up "$FRAME_TOP" 2) - FRAME_TOP))
        xdotool mousemove --window "$WID" 200 264 mousedown 1 mousemove_relative --sync -- -80 -60 mouseup 1
        wait_until "the scaled drag" client_at $((CX - 80 - snap_x)) $((CY - 60 - snap_y))
        save_and_check "$scaled" 2
        restart_in_place "$scaled"
        read_client
        xdotool mousemove --window "$WID" 200 264 mousedown 1 mousemove_relative --sync -- 40 20 mouseup 1
        wait_until "the scaled drag from a restored place" client_at $((CX + 40)) $((CY + 20))
        save_and_check "$scaled" 2
        restart_in_place "$scaled"
        stop_clock
        unset QT_SCALE_FACTOR
    fi
    echo "ok: $wm"
}

# A Wayland session whose XWayland is off or gone, its DISPLAY left behind naming no server:
# the clock falls back to native Wayland and shows (weston, headless, without XWayland). The
# compositor places it there, so a saved place is neither applied nor changed.
native_wayland() {
    if ! compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" >/dev/null; then
        echo "SKIP native Wayland: Qt's Wayland platform (qt6-wayland) is not installed"
        return 0
    fi
    local runtime="$WORK/wayland-runtime" stale
    # weston with its XWayland ends first: this one runs without.
    stop_display
    new_session_bus "$WORK/bus.log" || fail "no session bus: $(tail -n 3 "$WORK/bus.log")"
    mkdir -m 700 "$runtime"
    # Its own process group, so that its helper clients end with it.
    XDG_RUNTIME_DIR="$runtime" setsid weston --backend=headless-backend.so \
        --socket=wayland-koruva --no-config --width=1280 --height=800 >"$WORK/weston.log" 2>&1 &
    # Ended with its helpers as a desktop is, should a check fail.
    DESKTOP_LAUNCHER=$! DESKTOP_PID=
    wait_until "weston's socket" test -S "$runtime/wayland-koruva"
    for stale in $(seq 150 199); do
        DISPLAY=":$stale" xdpyinfo >/dev/null 2>&1 || break
    done
    local app
    app=$(new_program_folder)
    crlf 1500 3000 >"$app/setting.dat"
    XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=wayland-koruva DISPLAY=":$stale" \
        WAYLAND_DEBUG=client "$app/koruva" 2>"$WORK/wayland.log" &
    CLOCK_PID=$!
    # Configured by the compositor, then drawn into: a buffer attached after the ack.
    drawn_on_wayland() {
        clock_running || fail "the clock ended at start-up: $(grep -v '^\[' "$WORK/wayland.log" | tail -n 5)"
        grep -qs 'set_title("Velomire -KORUVA!-")' "$WORK/wayland.log" &&
            sed -n '/ack_configure/,$p' "$WORK/wayland.log" | grep -q 'attach(wl_buffer@'
    }
    wait_until "the clock drawn on native Wayland" drawn_on_wayland
    stop_clock
    end_desktop
    end_session_bus
    [ "$(cat "$app/setting.dat")" = "$(crlf 1500 3000)" ] || fail "native Wayland changed setting.dat"
    echo "ok: native Wayland where DISPLAY names no server"
}

# Native Wayland with a pointer: weston's X11 backend shows its output in a window of an Xvfb
# and its seat has the Xvfb's pointer, which xdotool drives; there is no XWayland, and the clock
# finds no X server (no DISPLAY), so it runs on Wayland. What it shows is read from weston's
# window; what it asks of the compositor from its Wayland log. Motion over the picture swings
# the labels; a press and a drag move the window through the compositor (the clock asks it to);
# a double-click then ends the clock, saving nothing, and says why.
native_wayland_input() {
    start_display "$1"
    WID=$(native_output_window)
    [ -n "$WID" ] || fail "no output window of weston's"
    local app
    app=$(new_program_folder)
    env -u DISPLAY XDG_RUNTIME_DIR="$WORK/desktop/runtime" WAYLAND_DISPLAY=wayland-koruva \
        WAYLAND_DEBUG=client "$app/koruva" 2>>"$WORK/clock.stderr" &
    CLOCK_PID=$!
    shown_whole() {
        clock_running || fail "the clock ended at start-up: $(grep -v '^\[' "$WORK/clock.stderr" | tail -n 3)"
        read_native_output || return 1
        local box="$AREA_X $AREA_Y $AREA_W $AREA_H"
        # Drawn whole: the same twice over.
        read_native_output && [ "$box" = "$AREA_X $AREA_Y $AREA_W $AREA_H" ]
    }
    wait_until "the clock shown on weston's output" shown_whole
    grep -q 'wl_compositor@' "$WORK/clock.stderr" || fail "the clock is not a Wayland client"
    remember_labels_home

    # Motion over the picture, below the labels.
    xdotool mousemove $((CX + 140)) $((CY + 250)) mousemove_relative -- 3 0 mousemove_relative -- 3 0
    labels_away() { ! labels_home; }
    wait_until "motion on native Wayland to swing the labels" labels_away
    wait_until "the swing to bring the labels home" labels_home

    # A press on the picture: the clock hands the move to the compositor, which then moves the
    # window with the pointer, by exactly as much.
    local moves x0=$AREA_X y0=$AREA_Y
    moves=$(grep -c 'xdg_toplevel@[0-9]*\.move(' "$WORK/clock.stderr" || true)
    xdotool mousemove $((CX + 100)) $((CY + 132)) mousedown 1
    asked_to_move() { [ "$(grep -c 'xdg_toplevel@[0-9]*\.move(' "$WORK/clock.stderr")" -gt "$moves" ]; }
    wait_until "the clock to ask weston to move it" asked_to_move
    xdotool mousemove_relative --sync -- 40 30
    wait_until "the drag to move the window by 40,30 through weston" native_window_at $((x0 + 40)) $((y0 + 30))
    xdotool mouseup 1
    clock_running || fail "the drag ended the clock"

    # The pointer rests on the picture, where its image is no label's: a double-click there.
    xdotool mousemove $((CX + 5)) $((CY + 5)) click --repeat 2 --delay 60 1
    wait_clock_exit 0
    grep -qx 'the compositor places this window: its position is not saved' "$WORK/clock.stderr" ||
        fail "the double-click did not say why it saved nothing"
    [ ! -e "$app/setting.dat" ] && [ ! -e "$XDG_CONFIG_HOME/Velomire -KORUVA!-/setting.dat" ] ||
        fail "the double-click on native Wayland saved a position"
    echo "ok: $1 (native Wayland: motion swings, a drag moves the window through weston, a double-click ends it)"
}

# The face read aloud: a screen reader (an AT-SPI client) on a session bus of the test's own,
# whose accessibility bus (at-spi2-core) the bus starts as a desktop's does, and Qt's bridge on,
# finds the program's frame by its title and in it two labels, the date above the time, that
# read what ICU writes for the instant with the region's own patterns (tests/e2e/read_aloud.py,
# none of the program's code), in two regions, each in a zone of its own.
read_aloud() {
    local missing=() why
    [ -x /usr/libexec/at-spi-bus-launcher ] || missing+=(at-spi2-core)
    command -v dbus-send >/dev/null || missing+=(dbus-bin)
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=(python3-pyatspi)
    /usr/bin/python3 -c 'import icu' 2>/dev/null || missing+=(python3-icu)
    if [ ${#missing[@]} -gt 0 ]; then
        why="not installed: ${missing[*]} (Debian: apt-get install them, or tools/install-deps.sh test)"
        [ "${CI:-}" != true ] || fail "$why; CI reads the face aloud"
        echo "SKIP the face read aloud: $why"
        return 0
    fi
    # The session's runtime folder, where the accessibility bus puts its socket: ours.
    export XDG_RUNTIME_DIR="$WORK/runtime"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    start_display none
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null || fail "the session bus started no accessibility bus"
    local case locale zone app
    for case in "en_US.UTF-8 America/New_York" "ja_JP.UTF-8 Asia/Tokyo"; do
        read -r locale zone <<<"$case"
        app=$(new_program_folder)
        LC_ALL=$locale TZ=$zone QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 start_clock "$app"
        wait_until "a screen reader to find the $locale clock" read_face "$locale" "$zone"
        stop_clock
    done
    stop_display
    unset XDG_RUNTIME_DIR
}

# One reading: fails the test when the face reads otherwise, false while no clock is found.
read_face() {
    local said status=0
    said=$(/usr/bin/python3 "$E2E_DIR/read_aloud.py" "$1" "$2" 2>&1) || status=$?
    case $status in
    0) echo "ok the face read aloud in $1, $2: $said" ;;
    1) return 1 ;;
    *) fail "the face read aloud in $1, $2: $said" ;;
    esac
}

check() {
    if is_native_wayland "$1"; then
        native_wayland_input "$1"
        return
    fi
    check_desktop "$1"
    [ "$1" != weston ] || native_wayland
    [ "$1" != none ] || read_aloud
}
on_every_desktop check "${@:2}"
echo "PASS"
