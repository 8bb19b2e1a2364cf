#!/usr/bin/env bash
# Wherever the program lies and whatever lies beside it, a start reads what the last save wrote,
# and a save is made wherever it can be: another user's file in a shared sticky folder, a
# SETTING.DAT copied from a stick, a folder name in Latin-1, a link to another file, a full disk,
# a read-only program folder. Only when neither the program folder nor the per-user folder takes
# the save is the user told (a message box, exit status 1), and the old setting.dat stays whole.
# The disk cases mount small tmpfs file systems; where that is not allowed they are skipped (77).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_begin "$1"
MOUNTS=()
unmount_all() {
    for m in "${MOUNTS[@]}"; do umount -l "$m" 2>/dev/null || true; done
    cleanup
}
trap unmount_all EXIT
start_xvfb
per_user="$XDG_CONFIG_HOME/Velomire -KORUVA!-/setting.dat"

# Starts the clock from $1, expects it at $2 $3 (the saved place) or at the design place, drags
# it, saves, and checks that the next start comes back to where it was dragged.
save_and_restart() {
    local app=$1 what=$2
    start_clock "$app"
    wait_until "$what: the saved place ${3:-433} ${4:-265}" window_at "${3:-433}" "${4:-265}"
    drag_by 40 30
    local x=$X y=$Y
    double_click_save 0
    start_clock "$app"
    wait_until "$what: back where it was dragged" window_at "$x" "$y"
    stop_clock
}

# An ordinary user's clock in a shared sticky folder beside root's setting.dat: the rename over
# root's file is refused, so the save goes to the user's own folder, and from then on their
# start reads that one, not root's.
if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$WORK"
    shared=$(new_program_folder)
    chmod 1777 "$shared"
    crlf 1500 3000 >"$shared/setting.dat"
    users_config="$WORK/users-config"
    mkdir -p "$users_config" && chown nobody "$users_config"
    RUN_AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups
        env XDG_CONFIG_HOME="$users_config")
    save_and_restart "$shared" "sticky shared folder" 100 200
    RUN_AS=()
    [ "$(cat "$shared/setting.dat")" = "$(crlf 1500 3000)" ] || fail "root's file changed"
    [ "$(stat -c %U "$users_config/Velomire -KORUVA!-/setting.dat")" = nobody ] ||
        fail "the user's save is not in the user's folder"
    echo "ok sticky shared folder: saved per user, read back from there"
fi

# A SETTING.DAT copied from a FAT stick: read while it is the only file, then the save writes
# setting.dat and the next start reads that, not the variant.
variant=$(new_program_folder)
crlf 1500 3000 >"$variant/SETTING.DAT"
save_and_restart "$variant" "case variant" 100 200
[ "$(cat "$variant/SETTING.DAT")" = "$(crlf 1500 3000)" ] || fail "SETTING.DAT changed"
echo "ok case variant beside the program"

# A portable copy unpacked into the per-user folder itself, which is named through a link: one
# folder, one file. The save beside the program is the per-user file, and stays.
mkdir -p "$WORK/real-config/Velomire -KORUVA!-"
cp "$KORUVA_BIN" "$WORK/real-config/Velomire -KORUVA!-/koruva"
ln -s "$WORK/real-config" "$WORK/linked-config"
config_home=$XDG_CONFIG_HOME
XDG_CONFIG_HOME=$WORK/linked-config
save_and_restart "$WORK/real-config/Velomire -KORUVA!-" "program in the per-user folder"
XDG_CONFIG_HOME=$config_home
[ -f "$WORK/real-config/Velomire -KORUVA!-/setting.dat" ] || fail "program in the per-user folder: nothing saved"
echo "ok the program in the per-user folder, reached through a link"

# An XDG_CONFIG_HOME longer than any path the line-file routines address names no per-user
# folder: the clock starts, and saves beside the program as ever.
XDG_CONFIG_HOME="/$(head -c 40000 /dev/zero | tr '\0' x)/"
save_and_restart "$(new_program_folder)" "overlong XDG_CONFIG_HOME"
XDG_CONFIG_HOME=$config_home
echo "ok overlong XDG_CONFIG_HOME"

# A program folder whose name is Latin-1 bytes, no valid UTF-8: the file goes into that very
# folder, never to the root of the file system.
latin1="$WORK/$(printf 'caf\xe9-%s' "$RANDOM")"
mkdir "$latin1" && cp "$KORUVA_BIN" "$latin1/koruva"
rm -f /setting.dat
save_and_restart "$latin1" "Latin-1 folder"
[ -f "$latin1/setting.dat" ] || fail "Latin-1 folder: no setting.dat beside the program"
[ ! -e /setting.dat ] || fail "Latin-1 folder: a setting.dat appeared at the root"
echo "ok Latin-1 program folder"

# setting.dat a link to another file of the user's: read through, the other file's mode and
# content left alone, and the save puts a file of its own in the link's place.
linked=$(new_program_folder)
crlf 1500 3000 >"$WORK/elsewhere"
chmod 400 "$WORK/elsewhere"
ln -s "$WORK/elsewhere" "$linked/setting.dat"
save_and_restart "$linked" "link" 100 200
[ "$(stat -c %a "$WORK/elsewhere")" = 400 ] || fail "the link's target is now $(stat -c %a "$WORK/elsewhere")"
[ "$(cat "$WORK/elsewhere")" = "$(crlf 1500 3000)" ] || fail "the link's target changed"
[ ! -L "$linked/setting.dat" ] || fail "the save wrote through the link"
echo "ok link to another file"

mount_tmpfs() {
    local dir=$1 size=$2
    mkdir -p "$dir"
    mount -t tmpfs -o "size=$size" tmpfs "$dir" 2>/dev/null || return 1
    MOUNTS+=("$dir")
}
if ! mount_tmpfs "$WORK/probe" 64k; then
    echo "SKIP: cannot mount a tmpfs here, so the full and read-only disks are left out"
    exit 77
fi

# Room for the program (larger under the sanitizers) and a little more, soon filled.
room=$(($(stat -c %s "$KORUVA_BIN") / 1024 + 1024))k

# A full disk beside the program: the save goes to the per-user folder, the old file stays.
full=$WORK/full
mount_tmpfs "$full" "$room" || fail "cannot mount the full disk"
cp "$KORUVA_BIN" "$full/koruva"
crlf 1500 3000 >"$full/setting.dat"
dd if=/dev/zero of="$full/filler" bs=4k 2>/dev/null || true
save_and_restart "$full" "full disk" 100 200
[ "$(cat "$full/setting.dat")" = "$(crlf 1500 3000)" ] || fail "full disk: setting.dat changed"
[ -f "$per_user" ] || fail "full disk: nothing saved per user"
echo "ok full disk: saved per user"
rm -rf "$XDG_CONFIG_HOME"

# A read-only program folder: its file is read until the first save, which goes per user; its
# read-only mark cannot be cleared there, and it is read all the same.
readonly=$WORK/readonly
mount_tmpfs "$readonly" "$room" || fail "cannot mount the read-only folder"
cp "$KORUVA_BIN" "$readonly/koruva"
crlf 1500 3000 >"$readonly/setting.dat"
chmod 444 "$readonly/setting.dat"
mount -o remount,ro "$readonly"
save_and_restart "$readonly" "read-only folder" 100 200
[ "$(cat "$readonly/setting.dat")" = "$(crlf 1500 3000)" ] || fail "read-only folder: setting.dat changed"
echo "ok read-only program folder: saved per user"

# Root with a user's HOME and XDG_CONFIG_HOME (sudo -E), the program folder read-only: nothing
# of root's goes into the user's home; the save goes to root's own home, as the system records
# it (here a folder of ours mounted over /root for the clock alone), in folders made 0700.
users_home=$WORK/users-home
root_home=$WORK/root-home
mkdir -p "$users_home" "$root_home"
chown nobody "$users_home"
RUN_AS=(env HOME="$users_home" XDG_CONFIG_HOME="$users_home/.config"
    unshare --mount --propagation private
    sh -c 'mount --bind "$1" /root && shift && exec "$@"' sh "$root_home")
save_and_restart "$readonly" "root with a user's HOME" 100 200
RUN_AS=()
[ -z "$(ls -A "$users_home")" ] || fail "root wrote into the user's home: $(ls -lA "$users_home")"
root_copy="$root_home/.config/Velomire -KORUVA!-/setting.dat"
[ -f "$root_copy" ] || fail "root's save is not in root's own home"
[ "$(stat -c %a "$root_home/.config")/$(stat -c %a "$(dirname "$root_copy")")" = 700/700 ] ||
    fail "root's folders are $(stat -c %a "$root_home/.config" "$(dirname "$root_copy")")"
echo "ok root with a user's HOME: saved in root's own home, nothing in the user's"

# Neither folder writable: a file stands where the per-user folder's parent should be.
rm -rf "$XDG_CONFIG_HOME"
echo "not a folder" >"$XDG_CONFIG_HOME"
start_clock "$readonly"
wait_until "neither writable: the saved place" window_at 100 200
xdotool mousemove --window "$WID" 5 5 click --repeat 2 --delay 60 1
box=
find_box() {
    box=$(xdotool search --onlyvisible --name '^Velomire -KORUVA!-$' 2>/dev/null | grep -v "^$WID\$" | head -n 1)
    [ -n "$box" ]
}
wait_until "neither writable: a message box" find_box
xdotool windowfocus --sync "$box" key Return
wait_clock_exit 1
[ "$(cat "$readonly/setting.dat")" = "$(crlf 1500 3000)" ] || fail "neither writable: setting.dat changed"
[ "$(cat "$XDG_CONFIG_HOME")" = "not a folder" ] || fail "the per-user stand-in changed"
echo "ok neither folder writable: the user is told"
echo "PASS"
