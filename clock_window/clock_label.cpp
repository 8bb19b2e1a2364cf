#include "clock_label.h"

#include "twips.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

std::unique_ptr<QTextLayout> layOut(const QFont& font, const QString& text, QPaintDevice* device) {
    auto layout = std::make_unique<QTextLayout>(text, font, device);
    layout->setCacheEnabled(true);
    layout->beginLayout();
    layout->createLine();
    layout->endLayout();
    return layout;
}

qreal startOf(const QTextLayout& layout, qsizetype index) {
    const QTextLine line = layout.lineAt(0);
    return line.isValid() ? line.cursorToX(static_cast<int>(index)) : 0;
}

qreal widthOf(const QTextLayout& layout) {
    const QTextLine line = layout.lineAt(0);
    return line.isValid() ? line.naturalTextWidth() : 0;
}

QRect changedPart(const QTextLayout& before, const QTextLayout& after, const QRect& contents) {
    const QString& old = before.text();
    const QString& now = after.text();
    if (old == now)
        return {};
    const qsizetype shorter = std::min(old.size(), now.size());
    qsizetype same = 0;
    while (same < shorter && old[same] == now[same])
        ++same;
    // Never split a character written as two code units.
    while (same > 0 && now[same - 1].isHighSurrogate())
        --same;
    // A glyph may reach beyond its advance: the first changed one left over the unchanged
    // prefix, the last one right past the end.
    const QFontMetricsF metrics(after.font());
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
    const qreal reachLeft = std::max<qreal>({0, leftReach(old), leftReach(now)});
    const qreal reachRight = std::max<qreal>({0, rightReach(old), rightReach(now)});
    // Kerning with the last unchanged character is in the cursor positions already. One more
    // pixel each side for the antialiased edge.
    const qreal from = std::min(startOf(before, same), startOf(after, same)) - reachLeft;
    const qreal to = std::max(widthOf(before), widthOf(after)) + reachRight;
    const int left = std::max(0, static_cast<int>(std::floor(from)) - 1);
    const int right = static_cast<int>(std::ceil(to)) + 1;
    return QRect(contents.left() + left, contents.top(), right - left, contents.height())
        .intersected(contents);
}

} // namespace

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

ClockLabel::~ClockLabel() = default;

void ClockLabel::setTop(float twips) {
    m_top = twips;
    move(Twips::toPixels(m_left), Twips::toPixels(m_top));
}

bool ClockLabel::drawsItself() const {
    // Plain left-to-right text at the top left, which is what the clock shows; anything else is
    // left to QLabel whole.
    return textFormat() == Qt::PlainText && alignment() == (Qt::AlignLeft | Qt::AlignTop) &&
           !text().isRightToLeft() && margin() == 0 && indent() <= 0 && frameWidth() == 0 &&
           !hasScaledContents();
}

const QTextLayout& ClockLabel::laidOut() {
    if (!m_layout || m_layout->text() != text() || m_layout->font() != font())
        m_layout = layOut(font(), text(), this);
    return *m_layout;
}

void ClockLabel::setText(const QString& text) {
    if (text == QLabel::text())
        return;
    if (!isVisible() || !drawsItself() || text.isRightToLeft()) {
        QLabel::setText(text);
        return;
    }
    auto next = layOut(font(), text, this);
    const QRect changed = changedPart(laidOut(), *next, contentsRect());
    m_layout = std::move(next);
    // QLabel asks to repaint all of itself; hold that back and ask for the changed part.
    const bool heldBack = testAttribute(Qt::WA_UpdatesDisabled);
    setAttribute(Qt::WA_UpdatesDisabled, true);
    QLabel::setText(text);
    setAttribute(Qt::WA_UpdatesDisabled, heldBack);
    update(changed);
}

void ClockLabel::paintEvent(QPaintEvent* event) {
    if (!drawsItself()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    laidOut().draw(&painter, contentsRect().topLeft());
}

QRect ClockLabel::changedRect(const QFont& font, const QString& before, const QString& after,
                              const QRect& contents, QPaintDevice* device) {
    return changedPart(*layOut(font, before, device), *layOut(font, after, device), contents);
}
