# What the clock's window shows, read back from the X server: digests of its pixels, and where
# the lower label's ink lies. Sourcing it defines functions only.

# A digest of the pixels of window $1, or of its part $2 (WxH+X+Y).
pixels_of() {
    if [ -n "${2:-}" ]; then
        import -window "$1" -crop "$2" +repage rgb:- | md5sum
    else
        import -window "$1" rgb:- | md5sum
    fi
}
changed_from() { [ "$(pixels_of "$1" "$2")" != "$3" ]; }
# Windows $1 and $2 show the same pixels, $1 the same before and after $2 was read, so both
# were read within one second.
same_window() {
    local first second again
    first=$(pixels_of "$1") second=$(pixels_of "$2") again=$(pixels_of "$1")
    [ "$first" = "$again" ] && [ "$first" = "$second" ]
}

# The clock's client area as the X server shows it: its window WID, or, on native Wayland, the
# part CLIENT_AREA (WxH+X+Y, read_native_output) of the compositor's output window WID.
clock_image() {
    if [ -n "${CLIENT_AREA:-}" ]; then
        import -window "$WID" ppm:- | convert ppm:- -crop "$CLIENT_AREA" +repage ppm:-
    else
        import -window "$WID" ppm:-
    fi
}

# On native Wayland (a desktop of start native), what the output window WID shows: sets
# AREA_X, AREA_Y, AREA_W, AREA_H, the box of all that is not the background (the clock's window
# with the frame Qt draws on it), and CLIENT_AREA, the client area at the box's foot, centred.
# The pointer's image lies where the pointer last was in the output, on the clock for the
# checks, or in the output's top-left corner where it has never come in, which is left out.
read_native_output() {
    local box
    box=$(import -window "$WID" ppm:- | convert ppm:- -fill "#${NATIVE_BACKGROUND#0xff}" \
        -draw 'rectangle 0,0 39,39' -fuzz 0 -fill black +opaque "#${NATIVE_BACKGROUND#0xff}" \
        -trim -format '%w %h %X %Y' info: 2>/dev/null | tr -d +)
    read -r AREA_W AREA_H AREA_X AREA_Y <<<"$box"
    [ "${AREA_W:-0}" -ge 284 ] && [ "${AREA_H:-0}" -ge 284 ] || { CLIENT_AREA=; return 1; }
    local side=$(((AREA_W - 284) / 2))
    CLIENT_AREA=284x284+$((AREA_X + side))+$((AREA_Y + AREA_H - 284 - side))
    CX=$((AREA_X + side)) CY=$((AREA_Y + AREA_H - 284 - side))
}

# The clock's window stands in the output with its box's corner at $1,$2.
native_window_at() { read_native_output && [ "$AREA_X" = "$1" ] && [ "$AREA_Y" = "$2" ]; }

# The dark blue text of the lower label's column, from just below the upper label's box down,
# as black on white: the upper label only ever moves up, so all ink here is the lower label's.
label2_column() {
    clock_image | convert ppm:- -crop 217x100+48+130 +repage -fuzz 12% \
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
