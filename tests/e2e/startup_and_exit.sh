#!/usr/bin/env bash
# First start without setting.dat, save by double-click, restart in the same place.
source "$(dirname "$0")/lib.sh"
start_xvfb
app=$(new_program_folder)

start_clock "$app"
[ "$(xdotool getwindowname "$WID")" = "Velomire -KORUVA!-" ] || fail "wrong title"
read_geometry
[ "$WIDTH" = 284 ] && [ "$HEIGHT" = 284 ] || fail "client area ${WIDTH}x$HEIGHT"
[ "$X" = 433 ] && [ "$Y" = 265 ] || fail "design position $X,$Y"
[ ! -e "$app/setting.dat" ] || fail "start-up created setting.dat"

# A double-click on a label's text belongs to the label: the clock stays. Dragging it
# afterwards proves it is still alive and handled the double-click before the drag.
xdotool mousemove --window "$WID" 40 100 click --repeat 2 --delay 60 1
xdotool mousemove --window "$WID" 100 132 mousedown 1 mousemove_relative --sync 40 30 mouseup 1
wait_until "the drag to move the window" window_at 473 295
clock_running || fail "a double-click on a label ended the program"
[ ! -e "$app/setting.dat" ] || fail "a double-click on a label saved"

xdotool mousemove --window "$WID" 5 5 click --repeat 2 --delay 60 1
wait_clock_exit 0
[ "$(od -An -c "$app/setting.dat" | tr -s ' ')" = "$(crlf 7095 4425 | od -An -c | tr -s ' ')" ] ||
    fail "setting.dat holds $(od -c "$app/setting.dat")"

start_clock "$app"
wait_until "the saved position" window_at 473 295
stop_clock
echo "PASS"
