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
