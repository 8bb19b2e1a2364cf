#include "glyph_layout.h"

#include <QGlyphRun>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// A template has ten Qt layouts behind it; a face whose digits are not digits (Chinese
// numerals) would make a new one every second.
constexpr int kMostTemplates = 32;

std::unique_ptr<QTextLayout> lineOf(const QString& text, const QFont& font, QPaintDevice* device) {
    auto layout = std::make_unique<QTextLayout>(text, font, device);
    // The English weekday ends the date line and the line starts at the box's left edge,
    // whatever the script: a date or time written right to left is one run inside it.
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    layout->setTextOption(option);
    layout->beginLayout();
    layout->createLine();
    layout->endLayout();
    return layout;
}

Line lineFrom(const QTextLayout& layout, QPointF origin) {
    Line out;
    const QTextLine line = layout.lineAt(0);
    if (!line.isValid())
        return out;
    out.width = line.naturalTextWidth();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        qsizetype face = out.faces.indexOf(run.rawFont());
        if (face < 0) {
            face = out.faces.size();
            out.faces.append(run.rawFont());
        }
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size(); ++i)
            out.glyphs.push_back({static_cast<int>(face), indexes[i], positions[i] + origin,
                                  run.rawFont().boundingRect(indexes[i])});
    }
    return out;
}

bool sameGlyphs(const Line& a, const Line& b) {
    return a.glyphs == b.glyphs && a.width == b.width;
}

QChar zeroOf(QChar c) {
    return QChar(c.unicode() - c.digitValue());
}

QString zeroed(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c.digitValue() >= 0)
            c = zeroOf(c);
    }
    return out;
}

} // namespace

QRectF Line::ink() const {
    QRectF box;
    for (const PlacedGlyph& glyph : glyphs)
        box |= glyph.outline.translated(glyph.position);
    return box;
}

QRectF Line::reach(std::size_t i) const {
    return glyphs[i].outline.translated(glyphs[i].position).adjusted(-1, -1, 1, 1);
}

GlyphLayout::GlyphLayout(const QFont& font, QPaintDevice* device, QPointF origin, Digits digits)
    : m_font(font), m_device(device), m_origin(origin), m_digits(digits) {}

Line GlyphLayout::shape(const QString& text, const QFont& font, QPaintDevice* device,
                        QPointF origin) {
    return lineFrom(*lineOf(text, font, device), origin);
}

// The line with its glyphs' faces numbered in the list every line of this layout shares, so
// that two lines' glyphs compare.
Line GlyphLayout::inOurFaces(Line line) {
    for (PlacedGlyph& glyph : line.glyphs) {
        const QRawFont& face = line.faces[glyph.face];
        qsizetype ours = m_faces.indexOf(face);
        if (ours < 0) {
            ours = m_faces.size();
            m_faces.append(face);
        }
        glyph.face = static_cast<int>(ours);
    }
    line.faces = m_faces;
    return line;
}

Line GlyphLayout::layOut(const QString& text) {
    const QString key = zeroed(text);
    auto known = m_templates.find(key);
    if (known == m_templates.end()) {
        if (m_templates.size() >= kMostTemplates)
            m_templates.clear();
        known = m_templates.insert(key, {});
    }
    // Learnt the second time it is seen, so a template seen once costs one layout; digits in
    // cells come from a template from the first text on, so that they never move.
    if (!known->learnt && (m_digits == Digits::InCells || known->seen > 0))
        *known = learn(key);
    known->seen = true;
    if (!known->holds)
        return inOurFaces(shape(text, m_font, m_device, m_origin));
    if (!known->checked) {
        known->checked = true;
        Line shaped = inOurFaces(shape(text, m_font, m_device, m_origin));
        known->holds = sameGlyphs(fromTemplate(*known, text, Digits::AsShaped), shaped);
        if (!known->holds)
            return shaped;
    }
    return fromTemplate(*known, text, m_digits);
}

GlyphLayout::Template GlyphLayout::learn(const QString& zeroedText) {
    Template known;
    known.learnt = true;
    const auto layout = lineOf(zeroedText, m_font, m_device);
    known.line = inOurFaces(lineFrom(*layout, m_origin));
    const QTextLine line = layout->lineAt(0);
    for (qsizetype c = 0; c < zeroedText.size(); ++c) {
        if (zeroedText[c].digitValue() < 0)
            continue;
        const qreal x = line.cursorToX(static_cast<int>(c)) + m_origin.x();
        Slot slot{known.line.glyphs.size(), c, {}, {}, {}};
        for (std::size_t g = 0; g < known.line.glyphs.size(); ++g) {
            const PlacedGlyph& glyph = known.line.glyphs[g];
            const QRawFont& face = known.line.faces[glyph.face];
            if (std::abs(glyph.position.x() - x) < 1.0 / 128 &&
                face.glyphIndexesForString(QString(zeroedText[c])).value(0) == glyph.index) {
                slot.glyph = g;
                break;
            }
        }
        if (slot.glyph == known.line.glyphs.size())
            return known;
        const QRawFont& face = known.line.faces[known.line.glyphs[slot.glyph].face];
        for (int d = 0; d < 10; ++d) {
            const QList<quint32> index =
                face.glyphIndexesForString(QString(QChar(zeroedText[c].unicode() + d)));
            if (index.size() != 1)
                return known;
            slot.index[d] = index[0];
            slot.advance[d] = face.advancesForGlyphIndexes(index).value(0).x();
            slot.outline[d] = face.boundingRect(index[0]);
        }
        known.digits.push_back(slot);
    }
    known.holds = true;
    for (int d = 1; d < 10 && known.holds; ++d) {
        QString uniform = zeroedText;
        for (const Slot& slot : known.digits)
            uniform[slot.character] = QChar(uniform[slot.character].unicode() + d);
        known.holds = sameGlyphs(fromTemplate(known, uniform, Digits::AsShaped),
                                 inOurFaces(shape(uniform, m_font, m_device, m_origin)));
    }
    return known;
}

Line GlyphLayout::fromTemplate(const Template& known, const QString& text, Digits digits) const {
    Line line = known.line;
    line.faces = m_faces;
    for (const Slot& slot : known.digits) {
        const int d = text[slot.character].digitValue();
        const qreal cell = digits == Digits::InCells
                               ? *std::max_element(slot.advance.begin(), slot.advance.end())
                               : slot.advance[d];
        const qreal grows = cell - slot.advance[0];
        const qreal from = known.line.glyphs[slot.glyph].position.x();
        PlacedGlyph& glyph = line.glyphs[slot.glyph];
        glyph.index = slot.index[d];
        glyph.outline = slot.outline[d];
        // A wider digit pushes everything to its right on by the difference.
        for (std::size_t g = 0; g < line.glyphs.size(); ++g) {
            if (known.line.glyphs[g].position.x() > from)
                line.glyphs[g].position.rx() += grows;
        }
        glyph.position.rx() += (cell - slot.advance[d]) / 2;
        line.width += grows;
    }
    return line;
}
