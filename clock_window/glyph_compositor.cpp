#include "glyph_compositor.h"

#include <QColor>
#include <QGlyphRun>
#include <QPainter>

#include <cmath>
#include <cstring>

namespace {

QPoint wholePixel(QPointF p) {
    return {static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y()))};
}

// 1/1024 of a pixel: every place a glyph can stand at the pixel ratios Qt gives (1, 1.25, 1.5,
// 1.75, 2, 3 on positions of 1/64 pixel) is a whole number of them.
int fraction(qreal p) {
    return static_cast<int>(std::lround((p - std::floor(p)) * 1024)) & 1023;
}

void restore(QImage& box, const QImage& picture, const QRect& rect) {
    const auto rowBytes = static_cast<std::size_t>(rect.width()) * 4;
    const auto from = static_cast<std::size_t>(rect.left()) * 4;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        std::memcpy(box.scanLine(y) + from, picture.constScanLine(y) + from, rowBytes);
}

QGlyphRun runOf(const QRawFont& face, quint32 index, QPointF at) {
    QGlyphRun run;
    run.setRawFont(face);
    run.setGlyphIndexes({index});
    run.setPositions({at});
    return run;
}

int channel(QRgb pixel, int c) {
    return static_cast<int>((pixel >> (16 - 8 * c)) & 0xff);
}

} // namespace

GlyphCompositor::GlyphCompositor(QRgb colour, qreal pixelRatio)
    : m_colour(colour | 0xff000000), m_ratio(pixelRatio) {
    for (int step = 1; step <= 16 && !m_wholeStep; ++step) {
        if (std::floor(step * pixelRatio) == step * pixelRatio)
            m_wholeStep = step;
    }
    m_qtDraws = m_wholeStep == 0;
}

GlyphCompositor::FaceBlends& GlyphCompositor::blendsOf(int face) {
    if (static_cast<std::size_t>(face) >= m_blends.size())
        m_blends.resize(static_cast<std::size_t>(face) + 1);
    FaceBlends& blends = m_blends[static_cast<std::size_t>(face)];
    for (int c = 0; c < 3 && !blends[c]; ++c) {
        for (int earlier = 0; earlier < c && !blends[c]; ++earlier) {
            if (channel(m_colour, earlier) == channel(m_colour, c))
                blends[c] = blends[earlier];
        }
        if (!blends[c]) {
            m_ownBlends.push_back(std::make_unique<Blends>());
            blends[c] = m_ownBlends.back().get();
        }
    }
    return blends;
}

GlyphCompositor::~GlyphCompositor() = default;

QRect GlyphCompositor::reach(const Line& line, std::size_t i) const {
    const QRectF logical = line.reach(i);
    return QRectF(logical.topLeft() * m_ratio, logical.size() * m_ratio).toAlignedRect();
}

void GlyphCompositor::compose(QImage& box, const QImage& picture, const Line& line,
                              const QRect& rect) {
    const QRect area = rect & box.rect();
    if (area.isEmpty())
        return;
    restore(box, picture, area);
    for (std::size_t i = 0; i < line.glyphs.size() && !m_qtDraws; ++i) {
        if (!reach(line, i).intersects(area))
            continue;
        Mask& learnt = mask(line, line.glyphs[i]);
        if (m_qtDraws || learnt.coverage.isNull())
            continue;
        const QPoint at = wholePixel(line.glyphs[i].position * m_ratio) + learnt.offset;
        // A coverage's first use is Qt's, which also shows whether it was learnt right.
        if (!learnt.checked || !blend(box, learnt, blendsOf(line.glyphs[i].face), at, area))
            drawAndLearn(box, line, i, learnt, at, area);
        learnt.checked = true;
    }
    if (m_qtDraws) {
        restore(box, picture, area);
        drawWithQt(box, line, area);
    }
}

// The glyph alone, in white on transparent black, at a place of the same fraction of a device
// pixel: there Qt blends without gamma, and each channel is the coverage. A glyph whose
// channels differ is drawn for a subpixel screen, which only Qt blends.
GlyphCompositor::Mask& GlyphCompositor::mask(const Line& line, const PlacedGlyph& glyph) {
    const QPointF pen = glyph.position * m_ratio;
    const quint64 key = (quint64(glyph.face) << 48) | (quint64(glyph.index) << 20) |
                        (quint64(fraction(pen.x())) << 10) | quint64(fraction(pen.y()));
    const auto known = m_masks.find(key);
    if (known != m_masks.end())
        return *known;
    Mask learnt;
    const QRawFont& face = line.faces[glyph.face];
    const QRectF outline = face.boundingRect(glyph.index).translated(glyph.position);
    // Whole steps that bring the glyph near the scratch's top-left corner, a margin left.
    const QPointF shift(-std::floor(outline.left() / m_wholeStep) * m_wholeStep + 2 * m_wholeStep,
                        -std::floor(outline.top() / m_wholeStep) * m_wholeStep + 2 * m_wholeStep);
    QImage scratch(((outline.size() + QSizeF(5, 5) * m_wholeStep) * m_ratio).toSize(),
                   QImage::Format_ARGB32_Premultiplied);
    scratch.setDevicePixelRatio(m_ratio);
    scratch.fill(Qt::transparent);
    {
        QPainter painter(&scratch);
        painter.setPen(Qt::white);
        painter.drawGlyphRun(QPointF(), runOf(face, glyph.index, glyph.position + shift));
    }
    QRect inked;
    for (int y = 0; y < scratch.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
        for (int x = 0; x < scratch.width(); ++x) {
            const QRgb p = row[x];
            if (qRed(p) != qAlpha(p) || qGreen(p) != qAlpha(p) || qBlue(p) != qAlpha(p))
                m_qtDraws = true;
            if (qAlpha(p))
                inked |= QRect(x, y, 1, 1);
        }
    }
    if (!inked.isEmpty()) {
        learnt.coverage = scratch.copy(inked).convertToFormat(QImage::Format_Alpha8);
        learnt.coverage.setDevicePixelRatio(1);
        learnt.offset = inked.topLeft() - wholePixel((glyph.position + shift) * m_ratio);
    }
    return *m_masks.insert(key, learnt);
}

// Our own blend, where Qt's result for every pixel's coverage and colour is known.
bool GlyphCompositor::blend(QImage& box, const Mask& learnt, const FaceBlends& blends,
                            const QPoint& at, const QRect& rect) const {
    const QRect area = QRect(at, learnt.coverage.size()) & rect;
    const Blends& red = *blends[0];
    const Blends& green = *blends[1];
    const Blends& blue = *blends[2];
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const uchar* coverage =
                learnt.coverage.constScanLine(y - at.y()) + (area.left() - at.x());
            auto* pixels = reinterpret_cast<QRgb*>(box.scanLine(y)) + area.left();
            for (int x = 0; x < area.width(); ++x) {
                const int a = coverage[x];
                if (a == 0 || a == 255) {
                    if (pass && a)
                        pixels[x] = m_colour;
                    continue;
                }
                const QRgb p = pixels[x];
                const int r = qRed(p), g = qGreen(p), b = qBlue(p);
                if (pass)
                    pixels[x] = qRgb(red.result[a][r], green.result[a][g], blue.result[a][b]);
                else if (!red.seen[a << 8 | r] || !green.seen[a << 8 | g] || !blue.seen[a << 8 | b])
                    return false;
            }
        }
    }
    return true;
}

// Qt draws the glyph, and its pixels teach how coverage over each colour comes out. A pixel
// that does not follow from its coverage and colour as learnt so far means Qt's text is not
// ours to blend.
void GlyphCompositor::drawAndLearn(QImage& box, const Line& line, std::size_t i, const Mask& learnt,
                                   const QPoint& at, const QRect& rect) {
    const QImage before = box.copy(rect);
    drawWithQt(box, line, rect, i);
    const FaceBlends& blends = blendsOf(line.glyphs[i].face);
    const QRect covered(at, learnt.coverage.size());
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const auto* was = reinterpret_cast<const QRgb*>(before.constScanLine(y - rect.top()));
        const auto* now = reinterpret_cast<const QRgb*>(box.constScanLine(y)) + rect.left();
        for (int x = 0; x < rect.width(); ++x) {
            const QPoint p(rect.left() + x, y);
            const int a = covered.contains(p)
                              ? learnt.coverage.constScanLine(p.y() - at.y())[p.x() - at.x()]
                              : 0;
            if (a == 0 || a == 255) {
                if (now[x] != (a ? m_colour : was[x]))
                    m_qtDraws = true;
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                Blends& table = *blends[c];
                const int from = channel(was[x], c);
                const auto result = static_cast<std::uint8_t>(channel(now[x], c));
                if (table.seen[a << 8 | from] && table.result[a][from] != result)
                    m_qtDraws = true;
                table.seen[a << 8 | from] = true;
                table.result[a][from] = result;
            }
        }
    }
}

// Every glyph that inks `rect`, or only glyph `only`, drawn by Qt's raster engine.
void GlyphCompositor::drawWithQt(QImage& box, const Line& line, const QRect& rect,
                                 std::size_t only) const {
    QPainter painter(&box);
    painter.setClipRect(QRectF(QPointF(rect.topLeft()) / m_ratio, QSizeF(rect.size()) / m_ratio));
    painter.setPen(QColor::fromRgb(m_colour));
    for (std::size_t i = 0; i < line.glyphs.size(); ++i) {
        const PlacedGlyph& glyph = line.glyphs[i];
        if ((only == kAll || i == only) && reach(line, i).intersects(rect))
            painter.drawGlyphRun(QPointF(),
                                 runOf(line.faces[glyph.face], glyph.index, glyph.position));
    }
}
