#include "second_ticker.h"

#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

using namespace std::chrono;

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

} // namespace

std::unique_ptr<SecondTicker::WallTimer> SecondTicker::WallTimer::platform() {
    auto timer = std::make_unique<TimerFd>();
    if (timer->valid())
        return timer;
    return nullptr;
}
