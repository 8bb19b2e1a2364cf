#!/usr/bin/env bash
# Under each window manager: the window follows a drag from the picture exactly, with any
# button, not from a label's text; a hand that keeps moving sets the swing off at once; and
# ticks, swings and a window laid over it leave the window as a fresh start paints it. Where
# the compositor's policy places windows (sway), it refuses the moves: the window stays.
#   drag.sh KORUVA [DESKTOP...]   (every desktop of desktops.txt that takes a pointer unless named)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_begin "$1"

check_desktop() {
    local wm=$1
    start_display "$wm"
    local app
    app=$(new_program_folder)
    start_clock "$app"
    places_windows_itself || wait_until "the design place" client_at 433 265
    remember_labels_home

    local drag button dx dy x0 y0
    for drag in "1 40 30" "3 -60 20" "2 40 30"; do
        read -r button dx dy <<<"$drag"
        read_client
        x0=$CX y0=$CY
        xdotool mousemove --window "$WID" 100 132 mousedown "$button" \
            mousemove_relative --sync -- "$dx" "$dy" mouseup "$button"
        if places_windows_itself; then
            client_at "$x0" "$y0" || fail "the compositor moved the window to $CX,$CY"
        else
            wait_until "button $button to drag the window by $dx,$dy" client_at $((x0 + dx)) $((y0 + dy))
        fi
    done
    # Those drags set a swing off; the labels must be home before the next part looks at them.
    wait_until "the swing to end" labels_home

    # A real hand reports motion every 8 ms or so, faster than the swing's 20 ms step: the
    # swing must run meanwhile, not wait for the hand to stop. Two seconds in, the labels are
    # far out of the window, and they stay out until about seven seconds.
    local moves=() ink
    for _ in $(seq 125); do moves+=(mousemove_relative -- 1 0 sleep 0.008 mousemove_relative -- -1 0 sleep 0.008); done
    xdotool mousemove --window "$WID" 140 250 "${moves[@]}"
    ink=$(label2_ink)
    [ "$ink" -eq 0 ] || fail "after two seconds of motion the lower label still shows ($ink pixels)"
    wait_until "the swing to bring the labels home" labels_home

    # A press on the text and a move: the label keeps the input, the window stays.
    read_client
    x0=$CX y0=$CY
    xdotool mousemove --window "$WID" 60 170 mousedown 1 mousemove_relative --sync 40 30 mouseup 1
    # Drag once more from the picture: once that move lands, the label's events were handled too.
    xdotool mousemove --window "$WID" 5 5 mousedown 1 mousemove_relative --sync 10 0 mouseup 1
    places_windows_itself || wait_until "the picture drag after the label press" client_at $((x0 + 10)) "$y0"

    # The time's digits are put by the program itself: three ticks on, and after a window lay
    # over it, the window shows what a clock started fresh shows at the same second.
    wait_until "the swing to end" labels_home
    for _ in 1 2 3; do
        local shown
        shown=$(pixels_of "$WID" 217x73+48+136)
        wait_until "the time to change" changed_from "$WID" 217x73+48+136 "$shown"
    done
    same_as_fresh_clock
    stop_clock
    # In other scripts too, on a bare X server: the seconds change every second and the window
    # shows what a fresh clock shows, Japanese in the face's own digits and Arabic in a fallback
    # font, right to left.
    if [ "$wm" = none ]; then
        local locale
        for locale in ja_JP.UTF-8 ar_EG.UTF-8; do
            app=$(new_program_folder)
            LC_ALL=$locale start_clock "$app"
            for _ in 1 2 3; do
                shown=$(pixels_of "$WID" 217x73+48+136)
                wait_until "the $locale time to change" changed_from "$WID" 217x73+48+136 "$shown"
            done
            LC_ALL=$locale same_as_fresh_clock
            stop_clock
        done
    fi
    echo "ok: $wm"
}

# After a window lay over it, the clock in WID shows what a clock started fresh shows at the
# same second.
same_as_fresh_clock() {
    local ours_wid=$WID ours_pid=$CLOCK_PID cover fresh
    read_client
    read_frame_extents
    cover=$(new_program_folder)
    # Offset, so that what lies over the digits differs from them.
    crlf $(((CX - FRAME_LEFT - 30) * 15)) $(((CY - FRAME_TOP - 40) * 15)) >"$cover/setting.dat"
    start_clock "$cover"
    stop_clock
    fresh=$(new_program_folder)
    crlf 12000 1500 >"$fresh/setting.dat"
    start_clock "$fresh"
    wait_until "both clocks to show the same, pixel for pixel" same_window "$ours_wid" "$WID"
    stop_clock
    WID=$ours_wid CLOCK_PID=$ours_pid
}

on_every_desktop check_desktop "${@:2}"
echo "PASS"
