// Which locales' texts stand whole in the labels' boxes, with the fonts this machine has:
//   locale_fit [LOCALE...]      every UTF-8 locale of /usr/share/i18n/SUPPORTED when none given
// For each locale, in each zone of ZONES (by default UTC, Europe/Berlin, America/New_York and
// Australia/Lord_Howe, whose summer is half an hour), the date lines and the time lines of the
// moments the clock fits its labels to (RegionalClock::sampleMoments(), real local times in
// winter and in summer), laid out two ways: "before", the C library's %x and %X at the design's
// sizes, as the clock showed them once; "after", the clock's own texts at the sizes the clock
// fits them to (FaceFit). A line is cut where its ink leaves its box; the time shows no seconds
// where a second later reads the same. Prints one line a locale and zone that is cut either way,
// then the counts of locales and what the fit took (texts and both labels, fonts loaded).
#include "design_layout.h"
#include "face_fit.h"
#include "face_font.h"
#include "glyph_layout.h"
#include "regional_clock.h"
#include "twips.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRectF>
#include <QSize>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <locale.h>
#include <string>
#include <vector>

using namespace std::chrono;

namespace {

struct Texts {
    QStringList dates, times;
    bool noSeconds = false; // some time reads the same a second later
};

Texts before(const std::string& locale) {
    Texts texts;
    locale_t handle = newlocale(LC_ALL_MASK, locale.c_str(), static_cast<locale_t>(0));
    if (!handle)
        return texts;
    const auto format = [handle](const char* pattern, system_clock::time_point when) {
        const std::time_t t = system_clock::to_time_t(when);
        std::tm local{};
        localtime_r(&t, &local);
        char text[256] = {};
        strftime_l(text, sizeof text, pattern, &local, handle);
        return QString::fromUtf8(text);
    };
    const RegionalClock::Moments moments = RegionalClock::sampleMoments();
    for (const auto when : moments.days) {
        const std::time_t t = system_clock::to_time_t(when);
        std::tm local{};
        localtime_r(&t, &local);
        texts.dates << format("%x", when) + ' ' +
                           QString::fromLatin1(WeekdayNames[std::size_t(local.tm_wday)].data(), 3);
    }
    for (const auto when : moments.times) {
        texts.times << format("%X", when);
        texts.noSeconds |= texts.times.back() == format("%X", when + seconds{1});
    }
    freelocale(handle);
    return texts;
}

Texts after(const RegionalClock& clock) {
    const FaceFit::Lines lines = FaceFit::sampleLines(clock);
    Texts texts{lines.dates, lines.times};
    for (const auto when : RegionalClock::sampleMoments().times)
        texts.noSeconds |= clock.format(when).time == clock.format(when + seconds{1}).time;
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

struct Count {
    int dateCut = 0, timeCut = 0, noSeconds = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
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
    const QByteArray zones =
        qEnvironmentVariable(
            "ZONES", QStringLiteral("UTC Europe/Berlin America/New_York Australia/Lord_Howe"))
            .toLatin1();
    const QSize dateBox = boxOf(DesignLayout::kLabel1), timeBox = boxOf(DesignLayout::kLabel2);
    const QFont dateFont = FaceFont::font(DesignLayout::kLabel1.pixelSize);
    const QFont timeFont = FaceFont::font(DesignLayout::kLabel2.pixelSize);
    Count was, now;
    int measured = 0;
    std::vector<double> fitMs;
    for (const std::string& locale : locales) {
        bool oldDateCut = false, oldTimeCut = false, oldStill = false;
        bool newDateCut = false, newTimeCut = false, newStill = false, some = false;
        for (const QByteArray& zone : zones.split(' ')) {
            if (zone.isEmpty())
                continue;
            qputenv("TZ", zone);
            tzset();
            const Texts old = before(locale);
            if (old.times.isEmpty())
                break;
            some = true;
            QElapsedTimer timer;
            timer.start();
            const RegionalClock clock(locale);
            const FaceFit::Lines lines = FaceFit::sampleLines(clock);
            const FaceFont::Fit fittedDate = FaceFont::fitted(dateFont, dateBox, lines.dates);
            const FaceFont::Fit fittedTime = FaceFont::fitted(timeFont, timeBox, lines.times);
            fitMs.push_back(double(timer.nsecsElapsed()) / 1e6);
            const Texts ours = after(clock);
            const QString oldDate = cut(old.dates, dateFont, dateBox);
            const QString oldTime = cut(old.times, timeFont, timeBox);
            const QString newDate = cut(ours.dates, fittedDate.font, dateBox, fittedDate.drop);
            const QString newTime = cut(ours.times, fittedTime.font, timeBox, fittedTime.drop);
            const bool oldNone = old.noSeconds, newNone = ours.noSeconds;
            oldDateCut |= !oldDate.isEmpty(), oldTimeCut |= !oldTime.isEmpty();
            oldStill |= oldNone;
            newDateCut |= !newDate.isEmpty(), newTimeCut |= !newTime.isEmpty();
            newStill |= newNone;
            if (!oldDate.isEmpty() || !oldTime.isEmpty() || oldNone || !newDate.isEmpty() ||
                !newTime.isEmpty() || newNone)
                std::printf("%-22s %-20s before: %s%s%s | after: %s%s%s (sizes %d, %d)\n",
                            locale.c_str(), zone.constData(),
                            oldDate.isEmpty() ? "" : qPrintable(" date cut: " + oldDate),
                            oldTime.isEmpty() ? "" : qPrintable(" time cut: " + oldTime),
                            oldNone ? " no seconds" : "",
                            newDate.isEmpty() ? "" : qPrintable(" date cut: " + newDate),
                            newTime.isEmpty() ? "" : qPrintable(" time cut: " + newTime),
                            newNone ? " no seconds" : "", fittedDate.font.pixelSize(),
                            fittedTime.font.pixelSize());
        }
        if (!some)
            continue;
        ++measured;
        was.dateCut += oldDateCut, was.timeCut += oldTimeCut, was.noSeconds += oldStill;
        now.dateCut += newDateCut, now.timeCut += newTimeCut, now.noSeconds += newStill;
    }
    std::printf("\n%d UTF-8 locales, zones %s | date cut | time cut | no seconds\n", measured,
                zones.constData());
    std::printf("before | %d | %d | %d\n", was.dateCut, was.timeCut, was.noSeconds);
    std::printf("after | %d | %d | %d\n", now.dateCut, now.timeCut, now.noSeconds);
    if (!fitMs.empty()) {
        std::sort(fitMs.begin(), fitMs.end());
        std::printf("the fit, fonts loaded: median %.2f ms, max %.2f ms over %zu fits\n",
                    fitMs[fitMs.size() / 2], fitMs.back(), fitMs.size());
    }
    return now.dateCut + now.timeCut + now.noSeconds > 0 ? 1 : 0;
}
