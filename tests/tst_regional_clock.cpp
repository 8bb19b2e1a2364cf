#include "regional_clock.h"
#include "second_ticker.h"

#include <QTest>

#include <chrono>
#include <ctime>

using namespace std::chrono;

namespace {

// TZ is UTC for the test run, so these are also the local times.
system_clock::time_point at(int y, unsigned m, unsigned d, int hh, int mm, int ss, int ms = 0) {
    return sys_days{year{y} / month{m} / day{d}} + hours{hh} + minutes{mm} + seconds{ss} +
           milliseconds{ms};
}

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

[[maybe_unused]] QString text(const std::string& narrow) {
    return QString::fromStdString(narrow);
}

[[maybe_unused]] QString text(const std::wstring& wide) {
    return QString::fromStdWString(wide);
}

} // namespace

class TestRegionalClock : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { useZone(kUtc); }
    void face_data();
    void face();
    void weekdayFollowsTheLocalDate();
    void tickDelay_data();
    void tickDelay();
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
    QTest::newRow("en_US") << "en_US.UTF-8" << ms(at(2026, 12, 6, 21, 5, 7)) << "12/06/2026"
                           << "09:05:07 PM"
                           << "Sun";
    QTest::newRow("de_DE") << "de_DE.UTF-8" << ms(at(2026, 12, 12, 9, 5, 7)) << "12.12.2026"
                           << "09:05:07"
                           << "Sat";
    QTest::newRow("ja_JP") << "ja_JP.UTF-8" << ms(at(2027, 1, 1, 0, 0, 0)) << "2027年01月01日"
                           << "00時00分00秒"
                           << "Fri";
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

void TestRegionalClock::tickDelay_data() {
    QTest::addColumn<int>("intoSecondUs");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("right on the turn") << 0 << 1002;
    QTest::newRow("just past the turn") << 2500 << 999;
    QTest::newRow("half way") << 500000 << 502;
    QTest::newRow("just before the turn") << 999900 << 2;
    QTest::newRow("a microsecond before") << 999999 << 2;
}

void TestRegionalClock::tickDelay() {
    QFETCH(int, intoSecondUs);
    QFETCH(int, delayMs);
    const auto now = at(2026, 12, 8, 12, 0, 0) + microseconds(intoSecondUs);
    const auto delay = SecondTicker::delayToNextTick(now);
    QCOMPARE(int(delay.count()), delayMs);
    // Wherever the timer lands, it lands after the turn and well within 20 ms of it.
    const auto landing = duration_cast<microseconds>((now + delay).time_since_epoch()) % seconds(1);
    QVERIFY(landing > microseconds(0) && landing < milliseconds(20));
}

QTEST_APPLESS_MAIN(TestRegionalClock)
#include "tst_regional_clock.moc"
