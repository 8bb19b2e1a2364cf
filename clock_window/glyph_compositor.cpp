#include "glyph_compositor.h"

#include <QColor>
#include <QGlyphRun>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace GlyphCompositor {

QRectF changed(const Line& before, const Line& after) {
    QRectF area;
    const auto gone = [&area](const Line& line, const Line& other) {
        for (std::size_t i = 0; i < line.glyphs.size(); ++i) {
            if (std::find(other.glyphs.begin(), other.glyphs.end(), line.glyphs[i]) ==
                other.glyphs.end())
                area |= line.reach(i);
        }
    };
    gone(before, after);
    gone(after, before);
    return area;
}

QRect devicePixels(const QRectF& area, qreal pixelRatio) {
    return QRectF(area.topLeft() * pixelRatio, area.size() * pixelRatio).toAlignedRect();
}

void compose(QImage& box, const QImage& picture, const Line& line, QRgb colour, const QRect& rect) {
    const QRect area = rect & box.rect();
    if (area.isEmpty())
        return;
    const auto rowBytes = static_cast<std::size_t>(area.width()) * 4;
    const auto from = static_cast<std::size_t>(area.left()) * 4;
    for (int y = area.top(); y <= area.bottom(); ++y)
        std::memcpy(box.scanLine(y) + from, picture.constScanLine(y) + from, rowBytes);
    const qreal ratio = box.devicePixelRatio();
    const QRectF clip(QPointF(area.topLeft()) / ratio, QSizeF(area.size()) / ratio);
    QPainter painter(&box);
    painter.setClipRect(clip);
    painter.setPen(QColor::fromRgb(colour));
    draw(painter, line, clip);
}

void draw(QPainter& painter, const Line& line, const QRectF& area) {
    QGlyphRun run;
    for (std::size_t i = 0; i < line.glyphs.size(); ++i) {
        if (!line.reach(i).intersects(area))
            continue;
        const PlacedGlyph& glyph = line.glyphs[i];
        run.setRawFont(line.faces[glyph.face]);
        run.setGlyphIndexes({glyph.index});
        run.setPositions({glyph.position});
        painter.drawGlyphRun(QPointF(), run);
    }
}

} // namespace GlyphCompositor
