#include "clock_label.h"

#include "twips.h"

#include <QFontMetricsF>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

ClockLabel::ClockLabel(const QString& text, int leftTwips, int topTwips, int widthTwips,
                       int heightTwips, QWidget* parent)
    : QLabel(text, parent), m_left(leftTwips), m_top(static_cast<float>(topTwips)) {
    setGeometry(Twips::toPixels(leftTwips), Twips::toPixels(topTwips), Twips::toPixels(widthTwips),
                Twips::toPixels(heightTwips));
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The captions are the platform's date and time texts, shown as they are.
    setTextFormat(Qt::PlainText);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
    // Input inside the label belongs to it and does nothing; without this Qt would hand the
    // presses, moves and double-clicks the label ignores on to the window.
    setAttribute(Qt::WA_NoMousePropagation);
}

void ClockLabel::setTop(float twips) {
    m_top = twips;
    move(Twips::toPixels(m_left), Twips::toPixels(m_top));
}

void ClockLabel::setText(const QString& text) {
    const QString before = QLabel::text();
    if (text == before)
        return;
    const bool leftToRight = !before.isRightToLeft() && !text.isRightToLeft();
    if (!isVisible() || !leftToRight || !(alignment() & Qt::AlignLeft) ||
        textFormat() != Qt::PlainText) {
        QLabel::setText(text);
        return;
    }
    const QRect changed = changedRect(font(), before, text, contentsRect());
    // QLabel asks to repaint all of itself; hold that back and ask for the changed part.
    const bool heldBack = testAttribute(Qt::WA_UpdatesDisabled);
    setAttribute(Qt::WA_UpdatesDisabled, true);
    QLabel::setText(text);
    setAttribute(Qt::WA_UpdatesDisabled, heldBack);
    update(changed);
}

namespace {

struct Placed {
    qreal splitX;
    qreal width;
};

// Where the character at `split` starts, and how wide the whole text is, as the label lays it
// out (one line, the label's font); kerning with the character before is included.
Placed place(const QFont& font, const QString& text, qsizetype split) {
    QTextLayout layout(text, font);
    layout.setCacheEnabled(false);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return {0, 0};
    return {line.cursorToX(static_cast<int>(split)), line.naturalTextWidth()};
}

} // namespace

QRect ClockLabel::changedRect(const QFont& font, const QString& before, const QString& after,
                              const QRect& contents) {
    if (before == after)
        return {};
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype same = 0;
    while (same < shorter && before[same] == after[same])
        ++same;
    // Never split a character written as two code units.
    while (same > 0 && after[same - 1].isHighSurrogate())
        --same;
    const Placed old = place(font, before, same);
    const Placed now = place(font, after, same);
    // A glyph may reach beyond its advance: the first changed one left over the unchanged
    // prefix, the last one right past the end.
    const QFontMetricsF metrics(font);
    const auto leftReach = [&](const QString& text) -> qreal {
        if (same >= text.size())
            return 0;
        const QChar c = text[same];
        return c.isSurrogate() ? -metrics.minLeftBearing() : -metrics.leftBearing(c);
    };
    const auto rightReach = [&](const QString& text) -> qreal {
        if (text.isEmpty())
            return 0;
        const QChar c = text.back();
        return c.isSurrogate() ? -metrics.minRightBearing() : -metrics.rightBearing(c);
    };
    const qreal reachLeft = std::max<qreal>({0, leftReach(before), leftReach(after)});
    const qreal reachRight = std::max<qreal>({0, rightReach(before), rightReach(after)});
    // One more pixel each side for the antialiased edge.
    const int left = static_cast<int>(std::floor(std::min(old.splitX, now.splitX) - reachLeft)) - 1;
    const int right =
        static_cast<int>(std::ceil(std::max(old.width, now.width) + reachRight)) + 1;
    const QRect changed(contents.left() + std::max(0, left), contents.top(),
                        right - std::max(0, left), contents.height());
    return changed.intersected(contents);
}
