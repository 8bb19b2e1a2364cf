// A floor of bench/run.sh, "one CopyArea": the ten digit tiles are put once into a pixmap the
// X server keeps, on Qt's own connection and in the window's depth; each second is then one
// CopyArea from it into the window and a flush: no pixels over the socket, no Qt paint, no
// reply or event back.
#include "floor.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    Floor::runLikeTheClock();
    QApplication app(argc, argv);
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) {
        std::fprintf(stderr, "floor_copyarea: not on X11\n");
        return 1;
    }
    xcb_connection_t* c = x11->connection();

    QWidget window;
    window.setFixedSize(Floor::kWindowSide, Floor::kWindowSide);
    window.show();
    const auto target = static_cast<xcb_window_t>(window.winId());
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, target), nullptr);
    if (!geometry || geometry->depth != 24) {
        std::fprintf(stderr, "floor_copyarea: wants a window of depth 24\n");
        return 1;
    }
    std::free(geometry);

    const QImage strip = Floor::digitStrip();
    const xcb_pixmap_t tiles = xcb_generate_id(c);
    xcb_create_pixmap(c, 24, tiles, target, strip.width(), strip.height());
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const uint32_t noExposures = 0;
    xcb_create_gc(c, gc, tiles, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    // RGB32 is the 32-bit little-endian pixel of a depth-24 TrueColor visual.
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, tiles, gc, strip.width(), strip.height(), 0, 0, 0,
                  24, static_cast<uint32_t>(strip.sizeInBytes()), strip.constBits());
    xcb_flush(c);

    int digit = 0;
    QTimer second;
    QObject::connect(&second, &QTimer::timeout, [&] {
        digit = (digit + 1) % 10;
        xcb_copy_area(c, tiles, target, gc, static_cast<int16_t>(digit * Floor::kTile.width()), 0,
                      static_cast<int16_t>(Floor::kTile.x()),
                      static_cast<int16_t>(Floor::kTile.y()),
                      static_cast<uint16_t>(Floor::kTile.width()),
                      static_cast<uint16_t>(Floor::kTile.height()));
        xcb_flush(c);
    });
    second.start(1000);
    return QApplication::exec();
}
