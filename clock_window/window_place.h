#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>

#include <functional>
#include <optional>

class QWidget;

// Where a top-level window stands, frame included, in pixels: always where the platform last
// reported it (on X11 the server's ConfigureNotify), never a place only asked for, since a
// window manager may refuse a move or put the window elsewhere. Moves are asked for by the
// frame's corner, which is how the standard places a framed window (ICCCM's NorthWest gravity):
// the window manager adds its frame itself, so no frame arithmetic of ours is needed.
class WindowPlace : public QObject {
    Q_OBJECT
public:
    using Screens = std::function<QList<QRect>()>;
    WindowPlace(QWidget* window, Screens screens);

    QPoint frameTopLeft() const;
    // Before the window is first shown the corner is given to the window itself: on X11 the
    // window manager puts the frame there as it maps it; on Windows, where the frame is the
    // window's own, the window is made first and placed by the frame it has. Afterwards the
    // corners asked for while one event is handled go out as one request when it is done: a
    // drag sets Top, then Left.
    void moveFrameLeft(int x);
    void moveFrameTop(int y);
    // Whether a window with its corner at `frameTopLeft` shows any of its client area on a
    // screen. The frame is not known before the first show: the client area is judged at the
    // corner.
    bool onSomeScreen(const QPoint& frameTopLeft) const;
    // No more moves: the window is ending.
    void stop() { m_stopped = true; }

private:
    void request(const QPoint& topLeft);
    void placeBeforeShow(const QPoint& topLeft);
    void send();

    QWidget* m_window;
    Screens m_screens;
    std::optional<QPoint> m_requested;
    std::optional<QPoint> m_beforeShow;
    bool m_stopped = false;
};
