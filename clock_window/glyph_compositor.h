#pragma once

#include "glyph_layout.h"

#include <QHash>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

// Draws a line's glyphs over the picture under its box, a rectangle at a time, with the pixels
// Qt's raster engine gives, for a fraction of its cost. Each glyph's coverage is learnt once
// for each place within a device pixel it stands at. Qt blends a font's text in that font's
// own gamma, so how a coverage over a colour comes out is learnt from Qt too, font by font and
// channel by channel, from Qt's own drawing of each glyph whose pixels a loop of ours cannot
// yet tell. Where Qt's results do not follow from coverage and colour alone (text drawn for a
// subpixel screen), Qt draws every rectangle.
class GlyphCompositor {
public:
    GlyphCompositor(QRgb colour, qreal pixelRatio);
    ~GlyphCompositor();

    // `rect` of `box` (device pixels) drawn again: the same rectangle of `picture`, and over it
    // every glyph of `line` that inks it, in order.
    void compose(QImage& box, const QImage& picture, const Line& line, const QRect& rect);
    // The device pixels glyph `i` of `line` may ink.
    QRect reach(const Line& line, std::size_t i) const;
    // Learns now what the ticks of `line`'s fonts, and of the glyphs its digits may turn into,
    // would otherwise learn from Qt one at a time.
    void learnAhead(const Line& line, const std::vector<PlacedGlyph>& digits);
    // Whether Qt draws every rectangle, having shown that its text is not ours to blend.
    bool qtDraws() const { return m_qtDraws; }

private:
    // Pixels from the mask's top-left corner.
    struct Run {
        std::int16_t y, left, right; // fully covered, right included
    };
    struct Partly {
        std::int32_t at; // the pixel's place in rows of the mask's `stride`
        std::int16_t x, y;
        std::uint8_t coverage;
    };
    struct Mask {
        QImage coverage; // Alpha8, null where the glyph inks nothing
        QPoint offset;   // of its top-left pixel from the whole pixel its pen stands in
        std::vector<Run> full;
        std::vector<Partly> partly;       // column by column
        std::vector<std::size_t> columns; // where each column's start in `partly`, and the end
        std::vector<qsizetype> at;        // each partly covered pixel's place in rows of `stride`
        qsizetype stride = 0;
        bool checked = false;
    };
    // What Qt makes of a coverage over a channel value, in one font, for one channel value of
    // the text, by coverage << 8 | channel: the result with kSeen, 0 until it has been seen.
    using Blends = std::array<std::uint16_t, 256 * 256>;
    static constexpr std::uint16_t kSeen = 0x100;
    using FaceBlends = std::array<Blends*, 3>; // red, green and blue, shared where equal

    std::pair<QImage, QPoint> drawAlone(const QRawFont& face, quint32 index, QPointF at) const;
    int placeOf(const Line& line, int face, qreal x);
    Mask& mask(const Line& line, const PlacedGlyph& glyph);
    FaceBlends& blendsOf(int face);
    bool blend(QImage& box, Mask& mask, const FaceBlends& blends, const QPoint& at,
               const QRect& rect) const;
    void drawAndLearn(QImage& box, const Line& line, std::size_t i, const Mask& mask,
                      const QPoint& at, const QRect& rect);
    void learnOver(const Line& line, const PlacedGlyph& glyph, Mask& mask, int turns);
    void learnFrom(const QImage& before, const QImage& now, const QRect& rect, const Mask& mask,
                   const QPoint& at, const FaceBlends& blends);
    void drawWithQt(QImage& box, const Line& line, const QRect& rect,
                    std::size_t only = kAll) const;
    static constexpr std::size_t kAll = ~std::size_t{0};

    QRgb m_colour;
    qreal m_ratio;
    // Shifting a glyph by this many device-independent pixels moves it by whole device
    // pixels; 0 where no small number does (coverage cannot be learnt apart then).
    int m_wholeStep = 0;
    bool m_qtDraws = false;
    QHash<quint64, Mask> m_masks;
    QHash<int, std::vector<int>> m_places; // by face, by fraction: where Qt draws a glyph
    std::vector<FaceBlends> m_blends;      // by face
    std::vector<std::unique_ptr<Blends>> m_ownBlends;
    mutable std::vector<QRgb> m_blended; // what a blend replaced, until every pixel is known
};
