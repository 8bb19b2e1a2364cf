#!/usr/bin/env bash
# wine_window.sh KORUVA!-VERSION-windows-x64.zip
# The shipped Windows program under Wine, on an X server of our own, unpacked into a folder
# whose name the ANSI code page cannot hold: the window appears with its title and a
# 284 x 284 client area, a drag moves it, a double-click writes setting.dat beside the .exe
# (two lines in twips, CR LF) and ends it, and the next start puts the window back, also where
# the saved corner lies on no screen (a negative Left or Top).
# Without a window manager Wine draws no frame, but the Windows frame metrics still hold: the
# window's Left/Top (what setting.dat keeps) lie above and left of the client area, which is
# the X window seen here.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_begin "$1"
zip=$(readlink -f "$KORUVA_BIN")
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(dirname "$(readlink -f "$wine")")/wineserver
export WINEPREFIX=$WORK/wineprefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=" LANG=C.UTF-8 LC_ALL=C.UTF-8
# The program must find its DLLs and plugins beside itself, as on a machine without Qt.
unset WINEPATH WINEQT_PLUGIN_PATH WINEQT_QPA_PLATFORM WINEQT_QPA_FONTDIR

wine_cleanup() {
    [ -n "$CLOCK_PID" ] && kill "$CLOCK_PID" 2>/dev/null || true
    CLOCK_PID=
    [ -d "$WINEPREFIX" ] && "$wineserver" -k 2>/dev/null || true
    cleanup
}
trap wine_cleanup EXIT

start_xvfb
# The prefix's first start fixes its display driver: it must see the X server already.
"$wine" wineboot --init >/dev/null 2>&1 || fail "wineboot failed"
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true

app="$WORK/時計 Ωρα"
mkdir -p "$app"
(cd "$app" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
exe=$(find "$app" -name 'KORUVA!.exe' -print -quit)
[ -n "$exe" ] || fail "no KORUVA!.exe in $zip"
folder=$(dirname "$exe")
for licence in KORUVA-MIT Qt-LGPL-3 BebasNeue-OFL; do
    [ -s "$folder/licences/$licence.txt" ] || fail "no licences/$licence.txt in $zip"
done

start_wine_clock() {
    (cd "$folder" && exec "$wine" 'KORUVA!.exe') 2>>"$WORK/clock.stderr" &
    CLOCK_PID=$!
    WID=
    wait_until "the clock window to appear" find_clock_window
}

start_wine_clock
[ "$(xdotool getwindowname "$WID")" = "Velomire -KORUVA!-" ] || fail "wrong title"
wait_until "the client area to be mapped at its size" eval \
    'read_geometry; [ "$WIDTH" = 284 ] && [ "$HEIGHT" = 284 ]'
[ ! -e "$folder/setting.dat" ] || fail "start-up created setting.dat"

read_geometry
x0=$X y0=$Y
xdotool mousemove --window "$WID" 100 132 mousedown 1 mousemove_relative --sync 40 30 mouseup 1
wait_until "the drag to move the window by 40,30 from $x0,$y0" window_at $((x0 + 40)) $((y0 + 30))
x1=$X y1=$Y

xdotool mousemove --window "$WID" 5 5 click --repeat 2 --delay 80 1
wait_clock_exit 0
[ -f "$folder/setting.dat" ] || fail "no setting.dat beside KORUVA!.exe"
content=$(od -An -c "$folder/setting.dat" | tr -d ' \n')
[[ $content =~ ^(-?[0-9]+)\\r\\n(-?[0-9]+)\\r\\n$ ]] || fail "setting.dat holds $(od -c "$folder/setting.dat")"
left=${BASH_REMATCH[1]} top=${BASH_REMATCH[2]}
# Twips of the window's Left/Top: whole pixels at 96 dpi, at most a frame away from the client.
for pair in "$left $x1" "$top $y1"; do
    set -- $pair
    [ $(($1 % 15)) = 0 ] || fail "$1 twips is no whole pixel"
    offset=$(($2 - $1 / 15))
    [ "$offset" -ge 0 ] && [ "$offset" -le 40 ] ||
        fail "saved $1 twips lies $offset px from the client area at $2"
done
echo "saved Left $left, Top $top twips; client area was at $x1,$y1"

start_wine_clock
wait_until "the client area back at $x1,$y1" window_at "$x1" "$y1"
stop_clock

# A saved corner on no screen, by a negative Left or a negative Top, comes back exactly: the
# client area as far from it as from the corner saved above, and a double-click saves it again.
dx=$((x1 - left / 15)) dy=$((y1 - top / 15))
for seeded in "-1500 3000" "1500 -300"; do
    set -- $seeded
    crlf "$1" "$2" >"$folder/setting.dat"
    start_wine_clock
    wait_until "the client area at $(($1 / 15 + dx)),$(($2 / 15 + dy)) for a saved $1 $2" \
        window_at $(($1 / 15 + dx)) $(($2 / 15 + dy))
    xdotool mousemove --window "$WID" 150 20 click --repeat 2 --delay 80 1
    wait_clock_exit 0
    [ "$(cat "$folder/setting.dat")" = "$(crlf "$1" "$2")" ] ||
        fail "a saved $1 $2 was saved again as $(od -An -c "$folder/setting.dat")"
    echo "saved Left $1, Top $2 twips: back at the client area $X,$Y and saved again unchanged"
done
echo "PASS"
