#!/usr/bin/python3
"""A window manager that misbehaves, on the X server in $DISPLAY, for the end-to-end tests.
It claims EWMH, frame extents and their request included, maps what asks to be mapped and
moves what asks to be moved, and then, by MODE:

  noframe   never frames a window and never tells a frame.
  flood     as noframe, but rewrites each new window's _NET_FRAME_EXTENTS with a value of the
            wrong length, a PropertyNotify each time, from the window's creation until well
            after it is mapped.
  negative  tells frame extents of -10 on every side (0xFFFFFFF6 as CARDINAL), also when asked
            before mapping, and places windows by their ICCCM gravity with that frame.
"""
import sys

from Xlib import X, Xatom, Xutil, display
from Xlib.protocol import event as xevent

FLOOD_AFTER_MAP = 2000


def main():
    mode = sys.argv[1]
    screen = display.Display()
    # A window may go away at any moment: errors about it are no concern of ours.
    screen.set_error_handler(lambda *args: None)
    root = screen.screen().root
    atom = lambda name: screen.intern_atom(name)
    extents, request = atom("_NET_FRAME_EXTENTS"), atom("_NET_REQUEST_FRAME_EXTENTS")
    root.change_attributes(event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
    check = root.create_window(-1, -1, 1, 1, 0, X.CopyFromParent)
    for window in (root, check):
        window.change_property(atom("_NET_SUPPORTING_WM_CHECK"), Xatom.WINDOW, 32, [check.id])
    check.change_property(atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, b"odd-" + mode.encode())
    supported = ["_NET_SUPPORTED", "_NET_SUPPORTING_WM_CHECK", "_NET_WM_NAME",
                 "_NET_FRAME_EXTENTS", "_NET_REQUEST_FRAME_EXTENTS"]
    root.change_property(atom("_NET_SUPPORTED"), Xatom.ATOM, 32, [atom(n) for n in supported])
    screen.sync()

    frame = -10 if mode == "negative" else 0
    flooding = {}  # window -> changes still to make, None until it is mapped

    def tell_frame(window):
        if mode == "negative":
            window.change_property(extents, Xatom.CARDINAL, 32, [frame & 0xFFFFFFFF] * 4)

    # NorthWest gravity names the frame's corner: the client stands inside it by the frame.
    def shift(window):
        hints = window.get_wm_normal_hints()
        gravity = hints.win_gravity if hints and hints.flags & Xutil.PWinGravity else X.NorthWestGravity
        return (frame, frame) if gravity == X.NorthWestGravity else (0, 0)

    while True:
        if flooding and not screen.pending_events():
            for window in list(flooding):
                window.change_property(extents, Xatom.CARDINAL, 32, [0, 0])
                if flooding[window] is not None:
                    flooding[window] -= 1
                    if flooding[window] == 0:
                        del flooding[window]
            screen.flush()
            continue
        event = screen.next_event()
        try:
            if event.type == X.CreateNotify and mode == "flood" and event.window != check:
                flooding[event.window] = None
            elif event.type == X.DestroyNotify:
                flooding.pop(event.window, None)
            elif event.type == X.MapRequest:
                window = event.window
                tell_frame(window)
                dx, dy = shift(window)
                if dx or dy:
                    where = window.get_geometry()
                    window.configure(x=where.x + dx, y=where.y + dy)
                window.map()
                if window in flooding:
                    flooding[window] = FLOOD_AFTER_MAP
            elif event.type == X.ConfigureRequest:
                changes = {}
                dx, dy = shift(event.window)
                if event.value_mask & X.CWX:
                    changes["x"] = event.x + dx
                if event.value_mask & X.CWY:
                    changes["y"] = event.y + dy
                if event.value_mask & X.CWWidth:
                    changes["width"] = event.width
                if event.value_mask & X.CWHeight:
                    changes["height"] = event.height
                if event.value_mask & X.CWStackMode:
                    changes["stack_mode"] = event.stack_mode
                event.window.configure(**changes)
                # A client asked to stand where it already stands learns that it does.
                where = event.window.get_geometry()
                event.window.send_event(xevent.ConfigureNotify(
                    event=event.window, window=event.window, above_sibling=X.NONE,
                    x=where.x, y=where.y, width=where.width, height=where.height,
                    border_width=0, override=0), event_mask=X.StructureNotifyMask)
            elif event.type == X.ClientMessage and event.client_type == request:
                tell_frame(event.window)
        except Exception as error:
            print("odd_wm: %s" % error, file=sys.stderr)
        screen.flush()


if __name__ == "__main__":
    main()
