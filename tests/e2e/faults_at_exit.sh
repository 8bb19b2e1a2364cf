#!/usr/bin/env bash
# A save that cannot be written, on a full disk, and in a read-only program folder when the
# per-user folder cannot be made either: the user is told, the program ends with a non-zero
# status, and the old setting.dat stays whole. A read-only program folder alone saves per user.
# Needs to mount small tmpfs file systems; where that is not allowed the test is skipped (77).
source "$(dirname "$0")/lib.sh"
MOUNTS=()
unmount_all() {
    for m in "${MOUNTS[@]}"; do umount -l "$m" 2>/dev/null || true; done
    cleanup
}
trap unmount_all EXIT

mount_tmpfs() {
    local dir=$1 size=$2
    mkdir -p "$dir"
    mount -t tmpfs -o "size=$size" tmpfs "$dir" 2>/dev/null || return 1
    MOUNTS+=("$dir")
}
if ! mount_tmpfs "$WORK/probe" 64k; then
    echo "SKIP: cannot mount a tmpfs here"
    exit 77
fi
start_xvfb

# Double-clicks the picture, answers the message box, and checks what is left.
expect_failed_save() {
    local app=$1 what=$2
    start_clock "$app"
    xdotool mousemove --window "$WID" 5 5 click --repeat 2 --delay 60 1
    local box=
    find_box() {
        box=$(xdotool search --onlyvisible --name '^Velomire -KORUVA!-$' 2>/dev/null | grep -v "^$WID\$" | head -n 1)
        [ -n "$box" ]
    }
    wait_until "$what: a message box" find_box
    xdotool windowfocus --sync "$box" key Return
    wait_clock_exit 1
    [ "$(cat "$app/setting.dat")" = "$(crlf 1500 3000)" ] || fail "$what: setting.dat changed"
    echo "ok $what"
}

# Room for the program (larger under the sanitizers) and a little more, soon filled.
room=$(($(stat -c %s "$KORUVA_BIN") / 1024 + 1024))k
full=$WORK/full
mount_tmpfs "$full" "$room" || fail "cannot mount the full disk"
cp "$KORUVA_BIN" "$full/koruva"
crlf 1500 3000 >"$full/setting.dat"
dd if=/dev/zero of="$full/filler" bs=4k 2>/dev/null || true
expect_failed_save "$full" "full disk"

# A read-only program folder sends the save to the per-user folder; the file beside the
# program stays as it was and still wins at the next start.
readonly=$WORK/readonly
mount_tmpfs "$readonly" "$room" || fail "cannot mount the read-only folder"
cp "$KORUVA_BIN" "$readonly/koruva"
crlf 1500 3000 >"$readonly/setting.dat"
chmod 444 "$readonly/setting.dat"
mount -o remount,ro "$readonly"
per_user="$XDG_CONFIG_HOME/Velomire -KORUVA!-/setting.dat"
start_clock "$readonly"
# Its read-only mark cannot be cleared here, and it is read all the same.
wait_until "read-only folder: the saved position" window_at 100 200
xdotool mousemove --window "$WID" 5 5 click --repeat 2 --delay 60 1
wait_clock_exit 0
[ "$(cat "$per_user")" = "$(crlf 1500 3000)" ] || fail "read-only folder: per-user file holds $(od -c "$per_user")"
[ "$(cat "$readonly/setting.dat")" = "$(crlf 1500 3000)" ] || fail "read-only folder: setting.dat changed"
echo "ok read-only program folder, saved per user"

# Neither folder writable: a file stands where the per-user folder's parent should be.
rm -rf "$XDG_CONFIG_HOME"
echo "not a folder" >"$XDG_CONFIG_HOME"
expect_failed_save "$readonly" "read-only program folder, per-user folder impossible"
[ "$(cat "$XDG_CONFIG_HOME")" = "not a folder" ] || fail "the per-user stand-in changed"
echo "PASS"
