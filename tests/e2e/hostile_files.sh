#!/usr/bin/env bash
# Hostile setting.dat files: the clock comes up every time, visible at a sane place, and
# start-up never rewrites the file it found. Prints the slowest start.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_begin "$1"
start_xvfb

# Each case writes its setting.dat into the folder $1 and names the position it expects
# ("design", or "X Y" in pixels, the window frame's top-left without a window manager).
case_empty()            { : >"$1/setting.dat"; echo design; }
case_one_line()         { crlf 6000 >"$1/setting.dat"; echo design; }
case_cr_only()          { printf '\r' >"$1/setting.dat"; echo design; }
case_lf_only()          { printf '\n' >"$1/setting.dat"; echo design; }
case_two_empty_lines()  { crlf "" "" >"$1/setting.dat"; echo 0 0; }
case_nul_bytes()        { printf '\0\0\0\r\n\0\r\n' >"$1/setting.dat"; echo 0 0; }
case_ten_mb_of_digits() { head -c 10000000 /dev/zero | tr '\0' '7' >"$1/setting.dat"; echo design; }
# Larger than any position file: not read, however good its first lines.
case_100000_lines()     { { crlf 1500 3000; awk 'BEGIN { for (i = 0; i < 99998; i++) printf "9\r\n" }'; } >"$1/setting.dat"; echo design; }
case_48_mb_of_lines()   { { crlf 1500 3000; awk 'BEGIN { for (i = 0; i < 16000000; i++) printf "9\r\n" }'; } >"$1/setting.dat"; echo design; }
case_fifo()             { mkfifo "$1/setting.dat"; echo design; }
case_past_int32()       { crlf 2147483648 0 >"$1/setting.dat"; echo design; }
case_below_int32()      { crlf 0 -2147483649 >"$1/setting.dat"; echo design; }
case_nan()              { crlf nan nan >"$1/setting.dat"; echo 0 0; }
case_exponent()         { crlf 1e400 1e400 >"$1/setting.dat"; echo 0 0; }
case_utf16()            { printf '\xff\xfe1\x005\x000\x000\x00\r\x00\n\x003\x000\x00\r\x00\n\x00' >"$1/setting.dat"; echo 0 0; }
case_folder()           { mkdir "$1/setting.dat"; echo design; }
case_no_permission()    { crlf 1500 3000 >"$1/setting.dat"; chmod 000 "$1/setting.dat"; echo any; }
case_dangling_link()    { ln -s "$1/nowhere" "$1/setting.dat"; echo design; }
case_link_to_folder()   { mkdir "$1/elsewhere"; ln -s "$1/elsewhere" "$1/setting.dat"; echo design; }
case_off_every_screen() { crlf 150000 150000 >"$1/setting.dat"; echo design; }
case_far_negative()     { crlf -150000 -150000 >"$1/setting.dat"; echo design; }
case_blanks_only()      { crlf "   " $'\t' >"$1/setting.dat"; echo 0 0; }
case_signs()            { crlf +-5 --5 >"$1/setting.dat"; echo 0 0; }
case_every_byte()       { for i in $(seq 0 255); do printf "\\x$(printf %02x "$i")"; done >"$1/setting.dat"; echo 0 0; }
case_long_line()        { head -c 1000000 /dev/zero | tr '\0' 'a' >"$1/setting.dat"; echo design; }
case_hex()              { crlf 0x10 0x20 >"$1/setting.dat"; echo 0 0; }
case_cr_separated()     { printf '150\r300\r' >"$1/setting.dat"; echo 10 20; }
case_half_pixels()      { crlf 2.5 3.5 >"$1/setting.dat"; echo 0 0; }
case_good_file()        { crlf 1500 3000 >"$1/setting.dat"; echo 100 200; }

slowest=0 slowest_case=
for name in $(declare -F | awk '{print $3}' | grep '^case_'); do
    app=$(new_program_folder)
    expected=$("$name" "$app")
    before=$(if [ -f "$app/setting.dat" ]; then sha256sum <"$app/setting.dat"; else echo none; fi)
    started=$(date +%s%N)
    start_clock "$app"
    case "$expected" in
    design | any) ;;
    *) wait_until "$name: the window at $expected" window_at $expected ;;
    esac
    elapsed=$((($(date +%s%N) - started) / 1000000))
    read_geometry
    if [ "$expected" = design ]; then
        [ "$X" = 433 ] && [ "$Y" = 265 ] || fail "$name: at $X,$Y, expected the design position"
    fi
    [ "$X" -gt -284 ] && [ "$X" -lt 1280 ] && [ "$Y" -gt -284 ] && [ "$Y" -lt 800 ] ||
        fail "$name: off the screen at $X,$Y"
    stop_clock
    after=$(if [ -f "$app/setting.dat" ]; then sha256sum <"$app/setting.dat"; else echo none; fi)
    [ "$before" = "$after" ] || fail "$name: start-up changed setting.dat"
    echo "ok ${name#case_} (${elapsed} ms to a visible window at its place)"
    if [ "$elapsed" -gt "$slowest" ]; then slowest=$elapsed slowest_case=${name#case_}; fi
done
echo "slowest start: $slowest_case, $slowest ms"
echo "PASS"
