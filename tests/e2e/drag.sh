#!/usr/bin/env bash
# The window follows a drag from the picture, not from a label's text.
source "$(dirname "$0")/lib.sh"
start_xvfb
app=$(new_program_folder)
start_clock "$app"
wait_until "the design position" window_at 433 265

for button in 1 3 2; do
    read_geometry
    x0=$X y0=$Y
    xdotool mousemove --window "$WID" 100 132 mousedown $button mousemove_relative --sync 40 30 mouseup $button
    wait_until "button $button to drag the window" window_at $((x0 + 40)) $((y0 + 30))
done

# A press on the text and a move: the label keeps the input, the window stays.
read_geometry
x0=$X y0=$Y
xdotool mousemove --window "$WID" 60 170 mousedown 1 mousemove_relative --sync 40 30 mouseup 1
# Drag once more from the picture: once that move lands, the label's events were handled too.
xdotool mousemove --window "$WID" 5 5 mousedown 1 mousemove_relative --sync 10 0 mouseup 1
wait_until "the picture drag after the label press" window_at $((x0 + 10)) "$y0"
stop_clock
echo "PASS"
