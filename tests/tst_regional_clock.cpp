#include "regional_clock.h"
#include "test_support.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <ctime>

using namespace std::chrono;

namespace {

// localtime_r reads TZ only once unless told to read it again.
void useZone(const char* zone) {
    qputenv("TZ", zone);
    tzset();
}

// The C runtime on Windows knows zones only in the POSIX offset form.
#ifdef _WIN32
constexpr const char* kUtc = "UTC0";
constexpr const char* kTokyo = "JST-9";
constexpr const char* kPlainLocale = "en-US";
constexpr const char* kTokyoDate = "12/13/2026";
#else
constexpr const char* kUtc = "UTC";
constexpr const char* kTokyo = "Asia/Tokyo";
constexpr const char* kPlainLocale = "C";
constexpr const char* kTokyoDate = "12/13/26";
#endif

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

} // namespace

class TestRegionalClock : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { useZone(kUtc); }
    void face_data();
    void face();
    void weekdayFollowsTheLocalDate();
    void civilUtc_data();
    void civilUtc();
    void zoneChangeShowsAtOnce_data();
    void zoneChangeShowsAtOnce();
};

void TestRegionalClock::face_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<qint64>("when"); // milliseconds since the epoch
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("weekday");

    const auto ms = [](system_clock::time_point t) {
        return qint64(duration_cast<milliseconds>(t.time_since_epoch()).count());
    };
#ifdef _WIN32
    // Windows' own formats, from GetDateFormatEx and GetTimeFormatEx. Days and months of two
    // digits, where Wine's de-DE d.M.yyyy and ja-JP yyyy/M/d agree with Windows' dd.MM.yyyy
    // and yyyy/MM/dd.
    QTest::newRow("en-US, a Sunday") << "en-US" << ms(at(2026, 12, 6, 21, 5, 7)) << "12/6/2026"
                                     << "9:05:07 PM"
                                     << "Sun";
    QTest::newRow("en-US, midnight") << "en-US" << ms(at(2026, 12, 8, 0, 0, 0)) << "12/8/2026"
                                     << "12:00:00 AM"
                                     << "Tue";
    QTest::newRow("de-DE") << "de-DE" << ms(at(2026, 12, 12, 9, 5, 7)) << "12.12.2026"
                           << "09:05:07"
                           << "Sat";
    // The C runtime knows no local time before 1970: the face shows the moment in UTC.
    QTest::newRow("en-US, before 1970") << "en-US" << ms(at(1900, 1, 1, 12, 0, 0)) << "1/1/1900"
                                        << "12:00:00 PM"
                                        << "Mon";
    QTest::newRow("ja-JP, midnight")
        << "ja-JP" << ms(at(2026, 12, 12, 0, 0, 0, 999)) << "2026/12/12"
        << "0:00:00"
        << "Sat";
#else
    QTest::newRow("C, a Sunday") << "C" << ms(at(2026, 12, 6, 9, 5, 7)) << "12/06/26"
                                 << "09:05:07"
                                 << "Sun";
    QTest::newRow("C, a Saturday") << "C" << ms(at(2026, 12, 12, 23, 59, 59)) << "12/12/26"
                                   << "23:59:59"
                                   << "Sat";
    QTest::newRow("C, midnight") << "C" << ms(at(2026, 12, 8, 0, 0, 0)) << "12/08/26"
                                 << "00:00:00"
                                 << "Tue";
    QTest::newRow("C, New Year") << "C" << ms(at(2027, 1, 1, 0, 0, 0, 999)) << "01/01/27"
                                 << "00:00:00"
                                 << "Fri";
    QTest::newRow("C, before 1970") << "C" << ms(at(1900, 1, 1, 12, 0, 0)) << "01/01/00"
                                    << "12:00:00"
                                    << "Mon";
    // A region's own CLDR patterns, as Windows shows the same region: a numeric date with a
    // four-digit year, the time with its seconds in the hours the region counts by.
    QTest::newRow("en_US") << "en_US.UTF-8" << ms(at(2026, 12, 6, 21, 5, 7)) << "12/06/2026"
                           << QString::fromUtf8("9:05:07\u202FPM") << "Sun";
    QTest::newRow("de_DE") << "de_DE.UTF-8" << ms(at(2026, 12, 12, 9, 5, 7)) << "12.12.2026"
                           << "09:05:07"
                           << "Sat";
    QTest::newRow("ja_JP, not the C library's 年月日")
        << "ja_JP.UTF-8" << ms(at(2027, 1, 1, 0, 0, 0)) << "2027/01/01"
        << "0:00:00"
        << "Fri";
    QTest::newRow("ko_KR, its morning word first")
        << "ko_KR.UTF-8" << ms(at(2026, 12, 12, 9, 5, 7)) << "2026. 12. 12."
        << QString::fromUtf8("\uc624\uc804 9:05:07") << "Sat";
    QTest::newRow("ar_EG, right to left in Arabic digits")
        << "ar_EG.UTF-8" << ms(at(2026, 12, 12, 9, 5, 7))
        << QString::fromUtf8("\u0661\u0662\u200f/\u0661\u0662\u200f/\u0662\u0660\u0662\u0666")
        << QString::fromUtf8("\u0669:\u0660\u0665:\u0660\u0667 \u0635") << "Sat";
    QTest::newRow("nb_NO, whose C library time has no seconds")
        << "nb_NO.UTF-8" << ms(at(2026, 12, 12, 9, 5, 7)) << "12.12.2026"
        << "09:05:07"
        << "Sat";
    QTest::newRow("th_TH, the Buddhist year")
        << "th_TH.UTF-8" << ms(at(2026, 12, 12, 9, 5, 7)) << "12/12/2569"
        << "09:05:07"
        << "Sat";
    // A region ICU has no patterns for keeps the C library's texts.
    QTest::newRow("aa_DJ, the C library's")
        << "aa_DJ.UTF-8" << ms(at(2026, 12, 12, 9, 5, 7)) << "12.12.2026"
        << " 9:05:07 saaku"
        << "Sat";
    // ICU knows Azerbaijani in its Latin script only: in Iran, where it is written in Arabic
    // script, ICU would fall back to its generic root, a Persian-calendar date in Latin digits.
    QTest::newRow("az_IR, the C library's")
        << "az_IR.UTF-8" << ms(at(2026, 12, 12, 9, 5, 7))
        << QString::fromUtf8("\u06f2\u06f6/\u06f1\u06f2/\u06f1\u06f2")
        << QString::fromUtf8("\u06f0\u06f9:\u06f0\u06f5:\u06f0\u06f7") << "Sat";
#endif
}

void TestRegionalClock::face() {
    QFETCH(QString, locale);
    QFETCH(qint64, when);
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QString, weekday);
    RegionalClock clock(locale.toStdString());
    if (!clock.hasRequestedLocale())
        QSKIP("locale not installed here (Debian: locales-all)");
    // A second before first, as the clock reads them: the same minute's texts may be kept.
    clock.format(system_clock::time_point(milliseconds(when) - seconds(1)));
    const auto face = clock.format(system_clock::time_point(milliseconds(when)));
    QCOMPARE(text(face.date), date);
    QCOMPARE(text(face.time), time);
    QCOMPARE(QString::fromLatin1(WeekdayNames[std::size_t(face.weekday)].data(), 3), weekday);
}

void TestRegionalClock::weekdayFollowsTheLocalDate() {
    // 23:30 UTC on a Saturday is already Sunday in Tokyo: text and name must agree.
    useZone(kTokyo);
    RegionalClock clock(kPlainLocale);
    const auto face = clock.format(at(2026, 12, 12, 23, 30, 0));
    useZone(kUtc);
    QCOMPARE(text(face.date), QString::fromLatin1(kTokyoDate));
    QCOMPARE(face.weekday, 0);
}

void TestRegionalClock::civilUtc_data() {
    QTest::addColumn<qint64>("when");    // seconds since the epoch
    QTest::addColumn<QString>("fields"); // year-month-day weekday yday hh:mm:ss
    QTest::newRow("the epoch") << qint64(0) << "1970-01-01 4 0 00:00:00";
    QTest::newRow("a second before it") << qint64(-1) << "1969-12-31 3 364 23:59:59";
    QTest::newRow("1900") << qint64(-2208945600) << "1900-01-01 1 0 12:00:00";
    QTest::newRow("a leap day") << qint64(951782400) << "2000-02-29 2 59 00:00:00";
    QTest::newRow("the year's last second") << qint64(1830297599) << "2027-12-31 5 364 23:59:59";
}

void TestRegionalClock::civilUtc() {
    QFETCH(qint64, when);
    QFETCH(QString, fields);
    const std::tm t = RegionalClock::civilUtc(system_clock::time_point(seconds(when)));
    QCOMPARE(QString::asprintf("%04d-%02d-%02d %d %d %02d:%02d:%02d", t.tm_year + 1900,
                               t.tm_mon + 1, t.tm_mday, t.tm_wday, t.tm_yday, t.tm_hour, t.tm_min,
                               t.tm_sec),
             fields);
}

void TestRegionalClock::zoneChangeShowsAtOnce_data() {
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
#ifdef _WIN32
    QTest::newRow("UTC to Tokyo") << QByteArray("UTC0") << QByteArray("JST-9") << "12/9/2026"
                                  << "7:30:00 AM";
    QTest::newRow("Tokyo to New York") << QByteArray("JST-9") << QByteArray("EST5") << "12/8/2026"
                                       << "5:30:00 PM";
#else
    QTest::newRow("UTC to Tokyo") << QByteArray("UTC") << QByteArray("Asia/Tokyo") << "12/09/26"
                                  << "07:30:00";
    QTest::newRow("Tokyo to New York")
        << QByteArray("Asia/Tokyo") << QByteArray("America/New_York") << "12/08/26"
        << "17:30:00";
    QTest::newRow("New York to UTC")
        << QByteArray("America/New_York") << QByteArray("UTC") << "12/08/26"
        << "22:30:00";
    // TZ names a file, a link of the test's own ("@zone": the link to that zone), and the link
    // is swapped as a zone change swaps /etc/localtime's: TZ itself stays the same.
    QTest::newRow("TZ=:link, Tokyo to New York")
        << QByteArray(":@Asia/Tokyo") << QByteArray(":@America/New_York") << "12/08/26"
        << "17:30:00";
    QTest::newRow("TZ=link, New York to Tokyo")
        << QByteArray("@America/New_York") << QByteArray("@Asia/Tokyo") << "12/09/26"
        << "07:30:00";
#endif
}

void TestRegionalClock::zoneChangeShowsAtOnce() {
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, date);
    QFETCH(QString, time);
    if (from.contains('@') && !QFile::exists("/usr/share/zoneinfo/UTC"))
        QSKIP("no zone files here (Debian: tzdata)");
    QTemporaryDir folder;
    const auto zone = [&](const QByteArray& tz) {
        const qsizetype at = tz.indexOf('@');
        if (at < 0)
            return tz;
        const QString link = folder.filePath("localtime"), next = folder.filePath("next");
        const QString target = "/usr/share/zoneinfo/" + QString::fromLatin1(tz.mid(at + 1));
        if (!QFile::link(target, next) ||
            std::rename(QFile::encodeName(next).constData(), QFile::encodeName(link).constData()))
            qFatal("cannot link %s to %s", qPrintable(link), qPrintable(target));
        return tz.left(at) + QFile::encodeName(link);
    };
    useZone(zone(from).constData());
    RegionalClock clock(kPlainLocale);
    const auto when = at(2026, 12, 8, 22, 30, 0);
    clock.format(when);
    // The zone changes under the running program, which is told nothing.
    qputenv("TZ", zone(to));
    const auto face = clock.format(when);
    useZone(kUtc);
    QCOMPARE(text(face.date), date);
    QCOMPARE(text(face.time), time);
}

QTEST_GUILESS_MAIN(TestRegionalClock)
#include "tst_regional_clock.moc"
