#include "clock_label.h"

#include "twips.h"

#include <QBackingStore>
#include <QFontMetricsF>
#include <QPaintEvent>
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
    // Its size never follows its text; fixed, a new caption also asks the window for no layout.
    setFixedSize(size());
    m_home = pos();
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
    followHome();
}

void ClockLabel::drawFromImages(bool on, DigitWindow digitWindow) {
    m_native.reset();
    m_nativeRect = QRect();
    m_digitWindow = std::move(digitWindow);
    m_images.reset();
    if (on)
        m_images = std::make_unique<TickImages>(
            [this](const QString& text, const QRect& rect, bool withText) {
                return paintBox(text, rect, withText);
            },
            this);
    update();
}

bool ClockLabel::imagesApply() const {
    return m_images && pos() == m_home && isVisible() && drawsItself() && !text().isRightToLeft();
}

TickImages::Look ClockLabel::look() const {
    return {font(), palette().color(foregroundRole()).rgba(), devicePixelRatioF(), geometry()};
}

// Part of the box as the window paints it, in device pixels. With the text, Qt paints it into
// the window's backing store, where it is read back, so the images are a real paint's pixels
// at any pixel ratio; with the digit window up the paint lies under it, unseen. Without the
// text it is the window's own painting, the picture, rendered apart, so the screen never shows
// the box without its text.
QImage ClockLabel::paintBox(const QString& text, const QRect& rect, bool withText) {
    Q_ASSERT(text == this->text());
    // Until the window is first exposed, its backing store has no pixels (and at a scale
    // factor, asking for them then crashes Qt).
    QBackingStore* store = window()->backingStore();
    if (!store || !window()->testAttribute(Qt::WA_Mapped))
        return {};
    const qreal ratio = devicePixelRatioF();
    const QRect area =
        QRectF(QPointF(rect.topLeft()) / ratio, QSizeF(rect.size()) / ratio).toAlignedRect();
    if (!withText)
        return pictureUnder(rect, area);
    m_paintingText = true;
    repaint(area);
    m_paintingText = false;
    const QPaintDevice* device = store->paintDevice();
    const auto* painted = device && device->devType() == QInternal::Image
                              ? static_cast<const QImage*>(device)
                              : nullptr;
    const QRect source(mapTo(window(), QPoint()) * ratio + rect.topLeft(), rect.size());
    // A backing store not yet of the window's new size or ratio has no such pixels.
    const bool readable = painted &&
                          painted->size() == (QSizeF(window()->size()) * ratio).toSize() &&
                          painted->rect().contains(source);
    QImage pixels =
        readable ? painted->copy(source).convertToFormat(QImage::Format_RGB32) : QImage();
    pixels.setDevicePixelRatio(ratio);
    return pixels;
}

// The window's painting under `rect` (device pixels of the box; `area` the same in
// device-independent pixels, whole), without any of its children.
QImage ClockLabel::pictureUnder(const QRect& rect, const QRect& area) const {
    const qreal ratio = devicePixelRatioF();
    QImage rendered((QSizeF(area.size()) * ratio).toSize(), QImage::Format_RGB32);
    rendered.setDevicePixelRatio(ratio);
    rendered.fill(Qt::white);
    window()->render(&rendered, QPoint(), QRegion(area.translated(mapTo(window(), QPoint()))),
                     QWidget::DrawWindowBackground);
    QImage pixels = rendered.copy(
        QRect(rect.topLeft() - (QPointF(area.topLeft()) * ratio).toPoint(), rect.size()));
    pixels.setDevicePixelRatio(ratio);
    return pixels;
}

// The native window belongs to the label at home; a swing is drawn by Qt, and the window comes
// back, showing the caption of the moment, when the label is home again.
void ClockLabel::followHome() {
    if (!m_images)
        return;
    if (!imagesApply()) {
        if (m_native)
            m_native->setVisible(false);
        return;
    }
    m_images->use(look());
    if (!m_images->show(text()))
        return;
    placeNative();
    if (m_native && !m_native->isVisible())
        m_native->setVisible(true);
}

void ClockLabel::placeNative() {
    if (!m_digitWindow)
        return;
    const qreal ratio = devicePixelRatioF();
    const QRect rect(qRound(x() * ratio), qRound(y() * ratio), qRound(width() * ratio),
                     qRound(height() * ratio));
    if (rect == m_nativeRect)
        return;
    m_native.reset();
    m_nativeRect = rect;
    m_native = m_digitWindow(window(), rect, [this] { putAll(); });
}

// The native window lost its pixels: all of them again.
void ClockLabel::putAll() {
    if (!m_native || !m_native->isVisible() || !imagesApply())
        return;
    m_images->use(look());
    if (m_images->show(text()))
        m_native->put(m_images->shown(), QPoint());
}

bool ClockLabel::event(QEvent* event) {
    const bool handled = QLabel::event(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::ScreenChangeInternal:
        // New images, and a native window of the new size, now rather than at the next tick.
        if (imagesApply()) {
            m_images->use(look());
            placeNative();
            putAll();
        }
        break;
    default:
        break;
    }
    return handled;
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

// QLabel asks to repaint all of itself; the caller says what really changed.
void ClockLabel::setTextQuietly(const QString& text) {
    const bool heldBack = testAttribute(Qt::WA_UpdatesDisabled);
    setAttribute(Qt::WA_UpdatesDisabled, true);
    QLabel::setText(text);
    setAttribute(Qt::WA_UpdatesDisabled, heldBack);
}

void ClockLabel::setText(const QString& text) {
    if (text == QLabel::text())
        return;
    if (imagesApply() && !text.isRightToLeft()) {
        setTextQuietly(text);
        m_images->use(look());
        const TickImages::Change change = m_images->change(text);
        if (change.rect.isEmpty()) {
            // No pixels to put: Qt paints the label, and a digit window steps aside for it.
            if (!m_images->shows(look(), text)) {
                if (m_native)
                    m_native->setVisible(false);
                update();
            }
            return;
        }
        placeNative();
        if (m_native && !m_native->isVisible())
            m_native->setVisible(true);
        if (m_native && m_native->isVisible()) {
            m_native->put(change.pixels, change.rect.topLeft());
        } else if (!change.painted) {
            const qreal ratio = m_images->shown().devicePixelRatio();
            update(
                QRectF(QPointF(change.rect.topLeft()) / ratio, QSizeF(change.rect.size()) / ratio)
                    .toAlignedRect());
        }
        return;
    }
    if (!isVisible() || !drawsItself() || text.isRightToLeft()) {
        QLabel::setText(text);
        return;
    }
    auto next = layOut(font(), text, this);
    const QRect changed = changedPart(laidOut(), *next, contentsRect());
    m_layout = std::move(next);
    setTextQuietly(text);
    update(changed);
}

void ClockLabel::paintEvent(QPaintEvent* event) {
    if (!drawsItself()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    if (!m_paintingText && imagesApply() && m_images->shows(look(), text())) {
        const QImage& shown = m_images->shown();
        const qreal ratio = shown.devicePixelRatio();
        const QRectF target(event->rect());
        painter.drawImage(target, shown, QRectF(target.topLeft() * ratio, target.size() * ratio));
        return;
    }
    // Images are made outside a paint, by one of Qt's own: right after this one.
    if (!m_paintingText && imagesApply() && !m_followQueued) {
        m_followQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_followQueued = false;
                followHome();
            },
            Qt::QueuedConnection);
    }
    painter.setPen(palette().color(foregroundRole()));
    laidOut().draw(&painter, contentsRect().topLeft());
}

QRect ClockLabel::changedRect(const QFont& font, const QString& before, const QString& after,
                              const QRect& contents, QPaintDevice* device) {
    return changedPart(*layOut(font, before, device), *layOut(font, after, device), contents);
}
