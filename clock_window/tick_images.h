#pragma once

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPointF>
#include <QRawFont>
#include <QRect>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class QPaintDevice;

// A label's pixels composited over what lies under it and kept, so that a tick puts ready
// pixels where a paint would shape, rasterise and blend its text again.
//
// The text is laid out from the advances of its character pairs and the glyph of each
// character, each learnt once from Qt's own layout, so a tick shapes nothing. A changed
// rectangle is composited by Qt's raster engine: the picture under the label, kept from one
// paint without the text, and the glyphs that ink the rectangle at their exact positions. Each
// composited rectangle is kept too, under a key of everything its pixels depend on besides the
// look: the rectangle and every character that may ink it, where it stands. With tabular
// digits a tick finds its pixels kept; with proportional ones (the bundled face) the seconds
// move with the minutes and are composited afresh, and after ten minutes without a hit nothing
// is kept. Whenever a full paint is made, Qt's own
// layout of the whole text is compared with the pairs' one; a text they do not explain (a
// ligature, a contextual form) turns both off for the look, and each change is painted in full.
class TickImages {
public:
    // Everything besides the text that decides the pixels.
    struct Look {
        QFont font;
        QRgb colour = 0;
        qreal pixelRatio = 0;
        QRect box; // the label's box in its window, device-independent pixels

        bool operator==(const Look& other) const {
            return font == other.font && colour == other.colour && pixelRatio == other.pixelRatio &&
                   box == other.box;
        }
    };

    // The pixels of `rect` (device pixels from the box's top-left corner) as the window paints
    // them with `text` in the box, or without any text, RGB32; a null image when it cannot
    // paint now.
    using Paint = std::function<QImage(const QString& text, const QRect& rect, bool withText)>;

    // What a change of text puts where: device pixels from the box's top-left corner.
    struct Change {
        QRect rect;
        QImage pixels;
        bool painted = false; // just painted by the window itself, not taken from a kept image
    };

    // Room for the ten changes of a tabular last digit and a few more, at a pixel ratio of 1.
    static constexpr std::size_t kDefaultBudget = 96 * 1024;

    TickImages(Paint paint, QPaintDevice* layoutDevice, std::size_t budgetBytes = kDefaultBudget);

    // Starts afresh when `look` differs from the one the images were made for.
    void use(const Look& look);
    // Whether shown() is the box as it looks with `text` in `look`.
    bool shows(const Look& look, const QString& text) const;
    // Makes shown() the box with `text`, painting it in full unless it shows it already; false
    // when it cannot be painted now.
    bool show(const QString& text);
    // From the shown text to `text`: the rectangle that changes and its new pixels, which
    // shown() now holds too. Empty when nothing changes, or when the pixels cannot be painted
    // now and shown() no longer counts.
    Change change(const QString& text);

    const QImage& shown() const { return m_shown; }

private:
    struct Glyph {
        char32_t character;
        qint64 x; // pen position in 1/64 device-independent pixels
    };
    struct Ink {
        qint64 left, right; // from the pen, 1/64 device-independent pixels
    };
    struct Face {
        QRawFont font;
        quint32 index = 0;
        QPointF offset; // from the pen on the line's top, device-independent pixels
    };
    struct Kept {
        QImage pixels;
        std::uint64_t lastUse = 0;
    };

    std::vector<Glyph> layOut(const QString& text, std::size_t from,
                              const std::vector<Glyph>& before);
    qint64 advance(char32_t first, char32_t second);
    Ink ink(char32_t character);
    const Face& face(char32_t character);
    void compose(const QRect& rect, const std::vector<Glyph>& glyphs);
    void learnAhead(const QString& text);
    bool layoutAgrees(const QString& text, const std::vector<Glyph>& glyphs) const;
    QRect inkRect(const std::vector<Glyph>& glyphs, std::size_t from) const;
    bool mayInk(const Glyph& glyph, const QRect& rect) const;
    Change paintInFull(const QString& text);
    void checkPairs(const QString& text, const std::vector<Glyph>& glyphs);
    QRect boxRect() const;
    void keep(const QByteArray& key, const QImage& pixels);

    Paint m_paint;
    QPaintDevice* m_layoutDevice;
    std::size_t m_budget;
    Look m_look;
    bool m_pairsHold = true;
    QHash<quint64, qint64> m_advances;
    QHash<char32_t, Ink> m_inks;
    QHash<char32_t, Face> m_faces;
    QImage m_background;
    QHash<QByteArray, Kept> m_kept;
    std::size_t m_keptBytes = 0;
    std::uint64_t m_uses = 0;
    bool m_keeping = true;
    int m_sinceHit = 0;
    QImage m_shown;
    QString m_shownText;
    bool m_showing = false;
    std::vector<Glyph> m_shownGlyphs;
};
