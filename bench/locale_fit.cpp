// Which locales' texts stand whole in the labels' boxes, with the fonts this machine has:
//   locale_fit [LOCALE...]      every UTF-8 locale of /usr/share/i18n/SUPPORTED when none given
// For each locale, the date line and the time line of moments that between them show every
// form a text takes (each hour at minutes and seconds of every digit, days of every month, two
// years), laid out two ways: "before", the C library's %x and %X at the design's sizes, as the
// clock showed them up to now; "after", the clock's own texts at the sizes it fits them to. A
// line is cut where its ink leaves its box; the time shows no seconds where a second later
// reads the same. Prints one line a locale that is cut either way, then the counts.
#include "design_layout.h"
#include "face_font.h"
#include "glyph_layout.h"
#include "regional_clock.h"
#include "twips.h"

#include <QApplication>
#include <QFile>
#include <QRectF>
#include <QSize>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <locale.h>
#include <string>
#include <vector>

using namespace std::chrono;

namespace {

struct Texts {
    QStringList dates, times, nextSeconds;
};

std::vector<sys_seconds> moments() {
    std::vector<sys_seconds> out;
    for (int y : {2026, 2027})
        for (unsigned m = 1; m <= 12; ++m)
            for (unsigned d : {1u, 10u, 28u})
                for (int h = 0; h < 24; h += 5)
                    out.push_back(sys_days{year{y} / month{m} / day{d}} + hours{h});
    for (int h = 0; h < 24; ++h)
        for (int digit = 0; digit < 10; ++digit) {
            const int ms = std::min(digit, 5) * 10 + digit;
            out.push_back(sys_days{year{2026} / December / 9} + hours{h} + minutes{ms} +
                          seconds{ms});
        }
    return out;
}

QString weekday(int index) {
    const std::string_view name = WeekdayNames[static_cast<std::size_t>(index)];
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

Texts before(const std::string& locale) {
    Texts texts;
    locale_t handle = newlocale(LC_ALL_MASK, locale.c_str(), static_cast<locale_t>(0));
    if (!handle)
        return texts;
    const auto format = [handle](const char* pattern, const std::tm& t) {
        char text[256] = {};
        strftime_l(text, sizeof text, pattern, &t, handle);
        return QString::fromUtf8(text);
    };
    for (const sys_seconds when : moments()) {
        const std::tm t = RegionalClock::civilUtc(when);
        const std::tm next = RegionalClock::civilUtc(when + seconds{1});
        texts.dates << format("%x", t) + ' ' + weekday(t.tm_wday);
        texts.times << format("%X", t);
        texts.nextSeconds << format("%X", next);
    }
    freelocale(handle);
    return texts;
}

Texts after(const std::string& locale) {
    Texts texts;
    const RegionalClock clock(locale);
    // The moments in UTC stand for local ones: the process runs with TZ=UTC.
    for (const sys_seconds when : moments()) {
        const RegionalClock::FaceTexts face = clock.format(when);
        texts.dates << QString::fromStdString(face.date) + ' ' + weekday(face.weekday);
        texts.times << QString::fromStdString(face.time);
        texts.nextSeconds << QString::fromStdString(clock.format(when + seconds{1}).time);
    }
    return texts;
}

QSize boxOf(const DesignLayout::LabelDesign& design) {
    return {Twips::toPixels(design.box.width), Twips::toPixels(design.box.height)};
}

// The first line whose ink leaves the box, or an empty text.
QString cut(const QStringList& lines, const QFont& font, const QSize& box, int drop = 0) {
    for (const QString& line : lines) {
        const QRectF ink = GlyphLayout::shape(line, font, nullptr, QPointF(0, drop)).ink();
        if (!ink.isEmpty() && (ink.right() > box.width() || ink.bottom() > box.height() ||
                               ink.top() < 0 || ink.left() < -1))
            return QStringLiteral("%1 [ink %2, %3 to %4, %5]")
                .arg(line)
                .arg(ink.left())
                .arg(ink.top())
                .arg(ink.right())
                .arg(ink.bottom());
    }
    return {};
}

bool noSeconds(const Texts& texts) {
    for (qsizetype i = 0; i < texts.times.size(); ++i) {
        if (texts.times[i] == texts.nextSeconds[i])
            return true;
    }
    return false;
}

struct Count {
    int dateCut = 0, timeCut = 0, noSeconds = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TZ", "UTC");
    tzset();
    QApplication app(argc, argv);
    std::vector<std::string> locales;
    for (int i = 1; i < argc; ++i)
        locales.emplace_back(argv[i]);
    if (locales.empty()) {
        QFile supported(QStringLiteral("/usr/share/i18n/SUPPORTED"));
        if (!supported.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "no /usr/share/i18n/SUPPORTED (Debian: locales)\n");
            return 2;
        }
        for (const QByteArray& line : supported.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() == 2 && fields[1] == "UTF-8")
                locales.push_back(fields[0].toStdString());
        }
    }
    const QSize dateBox = boxOf(DesignLayout::kLabel1), timeBox = boxOf(DesignLayout::kLabel2);
    const QFont dateFont = FaceFont::font(DesignLayout::kLabel1.pixelSize);
    const QFont timeFont = FaceFont::font(DesignLayout::kLabel2.pixelSize);
    Count was, now;
    int measured = 0;
    for (const std::string& locale : locales) {
        const Texts old = before(locale);
        if (old.times.isEmpty())
            continue;
        ++measured;
        const Texts ours = after(locale);
        const FaceFont::Fit fittedDate = FaceFont::fitted(dateFont, dateBox, ours.dates);
        const FaceFont::Fit fittedTime = FaceFont::fitted(timeFont, timeBox, ours.times);
        const QString oldDate = cut(old.dates, dateFont, dateBox);
        const QString oldTime = cut(old.times, timeFont, timeBox);
        const QString newDate = cut(ours.dates, fittedDate.font, dateBox, fittedDate.drop);
        const QString newTime = cut(ours.times, fittedTime.font, timeBox, fittedTime.drop);
        const bool oldStill = noSeconds(old), newStill = noSeconds(ours);
        was.dateCut += !oldDate.isEmpty(), was.timeCut += !oldTime.isEmpty();
        was.noSeconds += oldStill;
        now.dateCut += !newDate.isEmpty(), now.timeCut += !newTime.isEmpty();
        now.noSeconds += newStill;
        if (!oldDate.isEmpty() || !oldTime.isEmpty() || oldStill || !newDate.isEmpty() ||
            !newTime.isEmpty() || newStill)
            std::printf("%-22s before: %s%s%s | after: %s%s%s (sizes %d, %d)\n", locale.c_str(),
                        oldDate.isEmpty() ? "" : qPrintable(" date cut: " + oldDate),
                        oldTime.isEmpty() ? "" : qPrintable(" time cut: " + oldTime),
                        oldStill ? " no seconds" : "",
                        newDate.isEmpty() ? "" : qPrintable(" date cut: " + newDate),
                        newTime.isEmpty() ? "" : qPrintable(" time cut: " + newTime),
                        newStill ? " no seconds" : "", fittedDate.font.pixelSize(),
                        fittedTime.font.pixelSize());
    }
    std::printf("\n%d UTF-8 locales | date cut | time cut | no seconds\n", measured);
    std::printf("before | %d | %d | %d\n", was.dateCut, was.timeCut, was.noSeconds);
    std::printf("after | %d | %d | %d\n", now.dateCut, now.timeCut, now.noSeconds);
    return now.dateCut + now.timeCut + now.noSeconds > 0 ? 1 : 0;
}
