#include "face_font.h"

#include "design_layout.h"
#include "glyph_layout.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

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

// What a script's digits are in the font, learnt once for every line: the widest of them, and
// how much further right than it another may ink.
struct Digits {
    QChar widest;
    qreal reach = 0;
};

QList<Extremes> extremesOf(const QFont& font, const QStringList& lines, QPaintDevice* device) {
    const QFontMetricsF metrics(font, device);
    QHash<char16_t, Digits> known; // by the script's zero
    QSet<QString> seen;
    QList<Extremes> out;
    for (const QString& line : lines) {
        Extremes extremes{line, 0, {}};
        for (QChar& c : extremes.widest) {
            if (c.digitValue() < 0)
                continue;
            const char16_t zero = c.unicode() - static_cast<char16_t>(c.digitValue());
            auto digits = known.find(zero);
            if (digits == known.end()) {
                Digits learnt{QChar(zero), 0};
                for (char16_t d = 1; d < 10; ++d) {
                    if (metrics.horizontalAdvance(QChar(zero + d)) >
                        metrics.horizontalAdvance(learnt.widest))
                        learnt.widest = QChar(zero + d);
                }
                const qreal right = metrics.boundingRect(learnt.widest).right();
                for (char16_t d = 0; d < 10; ++d)
                    learnt.reach = std::max(learnt.reach,
                                            metrics.boundingRect(QChar(zero + d)).right() - right);
                digits = known.insert(zero, learnt);
            }
            if (!extremes.digits.contains(QChar(zero))) {
                for (char16_t d = 0; d < 10; ++d)
                    extremes.digits += QChar(zero + d);
                extremes.reach = std::max(extremes.reach, digits->reach);
            }
            c = digits->widest;
        }
        // Lines of one form differ in their digits alone: it is laid out once.
        if (!seen.contains(extremes.widest)) {
            seen.insert(extremes.widest);
            out.append(extremes);
        }
    }
    return out;
}

// Lays the lines out in one font, each only once, and says where they ink.
class Reach {
public:
    Reach(const QFont& font, QPaintDevice* device) : m_font(font), m_device(device) {}

    // Where the line inks, as far as any of its moments may: right, top and bottom.
    QRectF of(const Extremes& line) {
        QRectF ink = GlyphLayout::shape(line.widest, m_font, m_device).ink();
        if (ink.isEmpty())
            return ink;
        ink.setRight(ink.right() + line.reach);
        if (!line.digits.isEmpty()) {
            // Every line of the same scripts has the same digits.
            auto tall = m_digits.find(line.digits);
            if (tall == m_digits.end())
                tall = m_digits.insert(line.digits,
                                       GlyphLayout::shape(line.digits, m_font, m_device).ink());
            if (!tall->isEmpty()) {
                ink.setTop(std::min(ink.top(), tall->top()));
                ink.setBottom(std::max(ink.bottom(), tall->bottom()));
            }
        }
        return ink;
    }

private:
    QFont m_font;
    QPaintDevice* m_device;
    QHash<QString, QRectF> m_digits;
};

// How much smaller the font must be for the lines to stand inside the box, dropped below its
// top as far as their marks rise above it: 1 when they do.
qreal overflow(const QRectF& reach, const QSize& box) {
    if (reach.isEmpty())
        return 1;
    const qreal drop = std::max<qreal>(0, std::ceil(-reach.top()));
    return std::max(
        {qreal(1), reach.right() / box.width(), (reach.bottom() + drop) / box.height()});
}

int dropOf(const QRectF& reach) {
    return static_cast<int>(std::max<qreal>(0, std::ceil(-reach.top())));
}

} // namespace

Fit fitted(const QFont& font, const QSize& box, const QStringList& lines, QPaintDevice* device) {
    const QList<Extremes> extremes = extremesOf(font, lines, device);
    QList<QRectF> atDesign; // each line's reach at the design's size
    QRectF all;
    {
        Reach reach(font, device);
        for (const Extremes& line : extremes) {
            atDesign.append(reach.of(line));
            all |= atDesign.back();
        }
    }
    const qreal over = overflow(all, box);
    if (over <= 1)
        return {font, dropOf(all)};

    // Glyphs scale with the size, give or take the hinting of a pixel: the lines near the
    // widest, the highest or the lowest decide the size, one of each that reach alike. All of
    // them are laid out again at the size they give, which they must all stand whole at.
    const int design = font.pixelSize();
    QList<qsizetype> deciding;
    std::set<std::array<qint64, 3>> alike;
    for (qsizetype i = 0; i < extremes.size(); ++i) {
        const QRectF& r = atDesign[i];
        if (r.isEmpty() || (r.right() < all.right() - 0.1 * all.width() &&
                            r.top() > all.top() + 0.1 * all.height() &&
                            r.bottom() < all.bottom() - 0.1 * all.height()))
            continue;
        const std::array<qint64, 3> at{qRound64(r.right() * 64), qRound64(r.top() * 64),
                                       qRound64(r.bottom() * 64)};
        if (alike.insert(at).second)
            deciding.append(i);
    }
    const auto reachAt = [&](int pixelSize, bool everyLine) {
        QFont candidate = font;
        candidate.setPixelSize(pixelSize);
        Reach reach(candidate, device);
        QRectF found;
        if (everyLine) {
            for (const Extremes& line : extremes)
                found |= reach.of(line);
        } else {
            for (const qsizetype i : deciding)
                found |= reach.of(extremes[i]);
        }
        return found;
    };
    constexpr int kSmallest = 6;
    int size = std::max(kSmallest, static_cast<int>(std::floor(design / over)));
    while (size > kSmallest && overflow(reachAt(size, false), box) > 1)
        --size;
    while (size + 1 < design && overflow(reachAt(size + 1, false), box) <= 1)
        ++size;
    QRectF reach = reachAt(size, true);
    while (size > kSmallest && overflow(reach, box) > 1)
        reach = reachAt(--size, true);
    QFont chosen = font;
    chosen.setPixelSize(size);
    return {chosen, dropOf(reach)};
}

} // namespace FaceFont
