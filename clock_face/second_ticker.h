#pragma once

#include "ticker.h"

#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

class QSocketNotifier;

// A timer that ticks about once a second, just after each turn of the system clock's second.
//
// Where the kernel offers a wall-clock timer (Linux: timerfd), it fires at every whole second
// of the system clock by itself, one wake-up a second, and reports a clock step or a resume
// from suspend the moment it happens; the ticker then ticks at once and re-arms from the new
// time. Elsewhere a single-shot timer is re-armed from the wall clock at every tick, so a
// suspend, a clock step or drift heals at the next tick.
class SecondTicker : public Ticker {
    Q_OBJECT
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // The kernel's side of a wall-clock timer; tests put in one they fire and step by hand.
    class WallTimer {
    public:
        enum class Reading {
            Nothing,  // woken for nothing
            Turned,   // one or more seconds turned
            ClockSet, // the system clock was set, or the machine resumed from suspend
        };
        virtual ~WallTimer() = default;
        // Readable when there is something to read().
        virtual int descriptor() const = 0;
        // Fires at `first` and at every whole second after it; false when it cannot.
        virtual bool arm(std::chrono::system_clock::time_point first) = 0;
        virtual void disarm() = 0;
        virtual Reading read() = 0;

        // The platform's own, or nullptr where there is none.
        static std::unique_ptr<WallTimer> platform();
    };

    explicit SecondTicker(Clock clock, QObject* parent = nullptr);
    SecondTicker(Clock clock, std::unique_ptr<WallTimer> wallTimer, QObject* parent = nullptr);
    ~SecondTicker() override;

    void start() override;
    void stop() override;
    bool isActive() const override;
    // True when ticks come from the kernel's wall-clock timer, which reports clock steps.
    bool followsClockSteps() const { return m_wallTimer != nullptr; }

    // How long from `now` until just after the next turn of the second.
    static std::chrono::milliseconds delayToNextTick(std::chrono::system_clock::time_point now);
    // The moment just after the next turn of the second.
    static std::chrono::system_clock::time_point
    nextTick(std::chrono::system_clock::time_point now);

private:
    void arm();
    void onTimeout();
    void onWallTimer();

    Clock m_clock;
    QTimer m_timer;
    std::chrono::system_clock::time_point m_turn; // the portable timer waits for
    std::unique_ptr<WallTimer> m_wallTimer;
    QSocketNotifier* m_notifier = nullptr;
    bool m_wallActive = false;
};
