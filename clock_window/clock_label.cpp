#include "clock_label.h"

#include "twips.h"

ClockLabel::ClockLabel(const QString& text, int leftTwips, int topTwips, int widthTwips,
                       int heightTwips, QWidget* parent)
    : QLabel(text, parent), m_left(leftTwips), m_top(static_cast<float>(topTwips)) {
    setGeometry(Twips::toPixels(leftTwips), Twips::toPixels(topTwips), Twips::toPixels(widthTwips),
                Twips::toPixels(heightTwips));
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
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
