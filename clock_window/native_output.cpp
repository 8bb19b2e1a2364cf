#include "native_output.h"

#include "glyph_compositor.h"

#include <QWidget>

#include <algorithm>

namespace {
// A second's digit comes back every ten ticks, its tens every sixty; a minute's come back only
// after an hour, and are sent each time rather than kept.
constexpr std::size_t kRecentChanges = 64;
// The display's memory for one label stays small: far more than the seconds of any script use.
constexpr std::size_t kMostKept = 80;
} // namespace

NativeOutput::NativeOutput(NativeDigits::Factory factory) : m_factory(std::move(factory)) {}

NativeOutput::~NativeOutput() = default;

void NativeOutput::reset(int look) {
    m_kept.clear();
    m_window.reset();
    m_recent.clear();
    m_picture = QImage();
    m_refused = false;
    m_look = look;
}

bool NativeOutput::show(QWidget& label, const Line& line, QRgb colour, int look) {
    if (look != m_look)
        reset(look);
    if (m_refused)
        return false;
    m_line = line;
    m_colour = colour;
    if (!m_window) {
        m_ratio = label.devicePixelRatioF();
        const QRect box = label.geometry();
        const QRect deviceBox(qRound(box.x() * m_ratio), qRound(box.y() * m_ratio),
                              qRound(box.width() * m_ratio), qRound(box.height() * m_ratio));
        m_window = m_factory(label.window()->winId(), deviceBox, [this] { putAll(); });
        m_refused = !m_window;
        if (m_refused)
            return false;
        m_picture = QImage(deviceBox.size(), QImage::Format_RGB32);
        m_picture.setDevicePixelRatio(m_ratio);
        m_picture.fill(Qt::white);
        label.window()->render(&m_picture, QPoint(), QRegion(box), QWidget::DrawWindowBackground);
        m_shown = m_picture;
    }
    // A window shown again asks for all its pixels.
    m_window->setVisible(true);
    return true;
}

void NativeOutput::hide() {
    if (m_window)
        m_window->setVisible(false);
}

bool NativeOutput::shows(int look) {
    if (look != m_look)
        reset(look);
    return m_window && m_window->isVisible();
}

// The display lost the window's pixels. Kept pieces may have been shown since the box was last
// composited, so all of it is composited again.
void NativeOutput::putAll() {
    if (!m_window || !m_window->isVisible())
        return;
    GlyphCompositor::compose(m_shown, m_picture, m_line, m_colour, m_shown.rect());
    m_window->put(m_shown, QPoint());
}

// The glyphs the compositor draws into `pixels`.
NativeOutput::Piece NativeOutput::pieceOf(const QRect& pixels) const {
    const QRectF clip(QPointF(pixels.topLeft()) / m_ratio, QSizeF(pixels.size()) / m_ratio);
    Piece piece{pixels, {}};
    for (std::size_t i = 0; i < m_line.glyphs.size(); ++i) {
        if (m_line.reach(i).intersects(clip))
            piece.glyphs.push_back(m_line.glyphs[i]);
    }
    return piece;
}

void NativeOutput::change(const Line& line, const QRectF& area) {
    m_line = line;
    if (!m_window || !m_window->isVisible())
        return;
    const QRect pixels = GlyphCompositor::devicePixels(area, m_ratio) & m_picture.rect();
    if (pixels.isEmpty())
        return;
    Piece piece = pieceOf(pixels);
    ++m_changes;
    const auto kept = std::find_if(m_kept.begin(), m_kept.end(),
                                   [&piece](const KeptPiece& k) { return k.piece == piece; });
    if (kept != m_kept.end()) {
        kept->used = m_changes;
        m_window->showKept(kept->kept, pixels.topLeft());
        return;
    }
    GlyphCompositor::compose(m_shown, m_picture, m_line, m_colour, pixels);
    const QImage composed = m_shown.copy(pixels);
    const auto seen = std::find(m_recent.begin(), m_recent.end(), piece);
    if (seen != m_recent.end()) {
        m_recent.erase(seen);
        keepAndShow(std::move(piece), composed);
        return;
    }
    m_window->put(composed, pixels.topLeft());
    m_recent.push_back(std::move(piece));
    if (m_recent.size() > kRecentChanges)
        m_recent.pop_front();
}

void NativeOutput::keepAndShow(Piece piece, const QImage& pixels) {
    if (m_kept.size() >= kMostKept) {
        const auto oldest = std::min_element(
            m_kept.begin(), m_kept.end(),
            [](const KeptPiece& a, const KeptPiece& b) { return a.used < b.used; });
        m_window->drop(oldest->kept);
        m_kept.erase(oldest);
    }
    const QPoint at = piece.rect.topLeft();
    const NativeDigits::Kept kept = m_window->keep(pixels);
    m_kept.push_back({std::move(piece), kept, m_changes});
    m_window->showKept(kept, at);
}
