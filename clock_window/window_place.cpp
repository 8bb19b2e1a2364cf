#include "window_place.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <utility>

WindowPlace::WindowPlace(QWidget* window, Screens screens)
    : QObject(window), m_window(window), m_screens(std::move(screens)) {}

// The frame as the platform knows it now. QWidget::frameGeometry() is only refreshed when the
// window moves, and some window managers (fluxbox) publish their frame after the last move.
QPoint WindowPlace::frameTopLeft() const {
    const QWindow* handle = m_window->windowHandle();
    const QMargins frame = handle ? handle->frameMargins() : QMargins();
    return m_window->geometry().topLeft() - QPoint(frame.left(), frame.top());
}

void WindowPlace::moveFrameLeft(int x) {
    QPoint topLeft = !m_window->isVisible() && m_beforeShow ? *m_beforeShow
                                                            : m_requested.value_or(frameTopLeft());
    topLeft.setX(x);
    request(topLeft);
}

void WindowPlace::moveFrameTop(int y) {
    QPoint topLeft = !m_window->isVisible() && m_beforeShow ? *m_beforeShow
                                                            : m_requested.value_or(frameTopLeft());
    topLeft.setY(y);
    request(topLeft);
}

bool WindowPlace::onSomeScreen(const QPoint& frameTopLeft) const {
    const QRect client(frameTopLeft, m_window->size());
    for (const QRect& screen : m_screens()) {
        if (screen.intersects(client))
            return true;
    }
    return false;
}

void WindowPlace::request(const QPoint& topLeft) {
    if (m_stopped)
        return;
    if (!m_window->isVisible()) {
        placeBeforeShow(topLeft);
        return;
    }
    const bool sendPending = m_requested.has_value();
    m_requested = topLeft;
    if (!sendPending)
        QMetaObject::invokeMethod(this, &WindowPlace::send, Qt::QueuedConnection);
}

// Placed at once, so the window is shown once, at its place. Qt's Windows platform, asked for a
// frame's corner before the window exists, guesses the frame from the monitor under that corner,
// and a corner on no monitor (a negative Left or Top) gets a frame 4 px narrower on Wine than
// the window then has: the window would come back beside its place. Once the window exists, it
// tells its frame, the one Left and Top are later read with; the widget is given the client
// area's place, so that the first show keeps it.
void WindowPlace::placeBeforeShow(const QPoint& topLeft) {
    m_beforeShow = topLeft;
    if (QGuiApplication::platformName() != QLatin1String("windows")) {
        m_window->move(topLeft);
        return;
    }
    m_window->winId(); // makes the window, hidden
    const QMargins frame = m_window->windowHandle()->frameMargins();
    m_window->setGeometry(QRect(topLeft + QPoint(frame.left(), frame.top()), m_window->size()));
}

// The widget's geometry follows only what the platform reports: the window asks for moves
// through its QWindow, never through the widget.
void WindowPlace::send() {
    const auto topLeft = std::exchange(m_requested, std::nullopt);
    if (topLeft && !m_stopped)
        m_window->windowHandle()->setFramePosition(*topLeft);
}
