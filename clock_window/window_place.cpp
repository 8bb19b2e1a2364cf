#include "window_place.h"

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
    QPoint topLeft = m_requested.value_or(frameTopLeft());
    topLeft.setX(x);
    request(topLeft);
}

void WindowPlace::moveFrameTop(int y) {
    QPoint topLeft = m_requested.value_or(frameTopLeft());
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
    if (!m_window->testAttribute(Qt::WA_WState_Created)) {
        m_window->move(topLeft);
        return;
    }
    const bool sendPending = m_requested.has_value();
    m_requested = topLeft;
    if (!sendPending)
        QMetaObject::invokeMethod(this, &WindowPlace::send, Qt::QueuedConnection);
}

// The widget's geometry follows only what the platform reports: the window asks for moves
// through its QWindow, never through the widget.
void WindowPlace::send() {
    const auto topLeft = std::exchange(m_requested, std::nullopt);
    if (topLeft && !m_stopped)
        m_window->windowHandle()->setFramePosition(*topLeft);
}
