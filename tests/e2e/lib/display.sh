# The displays of the end-to-end tests: an X server of our own, or a desktop of
# tests/e2e/desktops.txt (a window manager, or a compositor with its XWayland) started and ended
# for sure, and what the desktop in use does that the checks must know. Sourcing it defines
# functions only; tests/e2e/desktop.sh and bench/run.sh source it too.

DESKTOPS_TABLE=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../desktops.txt")

# desktop_fact DESKTOP COLUMN: one column of the desktop's row (start, runs, traits, program or
# packages); fails for a desktop the table does not have.
desktop_fact() {
    local -A column=([start]=2 [runs]=3 [traits]=4 [program]=5 [packages]=6)
    awk -v name="$1" -v i="${column[$2]:?no column $2}" \
        '!/^#/ && $1 == name {print $i; found = 1} END {exit !found}' "$DESKTOPS_TABLE"
}

# The desktops that run $1 (a script's name, or bench), in the table's order.
desktops_for() {
    awk -v what="$1" '!/^#/ && NF {
        n = split($3, runs, ",")
        for (i = 1; i <= n; i++) if (runs[i] == what) print $1
    }' "$DESKTOPS_TABLE"
}

# A native Wayland desktop (start native): weston's output is the X window native_output_window
# names on the Xvfb, its background this colour (0xAARRGGBB), which the clock's picture lacks.
NATIVE_BACKGROUND=0xff00FF00
native_output_window() { xdotool search --class '^Weston Compositor$' 2>/dev/null | head -n 1; }
is_native_wayland() { [ "$(desktop_fact "${1:-$WM}" start)" = native ]; }

# has_trait TRAIT [DESKTOP]: whether the desktop (WM unless named) has it.
has_trait() { [[ ",$(desktop_fact "${2:-$WM}" traits)," == *",$1,"* ]]; }
frames_windows() { has_trait frames; }
places_windows_itself() { has_trait places-itself; }
has_pointer() { ! has_trait no-pointer; }
keeps_new_frames_on_screen() { has_trait keeps-on-screen; }

# Why desktop $1 cannot run here, with what to install; nothing when it can.
desktop_missing() {
    local desktop=$1 program packages package missing=()
    program=$(desktop_fact "$desktop" program) || { echo "no desktop $desktop in $DESKTOPS_TABLE"; return; }
    packages=$(desktop_fact "$desktop" packages)
    if command -v dpkg-query >/dev/null; then
        for package in ${packages//,/ }; do
            dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed' ||
                missing+=("$package")
        done
    fi
    if [ ${#missing[@]} -gt 0 ] || ! command -v "$program" >/dev/null; then
        echo "not installed: ${missing[*]:-$program} (Debian: apt-get install ${packages//,/ };" \
            "tools/install-deps.sh test installs every desktop)"
    elif is_native_wayland "$desktop" && ! compgen -G "/usr/lib/*/libweston-*/x11-backend.so" >/dev/null; then
        echo "this weston has no X11 backend (x11-backend.so), which gives its seat the Xvfb's pointer"
    elif has_trait as-user "$desktop" && [ "$(id -u)" -ne 0 ]; then
        echo "$desktop refuses root and runs as a user of its own, which only root can make"
    fi
}

# Runs `CHECK DESKTOP` for each desktop named, or else for every desktop that runs this script,
# one after another, each in a subshell with a work folder and a display of its own. A desktop
# that cannot run here is skipped with what to install, and when none ran the script ends with
# 77, ctest's skip; in CI (CI=true), which installs every desktop, a skip fails instead.
on_every_desktop() {
    local check=$1 script desktop why ran=0 failed=0
    shift
    script=$(basename "$0" .sh)
    local desktops=("$@")
    [ ${#desktops[@]} -gt 0 ] || mapfile -t desktops < <(desktops_for "$script")
    for desktop in "${desktops[@]}"; do
        WM=$desktop
        desktop_fact "$desktop" runs >/dev/null || fail "no desktop $desktop in $DESKTOPS_TABLE"
        [[ ",$(desktop_fact "$desktop" runs)," == *",$script,"* ]] ||
            fail "$script does not run under $desktop ($DESKTOPS_TABLE)"
        why=$(desktop_missing "$desktop")
        if [ -n "$why" ]; then
            [ "${CI:-}" != true ] || fail "$why; CI runs every desktop"
            echo "SKIP: $desktop: $why"
            continue
        fi
        (
            CLOCK_PID= WATCH_PID= XVFB_PID= BUS_PID= DESKTOP_LAUNCHER= DESKTOP_PID= DESKTOP_USER=
            WORK="$WORK/$desktop"
            mkdir -p "$WORK"
            export XDG_CONFIG_HOME="$WORK/config"
            trap cleanup EXIT
            trap 'exit 143' TERM
            "$check" "$desktop"
        ) || failed=1
        ran=$((ran + 1))
    done
    WM=none
    [ $failed = 0 ] || exit 1
    [ $ran -gt 0 ] || exit 77
}

# new_xvfb [LOG [SIZE]]: starts an Xvfb of its own, SIZE 1280x800 unless given, and sets
# XVFB_PID and XVFB_DISPLAY; fails when none starts. The one start-up of a bare X server: the
# tests', desktop.sh's, the bench's and the screenshot's.
new_xvfb() {
    local log=${1:-/dev/null} size=${2:-1280x800} fifo fd number= attempt deadline
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/koruva-displayfd.XXXXXX")
    mkfifo -m 600 "$fifo"
    # Opened for reading and writing: a server that dies before it tells cannot block us.
    exec {fd}<>"$fifo"
    # A server that ends before it tells its display (on a loaded machine, another one started
    # at the same instant may have taken the display it chose) is started again, twice at most.
    for attempt in 1 2 3; do
        deadline=$((SECONDS + 30))
        Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$fifo" 2>>"$log" &
        XVFB_PID=$!
        until read -r -t 0.2 number <&"$fd"; do
            kill -0 "$XVFB_PID" 2>/dev/null && [ $SECONDS -lt $deadline ] || break
        done
        [ -z "$number" ] || break
        # Nothing of a server that did not tell is left behind.
        kill -KILL "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        echo "Xvfb, attempt $attempt, told no display" >>"$log"
    done
    exec {fd}<&-
    rm -f "$fifo"
    [ -n "$number" ] || return 1
    XVFB_DISPLAY=:$number
}

# A bare X server for this test, in DISPLAY, with a session bus of its own as a desktop session
# has: the program's surroundings never depend on whether libdbus could autolaunch one.
start_xvfb() {
    new_xvfb "$WORK/xvfb.log" || fail "Xvfb did not start: $(tail -n 3 "$WORK/xvfb.log")"
    export DISPLAY=$XVFB_DISPLAY
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM
    new_session_bus "$WORK/bus.log" || fail "no session bus: $(tail -n 3 "$WORK/bus.log")"
}

# new_session_bus LOG [PREFIX...]: a session bus of its own, as a desktop session starts one
# (PREFIX runs it as another user): sets BUS_PID and exports DBUS_SESSION_BUS_ADDRESS; fails
# when none starts. end_session_bus ends it with whatever it started. The one start-up of a
# session bus: the tests', desktop.sh's and the package stage's. Without an address of its
# own, a program that asks for the session bus makes libdbus autolaunch one (dbus-x11's
# dbus-launch) that outlives it; where no bus is wanted, no_session_bus says so.
# The services the bus starts for its clients (the accessibility bus and its registry) are
# handed to init once started, so the bus marks its environment, which they inherit, and
# end_session_bus finds them by that mark.
new_session_bus() {
    local log=$1 fifo fd address=
    shift
    BUS_MARK=$BASHPID-$RANDOM$RANDOM
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/koruva-bus.XXXXXX")
    mkfifo -m 600 "$fifo"
    # Opened for reading and writing: a daemon that dies before it tells cannot block us.
    exec {fd}<>"$fifo"
    "$@" env KORUVA_BUS="$BUS_MARK" dbus-daemon --session --nofork --nopidfile --print-address=3 \
        3>"$fifo" >>"$log" 2>&1 &
    BUS_PID=$!
    read -r -t 30 address <&"$fd" || true
    exec {fd}<&-
    rm -f "$fifo"
    if [ -z "$address" ]; then
        end_tree "$BUS_PID"
        BUS_PID=
        return 1
    fi
    export DBUS_SESSION_BUS_ADDRESS=$address
}

# Ends the session bus of new_session_bus, and the services it started for its clients (the
# accessibility bus and its registry, a portal).
end_session_bus() {
    [ -n "${BUS_PID:-}" ] || return 0
    # shellcheck disable=SC2046 # one PID a word
    end_tree "$BUS_PID" $(grep -lsz "^KORUVA_BUS=$BUS_MARK\$" /proc/[0-9]*/environ | cut -d/ -f3)
    BUS_PID=
    unset DBUS_SESSION_BUS_ADDRESS
}

# An address libdbus cannot use and does not replace: no session bus, and none autolaunched.
no_session_bus() { export DBUS_SESSION_BUS_ADDRESS=disabled:; }

# A fresh X server of its own, under desktop $1 (none: a bare one).
start_display() {
    stop_display
    WM=$1
    if [ "$(desktop_fact "$WM" start)" = xvfb ]; then
        start_xvfb
    else
        start_desktop
    fi
}

stop_display() {
    end_desktop
    end_session_bus
    end_process "$XVFB_PID"
    XVFB_PID=
}

# Ends a child for sure and reaps it: some window managers (fluxbox) ignore SIGTERM once their
# display is gone, so the window manager goes first and a stubborn one gets SIGKILL.
end_process() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || true
    local deadline=$((SECONDS + 5))
    while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# The processes named and every process below them, stopped first so that none starts another
# or slips out to init meanwhile, then ended and waited for (a child of ours is reaped): zombies
# count as ended.
end_tree() {
    local pids=() pid more
    for pid; do
        if kill -STOP "$pid" 2>/dev/null; then pids+=("$pid"); fi
    done
    [ ${#pids[@]} -gt 0 ] || { wait "$1" 2>/dev/null || true; return 0; }
    # Below a stopped process nothing new starts, so a few rounds find every descendant.
    for _ in $(seq 20); do
        more=$(descendants "${pids[@]}")
        [ -n "$more" ] || break
        for pid in $more; do
            kill -STOP "$pid" 2>/dev/null || true
            pids+=("$pid")
        done
    done
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do kill -CONT "$pid" 2>/dev/null || true; done
    local deadline=$((SECONDS + 5))
    while ! all_ended "${pids[@]}" && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
    all_ended "${pids[@]}" || for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    wait "$1" 2>/dev/null || true
    deadline=$((SECONDS + 5))
    while ! all_ended "${pids[@]}" && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
}

# The children of the processes named that are not among them, one a line.
descendants() {
    local names=" $* "
    ps -e -o pid=,ppid= | awk -v names="$names" \
        'index(names, " " $2 " ") && !index(names, " " $1 " ") {print $1}'
}

# None of the processes named runs any more (a zombie has ended; only its parent is late).
all_ended() {
    local pid state
    for pid; do
        state=$(ps -o stat= -p "$pid" 2>/dev/null) || continue
        [[ $state == Z* ]] || return 1
    done
}

# Ends every process of user $1 (a user's session leaves none behind when it ends) and waits
# until there is none, so that the user can be removed. Fails, naming them, when some remain.
end_processes_of() {
    local user=$1 deadline
    id "$user" >/dev/null 2>&1 || return 0
    pkill -TERM -u "$user" 2>/dev/null || true
    deadline=$((SECONDS + 5))
    while pgrep -u "$user" >/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
    # One that ignores SIGTERM, or one started meanwhile.
    deadline=$((SECONDS + 10))
    while pgrep -u "$user" >/dev/null && [ $SECONDS -lt $deadline ]; do
        pkill -KILL -u "$user" 2>/dev/null || true
        sleep 0.05
    done
    ! pgrep -u "$user" >/dev/null || {
        echo "processes of $user would not end: $(ps -u "$user" -o pid=,comm= | xargs)" >&2
        return 1
    }
}

# A desktop of its own (tests/e2e/desktop.sh): where root may, as the first process of a PID
# namespace, so that whatever the desktop starts ends with it and is reaped.
start_desktop() {
    if has_trait as-user; then
        [ "$(id -u)" -eq 0 ] || fail "$WM refuses root and only root can make a user to run it"
        DESKTOP_USER=koruva-$WM-$$-$BASHPID
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
            "$DESKTOP_USER" || fail "cannot make the user $WM runs as"
        # It reads its configuration from our work folder.
        mkdir -p "$WORK/desktop"
        chmod o+x "$E2E_TOP" "$WORK" "$WORK/desktop"
    fi
    local report="$WORK/desktop.report"
    rm -f "$report"
    mkfifo "$report"
    # The namespace has a /proc of its own: compositors look their clients up there.
    local launch=(setsid) namespace=
    if [ "$(id -u)" -eq 0 ] && unshare --pid --fork --kill-child --mount-proc true 2>/dev/null; then
        launch=(unshare --pid --fork --kill-child --mount-proc) namespace=yes
    fi
    "${launch[@]}" "$E2E_DIR/desktop.sh" "$WM" "$report" "$WORK/desktop" $DESKTOP_USER \
        2>>"$WORK/desktop.log" &
    DESKTOP_LAUNCHER=$!
    local xauthority bus
    # Opened for writing too, so that a desktop that dies before it tells cannot block the read.
    read -r -t 90 DISPLAY xauthority bus <>"$report" && [ -n "$bus" ] ||
        fail "$WM did not start: $(tail -n 5 "$WORK/desktop.log" "$WORK/desktop/wm.log" 2>&1)"
    # The clock shares the desktop's session bus, as the programs of a session do.
    export DBUS_SESSION_BUS_ADDRESS=$bus
    DESKTOP_PID=$DESKTOP_LAUNCHER
    [ -z "$namespace" ] ||
        DESKTOP_PID=$(awk '{print $1}' "/proc/$DESKTOP_LAUNCHER/task/$DESKTOP_LAUNCHER/children")
    export DISPLAY
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM XAUTHORITY
    [ "$xauthority" = - ] || export XAUTHORITY="$xauthority"
}

# The desktop ends what it started; the namespace (or, without one, the process group) takes
# whatever would not end.
end_desktop() {
    if [ -n "${DESKTOP_LAUNCHER:-}" ]; then
        [ -z "$DESKTOP_PID" ] || kill "$DESKTOP_PID" 2>/dev/null || true
        local deadline=$((SECONDS + 10))
        while kill -0 "$DESKTOP_LAUNCHER" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
        [ -z "$DESKTOP_PID" ] || kill -KILL "$DESKTOP_PID" 2>/dev/null || true
        kill -KILL -- "-$DESKTOP_LAUNCHER" 2>/dev/null || true
        kill -KILL "$DESKTOP_LAUNCHER" 2>/dev/null || true
        wait "$DESKTOP_LAUNCHER" 2>/dev/null || true
        DESKTOP_LAUNCHER= DESKTOP_PID=
        # Its bus has ended with it.
        unset DBUS_SESSION_BUS_ADDRESS
    fi
    if [ -n "${DESKTOP_USER:-}" ]; then
        # Nothing of the user's may outlive it; a namespace has taken everything already.
        end_processes_of "$DESKTOP_USER" || true
        userdel "$DESKTOP_USER" 2>/dev/null || true
        DESKTOP_USER=
    fi
}
