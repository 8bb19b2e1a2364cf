#include "glyph_compositor.h"

#include <QColor>
#include <QGlyphRun>
#include <QPainter>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstring>

namespace {

QPoint wholePixel(QPointF p) {
    return {static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y()))};
}

// 1/1024 of a pixel: every place a glyph can stand at a pixel ratio of quarters (1, 1.25, 1.5,
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
    for (int step = 1; step <= 4 && !m_wholeStep; ++step) {
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
            m_ownBlends.back()->fill(0);
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
// pixel as `at`: there Qt blends without gamma, and each channel is the coverage. Also the whole
// device pixel the pen stands in.
std::pair<QImage, QPoint> GlyphCompositor::drawAlone(const QRawFont& face, quint32 index,
                                                     QPointF at) const {
    const QRectF outline = face.boundingRect(index).translated(at);
    // Whole steps that bring the glyph near the scratch's top-left corner, a margin left.
    const QPointF shift(-std::floor(outline.left() / m_wholeStep) * m_wholeStep + 2 * m_wholeStep,
                        -std::floor(outline.top() / m_wholeStep) * m_wholeStep + 2 * m_wholeStep);
    QImage scratch(((outline.size() + QSizeF(5, 5) * m_wholeStep) * m_ratio).toSize(),
                   QImage::Format_ARGB32_Premultiplied);
    scratch.setDevicePixelRatio(m_ratio);
    scratch.fill(Qt::transparent);
    QPainter painter(&scratch);
    painter.setPen(Qt::white);
    painter.drawGlyphRun(QPointF(), runOf(face, index, at + shift));
    return {scratch, wholePixel((at + shift) * m_ratio)};
}

// Qt draws a glyph at a few places within a pixel, the same at every fraction between two: the
// face's places, found once by drawing one of its glyphs at every fraction a glyph can stand at.
int GlyphCompositor::placeOf(const Line& line, int face, qreal x) {
    std::vector<int>& places = m_places[face];
    if (places.empty()) {
        places.assign(1024, -1);
        const auto inked =
            std::find_if(line.glyphs.begin(), line.glyphs.end(), [&](const PlacedGlyph& g) {
                return g.face == face && !line.faces[face].boundingRect(g.index).isEmpty();
            });
        std::vector<QImage> seen;
        for (int step = 0; inked != line.glyphs.end() && step < 256; ++step) {
            const QPointF at(step / 64.0, inked->position.y());
            int& place = places[static_cast<std::size_t>(fraction(at.x() * m_ratio))];
            if (place >= 0)
                continue;
            const QImage drawn = drawAlone(line.faces[face], inked->index, at).first;
            place = static_cast<int>(std::find(seen.begin(), seen.end(), drawn) - seen.begin());
            if (place == static_cast<int>(seen.size()))
                seen.push_back(drawn);
        }
    }
    // A fraction no glyph of the face could stand at keeps a place of its own.
    const int known = places[static_cast<std::size_t>(fraction(x))];
    return known >= 0 ? known : 1024 + fraction(x);
}

// A glyph's coverage at a place within a pixel. A glyph whose channels differ is drawn for a
// subpixel screen, which only Qt blends.
GlyphCompositor::Mask& GlyphCompositor::mask(const Line& line, const PlacedGlyph& glyph) {
    const QPointF pen = glyph.position * m_ratio;
    const quint64 key = (quint64(glyph.face) << 48) | (quint64(glyph.index) << 24) |
                        (quint64(placeOf(line, glyph.face, pen.x())) << 10) |
                        quint64(fraction(pen.y()));
    const auto known = m_masks.find(key);
    if (known != m_masks.end())
        return *known;
    Mask learnt;
    const auto [scratch, penPixel] = drawAlone(line.faces[glyph.face], glyph.index, glyph.position);
    int left = scratch.width(), right = -1, top = scratch.height(), bottom = -1;
    for (int y = 0; y < scratch.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
        for (int x = 0; x < scratch.width(); ++x) {
            const QRgb p = row[x];
            if (qRed(p) != qAlpha(p) || qGreen(p) != qAlpha(p) || qBlue(p) != qAlpha(p))
                m_qtDraws = true;
            if (qAlpha(p)) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    const QRect inked(QPoint(left, top), QPoint(right, bottom));
    if (!inked.isEmpty()) {
        learnt.coverage = scratch.copy(inked).convertToFormat(QImage::Format_Alpha8);
        learnt.coverage.setDevicePixelRatio(1);
        learnt.offset = inked.topLeft() - penPixel;
        const auto at = [](int v) { return static_cast<std::int16_t>(v); };
        for (int y = 0; y < learnt.coverage.height(); ++y) {
            const uchar* row = learnt.coverage.constScanLine(y);
            for (int x = 0; x < learnt.coverage.width(); ++x) {
                if (row[x] == 255 && x > 0 && row[x - 1] == 255)
                    learnt.full.back().right = at(x);
                else if (row[x] == 255)
                    learnt.full.push_back({at(y), at(x), at(x)});
            }
        }
        // Column by column, so that a blend of a few columns looks at just those.
        for (int x = 0; x < learnt.coverage.width(); ++x) {
            learnt.columns.push_back(learnt.partly.size());
            for (int y = 0; y < learnt.coverage.height(); ++y) {
                const uchar c = learnt.coverage.constScanLine(y)[x];
                if (c && c != 255)
                    learnt.partly.push_back({0, at(x), at(y), c});
            }
        }
        learnt.columns.push_back(learnt.partly.size());
    }
    return *m_masks.insert(key, learnt);
}

// Our own blend, where Qt's result for every pixel's coverage and colour is known.
bool GlyphCompositor::blend(QImage& box, Mask& learnt, const FaceBlends& blends, const QPoint& at,
                            const QRect& rect) const {
    const Blends& red = *blends[0];
    const Blends& green = *blends[1];
    const Blends& blue = *blends[2];
    const qsizetype stride = box.bytesPerLine() / 4;
    if (learnt.stride != stride) {
        learnt.stride = stride;
        for (Partly& p : learnt.partly)
            p.at = static_cast<std::int32_t>(p.y * stride + p.x);
    }
    // The rectangle in the mask's pixels.
    const int left = rect.left() - at.x(), right = rect.right() - at.x();
    const int top = rect.top() - at.y(), bottom = rect.bottom() - at.y();
    const std::size_t from =
        learnt.columns[static_cast<std::size_t>(std::clamp(left, 0, learnt.coverage.width()))];
    const std::size_t to =
        learnt.columns[static_cast<std::size_t>(std::clamp(right + 1, 0, learnt.coverage.width()))];
    QRgb* const origin = reinterpret_cast<QRgb*>(box.bits()) + at.y() * stride + at.x();
    // Pixels are blended in place, each one kept until every one is known.
    m_blended.resize(learnt.partly.size());
    QRgb* const kept = m_blended.data();
    const Partly* const partly = learnt.partly.data();
    const std::uint16_t* const reds = red.data();
    const std::uint16_t* const greens = green.data();
    const std::uint16_t* const blues = blue.data();
    const auto rows = static_cast<unsigned>(bottom - top);
    for (std::size_t i = from; i < to; ++i) {
        if (static_cast<unsigned>(partly[i].y - top) > rows)
            continue;
        QRgb* const pixel = origin + partly[i].at;
        const QRgb was = *pixel;
        const std::size_t a = std::size_t{partly[i].coverage} << 8;
        const unsigned r = reds[a | ((was >> 16) & 0xff)], g = greens[a | ((was >> 8) & 0xff)],
                       b = blues[a | (was & 0xff)];
        if (!(r & g & b & kSeen)) {
            while (i-- > from) {
                if (static_cast<unsigned>(partly[i].y - top) <= rows)
                    origin[partly[i].at] = kept[i];
            }
            return false;
        }
        kept[i] = was;
        *pixel = 0xff000000u | (r & 0xff) << 16 | (g & 0xff) << 8 | (b & 0xff);
    }
    for (const Run& run : learnt.full) {
        const int from = std::max<int>(run.left, left);
        const int to = std::min<int>(run.right, right);
        if (run.y < top || run.y > bottom || from > to)
            continue;
        QRgb* const row = origin + run.y * stride;
        std::fill(row + from, row + to + 1, m_colour);
    }
    return true;
}

// Qt draws the glyph, and its pixels teach how coverage over each colour comes out.
void GlyphCompositor::drawAndLearn(QImage& box, const Line& line, std::size_t i, const Mask& learnt,
                                   const QPoint& at, const QRect& rect) {
    const QImage before = box.copy(rect);
    drawWithQt(box, line, rect, i);
    learnFrom(before, box, rect, learnt, at, blendsOf(line.glyphs[i].face));
}

// What `rect` of `now` holds after the glyph of `learnt`, its top-left pixel at `at`, was drawn
// over `before` (the rectangle alone). A pixel that does not follow from its coverage and colour
// as learnt so far means Qt's text is not ours to blend.
void GlyphCompositor::learnFrom(const QImage& before, const QImage& now, const QRect& rect,
                                const Mask& learnt, const QPoint& at, const FaceBlends& blends) {
    const QRect covered(at, learnt.coverage.size());
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const auto* was = reinterpret_cast<const QRgb*>(before.constScanLine(y - rect.top()));
        const auto* is = reinterpret_cast<const QRgb*>(now.constScanLine(y)) + rect.left();
        const bool rowCovered = y >= covered.top() && y <= covered.bottom();
        const uchar* coverage =
            rowCovered ? learnt.coverage.constScanLine(y - at.y()) - at.x() : nullptr;
        for (int x = 0; x < rect.width(); ++x) {
            const int column = rect.left() + x;
            const int a = rowCovered && column >= covered.left() && column <= covered.right()
                              ? coverage[column]
                              : 0;
            if (a == 0 || a == 255) {
                if (is[x] != (a ? m_colour : was[x]))
                    m_qtDraws = true;
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                std::uint16_t& known =
                    (*blends[c])[static_cast<std::size_t>(a << 8 | channel(was[x], c))];
                const auto result = static_cast<std::uint16_t>(kSeen | channel(is[x], c));
                if (known && known != result)
                    m_qtDraws = true;
                known = result;
            }
        }
    }
}

// Every glyph of the line, and every glyph its digits may turn into, at every place within a
// pixel, has its coverage learnt and checked against Qt once; and Qt draws enough of them over
// every value of every channel that the ticks to come find how each coverage blends already
// known, rather than asking Qt again and again over the first hours.
void GlyphCompositor::learnAhead(const Line& line, const std::vector<PlacedGlyph>& digits) {
    std::vector<PlacedGlyph> glyphs = line.glyphs;
    for (const PlacedGlyph& digit : digits) {
        std::vector<bool> placed;
        for (int step = 0; step < 256; ++step) {
            const auto place =
                static_cast<std::size_t>(placeOf(line, digit.face, step / 64.0 * m_ratio));
            if (place < placed.size() && placed[place])
                continue;
            placed.resize(std::max(placed.size(), place + 1));
            placed[place] = true;
            glyphs.push_back(digit);
            glyphs.back().position.setX(step / 64.0);
        }
    }
    // Each time the glyph whose coverages the blends of its font know least of, while one adds
    // a few.
    constexpr std::size_t kWorthDrawing = 8;
    std::vector<std::bitset<256>> known(static_cast<std::size_t>(line.faces.size()));
    while (!m_qtDraws) {
        std::size_t most = 0;
        const PlacedGlyph* best = nullptr;
        for (const PlacedGlyph& glyph : glyphs) {
            std::bitset<256> adds;
            for (const Partly& p : mask(line, glyph).partly)
                adds.set(p.coverage);
            adds &= ~known[static_cast<std::size_t>(glyph.face)];
            if (adds.count() > most)
                most = adds.count(), best = &glyph;
        }
        if (most < kWorthDrawing)
            break;
        Mask& coverage = mask(line, *best);
        for (const Partly& p : coverage.partly)
            known[static_cast<std::size_t>(best->face)].set(p.coverage);
        learnOver(line, *best, coverage, 256);
    }
    for (const PlacedGlyph& glyph : glyphs) {
        Mask& coverage = mask(line, glyph);
        if (!m_qtDraws && !coverage.checked && !coverage.partly.empty())
            learnOver(line, glyph, coverage, 1);
    }
}

// Qt draws the glyph over `turns` backgrounds on which each pixel takes each value of each
// channel in turn, and its pixels teach, and check, how its coverage blends.
void GlyphCompositor::learnOver(const Line& line, const PlacedGlyph& glyph, Mask& coverage,
                                int turns) {
    const FaceBlends& blends = blendsOf(glyph.face);
    auto [canvas, pen] = drawAlone(line.faces[glyph.face], glyph.index, glyph.position);
    const QRect rect(pen + coverage.offset, coverage.coverage.size());
    const QPointF shift = QPointF(pen - wholePixel(glyph.position * m_ratio)) / m_ratio;
    canvas = canvas.convertToFormat(QImage::Format_RGB32);
    for (int turn = 0; turn < turns && !m_qtDraws; ++turn) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(y));
            for (int x = rect.left(); x <= rect.right(); ++x)
                row[x] = qRgb((turn + 37 * x + 101 * y) & 255, (turn + 59 * x + 13 * y) & 255,
                              (turn + 17 * x + 71 * y) & 255);
        }
        const QImage before = canvas.copy(rect);
        {
            QPainter painter(&canvas);
            painter.setPen(QColor::fromRgb(m_colour));
            painter.drawGlyphRun(
                QPointF(), runOf(line.faces[glyph.face], glyph.index, glyph.position + shift));
        }
        learnFrom(before, canvas, rect, coverage, rect.topLeft(), blends);
    }
    coverage.checked = true;
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
