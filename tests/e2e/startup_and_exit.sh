#!/usr/bin/env bash
# First start without setting.dat, save by double-click, restart in the same place: under each
# window manager, cycle after cycle, also partly off the screen and at twice the scale.
source "$(dirname "$0")/lib.sh"

# Saves by double-click on the picture and checks the file holds the frame's place in twips.
save_and_check() {
    local dir=$1 scale=${2:-1}
    read_client
    read_frame_extents
    SAVED_CX=$CX SAVED_CY=$CY
    xdotool mousemove --window "$WID" $((5 * scale)) $((5 * scale)) click --repeat 2 --delay 60 1
    wait_clock_exit 0
    # Left/Top are the frame's, in twips of device-independent pixels; Qt rounds a frame of an
    # odd number of pixels at twice the scale half up.
    local left=$(((CX / scale - (FRAME_LEFT + scale / 2) / scale) * 15))
    local top=$(((CY / scale - (FRAME_TOP + scale / 2) / scale) * 15))
    [ "$(od -An -c "$dir/setting.dat" | tr -s ' ')" = "$(crlf $left $top | od -An -c | tr -s ' ')" ] ||
        fail "setting.dat holds $(od -c "$dir/setting.dat"), expected $left $top"
}

restart_in_place() {
    start_clock "$1"
    wait_until "the saved place $SAVED_CX,$SAVED_CY" client_at "$SAVED_CX" "$SAVED_CY"
}

for wm in "${WINDOW_MANAGERS[@]}"; do
    start_display "$wm"
    app=$(new_program_folder)

    start_clock "$app"
    [ "$(xdotool getwindowname "$WID")" = "Velomire -KORUVA!-" ] || fail "wrong title"
    read_geometry
    [ "$WIDTH" = 284 ] && [ "$HEIGHT" = 284 ] || fail "client area ${WIDTH}x$HEIGHT"
    client_at 433 265 || fail "client area at $CX,$CY, not at the design place"
    [ ! -e "$app/setting.dat" ] || fail "start-up created setting.dat"

    # A double-click on a label's text belongs to the label: the clock stays. Dragging it
    # afterwards proves it is still alive and handled the double-click before the drag.
    xdotool mousemove --window "$WID" 40 100 click --repeat 2 --delay 60 1
    xdotool mousemove --window "$WID" 100 132 mousedown 1 mousemove_relative --sync 40 30 mouseup 1
    wait_until "the drag to move the window" client_at 473 295
    clock_running || fail "a double-click on a label ended the program"
    [ ! -e "$app/setting.dat" ] || fail "a double-click on a label saved"

    # Cycle after cycle the window comes back to the same pixel and the file stays the same.
    save_and_check "$app"
    first=$(od -c "$app/setting.dat")
    for cycle in 1 2 3; do
        restart_in_place "$app"
        save_and_check "$app"
        [ "$(od -c "$app/setting.dat")" = "$first" ] || fail "cycle $cycle changed setting.dat"
    done

    # Partly off the top-left corner, frame and all. Metacity keeps every frame on the screen,
    # so there the window comes to the corner instead, and stays there cycle after cycle.
    offside=$(new_program_folder)
    crlf -600 -450 >"$offside/setting.dat"
    start_clock "$offside"
    read_frame_extents
    if [ "$wm" = metacity ]; then
        wait_until "the corner" client_at "$FRAME_LEFT" "$FRAME_TOP"
    else
        wait_until "the place off the corner" client_at $((FRAME_LEFT - 40)) $((FRAME_TOP - 30))
    fi
    save_and_check "$offside"
    [ "$wm" = metacity ] || [ "$(cat "$offside/setting.dat")" = "$(crlf -600 -450)" ] ||
        fail "the negative position came back as $(od -c "$offside/setting.dat")"
    restart_in_place "$offside"
    stop_clock

    # At twice the scale the window is 568 x 568 pixels, and a saved place comes back.
    if [ "$wm" = none ] || [ "$wm" = "${WINDOW_MANAGERS[1]:-}" ]; then
        export QT_SCALE_FACTOR=2
        scaled=$(new_program_folder)
        start_clock "$scaled"
        read_geometry
        [ "$WIDTH" = 568 ] && [ "$HEIGHT" = 568 ] || fail "scaled client area ${WIDTH}x$HEIGHT"
        read_client
        xdotool mousemove --window "$WID" 200 264 mousedown 1 mousemove_relative --sync -- -80 -60 mouseup 1
        wait_until "the scaled drag" client_at $((CX - 80)) $((CY - 60))
        save_and_check "$scaled" 2
        restart_in_place "$scaled"
        stop_clock
        unset QT_SCALE_FACTOR
    fi
    echo "ok: $wm"
done
echo "PASS"
