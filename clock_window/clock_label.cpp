#include "clock_label.h"

#include "twips.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

// Everything the pixels depend on besides the text, and what is learnt for it.
struct ClockLabel::Look {
    Look(const QFont& font, QRgb colour, qreal ratio, QPoint origin, QWidget* device)
        : font(font), colour(colour), ratio(ratio), origin(origin), layout(font, device, origin) {}

    QFont font;
    QRgb colour;
    qreal ratio;
    QPoint origin; // of the text: the contents' top-left corner
    GlyphLayout layout;
    QImage picture;             // the window's own painting under the box, device pixels
    QImage shown;               // the box as the digit window shows it
    bool noDigitWindow = false; // the platform gave none
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
        m_native.reset();
        m_look = std::make_unique<Look>(font(), colour, ratio, origin, this);
        m_line = m_look->layout.layOut(m_text);
    }
    return *m_look;
}

void ClockLabel::setTop(float twips) {
    m_top = twips;
    move(Twips::toPixels(m_left), Twips::toPixels(m_top));
    // A swing is drawn by Qt; the digit window comes back, showing the text of the moment,
    // when the label is home again.
    if (m_native && !atHome())
        m_native->setVisible(false);
    else if (m_digitWindow && atHome())
        showDigits();
}

void ClockLabel::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    const Line before = m_line;
    Look& current = look();
    m_line = current.layout.layOut(text);
    const QRectF area = changedArea(before, m_line);
    if (area.isEmpty())
        return;
    if (m_native && m_native->isVisible()) {
        const QRect pixels =
            QRectF(area.topLeft() * current.ratio, area.size() * current.ratio).toAlignedRect() &
            current.shown.rect();
        GlyphCompositor::compose(current.shown, current.picture, m_line, current.colour, pixels);
        m_native->put(current.shown.copy(pixels), pixels.topLeft());
    } else {
        update(area.toAlignedRect());
    }
}

// Where the glyphs of either line that the other has not, or not there, may ink.
QRectF ClockLabel::changedArea(const Line& before, const Line& after) const {
    QRectF area;
    const auto gone = [](const Line& line, const Line& other, QRectF& into) {
        for (std::size_t i = 0; i < line.glyphs.size(); ++i) {
            if (std::find(other.glyphs.begin(), other.glyphs.end(), line.glyphs[i]) ==
                other.glyphs.end())
                into |= line.reach(i);
        }
    };
    gone(before, after, area);
    gone(after, before, area);
    return area & QRectF(rect());
}

void ClockLabel::useDigitWindow(DigitWindow digitWindow) {
    m_native.reset();
    m_digitWindow = std::move(digitWindow);
    update();
}

bool ClockLabel::atHome() const {
    return pos() == m_home && isVisible();
}

QRect ClockLabel::deviceBox() const {
    const qreal ratio = devicePixelRatioF();
    return {qRound(x() * ratio), qRound(y() * ratio), qRound(width() * ratio),
            qRound(height() * ratio)};
}

// The box composited whole from the window's painting under it, and the digit window over it.
void ClockLabel::showDigits() {
    Look& current = look();
    if (!m_native && !current.noDigitWindow)
        m_native = m_digitWindow(window(), deviceBox(), [this] { putAll(); });
    current.noDigitWindow = !m_native;
    if (!m_native)
        return;
    if (current.picture.isNull()) {
        current.picture = QImage(deviceBox().size(), QImage::Format_RGB32);
        current.picture.setDevicePixelRatio(current.ratio);
        current.picture.fill(Qt::white);
        window()->render(&current.picture, QPoint(), QRegion(geometry()),
                         QWidget::DrawWindowBackground);
        current.shown = current.picture;
    }
    GlyphCompositor::compose(current.shown, current.picture, m_line, current.colour,
                             current.shown.rect());
    m_native->setVisible(true);
}

// The digit window lost its pixels: all of them again.
void ClockLabel::putAll() {
    if (m_native && m_native->isVisible() && m_look)
        m_native->put(m_look->shown, QPoint());
}

void ClockLabel::paintEvent(QPaintEvent* event) {
    const Look& current = look();
    QPainter painter(this);
    painter.setPen(QColor::fromRgb(current.colour));
    // A tick repaints one or two digits' rectangle: the other glyphs are not drawn at all.
    GlyphCompositor::draw(painter, m_line, event->rect());
    // The digit window is made outside a paint, right after the first one at home.
    if (m_digitWindow && !m_native && !current.noDigitWindow && atHome() && !m_showQueued) {
        m_showQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_showQueued = false;
                if (!m_native && atHome())
                    showDigits();
            },
            Qt::QueuedConnection);
    }
}

void ClockLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        m_look.reset();
        m_native.reset();
        update();
    }
    QWidget::changeEvent(event);
}
