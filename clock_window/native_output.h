#pragma once

#include "glyph_layout.h"
#include "native_digits.h"

#include <QImage>
#include <QRgb>

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

class QWidget;

// A label's pixels through a native window of the platform's own over the label's box. Each
// change is composited from the window's own painting under the box and the line's glyphs, the
// pixels a full paint gives; what the window shows again within a minute (a second's digits,
// mostly) the display keeps, and a tick that shows it again is one copy inside the display.
class NativeOutput {
public:
    explicit NativeOutput(NativeDigits::Factory factory);
    ~NativeOutput();

    // Up over `label`'s box, showing `line` in `colour`, for the label's look `look`: false
    // where the platform gives no native window, which is then not asked again for that look.
    bool show(QWidget& label, const Line& line, QRgb colour, int look);
    void hide();
    // Whether it shows the label in look `look`; a window made for another look is let go.
    bool shows(int look);
    // Whether `show` may give a window for look `look`.
    bool available(int look) const { return look != m_look || !m_refused; }
    // The line is now `line`; `area` (device-independent pixels of the box) changed.
    void change(const Line& line, const QRectF& area);

private:
    // A rectangle of the box and the glyphs that ink it: all its pixels depend on.
    struct Piece {
        QRect rect;
        std::vector<PlacedGlyph> glyphs;
        bool operator==(const Piece& other) const = default;
    };
    struct KeptPiece {
        Piece piece;
        NativeDigits::Kept kept;
        std::uint64_t used;
    };

    void reset(int look);
    void putAll();
    Piece pieceOf(const QRect& pixels) const;
    void keepAndShow(Piece piece, const QImage& pixels);

    NativeDigits::Factory m_factory;
    std::unique_ptr<NativeDigits> m_window;
    int m_look = -1;
    bool m_refused = false;
    qreal m_ratio = 1;
    QImage m_picture; // the window's own painting under the box, device pixels
    QImage m_shown;   // the box as composited last
    Line m_line;
    QRgb m_colour = 0;
    std::deque<Piece> m_recent; // the pieces of about the last minute's changes
    std::vector<KeptPiece> m_kept;
    std::uint64_t m_changes = 0;
};
