#pragma once

#include <QMargins>

#include <functional>

class QWindow;

namespace FrameExtents {

// The frame the window manager puts around `window`, in the window's device-independent
// pixels, asked while the window is not yet mapped. On X11 a window manager frames a window
// only after the map request, so until then Qt knows no frame: this asks the window manager
// for it (EWMH's _NET_REQUEST_FRAME_EXTENTS) and waits for the answer. A window manager that
// only tells once the window is mapped gets the window mapped through `map`, and the answer
// is awaited then. No frame where no window manager runs; elsewhere, what Qt knows.
QMargins ofUnmappedWindow(QWindow* window, const std::function<void()>& map);

} // namespace FrameExtents
