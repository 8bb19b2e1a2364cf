#!/usr/bin/env bash
# Runs one desktop of desktops.txt for the end-to-end tests: an X server (Xvfb, or the
# XWayland of a Wayland compositor) with its window manager, each with a session bus, a runtime
# folder and a home of its own, and tells REPORT "DISPLAY XAUTHORITY SESSION_BUS_ADDRESS" once
# X clients can connect; SIGTERM ends it. lib/display.sh starts it as the first process of a PID namespace
# where it can, so that what the desktop starts (services the bus activates, the compositor's
# helpers, the throw-away user's processes) ends with it.
#   desktop.sh NAME REPORT FOLDER [USER]
# USER: a desktop that refuses root (sway) runs as that user, made and removed by lib/display.sh.
set -uo pipefail
NAME=$1 REPORT=$2 FOLDER=$3 AS_USER=${4:-}
HERE=$(dirname "$(realpath "$0")")
source "$HERE/lib/display.sh"
mkdir -p "$FOLDER/home" "$FOLDER/runtime"
chmod 700 "$FOLDER/runtime"
# The desktop's own settings and state, never the user's.
export HOME="$FOLDER/home" XDG_RUNTIME_DIR="$FOLDER/runtime"
export XDG_CONFIG_HOME="$FOLDER/home/.config" XDG_CACHE_HOME="$FOLDER/home/.cache"
export XDG_DATA_HOME="$FOLDER/home/.local/share"
# No accessibility bus of GTK's own: a process less to end.
export NO_AT_BRIDGE=1
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER
MAIN=
XSERVER=
BUS_PID=

# The window manager first (it may still talk to the X server as it ends), then the server,
# then the bus with what it started.
end_all() {
    local pid
    for pid in $MAIN $XSERVER; do
        kill "$pid" 2>/dev/null
        local waited=0
        while kill -0 "$pid" 2>/dev/null && [ $waited -lt 100 ]; do
            sleep 0.05
            waited=$((waited + 1))
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    end_session_bus
    exit 0
}
trap end_all TERM INT HUP

fifo() {
    local path="$FOLDER/$1.fifo"
    rm -f "$path"
    mkfifo "$path"
    echo "$path"
}

# Every desktop has a session bus, shared by its programs and the clock.
start_bus() {
    new_session_bus "$FOLDER/bus.log" || { echo "no session bus: $(tail -n 3 "$FOLDER/bus.log")" >&2; exit 1; }
}

own_xvfb() {
    new_xvfb "$FOLDER/x.log" "${1:-1280x800}" || { echo "Xvfb did not start: $(tail -n 5 "$FOLDER/x.log")" >&2; exit 1; }
    XSERVER=$XVFB_PID
    export DISPLAY=$XVFB_DISPLAY
}

# A compositor starts its XWayland itself and the clients it launches learn where it is; one
# of them tells us. Its fifo is read opened for writing too, so that a teller that never comes
# cannot block the read.
# mutter ends its session when the command it runs ends: there the teller stays ("stay").
teller() {
    local script="$FOLDER/tell.sh"
    printf '#!/bin/sh\nprintf "%%s %%s\\n" "$DISPLAY" "${XAUTHORITY:--}" >%s\n' "$1" >"$script"
    [ "${2:-}" != stay ] || echo 'exec sleep 2147483647' >>"$script"
    chmod 755 "$script"
    echo "$script"
}

wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
native_pointer_in_corner() {
    local box
    box=$(import -window "$(native_output_window)" ppm:- | convert ppm:- -fuzz 0 -fill black \
        +opaque "#${NATIVE_BACKGROUND#0xff}" -trim -format '%w %h %X %Y' info: 2>/dev/null | tr -d +)
    read -r w h x y <<<"$box"
    [ "${w:-0}" -gt 1 ] && [ $((x + w)) -le 40 ] && [ $((y + h)) -le 40 ]
}
native_output_shown() {
    local window
    window=$(native_output_window) && [ -n "$window" ] &&
        [ "$(import -window "$window" -crop 1x1+1000+680 -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}')" = "#${NATIVE_BACKGROUND#0xff}" ]
}

await() {
    local what=$1 tries=0
    shift
    until "$@"; do
        kill -0 "$MAIN" 2>/dev/null || { echo "$NAME ended before $what" >&2; exit 1; }
        [ $tries -lt 1500 ] || { echo "timed out waiting for $what" >&2; exit 1; }
        sleep 0.02
        tries=$((tries + 1))
    done
}

XAUTH=-
start_bus
case "$(desktop_fact "$NAME" start):$NAME" in
x11:*)
    own_xvfb
    options=()
    case "$NAME" in
    # Without a wallpaper tool fluxbox says so in a dialog that lies over the clock. In a new
    # home it writes its default files, but keeps an overlay it finds.
    fluxbox)
        mkdir -p "$HOME/.fluxbox"
        echo "background: none" >"$HOME/.fluxbox/overlay"
        ;;
    mutter) options=(--x11 --sm-disable) ;;
    esac
    "$(desktop_fact "$NAME" program)" "${options[@]}" >>"$FOLDER/wm.log" 2>&1 &
    MAIN=$!
    ;;
wayland:kwin_wayland)
    told=$(fifo told)
    # The installed binary carries a file capability that a container may refuse to grant;
    # a plain copy runs without it.
    cp /usr/bin/kwin_wayland "$FOLDER/kwin_wayland"
    "$FOLDER/kwin_wayland" --virtual --xwayland --socket "wayland-koruva" --width 1280 \
        --height 800 --no-lockscreen --no-global-shortcuts --no-kactivities "$(teller "$told")" \
        >>"$FOLDER/wm.log" 2>&1 &
    MAIN=$!
    read -r -t 60 DISPLAY XAUTH <>"$told" || { echo "no XWayland from kwin_wayland" >&2; exit 1; }
    ;;
wayland:mutter_wayland)
    told=$(fifo told)
    # Its XWayland takes only clients with the cookie it writes under XDG_RUNTIME_DIR.
    mutter --wayland --headless --virtual-monitor 1280x800 --wayland-display \
        "wayland-koruva" --sm-disable -- "$(teller "$told" stay)" >>"$FOLDER/wm.log" 2>&1 &
    MAIN=$!
    read -r -t 60 DISPLAY XAUTH <>"$told" || { echo "no XWayland from mutter" >&2; exit 1; }
    ;;
wayland:sway)
    [ -n "$AS_USER" ] || { echo "sway needs a user to run as" >&2; exit 1; }
    told=$(fifo told)
    chown "$AS_USER" "$FOLDER/runtime" "$told"
    # Its XWayland admits its own user only; the clock and the test tools run as root.
    cat >"$FOLDER/sway.config" <<EOF
xwayland enable
output * mode 1280x800
exec sh -c 'xhost +si:localuser:root >/dev/null; exec $(teller "$told")'
EOF
    env -i PATH=/usr/bin:/bin HOME="$FOLDER/runtime" XDG_RUNTIME_DIR="$FOLDER/runtime" \
        ${KORUVA_RUN:+KORUVA_RUN=$KORUVA_RUN} \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        setpriv --reuid="$AS_USER" --regid="$AS_USER" --clear-groups \
        sway -c "$FOLDER/sway.config" >>"$FOLDER/wm.log" 2>&1 &
    MAIN=$!
    read -r -t 60 DISPLAY XAUTH <>"$told" || { echo "no XWayland from sway" >&2; exit 1; }
    ;;
wayland:weston)
    # Its XWayland starts with the first X client; the log names the display before that.
    weston --backend=headless-backend.so --xwayland --socket="wayland-koruva" \
        --no-config --width=1280 --height=800 >>"$FOLDER/wm.log" 2>&1 &
    MAIN=$!
    await "XWayland's display" grep -q 'xserver listening on display' "$FOLDER/wm.log"
    DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$FOLDER/wm.log")
    ;;
native:*)
    # weston's output is a window of the Xvfb, smaller than its screen, and its seat has the
    # Xvfb's pointer. No XWayland: the clock finds no X server of its own.
    own_xvfb 1280x800
    xdotool mousemove 1279 799
    cat >"$FOLDER/weston.ini" <<EOF
[core]
xwayland=false
idle-time=0
[shell]
panel-position=none
background-color=$NATIVE_BACKGROUND
startup-animation=none
animation=none
close-animation=none
focus-animation=none
locking=false
[input-method]
path=
EOF
    weston --backend=x11-backend.so --use-pixman --width=1024 --height=700 \
        --socket=wayland-koruva --config="$FOLDER/weston.ini" >>"$FOLDER/wm.log" 2>&1 &
    MAIN=$!
    await "weston's socket" test -S "$XDG_RUNTIME_DIR/wayland-koruva"
    await "weston's output to show its background" native_output_shown
    # The pointer's image stays where the pointer leaves the output: in its top-left corner,
    # which the checks leave out, until a check moves it onto the clock.
    xdotool mousemove 4 4
    await "weston to draw the pointer in the output's corner" native_pointer_in_corner
    xdotool mousemove 1279 799
    ;;
odd:*)
    own_xvfb
    /usr/bin/python3 "$HERE/odd_wm.py" "${NAME#odd-}" >>"$FOLDER/wm.log" 2>&1 &
    MAIN=$!
    ;;
*)
    echo "unknown desktop $NAME" >&2
    exit 1
    ;;
esac
export DISPLAY
[ "$XAUTH" = - ] || export XAUTHORITY="$XAUTH"
is_native_wayland "$NAME" || await "$NAME to manage the screen" wm_ready
echo "$DISPLAY $XAUTH $DBUS_SESSION_BUS_ADDRESS" >"$REPORT"
while kill -0 "$MAIN" 2>/dev/null; do wait "$MAIN"; done
echo "$NAME ended" >&2
end_all
