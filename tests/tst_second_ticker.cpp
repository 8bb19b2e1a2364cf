#include "second_ticker.h"
#include "test_support.h"

#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <cstdint>

#ifdef __linux__
#include <sys/eventfd.h>
#include <unistd.h>
#endif

using namespace std::chrono;

namespace {

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

class TestSecondTicker : public QObject {
    Q_OBJECT
private slots:
    void tickDelay_data();
    void tickDelay();
    void wallTimer_data();
    void wallTimer();
    void refusedWallTimerFallsBack_data();
    void refusedWallTimerFallsBack();
    void platformTimerTicks();
};

void TestSecondTicker::tickDelay_data() {
    QTest::addColumn<int>("intoSecondUs");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("right on the turn") << 0 << 1002;
    QTest::newRow("just past the turn") << 2500 << 999;
    QTest::newRow("half way") << 500000 << 502;
    QTest::newRow("20 ms before the turn") << 980000 << 22;
    QTest::newRow("just before the turn") << 999900 << 21;
    QTest::newRow("a microsecond before") << 999999 << 21;
}

void TestSecondTicker::tickDelay() {
    QFETCH(int, intoSecondUs);
    QFETCH(int, delayMs);
    const auto now = at(2026, 12, 8, 12, 0, 0) + microseconds(intoSecondUs);
    const auto delay = SecondTicker::delayToNextTick(now);
    QCOMPARE(int(delay.count()), delayMs);
    // Wherever the timer lands, it lands after the turn and well within 25 ms of it, and never
    // asks for a timer so short that Qt makes it precise.
    const auto landing = duration_cast<microseconds>((now + delay).time_since_epoch()) % seconds(1);
    QVERIFY(landing > microseconds(0) && landing < milliseconds(25));
    QVERIFY(delay > milliseconds(20));
    // The wall timer's first expiry lands in the same place.
    const auto next = SecondTicker::nextTick(now);
    QCOMPARE(floor<seconds>(next), floor<seconds>(now) + seconds(1));
    QVERIFY(next - floor<seconds>(next) > microseconds(0) &&
            next - floor<seconds>(next) < milliseconds(20));
}

void TestSecondTicker::wallTimer_data() {
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

void TestSecondTicker::wallTimer() {
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

void TestSecondTicker::refusedWallTimerFallsBack_data() {
    QTest::addColumn<int>("earlyMs"); // how long before the turn the timer is woken first
    QTest::newRow("woken after the turn") << 0;
    QTest::newRow("woken 30 ms before the turn, as a coarse timer may be") << 30;
}

// The portable timer, ticking from a clock that runs as the real one does, but `earlyMs` behind
// it at the first wake-up: a wake-up before the turn shows nothing and waits for the turn.
void TestSecondTicker::refusedWallTimerFallsBack() {
#ifdef __linux__
    QFETCH(int, earlyMs);
    WallTimerLog log;
    log.refuse = true;
    const auto start = system_clock::now();
    const auto base = floor<seconds>(start) + milliseconds(500);
    int reads = 0;
    int firstWakeUp = 1 << 30; // the first reading after the start's
    system_clock::duration behind{};
    QList<system_clock::time_point> readings;
    // The first wake-up's two readings (the tick's and the re-arming's) put it before the turn.
    const auto clock = [&] {
        const auto now = base + (system_clock::now() - start);
        if (++reads == firstWakeUp && earlyMs)
            behind = milliseconds(earlyMs) + (now - (floor<seconds>(base) + seconds(1)));
        const bool early = reads == firstWakeUp || reads == firstWakeUp + 1;
        readings << now - (early ? behind : system_clock::duration{});
        return readings.last();
    };
    SecondTicker ticker(clock, std::make_unique<FakeWallTimer>(log));
    ticker.start();
    firstWakeUp = reads + 1;
    QCOMPARE(log.armed.size(), 1);
    QVERIFY(!ticker.followsClockSteps());
    QVERIFY(ticker.isActive());
    QSignalSpy ticked(&ticker, &SecondTicker::tick);
    QVERIFY(ticked.wait(5000));
    // Every tick comes after the turn the portable timer waited for.
    QCOMPARE(floor<seconds>(readings.last()), floor<seconds>(base) + seconds(1));
#else
    QSKIP("no kernel wall-clock timer on this platform");
#endif
}

void TestSecondTicker::platformTimerTicks() {
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

QTEST_GUILESS_MAIN(TestSecondTicker)
#include "tst_second_ticker.moc"
