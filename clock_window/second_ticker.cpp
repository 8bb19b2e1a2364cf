#include "second_ticker.h"

#include <QSocketNotifier>

#include <utility>

#ifdef __linux__
#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace {

using namespace std::chrono;

// Lands the tick safely past the turn even when the timer fires a little early.
constexpr microseconds kAfterTurn{1500};

#ifdef __linux__

class TimerFd final : public SecondTicker::WallTimer {
public:
    TimerFd() : m_fd(timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC)) {}
    ~TimerFd() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TimerFd(const TimerFd&) = delete;
    TimerFd& operator=(const TimerFd&) = delete;

    bool valid() const { return m_fd >= 0; }
    int descriptor() const override { return m_fd; }

    bool arm(system_clock::time_point first) override {
        const auto since = duration_cast<nanoseconds>(first.time_since_epoch());
        const auto whole = floor<seconds>(since);
        itimerspec expiry{};
        expiry.it_value.tv_sec = static_cast<time_t>(whole.count());
        expiry.it_value.tv_nsec = static_cast<long>((since - whole).count());
        expiry.it_interval.tv_sec = 1;
        // An absolute time on the system clock keeps every expiry on the same point of the
        // second however long the program runs; the cancel flag makes a clock step or a
        // resume from suspend wake us at once instead of at a stale second.
        return timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry,
                               nullptr) == 0;
    }

    void disarm() override {
        const itimerspec off{};
        timerfd_settime(m_fd, 0, &off, nullptr);
    }

    Reading read() override {
        std::uint64_t expirations = 0;
        const ssize_t got = ::read(m_fd, &expirations, sizeof expirations);
        if (got == static_cast<ssize_t>(sizeof expirations))
            return Reading::Turned;
        if (got < 0 && errno == ECANCELED)
            return Reading::ClockSet;
        return Reading::Nothing;
    }

private:
    int m_fd;
};

#endif

} // namespace

std::unique_ptr<SecondTicker::WallTimer> SecondTicker::WallTimer::platform() {
#ifdef __linux__
    auto timer = std::make_unique<TimerFd>();
    if (timer->valid())
        return timer;
#endif
    return nullptr;
}

SecondTicker::SecondTicker(Clock clock, QObject* parent)
    : SecondTicker(std::move(clock), WallTimer::platform(), parent) {}

SecondTicker::SecondTicker(Clock clock, std::unique_ptr<WallTimer> wallTimer, QObject* parent)
    : Ticker(parent), m_clock(std::move(clock)), m_wallTimer(std::move(wallTimer)) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SecondTicker::onTimeout);
    if (m_wallTimer) {
        m_notifier = new QSocketNotifier(m_wallTimer->descriptor(), QSocketNotifier::Read, this);
        m_notifier->setEnabled(false);
        connect(m_notifier, &QSocketNotifier::activated, this, &SecondTicker::onWallTimer);
    }
}

SecondTicker::~SecondTicker() {
    // The notifier watches the wall timer's descriptor: it goes first.
    delete m_notifier;
}

void SecondTicker::start() {
    arm();
}

void SecondTicker::stop() {
    m_timer.stop();
    if (m_wallTimer) {
        m_notifier->setEnabled(false);
        m_wallTimer->disarm();
        m_wallActive = false;
    }
}

bool SecondTicker::isActive() const {
    return m_wallTimer ? m_wallActive : m_timer.isActive();
}

std::chrono::milliseconds SecondTicker::delayToNextTick(std::chrono::system_clock::time_point now) {
    const auto intoSecond = duration_cast<microseconds>(now.time_since_epoch()) % seconds(1);
    const auto untilTurn = microseconds(seconds(1)) -
                           (intoSecond < microseconds(0) ? intoSecond + seconds(1) : intoSecond);
    return duration_cast<milliseconds>(untilTurn + kAfterTurn + microseconds(999));
}

std::chrono::system_clock::time_point
SecondTicker::nextTick(std::chrono::system_clock::time_point now) {
    return floor<seconds>(now) + seconds(1) + kAfterTurn;
}

void SecondTicker::arm() {
    if (m_wallTimer) {
        if (m_wallTimer->arm(nextTick(m_clock()))) {
            m_wallActive = true;
            m_notifier->setEnabled(true);
            return;
        }
        // A kernel that refuses the timer: tick by the portable timer instead. This may run
        // inside the notifier's own signal, so it goes later.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
        m_wallTimer.reset();
        m_wallActive = false;
    }
    m_timer.start(delayToNextTick(m_clock()));
}

void SecondTicker::onTimeout() {
    arm();
    emit tick();
}

void SecondTicker::onWallTimer() {
    switch (m_wallTimer->read()) {
    case WallTimer::Reading::Nothing:
        return;
    case WallTimer::Reading::ClockSet:
        // The old schedule may stand on a second that no longer comes next.
        arm();
        break;
    case WallTimer::Reading::Turned:
        break;
    }
    emit tick();
}
