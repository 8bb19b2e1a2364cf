#include "regional_clock.h"
#include "second_ticker.h"

#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <cstdint>
#include <ctime>

#ifdef __linux__
#include <sys/eventfd.h>
#include <unistd.h>
#endif

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

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

#ifdef __linux__
// A wall timer the test fires by hand: what it reads next, and every arming, are the test's.
struct WallTimerLog {
    QList<system_clock::time_point> armed;
    int disarmed = 0;
    int reads = 0;
    bool refuse = false;
    SecondTicker::WallTimer::Reading next = SecondTicker::WallTimer::Reading::Turned;
};

class FakeWallTimer final : public SecondTicker::WallTimer {
public:
    explicit FakeWallTimer(WallTimerLog& log)
        : m_log(log), m_fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~FakeWallTimer() override { ::close(m_fd); }
    FakeWallTimer(const FakeWallTimer&) = delete;
    FakeWallTimer& operator=(const FakeWallTimer&) = delete;

    int descriptor() const override { return m_fd; }
    bool arm(system_clock::time_point first) override {
        m_log.armed << first;
        return !m_log.refuse;
    }
    void disarm() override { ++m_log.disarmed; }
    Reading read() override {
        std::uint64_t count = 0;
        if (::read(m_fd, &count, sizeof count) > 0)
            ++m_log.reads;
        return m_log.next;
    }
    void fire() {
        const std::uint64_t one = 1;
        QCOMPARE(::write(m_fd, &one, sizeof one), ssize_t(sizeof one));
    }

private:
    WallTimerLog& m_log;
    int m_fd;
};
#endif

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
    void tickDelay_data();
    void tickDelay();
    void wallTimer_data();
    void wallTimer();
    void refusedWallTimerFallsBack();
    void platformTimerTicks();
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
#endif
}

void TestRegionalClock::zoneChangeShowsAtOnce() {
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, date);
    QFETCH(QString, time);
    useZone(from.constData());
    RegionalClock clock(kPlainLocale);
    const auto when = at(2026, 12, 8, 22, 30, 0);
    clock.format(when);
    // The zone changes under the running program, which is told nothing.
    qputenv("TZ", to);
    const auto face = clock.format(when);
    useZone(kUtc);
    QCOMPARE(text(face.date), date);
    QCOMPARE(text(face.time), time);
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
    // The wall timer's first expiry lands in the same place.
    const auto next = SecondTicker::nextTick(now);
    QCOMPARE(floor<seconds>(next), floor<seconds>(now) + seconds(1));
    QVERIFY(next - floor<seconds>(next) > microseconds(0) &&
            next - floor<seconds>(next) < milliseconds(20));
}

void TestRegionalClock::wallTimer_data() {
    using Reading = SecondTicker::WallTimer::Reading;
    QTest::addColumn<int>("reading");
    QTest::addColumn<qint64>("stepMs"); // how far the system clock jumps before the wake-up
    QTest::addColumn<bool>("ticks");
    QTest::addColumn<bool>("rearms");
    QTest::newRow("a second turns") << int(Reading::Turned) << qint64(1000) << true << false;
    QTest::newRow("clock set an hour ahead")
        << int(Reading::ClockSet) << qint64(3600 * 1000 + 250) << true << true;
    QTest::newRow("clock set a day back")
        << int(Reading::ClockSet) << qint64(-86400 * 1000 + 700) << true << true;
    QTest::newRow("resumed after a night's suspend")
        << int(Reading::ClockSet) << qint64(8 * 3600 * 1000 + 123) << true << true;
    QTest::newRow("woken for nothing") << int(Reading::Nothing) << qint64(0) << false << false;
}

void TestRegionalClock::wallTimer() {
#ifdef __linux__
    QFETCH(int, reading);
    QFETCH(qint64, stepMs);
    QFETCH(bool, ticks);
    QFETCH(bool, rearms);
    WallTimerLog log;
    auto fake = std::make_unique<FakeWallTimer>(log);
    FakeWallTimer& timer = *fake;
    auto now = at(2026, 12, 8, 12, 0, 0, 400);
    SecondTicker ticker([&now] { return now; }, std::move(fake));
    QSignalSpy ticked(&ticker, &SecondTicker::tick);
    ticker.start();
    QVERIFY(ticker.followsClockSteps());
    QVERIFY(ticker.isActive());
    QCOMPARE(log.armed, QList{SecondTicker::nextTick(now)});

    now += milliseconds(stepMs);
    log.next = SecondTicker::WallTimer::Reading(reading);
    timer.fire();
    QTRY_COMPARE(log.reads, 1);
    QCOMPARE(ticked.count(), ticks ? 1 : 0);
    // After a step the next tick is the next second of the new time, not of the old schedule.
    const QList<system_clock::time_point> expected =
        rearms ? QList{SecondTicker::nextTick(at(2026, 12, 8, 12, 0, 0, 400)),
                       SecondTicker::nextTick(now)}
               : QList{SecondTicker::nextTick(at(2026, 12, 8, 12, 0, 0, 400))};
    QCOMPARE(log.armed, expected);

    ticker.stop();
    QVERIFY(!ticker.isActive());
    QCOMPARE(log.disarmed, 1);
#else
    QSKIP("no kernel wall-clock timer on this platform");
#endif
}

void TestRegionalClock::refusedWallTimerFallsBack() {
#ifdef __linux__
    WallTimerLog log;
    log.refuse = true;
    SecondTicker ticker([] { return system_clock::now(); }, std::make_unique<FakeWallTimer>(log));
    ticker.start();
    QCOMPARE(log.armed.size(), 1);
    QVERIFY(!ticker.followsClockSteps());
    QVERIFY(ticker.isActive());
    QSignalSpy ticked(&ticker, &SecondTicker::tick);
    QVERIFY(ticked.wait(5000));
#else
    QSKIP("no kernel wall-clock timer on this platform");
#endif
}

void TestRegionalClock::platformTimerTicks() {
    SecondTicker ticker([] { return system_clock::now(); });
#ifdef __linux__
    QVERIFY(ticker.followsClockSteps());
#endif
    QSignalSpy ticked(&ticker, &SecondTicker::tick);
    ticker.start();
    QVERIFY(ticker.isActive());
    // A second and a half at most, on a loaded machine much later: wait on the event.
    QVERIFY(ticked.wait(10000));
    QVERIFY(ticker.isActive());
}

QTEST_GUILESS_MAIN(TestRegionalClock)
#include "tst_regional_clock.moc"
