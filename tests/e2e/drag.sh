#!/usr/bin/env bash
# Under each window manager: the window follows a drag from the picture exactly, with any
# button, not from a label's text; and a hand that keeps moving sets the swing off at once.
# Where the compositor's policy places windows (sway), it refuses the moves: the window stays.
source "$(dirname "$0")/lib.sh"

check_desktop() {
    local wm=$1
    case $wm in
    odd-*) echo "ok: $wm (start-up only)"; return ;;
    esac
    start_display "$wm"
    has_pointer || { echo "ok: $wm (no pointer input)"; return; }
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
    stop_clock
    echo "ok: $wm"
}

on_every_desktop check_desktop
echo "PASS"
