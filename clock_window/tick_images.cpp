#include "tick_images.h"

#include <QColor>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>
#include <QTextLine>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace {

// Antialiasing and the hinting of a larger size at higher pixel ratios may put ink a little
// beyond a glyph's box as the font measures it.
int inkMargin(qreal pixelRatio) {
    return 2 * static_cast<int>(std::ceil(pixelRatio)) + 1;
}

qint64 toFixed(qreal pixels) {
    return qRound64(pixels * 64);
}

struct Units {
    std::vector<char32_t> points;
    std::vector<qsizetype> starts;
};

// The text by characters, a pair of surrogates counting as one.
Units unitsOf(const QString& text) {
    Units units;
    units.points.reserve(static_cast<std::size_t>(text.size()));
    units.starts.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        units.starts.push_back(i);
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            units.points.push_back(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            units.points.push_back(c.unicode());
        }
    }
    return units;
}

QString textOf(char32_t point) {
    return QString::fromUcs4(&point, 1);
}

std::unique_ptr<QTextLayout> lineOf(const QString& text, const QFont& font, QPaintDevice* device) {
    auto layout = std::make_unique<QTextLayout>(text, font, device);
    layout->beginLayout();
    layout->createLine();
    layout->endLayout();
    return layout;
}

} // namespace

TickImages::TickImages(Paint paint, QPaintDevice* layoutDevice, std::size_t budgetBytes)
    : m_paint(std::move(paint)), m_layoutDevice(layoutDevice), m_budget(budgetBytes) {}

void TickImages::use(const Look& look) {
    if (look == m_look)
        return;
    m_look = look;
    m_pairsHold = true;
    m_advances.clear();
    m_inks.clear();
    m_faces.clear();
    m_background = QImage();
    m_kept.clear();
    m_keptBytes = 0;
    m_keeping = true;
    m_sinceHit = 0;
    m_shown = QImage();
    m_shownText.clear();
    m_showing = false;
    m_shownGlyphs.clear();
}

bool TickImages::shows(const Look& look, const QString& text) const {
    return m_showing && look == m_look && text == m_shownText;
}

bool TickImages::show(const QString& text) {
    if (!m_showing || text != m_shownText)
        paintInFull(text);
    return m_showing;
}

QRect TickImages::boxRect() const {
    return QRect(0, 0, qRound(m_look.box.width() * m_look.pixelRatio),
                 qRound(m_look.box.height() * m_look.pixelRatio));
}

qint64 TickImages::advance(char32_t first, char32_t second) {
    const quint64 pair = (quint64{first} << 32) | second;
    const auto known = m_advances.constFind(pair);
    if (known != m_advances.cend())
        return *known;
    // Where the second character starts after the first: the first's advance with any
    // kerning between the two, as Qt lays them out.
    const QString first16 = textOf(first);
    const auto layout = lineOf(first16 + textOf(second), m_look.font, m_layoutDevice);
    const qint64 x = toFixed(layout->lineAt(0).cursorToX(static_cast<int>(first16.size())));
    m_advances.insert(pair, x);
    return x;
}

TickImages::Ink TickImages::ink(char32_t character) {
    const auto known = m_inks.constFind(character);
    if (known != m_inks.cend())
        return *known;
    const QRectF box = QFontMetricsF(m_look.font, m_layoutDevice).boundingRect(textOf(character));
    const Ink reach{static_cast<qint64>(std::floor(box.left() * 64)),
                    static_cast<qint64>(std::ceil(box.right() * 64))};
    m_inks.insert(character, reach);
    return reach;
}

const TickImages::Face& TickImages::face(char32_t character) {
    const auto known = m_faces.constFind(character);
    if (known != m_faces.cend())
        return *known;
    Face found;
    const auto layout = lineOf(textOf(character), m_look.font, m_layoutDevice);
    const QList<QGlyphRun> runs = layout->glyphRuns();
    if (!runs.isEmpty() && !runs.front().glyphIndexes().isEmpty()) {
        found.font = runs.front().rawFont();
        found.index = runs.front().glyphIndexes().front();
        found.offset = runs.front().positions().front();
    }
    return *m_faces.insert(character, found);
}

std::vector<TickImages::Glyph> TickImages::layOut(const QString& text, std::size_t from,
                                                  const std::vector<Glyph>& before) {
    const Units units = unitsOf(text);
    std::vector<Glyph> glyphs(units.points.size());
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        glyphs[i].character = units.points[i];
        if (i < from && i < before.size())
            glyphs[i].x = before[i].x;
        else
            glyphs[i].x =
                i == 0 ? 0 : glyphs[i - 1].x + advance(units.points[i - 1], units.points[i]);
    }
    return glyphs;
}

bool TickImages::layoutAgrees(const QString& text, const std::vector<Glyph>& glyphs) const {
    const auto layout = lineOf(text, m_look.font, m_layoutDevice);
    const QTextLine line = layout->lineAt(0);
    const Units units = unitsOf(text);
    if (!line.isValid() || units.points.size() != glyphs.size())
        return false;
    // The same glyphs, in the same faces, where the pairs put them.
    std::size_t shaped = 0;
    for (const QGlyphRun& run : layout->glyphRuns()) {
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype k = 0; k < indexes.size(); ++k, ++shaped) {
            if (shaped >= glyphs.size())
                return false;
            const auto known = m_faces.constFind(glyphs[shaped].character);
            if (known == m_faces.cend() || known->font != run.rawFont() ||
                known->index != indexes[k] ||
                toFixed(positions[k].x()) != glyphs[shaped].x + toFixed(known->offset.x()) ||
                toFixed(positions[k].y()) != toFixed(known->offset.y()))
                return false;
        }
    }
    if (shaped != glyphs.size())
        return false;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {

        if (units.points[i] != glyphs[i].character ||
            toFixed(line.cursorToX(static_cast<int>(units.starts[i]))) != glyphs[i].x)
            return false;
    }
    return true;
}

// Whether the glyph may ink any column of `rect` (device pixels), antialiasing included.
bool TickImages::mayInk(const Glyph& glyph, const QRect& rect) const {
    const qreal ratio = m_look.pixelRatio;
    const int margin = inkMargin(ratio);
    const Ink reach = m_inks.value(glyph.character);
    const qreal left = std::floor(static_cast<qreal>(glyph.x + reach.left) * ratio / 64) - margin;
    const qreal right = std::ceil(static_cast<qreal>(glyph.x + reach.right) * ratio / 64) + margin;
    return right >= rect.left() && left <= rect.right();
}

// Device pixels that the glyphs from `from` on may ink, the box's whole height.
QRect TickImages::inkRect(const std::vector<Glyph>& glyphs, std::size_t from) const {
    const qreal ratio = m_look.pixelRatio;
    const int margin = inkMargin(ratio);
    qint64 left = std::numeric_limits<qint64>::max(), right = std::numeric_limits<qint64>::min();
    for (std::size_t i = from; i < glyphs.size(); ++i) {
        const auto known = m_inks.constFind(glyphs[i].character);
        if (known == m_inks.cend())
            continue;
        left = std::min(left, glyphs[i].x + known->left);
        right = std::max(right, glyphs[i].x + known->right);
    }
    if (left > right)
        return {};
    const int from_ = static_cast<int>(std::floor(static_cast<qreal>(left) * ratio / 64)) - margin;
    const int to = static_cast<int>(std::ceil(static_cast<qreal>(right) * ratio / 64)) + margin;
    return QRect(from_, 0, to - from_, boxRect().height());
}

// Each full paint checks the pairs against Qt's own layout of the whole text.
void TickImages::checkPairs(const QString& text, const std::vector<Glyph>& glyphs) {
    if (m_pairsHold && !layoutAgrees(text, glyphs)) {
        m_pairsHold = false;
        m_kept.clear();
        m_keptBytes = 0;
    }
}

TickImages::Change TickImages::paintInFull(const QString& text) {
    const QRect box = boxRect();
    if (m_background.isNull())
        m_background = m_paint(text, box, false);
    m_shown = m_paint(text, box, true);
    m_showing =
        !m_shown.isNull() && m_shown.size() == box.size() && m_background.size() == box.size();
    if (!m_showing) {
        m_shown = QImage();
        m_background = QImage();
        return {};
    }
    m_shownText = text;
    m_shownGlyphs = layOut(text, 0, {});
    for (const Glyph& glyph : m_shownGlyphs) {
        ink(glyph.character);
        face(glyph.character);
    }
    checkPairs(text, m_shownGlyphs);
    if (m_pairsHold)
        learnAhead(text);
    return {box, m_shown, true};
}

// Everything the coming ticks will ask for, learnt now, once, rather than a little on each tick
// of the first minutes: the pairs of the text's characters and the digits, and each glyph
// rasterised at every fraction of a pixel it may stand at.
void TickImages::learnAhead(const QString& text) {
    std::vector<char32_t> alphabet = unitsOf(QStringLiteral("0123456789")).points;
    for (const char32_t c : unitsOf(text).points) {
        if (std::find(alphabet.begin(), alphabet.end(), c) == alphabet.end())
            alphabet.push_back(c);
    }
    for (const char32_t first : alphabet) {
        ink(first);
        face(first);
        for (const char32_t second : alphabet)
            advance(first, second);
    }
    QImage scratch(boxRect().size(), QImage::Format_RGB32);
    scratch.setDevicePixelRatio(m_look.pixelRatio);
    QPainter painter(&scratch);
    painter.setPen(QColor::fromRgba(m_look.colour));
    for (const char32_t c : alphabet) {
        const Face& drawn = m_faces[c];
        if (!drawn.font.isValid())
            continue;
        QGlyphRun run;
        run.setRawFont(drawn.font);
        QList<quint32> indexes;
        QList<QPointF> positions;
        for (int fraction = 0; fraction < 64; ++fraction) {
            indexes.append(drawn.index);
            positions.append(drawn.offset +
                             QPointF(fraction + fraction / (64.0 * m_look.pixelRatio), 0));
        }
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        painter.drawGlyphRun(QPointF(), run);
    }
}

TickImages::Change TickImages::change(const QString& text) {
    if (m_showing && text == m_shownText)
        return {};
    if (!m_showing || !m_pairsHold)
        return paintInFull(text);
    const Units units = unitsOf(text);
    std::size_t same = 0;
    while (same < units.points.size() && same < m_shownGlyphs.size() &&
           units.points[same] == m_shownGlyphs[same].character)
        ++same;
    std::vector<Glyph> glyphs = layOut(text, same, m_shownGlyphs);
    for (std::size_t i = same; i < glyphs.size(); ++i) {
        ink(glyphs[i].character);
        face(glyphs[i].character);
    }
    const QRect box = boxRect();
    const QRect rect = (inkRect(m_shownGlyphs, same) | inkRect(glyphs, same)) & box;
    if (rect.isEmpty()) {
        m_shownText = text;
        m_shownGlyphs = std::move(glyphs);
        return {};
    }
    // The key: the rectangle, and every character that may ink it, where it stands.
    QByteArray key;
    if (m_keeping) {
        const auto append = [&key](qint64 value) {
            key.append(reinterpret_cast<const char*>(&value), sizeof value);
        };
        append(rect.left());
        append(rect.right());
        for (const Glyph& glyph : glyphs) {
            if (mayInk(glyph, rect)) {
                append(glyph.character);
                append(glyph.x);
            }
        }
    }
    QImage pixels;
    const auto kept = m_keeping ? m_kept.find(key) : m_kept.end();
    if (kept != m_kept.end()) {
        m_sinceHit = 0;
        kept->lastUse = ++m_uses;
        pixels = kept->pixels;
        const auto rowBytes = static_cast<std::size_t>(pixels.width()) * 4;
        for (int y = 0; y < pixels.height(); ++y)
            std::memcpy(m_shown.scanLine(rect.top() + y) +
                            static_cast<std::size_t>(rect.left()) * 4,
                        pixels.constScanLine(y), rowBytes);
    } else {
        compose(rect, glyphs);
        pixels = m_shown.copy(rect);
        if (m_keeping)
            keep(key, pixels);
    }
    m_shownText = text;
    m_shownGlyphs = std::move(glyphs);
    return {rect, pixels, false};
}

// The picture under `rect` again, and over it every glyph that may ink it, drawn by the same
// raster engine, in the same order and at the same positions as the label's own paint.
void TickImages::compose(const QRect& rect, const std::vector<Glyph>& glyphs) {
    const auto rowBytes = static_cast<std::size_t>(rect.width()) * 4;
    const auto from = static_cast<std::size_t>(rect.left()) * 4;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        std::memcpy(m_shown.scanLine(y) + from, m_background.constScanLine(y) + from, rowBytes);
    const qreal ratio = m_look.pixelRatio;
    QPainter painter(&m_shown);
    painter.setClipRect(QRectF(QPointF(rect.topLeft()) / ratio, QSizeF(rect.size()) / ratio));
    painter.setPen(QColor::fromRgba(m_look.colour));
    QGlyphRun run;
    QList<quint32> indexes;
    QList<QPointF> positions;
    const auto flush = [&] {
        if (indexes.isEmpty())
            return;
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        painter.drawGlyphRun(QPointF(), run);
        indexes.clear();
        positions.clear();
    };
    for (const Glyph& glyph : glyphs) {
        if (!mayInk(glyph, rect))
            continue;
        const Face& drawn = m_faces[glyph.character];
        if (!drawn.font.isValid())
            continue;
        if (drawn.font != run.rawFont()) {
            flush();
            run.setRawFont(drawn.font);
        }
        indexes.append(drawn.index);
        positions.append(
            QPointF(static_cast<qreal>(glyph.x) / 64 + drawn.offset.x(), drawn.offset.y()));
    }
    flush();
}

void TickImages::keep(const QByteArray& key, const QImage& pixels) {
    // Proportional digits move the seconds with every minute, and the same pixels hardly ever
    // come back: after this many ticks without one, keeping them is only cost.
    constexpr int kTicksWithoutHit = 600;
    if (++m_sinceHit > kTicksWithoutHit) {
        m_keeping = false;
        m_kept.clear();
        m_keptBytes = 0;
        return;
    }
    m_kept.insert(key, {pixels, ++m_uses});
    m_keptBytes += static_cast<std::size_t>(pixels.sizeInBytes());
    while (m_keptBytes > m_budget && m_kept.size() > 1) {
        auto oldest = m_kept.begin();
        for (auto it = m_kept.begin(); it != m_kept.end(); ++it) {
            if (it->lastUse < oldest->lastUse)
                oldest = it;
        }
        m_keptBytes -= static_cast<std::size_t>(oldest->pixels.sizeInBytes());
        m_kept.erase(oldest);
    }
}
