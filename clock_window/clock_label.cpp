#include "clock_label.h"

#include "glyph_compositor.h"
#include "native_output.h"
#include "twips.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>

// Everything the pixels depend on besides the text, and the layout learnt for it.
struct ClockLabel::Look {
    Look(const QFont& font, QRgb colour, qreal ratio, QPoint origin, QWidget* device,
         GlyphLayout::Digits digits, int serial)
        : font(font), colour(colour), ratio(ratio), origin(origin),
          layout(font, device, origin, digits), serial(serial) {}

    QFont font;
    QRgb colour;
    qreal ratio;
    QPoint origin; // of the text: the contents' top-left corner
    GlyphLayout layout;
    int serial;
};

ClockLabel::ClockLabel(const QString& text, int leftTwips, int topTwips, int widthTwips,
                       int heightTwips, QWidget* parent)
    : QWidget(parent), m_text(text), m_left(leftTwips), m_top(static_cast<float>(topTwips)) {
    setGeometry(Twips::toPixels(leftTwips), Twips::toPixels(topTwips), Twips::toPixels(widthTwips),
                Twips::toPixels(heightTwips));
    m_home = pos();
    // Input inside the label belongs to it and does nothing; without this Qt would hand the
    // presses, moves and double-clicks the label ignores on to the window.
    setAttribute(Qt::WA_NoMousePropagation);
    setAccessibleName(text);
}

ClockLabel::~ClockLabel() = default;

ClockLabel::Look& ClockLabel::look() {
    const QRgb colour = palette().color(foregroundRole()).rgb();
    const qreal ratio = devicePixelRatioF();
    const QPoint origin = contentsRect().topLeft();
    if (!m_look || m_look->font != font() || m_look->colour != colour || m_look->ratio != ratio ||
        m_look->origin != origin) {
        m_look = std::make_unique<Look>(font(), colour, ratio, origin, this,
                                        m_digitsInCells ? GlyphLayout::Digits::InCells
                                                        : GlyphLayout::Digits::AsShaped,
                                        ++m_looks);
        m_line = m_look->layout.layOut(m_text);
    }
    return *m_look;
}

void ClockLabel::setDigitsInCells(bool inCells) {
    if (inCells == m_digitsInCells)
        return;
    m_digitsInCells = inCells;
    lookChanged();
}

void ClockLabel::setTop(float twips) {
    m_top = twips;
    move(Twips::toPixels(m_left), Twips::toPixels(m_top));
    // A swing is drawn by Qt; the digit window comes back, showing the text of the moment,
    // when the label is home again.
    if (!m_output)
        return;
    if (atHome())
        showDigitsSoon();
    else
        m_output->hide();
}

void ClockLabel::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    const Line before = m_line;
    Look& current = look();
    m_line = current.layout.layOut(text);
    const QRectF area = GlyphCompositor::changed(before, m_line) & QRectF(rect());
    if (area.isEmpty())
        return;
    if (m_output && m_output->shows(current.serial)) {
        m_output->change(m_line, area);
        return;
    }
    update(area.toAlignedRect());
    showDigitsSoon();
}

void ClockLabel::useDigitWindow(NativeDigits::Factory factory) {
    m_output = factory ? std::make_unique<NativeOutput>(std::move(factory)) : nullptr;
    update();
    showDigitsSoon();
}

bool ClockLabel::atHome() const {
    return pos() == m_home && isVisible();
}

// Made outside any paint, once the window's own painting under the box can be rendered.
void ClockLabel::showDigitsSoon() {
    if (!m_output || m_showQueued || !atHome() || !m_output->available(look().serial))
        return;
    m_showQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_showQueued = false;
            if (!atHome())
                return;
            const Look& current = look();
            m_output->show(*this, m_line, current.colour, current.serial);
        },
        Qt::QueuedConnection);
}

// The digit window goes at once, so it never shows the old look's pixels, and comes back made
// for the new one.
void ClockLabel::lookChanged() {
    m_look.reset();
    if (m_output)
        m_output->hide();
    update();
    showDigitsSoon();
}

void ClockLabel::paintEvent(QPaintEvent* event) {
    const Look& current = look();
    QPainter painter(this);
    painter.setPen(QColor::fromRgb(current.colour));
    // A tick repaints one or two digits' rectangle: the other glyphs are not drawn at all.
    GlyphCompositor::draw(painter, m_line, event->rect());
}

void ClockLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        lookChanged();
    QWidget::changeEvent(event);
}

void ClockLabel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Another screen may have another pixel ratio.
    if (QWindow* handle = window()->windowHandle(); handle && !m_watchesScreen) {
        m_watchesScreen = true;
        connect(handle, &QWindow::screenChanged, this, &ClockLabel::lookChanged);
    }
    showDigitsSoon();
}
