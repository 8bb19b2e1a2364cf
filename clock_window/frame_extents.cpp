#include "frame_extents.h"

#include <QGuiApplication>
#include <QWindow>

#ifdef KORUVA_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>
#endif

namespace FrameExtents {

#ifdef KORUVA_HAVE_XCB
namespace {

// Window managers that answer at all answer within milliseconds. One that never does must not
// keep the clock from starting: past these the window is placed as Qt sees it.
constexpr std::chrono::milliseconds kAnswerBeforeMapping{250};
constexpr std::chrono::milliseconds kAnswerAfterMapping{2000};

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> ReplyPtr<Reply> owned(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

// A connection of our own: waiting on Qt's would take events from under its event reader.
class XConnection {
public:
    XConnection() : m_connection(xcb_connect(nullptr, &m_screen)) {}
    ~XConnection() { xcb_disconnect(m_connection); }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    bool ok() const { return xcb_connection_has_error(m_connection) == 0; }
    xcb_connection_t* get() const { return m_connection; }

    xcb_window_t root() const {
        auto it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; i < m_screen && it.rem > 0; ++i)
            xcb_screen_next(&it);
        return it.data->root;
    }

    xcb_atom_t atom(const char* name) const {
        const auto reply = owned(xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, std::strlen(name), name), nullptr));
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    // The 32-bit values of a property, or nothing when it is not set.
    std::optional<std::vector<std::uint32_t>> cardinals(xcb_window_t window, xcb_atom_t property,
                                                        xcb_atom_t type) const {
        const auto reply = owned(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, property, type, 0, 1024),
            nullptr));
        if (!reply || reply->type != type || reply->format != 32)
            return std::nullopt;
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
        return std::vector<std::uint32_t>(data, data + reply->value_len);
    }

private:
    int m_screen = 0;
    xcb_connection_t* m_connection;
};

bool windowManagerRuns(const XConnection& x, xcb_atom_t check) {
    const auto owner = x.cardinals(x.root(), check, XCB_ATOM_WINDOW);
    if (!owner || owner->empty())
        return false;
    // A stale property outlives a window manager that died; its check window does not.
    const auto self = x.cardinals(owner->front(), check, XCB_ATOM_WINDOW);
    return self && !self->empty() && self->front() == owner->front();
}

bool supports(const XConnection& x, xcb_atom_t hint) {
    const auto supported = x.cardinals(x.root(), x.atom("_NET_SUPPORTED"), XCB_ATOM_ATOM);
    return supported && std::find(supported->begin(), supported->end(), hint) != supported->end();
}

using Extents = std::array<std::uint32_t, 4>; // left, right, top, bottom

// Waits until the window manager sets the window's frame extents, or the deadline passes.
std::optional<Extents> awaitExtents(const XConnection& x, xcb_window_t window, xcb_atom_t extents,
                                    std::chrono::milliseconds patience) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + patience;
    for (;;) {
        const auto values = x.cardinals(window, extents, XCB_ATOM_CARDINAL);
        if (values && values->size() == 4)
            return Extents{(*values)[0], (*values)[1], (*values)[2], (*values)[3]};
        bool changed = false;
        while (!changed) {
            const auto event = owned(xcb_poll_for_event(x.get()));
            if (!event)
                break;
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
            changed = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
                      notify->window == window && notify->atom == extents;
        }
        if (changed)
            continue;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !x.ok())
            return std::nullopt;
        pollfd wait{xcb_get_file_descriptor(x.get()), POLLIN, 0};
        ::poll(&wait, 1, static_cast<int>(left.count()));
    }
}

std::optional<Extents> askWindowManager(xcb_window_t window, const std::function<void()>& map) {
    XConnection x;
    if (!x.ok())
        return std::nullopt;
    if (!windowManagerRuns(x, x.atom("_NET_SUPPORTING_WM_CHECK")))
        return Extents{};
    const xcb_atom_t extents = x.atom("_NET_FRAME_EXTENTS");
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(x.get(), window, XCB_CW_EVENT_MASK, &mask);

    const xcb_atom_t request = x.atom("_NET_REQUEST_FRAME_EXTENTS");
    if (supports(x, request)) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = request;
        xcb_send_event(x.get(), 0, x.root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(x.get());
        if (const auto answer = awaitExtents(x, window, extents, kAnswerBeforeMapping))
            return answer;
    }
    // Some window managers (fluxbox) advertise the request but frame only mapped windows.
    map();
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        xcb_flush(x11->connection());
    return awaitExtents(x, window, extents, kAnswerAfterMapping);
}

} // namespace
#endif

QMargins ofUnmappedWindow(QWindow* window, const std::function<void()>& map) {
#ifdef KORUVA_HAVE_XCB
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (const auto frame = askWindowManager(static_cast<xcb_window_t>(window->winId()), map)) {
            const qreal ratio = window->devicePixelRatio();
            const auto scaled = [ratio](std::uint32_t pixels) { return qRound(pixels / ratio); };
            return {scaled((*frame)[0]), scaled((*frame)[2]), scaled((*frame)[1]),
                    scaled((*frame)[3])};
        }
    }
#else
    Q_UNUSED(map);
#endif
    return window->frameMargins();
}

} // namespace FrameExtents
