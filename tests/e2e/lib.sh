# The end-to-end tests' shared steps, one file a job: lib/display.sh (X servers and the
# desktops of desktops.txt), lib/clock.sh (the program: its folders, starts, input, saves and
# waits) and lib/pixels.sh (what its window shows). Sourcing defines functions only; a script
# then calls e2e_begin.
E2E_DIR=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
source "$E2E_DIR/lib/display.sh"
source "$E2E_DIR/lib/clock.sh"
source "$E2E_DIR/lib/pixels.sh"

# e2e_begin KORUVA: the tools every script needs (without them the script is skipped, 77, or
# in CI fails), then e2e_work.
e2e_begin() {
    local need missing=()
    for need in Xvfb:xvfb dbus-daemon:dbus-daemon xdotool:xdotool xprop:x11-utils xwininfo:x11-utils import:imagemagick \
        convert:imagemagick /usr/bin/python3:python3; do
        command -v "${need%%:*}" >/dev/null || missing+=("${need#*:}")
    done
    /usr/bin/python3 -c 'import Xlib' 2>/dev/null || missing+=(python3-xlib)
    if [ ${#missing[@]} -gt 0 ]; then
        local why
        why="not installed: $(printf '%s\n' "${missing[@]}" | sort -u | xargs)"
        why+=" (Debian: apt-get install them, or tools/install-deps.sh test)"
        [ "${CI:-}" != true ] || { echo "FAIL: $why; CI runs every end-to-end test" >&2; exit 1; }
        echo "SKIP: $why"
        exit 77
    fi
    e2e_work "$@"
}

# e2e_work KORUVA: the program under test, and a work folder of the script's own that goes,
# with all it started, when the script ends.
e2e_work() {
    KORUVA_BIN=${1:?usage: $0 PATH_TO_KORUVA}
    WM=none CLOCK_PID= WATCH_PID= XVFB_PID= BUS_PID= DESKTOP_LAUNCHER= DESKTOP_PID= DESKTOP_USER=
    WORK=$(mktemp -d)
    E2E_TOP=$WORK
    trap cleanup EXIT
    # Where setting.dat goes when the program folder is not writable: ours, never the user's own.
    export XDG_CONFIG_HOME="$WORK/config"
}

# The scripts' trap: every step runs, whatever the one before it did, and the script's status
# stays its own.
cleanup() {
    set +e
    end_process "$CLOCK_PID"
    end_watch
    stop_display
    rm -rf "$WORK"
}
