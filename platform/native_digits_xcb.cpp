#include "native_digits.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QSysInfo>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> ReplyPtr<Reply> owned(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

// True when `window`'s pixels are 24-bit true colour kept as 0x00RRGGBB in 32 bits, in this
// machine's byte order: then a QImage's RGB32 rows are the server's own and go out unchanged.
bool takesRgb32(xcb_connection_t* connection, xcb_window_t window) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const auto hostOrder = QSysInfo::ByteOrder == QSysInfo::LittleEndian
                               ? XCB_IMAGE_ORDER_LSB_FIRST
                               : XCB_IMAGE_ORDER_MSB_FIRST;
    if (setup->image_byte_order != hostOrder)
        return false;
    const auto attributes = owned(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr));
    const auto geometry =
        owned(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    if (!attributes || !geometry || geometry->depth != 24)
        return false;
    bool format = false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
        if (it.data->depth == 24)
            format = it.data->bits_per_pixel == 32 && it.data->scanline_pad == 32;
    }
    if (!format)
        return false;
    for (auto screen = xcb_setup_roots_iterator(setup); screen.rem > 0; xcb_screen_next(&screen)) {
        for (auto depth = xcb_screen_allowed_depths_iterator(screen.data); depth.rem > 0;
             xcb_depth_next(&depth)) {
            for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem > 0;
                 xcb_visualtype_next(&visual)) {
                if (visual.data->visual_id != attributes->visual)
                    continue;
                return depth.data->depth == 24 &&
                       visual.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                       visual.data->red_mask == 0xff0000 && visual.data->green_mask == 0xff00 &&
                       visual.data->blue_mask == 0xff;
            }
        }
    }
    return false;
}

// A child window that selects nothing but its exposures: the pointer's events pass through it
// to the clock window, where Qt hands them to the label under the pointer as before.
class XcbDigits final : public NativeDigits, public QAbstractNativeEventFilter {
public:
    XcbDigits(xcb_connection_t* connection, xcb_window_t parent, const QRect& rect, Exposed exposed)
        : m_connection(connection), m_window(xcb_generate_id(connection)),
          m_gc(xcb_generate_id(connection)), m_exposed(std::move(exposed)) {
        // No background: the server leaves the pixels alone until ours arrive.
        const std::uint32_t windowValues[] = {XCB_BACK_PIXMAP_NONE, XCB_EVENT_MASK_EXPOSURE};
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, parent,
                          static_cast<std::int16_t>(rect.x()), static_cast<std::int16_t>(rect.y()),
                          static_cast<std::uint16_t>(rect.width()),
                          static_cast<std::uint16_t>(rect.height()), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, windowValues);
        const std::uint32_t gcValues[] = {0};
        xcb_create_gc(m_connection, m_gc, m_window, XCB_GC_GRAPHICS_EXPOSURES, gcValues);
        // Requests carry at most this many bytes; a large label at a high pixel ratio needs
        // more than one.
        m_maxRequestBytes = std::size_t{xcb_get_maximum_request_length(m_connection)} * 4;
        QCoreApplication::instance()->installNativeEventFilter(this);
        setVisible(true);
    }

    ~XcbDigits() override {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        for (const Pixmap& pixmap : m_kept)
            xcb_free_pixmap(m_connection, pixmap.id);
        xcb_free_gc(m_connection, m_gc);
        xcb_destroy_window(m_connection, m_window);
        xcb_flush(m_connection);
    }

    void put(const QImage& pixels, const QPoint& at) override {
        putImage(m_window, pixels, at);
        // Qt flushes its connection only when it next handles an event of its own: a second
        // from now.
        xcb_flush(m_connection);
    }

    Kept keep(const QImage& pixels) override {
        const xcb_pixmap_t pixmap = xcb_generate_id(m_connection);
        xcb_create_pixmap(m_connection, 24, pixmap, m_window,
                          static_cast<std::uint16_t>(pixels.width()),
                          static_cast<std::uint16_t>(pixels.height()));
        putImage(pixmap, pixels, QPoint());
        m_kept.push_back({pixmap, pixels.size()});
        return pixmap;
    }

    // A copy inside the server: no pixels cross the socket, and with the GC's graphics
    // exposures off no event comes back.
    void showKept(Kept kept, const QPoint& at) override {
        const auto it = std::find_if(m_kept.begin(), m_kept.end(),
                                     [kept](const Pixmap& p) { return p.id == kept; });
        if (it == m_kept.end())
            return;
        xcb_copy_area(m_connection, it->id, m_window, m_gc, 0, 0, static_cast<std::int16_t>(at.x()),
                      static_cast<std::int16_t>(at.y()),
                      static_cast<std::uint16_t>(it->size.width()),
                      static_cast<std::uint16_t>(it->size.height()));
        xcb_flush(m_connection);
    }

    void drop(Kept kept) override {
        const auto it = std::find_if(m_kept.begin(), m_kept.end(),
                                     [kept](const Pixmap& p) { return p.id == kept; });
        if (it == m_kept.end())
            return;
        xcb_free_pixmap(m_connection, it->id);
        m_kept.erase(it);
    }

    void setVisible(bool visible) override {
        if (visible == m_visible)
            return;
        m_visible = visible;
        if (visible)
            xcb_map_window(m_connection, m_window);
        else
            xcb_unmap_window(m_connection, m_window);
        xcb_flush(m_connection);
    }

    bool isVisible() const override { return m_visible; }

    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_EXPOSE)
            return false;
        const auto* expose = reinterpret_cast<const xcb_expose_event_t*>(event);
        if (expose->window != m_window)
            return false;
        // The last of a series: the window is whole again once all of it is put.
        if (expose->count == 0 && m_exposed)
            m_exposed();
        return true;
    }

private:
    struct Pixmap {
        xcb_pixmap_t id;
        QSize size;
    };

    void putImage(xcb_drawable_t drawable, const QImage& pixels, const QPoint& at) {
        if (pixels.isNull())
            return;
        const QImage rows = pixels.bytesPerLine() == pixels.width() * 4 ? pixels : pixels.copy();
        const auto rowBytes = static_cast<std::size_t>(rows.bytesPerLine());
        constexpr std::size_t kPutImageHeader = 24;
        const int perRequest = static_cast<int>(
            std::max<std::size_t>(1, (m_maxRequestBytes - kPutImageHeader) / rowBytes));
        for (int top = 0; top < rows.height(); top += perRequest) {
            const int height = std::min(perRequest, rows.height() - top);
            xcb_put_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, m_gc,
                          static_cast<std::uint16_t>(rows.width()),
                          static_cast<std::uint16_t>(height), static_cast<std::int16_t>(at.x()),
                          static_cast<std::int16_t>(at.y() + top), 0, 24,
                          static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(height)),
                          rows.constScanLine(top));
        }
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_window;
    xcb_gcontext_t m_gc;
    Exposed m_exposed;
    std::size_t m_maxRequestBytes = 0;
    std::vector<Pixmap> m_kept;
    bool m_visible = false;
};

} // namespace

std::unique_ptr<NativeDigits> NativeDigits::create(WId parent, const QRect& deviceRect,
                                                   Exposed exposed) {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb") || !parent ||
        deviceRect.isEmpty())
        return nullptr;
    xcb_connection_t* connection = x11->connection();
    const auto window = static_cast<xcb_window_t>(parent);
    if (!connection || !takesRgb32(connection, window))
        return nullptr;
    return std::make_unique<XcbDigits>(connection, window, deviceRect, std::move(exposed));
}
