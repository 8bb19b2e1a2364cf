#!/usr/bin/python3
"""Watches the X server in $DISPLAY, from before the program under test starts, for how its
window is first shown. The X server's RECORD extension hands over, in the server's order,
every window's creation, reparenting, moves and maps, every drawing request and every request
to move a window, so nothing is missed however early it happens. Prints "ready" once it
records. Given a window id on standard input, it waits until that window has been drawn on
after it was exposed, answers for it and ends:

    shown=N at=X,Y final=X,Y moves=M asked=A

shown: how often the window became viewable (mapped, and every window around it mapped);
at: where it stood on the screen when it was first drawn on while viewable (where it became
viewable, should no drawing be seen within ten seconds); final: where it stands now; moves:
how often it moved on the screen after that; asked: how often its own program asked to move it
once it had become viewable. Add --log to print what it saw.
"""
import struct
import sys
import threading

from Xlib import X, display
from Xlib.ext import record

CONFIGURE_WINDOW = 12
# Requests that draw, and where each names its destination: CopyArea and CopyPlane name it
# second, PolyPoint to PutImage first.
DRAWING = {62: 8, 63: 8, 64: 4, 65: 4, 66: 4, 67: 4, 68: 4, 69: 4, 70: 4, 71: 4, 72: 4}
SHM_PUT_IMAGE = 3
NO_RANGE = {"core_requests": (0, 0), "core_replies": (0, 0), "ext_requests": (0, 0, 0, 0),
            "ext_replies": (0, 0, 0, 0), "delivered_events": (0, 0), "device_events": (0, 0),
            "errors": (0, 0), "client_started": False, "client_died": False}


def record_all(control, recorder, ranges, seen):
    """Records until a window id comes on standard input and that window has been drawn on
    after it was exposed (or ten seconds have passed); returns the id, or None."""
    context = control.record_create_context(0, [record.AllClients], ranges)
    control.sync()
    shm = ranges[-1]["ext_requests"][0]
    lock, drawn = threading.Lock(), threading.Event()
    wanted = {"window": None}
    unread = {}  # client -> bytes of its last request still to come

    # Only an exposed window shows what is drawn on it. A window manager may map the window
    # inside a frame it has yet to map, and Qt draws on the MapNotify already: a drawing that
    # shows nothing, with the one that shows still to come.
    # Each call looks only at what came since the last one.
    progress = {"looked_at": 0, "exposed": False}

    def check():
        target = wanted["window"]
        for item in seen[progress["looked_at"]:]:
            if item[0] == "event" and item[1][0] == X.Expose and \
                    struct.unpack_from("<I", item[1], 4)[0] == target:
                progress["exposed"] = True
            elif item[0] == "paint" and item[1] == target and progress["exposed"]:
                drawn.set()
                break
        progress["looked_at"] = len(seen)

    def take(reply):
        data = reply.data
        if reply.category == record.StartOfData:
            print("ready", flush=True)
            return
        with lock:
            if reply.category == record.FromServer:
                seen.extend(("event", data[at:at + 32]) for at in range(0, len(data) - 31, 32))
            elif reply.category == record.FromClient:
                # A request too long for one reply goes on in the next from the same client.
                at = unread.pop(reply.id_base, 0)
                while at + 8 <= len(data):
                    opcode = data[at]
                    length = struct.unpack_from("<H", data, at + 2)[0] * 4
                    if length == 0:  # BIG-REQUESTS: a 32-bit length follows
                        length = struct.unpack_from("<I", data, at + 4)[0] * 4
                    if opcode in DRAWING:
                        seen.append(("paint",
                                     struct.unpack_from("<I", data, at + DRAWING[opcode])[0]))
                    elif shm and opcode == shm:
                        seen.append(("paint", struct.unpack_from("<I", data, at + 4)[0]))
                    elif opcode == CONFIGURE_WINDOW:
                        window, mask = struct.unpack_from("<IH", data, at + 4)
                        if mask & (X.CWX | X.CWY):
                            seen.append(("move", reply.id_base, window))
                    at += max(length, 4)
                if at > len(data):
                    unread[reply.id_base] = at - len(data)
            if wanted["window"] is not None and not drawn.is_set():
                check()

    recording = threading.Thread(target=recorder.record_enable_context, args=(context, take))
    recording.start()
    asked = sys.stdin.readline().split()
    if asked:
        with lock:
            wanted["window"] = int(asked[0], 0)
            check()
        drawn.wait(10)
    # The server hands over what it recorded before the context ends.
    control.record_disable_context(context)
    control.sync()
    recording.join()
    control.record_free_context(context)
    control.sync()
    return wanted["window"]


def main():
    log = "--log" in sys.argv[1:]
    control, recorder = display.Display(), display.Display()
    root = control.screen().root.id
    shm = control.query_extension("MIT-SHM")
    shm = shm.major_opcode if shm and shm.present else 0
    ranges = [dict(NO_RANGE, core_requests=(CONFIGURE_WINDOW, CONFIGURE_WINDOW)),
              dict(NO_RANGE, delivered_events=(X.Expose, X.ConfigureNotify),
                   core_requests=(min(DRAWING), max(DRAWING)),
                   ext_requests=(shm, shm, SHM_PUT_IMAGE, SHM_PUT_IMAGE))]
    seen = []
    target = record_all(control, recorder, ranges, seen)
    if target is None:
        return 1
    own_client = target & ~control.display.info.resource_id_mask
    events = [item[1] for item in seen if item[0] == "event"]

    # window -> [parent, x, y, border, mapped]; the root is always there and mapped.
    windows = {root: [None, 0, 0, 0, True]}
    # A window made where no one listened (a frame's inner wrapper, say) is learnt from the
    # server as it is now; mapped or not as its first recorded map or unmap says it was not.
    created, mapping, referred = set(), {}, set()
    for data in events:
        kind = data[0] & 0x7F
        if kind == X.CreateNotify:
            parent, window = struct.unpack_from("<II", data, 4)
            created.add(window)
            referred.add(parent)
        elif kind in (X.MapNotify, X.UnmapNotify):
            window = struct.unpack_from("<I", data, 8)[0]
            mapping.setdefault(window, kind == X.UnmapNotify)
            referred.add(window)
        elif kind == X.ReparentNotify:
            referred.update(struct.unpack_from("<II", data, 8))
        elif kind == X.ConfigureNotify:
            referred.add(struct.unpack_from("<I", data, 8)[0])
    for window in referred - created - {root}:
        try:
            resource = control.create_resource_object("window", window)
            geometry, attributes = resource.get_geometry(), resource.get_attributes()
            windows[window] = [resource.query_tree().parent.id, geometry.x, geometry.y,
                               geometry.border_width,
                               mapping.get(window, attributes.map_state != X.IsUnmapped)]
        except Exception:
            pass

    def inside(window):  # the screen position of a window's inside, or None
        if window == root:
            return (0, 0)
        known = windows.get(window)
        if not known or known[0] is None:
            return None
        parent = inside(known[0])
        if parent is None:
            return None
        return (parent[0] + known[1] + known[3], parent[1] + known[2] + known[3])

    def viewable(window):
        while window != root:
            known = windows.get(window)
            if not known or not known[4]:
                return False
            window = known[0]
        return True

    shown, moves, moves_asked, first, last = 0, 0, 0, None, None
    # Should the first drawing go unseen, where it became viewable stands for it.
    viewable_at, viewable_last, viewable_moves = None, None, 0
    was_viewable = False
    for item in seen:
        if item[0] == "paint":
            if item[1] == target and was_viewable and first is None:
                first = last = inside(target)
                if log:
                    print("first drawn at", first, file=sys.stderr, flush=True)
            continue
        if item[0] == "move":
            if item[1] == own_client and item[2] == target and shown:
                moves_asked += 1
                if log:
                    print("its program asks to move it", file=sys.stderr, flush=True)
            continue
        data = item[1]
        kind = data[0]
        if kind & 0x80:  # sent by a client, not the server's own account
            continue
        if kind == X.CreateNotify:
            parent, window, x, y, _, _, border = struct.unpack_from("<IIhhHHH", data, 4)
            if window not in windows or windows[window][4] is False:
                windows[window] = [parent, x, y, border, False]
        elif kind == X.DestroyNotify:
            windows.pop(struct.unpack_from("<I", data, 8)[0], None)
        elif kind in (X.MapNotify, X.UnmapNotify):
            window = struct.unpack_from("<I", data, 8)[0]
            if window in windows:
                windows[window][4] = kind == X.MapNotify
        elif kind == X.ReparentNotify:
            window, parent, x, y = struct.unpack_from("<IIhh", data, 8)
            if window in windows:
                windows[window][0:3] = [parent, x, y]
        elif kind == X.ConfigureNotify:
            window, _, x, y, _, _, border = struct.unpack_from("<IIhhHHH", data, 8)
            if window in windows:
                windows[window][1:4] = [x, y, border]
        else:
            continue
        now_viewable = viewable(target)
        where = inside(target)
        if log:
            print(kind, *struct.unpack_from("<II", data, 4), now_viewable, where,
                  file=sys.stderr, flush=True)
        if now_viewable and not was_viewable:
            shown += 1
            viewable_at = viewable_at or where
        elif now_viewable and where != viewable_last:
            viewable_moves += 1
        if now_viewable:
            viewable_last = where
        if now_viewable and first is not None and where != last:
            moves += 1
        was_viewable = now_viewable
        if now_viewable and first is not None:
            last = where

    if first is None:
        first, moves = viewable_at, viewable_moves
    show = lambda point: "%d,%d" % point if point else "-"
    print("shown=%d at=%s final=%s moves=%d asked=%d" % (
        shown, show(first), show(inside(target)), moves, moves_asked), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
