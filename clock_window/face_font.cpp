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

// A line as it is widest, each digit the widest its script has in the font, and the digits of
// its scripts it may show, which no line may push out of the box at the top or the bottom.
struct Extremes {
    QString widest;
    QString digits;
};

QList<Extremes> extremesOf(const QFont& font, const QStringList& lines, QPaintDevice* device) {
    const QFontMetricsF metrics(font, device);
    QHash<char16_t, QChar> widest; // by the script's zero
    QList<Extremes> out;
    for (const QString& line : lines) {
        Extremes extremes{line, {}};
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
                for (char16_t d = 0; d < 10; ++d)
                    extremes.digits += QChar(zero + d);
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

// How much smaller the font must be for the line's ink to stand inside the box: 1 when it does.
qreal overflow(const QFont& font, const QSize& box, const Extremes& line, QPaintDevice* device) {
    QRectF ink = GlyphLayout::shape(line.widest, font, device).ink();
    if (ink.isEmpty())
        return 1;
    if (!line.digits.isEmpty()) {
        const QRectF tall = GlyphLayout::shape(line.widest + line.digits, font, device).ink();
        ink.setTop(std::min(ink.top(), tall.top()));
        ink.setBottom(std::max(ink.bottom(), tall.bottom()));
    }
    return std::max({qreal(1), ink.right() / box.width(), ink.bottom() / box.height()});
}

} // namespace

QFont fitted(const QFont& font, const QSize& box, const QStringList& lines, QPaintDevice* device) {
    const QList<Extremes> extremes = extremesOf(font, lines, device);
    const auto worst = [&](const QFont& candidate) {
        qreal most = 1;
        for (const Extremes& line : extremes)
            most = std::max(most, overflow(candidate, box, line, device));
        return most;
    };
    const qreal atDesign = worst(font);
    if (atDesign <= 1)
        return font;
    // Glyphs scale with the size, give or take the hinting of a pixel: start from the size
    // that scale asks for and step to the largest that fits.
    constexpr int kSmallest = 6;
    const int design = font.pixelSize();
    QFont smaller = font;
    int size = std::max(kSmallest, static_cast<int>(std::floor(design / atDesign)));
    smaller.setPixelSize(size);
    while (size > kSmallest && worst(smaller) > 1)
        smaller.setPixelSize(--size);
    QFont larger = smaller;
    while (size + 1 < design) {
        larger.setPixelSize(size + 1);
        if (worst(larger) > 1)
            break;
        smaller = larger;
        ++size;
    }
    return smaller;
}

} // namespace FaceFont
