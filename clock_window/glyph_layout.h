#pragma once

#include <QFont>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QRectF>
#include <QString>
#include <QtGlobal>

#include <array>
#include <vector>

class QPaintDevice;

// One glyph of a line: which glyph of which of the line's fonts, and where its pen stands, in
// device-independent pixels from the box's top-left corner, y on the baseline.
struct PlacedGlyph {
    int face = 0; // into Line::faces
    quint32 index = 0;
    QPointF position;
    QRectF outline; // the glyph's bounding box, from its pen

    bool operator==(const PlacedGlyph& other) const {
        return face == other.face && index == other.index && position == other.position;
    }
};

// A line of text as Qt lays it out from the box's top-left corner, left to right, with the fonts
// its glyphs come from: the face's own and any fallback font.
struct Line {
    std::vector<PlacedGlyph> glyphs;
    QList<QRawFont> faces;
    qreal width = 0; // the advance of the whole line

    // The outlines' bounding box.
    QRectF ink() const;
    // Where glyph `i` may put ink, with one pixel more each side for the antialiased edge.
    QRectF reach(std::size_t i) const;
};

// Lays out a label's texts in one font, shaping a text only the first times its shape is seen:
// a text is known by its template, its digits all made zero, and its layout is the template's
// with each digit's glyph and advance swapped in. Every template is checked against Qt's own
// layout of ten texts, and its first real text, before it is used, and one that Qt lays out
// otherwise (a contextual digit, kerning between digits) is shaped afresh each time.
//
// With digits in cells, each digit of a template stands centred in a cell as wide as its face's
// widest digit, so a clock's digits keep their places whatever digits come before them.
class GlyphLayout {
public:
    enum class Digits { AsShaped, InCells };
    // Lines from `origin`, device-independent pixels from the box's top-left corner.
    GlyphLayout(const QFont& font, QPaintDevice* device, QPointF origin = {},
                Digits digits = Digits::AsShaped);

    const QFont& font() const { return m_font; }
    // The faces are the same for every text of one template; a new template may add one.
    Line layOut(const QString& text);

    // Qt's own layout of `text`, left to right, from `origin`.
    static Line shape(const QString& text, const QFont& font, QPaintDevice* device,
                      QPointF origin = {});

private:
    struct Slot {
        std::size_t glyph;   // into the template's glyphs
        qsizetype character; // into the text
        std::array<quint32, 10> index;
        std::array<qreal, 10> advance;
        std::array<QRectF, 10> outline;
    };
    struct Template {
        Line line;
        std::vector<Slot> digits; // in visual order
        bool seen = false;
        bool learnt = false;
        bool holds = false;   // Qt lays out ten texts of it as the template does
        bool checked = false; // and its first real text
    };

    Template learn(const QString& zeroed);
    Line fromTemplate(const Template& known, const QString& text, Digits digits) const;
    Line inOurFaces(Line line);

    QFont m_font;
    QPaintDevice* m_device;
    QPointF m_origin;
    Digits m_digits;
    QList<QRawFont> m_faces;
    QHash<QString, Template> m_templates;
};
