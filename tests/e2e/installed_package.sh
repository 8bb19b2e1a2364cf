#!/usr/bin/env bash
# The Debian package as a user gets it: its desktop entry and metainfo validate, it installs
# as root through apt-get, and the installed clock, started by an ordinary user the way the
# menu starts it, cannot write beside itself in /usr/bin: a double-click saves to the user's
# own folder and the next start restores from there. Root, run with the user's HOME, saves beside
# the program and leaves the user's home alone. A setting.dat root leaves beside the program is
# another user's file: it is read all the same and still wins.
# Run as root (it installs and removes the package and a user): installed_package.sh DEB
DEB=$(realpath "${1:?usage: $0 KORUVA_DEB}")
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_begin /usr/bin/koruva
[ "$(id -u)" -eq 0 ] || fail "needs root: it installs the package system-wide"

APP_ID=invalid.koruva.clock
TEST_USER=koruva-e2e
USER_HOME=/home/$TEST_USER
PER_USER="$USER_HOME/.config/Velomire -KORUVA!-/setting.dat"

apt_get() {
    # Another apt run may hold the lock for a moment.
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=120 -y -qq "$@"
}
# The trap: every step runs, whatever the one before it did; one that fails is named and fails
# the script, since it leaves something behind. The user goes last of all but the work folder,
# once nothing of theirs runs (their session bus, anything it started, a clock).
remove_all() {
    local status=$? failed=() out
    set +e
    end_process "$CLOCK_PID"
    CLOCK_PID=
    end_session_bus
    rm -f /usr/bin/setting.dat || failed+=("rm /usr/bin/setting.dat")
    if dpkg-query -W -f='${Status}' koruva 2>/dev/null | grep -q 'install ok installed'; then
        out=$(apt_get purge koruva 2>&1) || failed+=("apt-get purge koruva: $(tail -n 2 <<<"$out")")
    fi
    if id "$TEST_USER" >/dev/null 2>&1; then
        out=$(end_processes_of "$TEST_USER" 2>&1) || failed+=("$out")
        out=$(userdel --remove "$TEST_USER" 2>&1) || failed+=("userdel --remove $TEST_USER: $out")
    fi
    cleanup
    if [ ${#failed[@]} -gt 0 ]; then
        printf 'FAIL: cleaning up: %s\n' "${failed[@]}" >&2
        [ "$status" != 0 ] || status=1
    fi
    exit "$status"
}
trap remove_all EXIT

echo "== the package's files"
mkdir "$WORK/unpacked"
dpkg-deb -x "$DEB" "$WORK/unpacked"
desktop="$WORK/unpacked/usr/share/applications/$APP_ID.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
[ -z "$(desktop-file-validate "$desktop")" ] || fail "desktop-file-validate has remarks"
metainfo="$WORK/unpacked/usr/share/metainfo/$APP_ID.metainfo.xml"
appstreamcli validate --no-net --pedantic "$metainfo" >"$WORK/appstream.log" 2>&1 ||
    { cat "$WORK/appstream.log"; fail "appstreamcli validate"; }
# The one remark allowed: the id stands on the reserved .invalid domain until the project has
# a web address.
if grep -E '^[EWIP]: ' "$WORK/appstream.log" | grep -v ': cid-maybe-not-rdns '; then
    fail "appstreamcli validate has remarks"
fi
desktop_key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(desktop_key Name)" = "Velomire -KORUVA!-" ] || fail "Name is $(desktop_key Name)"
desktop_key Categories | tr ';' '\n' | grep -qx Clock || fail "no Clock category"
for size in 48 128; do
    [ "$(identify -format %wx%h "$WORK/unpacked/usr/share/icons/hicolor/${size}x$size/apps/$(desktop_key Icon).png")" = "${size}x$size" ] ||
        fail "no ${size}x$size icon named $(desktop_key Icon)"
done
for doc in copyright LICENSE BebasNeue-OFL.txt; do
    [ -s "$WORK/unpacked/usr/share/doc/koruva/$doc" ] || fail "no $doc"
done
echo "ok desktop entry, metainfo, icons, copyright, licence and font licence"

echo "== install as root"
# A fresh install, whatever an earlier run left.
rm -f /usr/bin/setting.dat
dpkg -s koruva >/dev/null 2>&1 && apt_get purge koruva >/dev/null 2>&1
apt_get install "$DEB" >/dev/null 2>&1 || fail "apt-get install $DEB"
[ "$(dpkg-query -W -f='${Status}' koruva)" = "install ok installed" ] || fail "not installed"
[ -x /usr/bin/koruva ] || fail "no /usr/bin/koruva"
[ -f "/usr/share/applications/$APP_ID.desktop" ] || fail "no menu entry"
echo "ok installed"

if id "$TEST_USER" >/dev/null 2>&1; then
    end_processes_of "$TEST_USER" && userdel --remove "$TEST_USER" 2>/dev/null ||
        fail "cannot remove the test user an earlier run left"
fi
useradd --create-home --shell /bin/sh "$TEST_USER"
start_xvfb
# The user's environment only, no configuration folder of the test's own; every step execs the
# next, so the process started is the clock itself. Their session has a bus of its own, run as
# the user, as a login starts it; root's from start_xvfb is not theirs.
user_env=(env -i HOME="$USER_HOME" USER="$TEST_USER" LOGNAME="$TEST_USER"
    PATH=/usr/local/bin:/usr/bin:/bin DISPLAY="$DISPLAY" LANG=C.UTF-8 ${KORUVA_RUN:+KORUVA_RUN=$KORUVA_RUN})
setpriv=(setpriv --reuid="$TEST_USER" --regid="$TEST_USER" --init-groups)
end_session_bus
new_session_bus "$WORK/bus.log" "${user_env[@]}" "${setpriv[@]}" ||
    fail "no session bus for $TEST_USER: $(tail -n 3 "$WORK/bus.log")"
as_user=("${user_env[@]}" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" "${setpriv[@]}")
"${as_user[@]}" sh -c 'test -w /usr/bin' && fail "/usr/bin is writable for $TEST_USER"

# Started as the menu starts it: the desktop entry's Exec line, found on the PATH.
start_from_menu() {
    "${as_user[@]}" sh -c "exec $(desktop_key Exec)" 2>>"$WORK/clock.stderr" &
    CLOCK_PID=$!
    WID=
    wait_until "the clock window to appear" find_clock_window
}

echo "== run as $TEST_USER"
start_from_menu
window_at 433 265 || fail "first start not at the design position"
wm_class=$(xprop -id "$WID" WM_CLASS | sed -n 's/.*= "[^"]*", "\(.*\)"$/\1/p')
[ "$wm_class" = "$(desktop_key StartupWMClass)" ] ||
    fail "WM_CLASS class \"$wm_class\", StartupWMClass \"$(desktop_key StartupWMClass)\""
xdotool mousemove --window "$WID" 100 132 mousedown 1 mousemove_relative --sync 40 30 mouseup 1
wait_until "the drag to move the window" window_at 473 295
xdotool mousemove --window "$WID" 5 5 click --repeat 2 --delay 60 1
wait_clock_exit 0
[ "$(cat "$PER_USER" 2>/dev/null)" = "$(crlf 7095 4425)" ] || fail "the per-user file holds: $(od -c "$PER_USER")"
[ "$(stat -c %U "$PER_USER")" = "$TEST_USER" ] || fail "the per-user file is not the user's"
[ ! -e /usr/bin/setting.dat ] || fail "a setting.dat appeared in /usr/bin"
[ -z "$(find "$(dirname "$PER_USER")" -name 'setting.dat.tmp*')" ] || fail "a temporary was left"
echo "ok a double-click saved to the per-user folder"

start_from_menu
wait_until "the position saved per user" window_at 473 295
stop_clock
echo "ok the next start restored it"

# Root with the user's environment (sudo -E, a root shell that kept HOME): root's own place is
# root's, not the user's; its save goes beside the program, and the user's copy stays theirs and
# is what the user's next start reads.
env -i HOME="$USER_HOME" USER=root LOGNAME=root PATH=/usr/local/bin:/usr/bin:/bin \
    DISPLAY="$DISPLAY" LANG=C.UTF-8 DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
    ${KORUVA_RUN:+KORUVA_RUN=$KORUVA_RUN} koruva 2>>"$WORK/clock.stderr" &
CLOCK_PID=$!
WID=
wait_until "the clock window to appear" find_clock_window
! window_at 473 295 || fail "root's start read the user's copy"
drag_by -40 -30
double_click_save 0
[ "$(cat /usr/bin/setting.dat)" = "$(crlf $((X * 15)) $((Y * 15)))" ] ||
    fail "root's save is not beside the program"
[ "$(cat "$PER_USER" 2>/dev/null)" = "$(crlf 7095 4425)" ] || fail "root's save changed the user's copy"
[ -z "$(find "$USER_HOME" -user root)" ] || fail "root left files in the user's home: $(find "$USER_HOME" -user root)"
start_from_menu
wait_until "the user's own place" window_at 473 295
stop_clock
rm /usr/bin/setting.dat
echo "ok root with the user's HOME keeps out of the user's home"

# An administrator's file beside the program (a double-click of `sudo koruva` leaves one, and a
# purge keeps it): read while the user has no save of their own, never again after one.
crlf 1500 3000 >/usr/bin/setting.dat
chmod 444 /usr/bin/setting.dat
rm -f "$PER_USER"
start_from_menu
wait_until "the position in root's file beside the program" window_at 100 200
drag_by 40 30
double_click_save 0
[ "$(cat "$PER_USER")" = "$(crlf 2100 3450)" ] || fail "the save did not go to the per-user folder"
[ "$(cat /usr/bin/setting.dat)" = "$(crlf 1500 3000)" ] || fail "root's file changed"
for _ in 1 2; do
    start_from_menu
    wait_until "the user's own place, not root's" window_at 140 230
    stop_clock
done
echo "ok an administrator's file beside the program gives way to the user's save"

# A copy of the program in a folder of the user's whose name is Latin-1 bytes, no valid UTF-8:
# its folder is writable, so the save goes there and the per-user copy is retired.
latin1="$USER_HOME/$(printf 'Uhr-\xe9t\xe9')"
"${as_user[@]}" sh -c 'mkdir "$1" && cp /usr/bin/koruva "$1/"' sh "$latin1" || fail "no Latin-1 folder"
start_copy() {
    "${as_user[@]}" "$latin1/koruva" 2>>"$WORK/clock.stderr" &
    CLOCK_PID=$!
    WID=
    wait_until "the clock window to appear" find_clock_window
}
start_copy
wait_until "the user's place" window_at 140 230
drag_by -40 -30
double_click_save 0
[ "$(cat "$latin1/setting.dat")" = "$(crlf 1500 3000)" ] || fail "nothing saved in the Latin-1 folder"
[ ! -e "$PER_USER" ] || fail "the per-user copy was not retired"
start_copy
wait_until "back where it was dragged" window_at 100 200
stop_clock
echo "ok a Latin-1 program folder"
echo "PASS"
