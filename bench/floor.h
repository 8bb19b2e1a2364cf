// What the floors of bench/run.sh share: the clock's window size, the environment the clock
// gives itself, and ten digit tiles drawn with text at start, as a clock that shows seconds
// draws them.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QtGlobal>

#include <array>

namespace Floor {

constexpr int kWindowSide = 284;
// Where the tile of the seconds' last digit stands, and its size.
constexpr QRect kTile(126, 112, 32, 60);

// As the clock: no MIT-SHM, no GLib event loop, unless the caller chose otherwise.
inline void runLikeTheClock() {
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
}

// The ten digits, each drawn by QPainter::drawText once, side by side in one image.
inline QImage digitStrip() {
    QImage strip(kTile.width() * 10, kTile.height(), QImage::Format_RGB32);
    strip.fill(QColor(0xf4, 0xf0, 0xe6));
    QPainter painter(&strip);
    QFont font;
    font.setPixelSize(44);
    painter.setFont(font);
    painter.setPen(QColor(0x10, 0x20, 0x70));
    for (int digit = 0; digit < 10; ++digit)
        painter.drawText(QRect(digit * kTile.width(), 0, kTile.width(), kTile.height()),
                         Qt::AlignCenter, QString::number(digit));
    return strip;
}

} // namespace Floor
