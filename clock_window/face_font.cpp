#include "face_font.h"

#include "design_layout.h"
#include "glyph_layout.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>

#include <algorithm>
#include <cmath>

namespace FaceFont {

QString family() {
    static const QString chosen = [] {
        const QString impact = QString::fromLatin1(DesignLayout::kFontFace);
        if (QFontDatabase::families().contains(impact, Qt::CaseInsensitive))
            return impact;
        const int id =
            QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/BebasNeue-Regular.otf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? impact : families.front();
    }();
    return chosen;
}

QFont font(int pixelSize) {
    QFont face(family());
    // Pixel sizes fix the point sizes at 96 dpi, whatever dpi the platform reports.
    face.setPixelSize(pixelSize);
    face.setWeight(QFont::Normal);
    return face;
}

namespace {

// A line as it is widest, each digit the widest its script has in the font; how much further
// right another digit may ink where one ends the line; and the digits of its scripts, which no
// line may push out of the box at the top or the bottom.
struct Extremes {
    QString widest;
    qreal reach = 0;
    QString digits;
};

QList<Extremes> extremesOf(const QFont& font, const QStringList& lines, QPaintDevice* device) {
    const QFontMetricsF metrics(font, device);
    QHash<char16_t, QChar> widest; // by the script's zero
    QList<Extremes> out;
    for (const QString& line : lines) {
        Extremes extremes{line, 0, {}};
        for (QChar& c : extremes.widest) {
            if (c.digitValue() < 0)
                continue;
            const char16_t zero = c.unicode() - static_cast<char16_t>(c.digitValue());
            auto known = widest.find(zero);
            if (known == widest.end()) {
                QChar best(zero);
                for (char16_t d = 1; d < 10; ++d) {
                    if (metrics.horizontalAdvance(QChar(zero + d)) >
                        metrics.horizontalAdvance(best))
                        best = QChar(zero + d);
                }
                known = widest.insert(zero, best);
            }
            if (!extremes.digits.contains(QChar(zero))) {
                for (char16_t d = 0; d < 10; ++d) {
                    extremes.digits += QChar(zero + d);
                    extremes.reach =
                        std::max(extremes.reach, metrics.boundingRect(QChar(zero + d)).right() -
                                                     metrics.boundingRect(*known).right());
                }
            }
            c = *known;
        }
        const bool seen = std::any_of(out.cbegin(), out.cend(), [&](const Extremes& other) {
            return other.widest == extremes.widest;
        });
        if (!seen)
            out.append(extremes);
    }
    return out;
}

// Where the lines ink, as far as any of their moments may: right, top and bottom.
QRectF reachOf(const QFont& font, const QList<Extremes>& lines, QPaintDevice* device) {
    QRectF reach;
    for (const Extremes& line : lines) {
        QRectF ink = GlyphLayout::shape(line.widest, font, device).ink();
        if (ink.isEmpty())
            continue;
        ink.setRight(ink.right() + line.reach);
        if (!line.digits.isEmpty()) {
            const QRectF tall = GlyphLayout::shape(line.widest + line.digits, font, device).ink();
            ink.setTop(std::min(ink.top(), tall.top()));
            ink.setBottom(std::max(ink.bottom(), tall.bottom()));
        }
        reach |= ink;
    }
    return reach;
}

// How much smaller the font must be for the lines to stand inside the box, dropped below its
// top as far as their marks rise above it: 1 when they do.
qreal overflow(const QRectF& reach, const QSize& box) {
    if (reach.isEmpty())
        return 1;
    const qreal drop = std::max<qreal>(0, std::ceil(-reach.top()));
    return std::max(
        {qreal(1), reach.right() / box.width(), (reach.bottom() + drop) / box.height()});
}

} // namespace

Fit fitted(const QFont& font, const QSize& box, const QStringList& lines, QPaintDevice* device) {
    const QList<Extremes> extremes = extremesOf(font, lines, device);
    const auto worst = [&](const QFont& candidate) {
        return overflow(reachOf(candidate, extremes, device), box);
    };
    const qreal atDesign = worst(font);
    QFont chosen = font;
    if (atDesign > 1) {
        // Glyphs scale with the size, give or take the hinting of a pixel: start from the size
        // that scale asks for and step to the largest that fits.
        constexpr int kSmallest = 6;
        const int design = font.pixelSize();
        int size = std::max(kSmallest, static_cast<int>(std::floor(design / atDesign)));
        chosen.setPixelSize(size);
        while (size > kSmallest && worst(chosen) > 1)
            chosen.setPixelSize(--size);
        QFont larger = chosen;
        while (size + 1 < design) {
            larger.setPixelSize(size + 1);
            if (worst(larger) > 1)
                break;
            chosen = larger;
            ++size;
        }
    }
    const QRectF reach = reachOf(chosen, extremes, device);
    return {chosen, static_cast<int>(std::max<qreal>(0, std::ceil(-reach.top())))};
}

} // namespace FaceFont
