#pragma once

#include "ticker.h"

#include <QTimer>

#include <chrono>
#include <functional>

// A timer that ticks about once a second, just after each turn of the system clock's second.
// It is re-armed from the wall clock at every tick, so a suspend, a clock step or drift heals
// at the next tick instead of leaving the face a fraction of a second behind for good.
class SecondTicker : public Ticker {
    Q_OBJECT
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    explicit SecondTicker(Clock clock, QObject* parent = nullptr);

    void start() override;
    void stop() override;
    bool isActive() const override { return m_timer.isActive(); }
    int remainingTime() const { return m_timer.remainingTime(); }

    // How long from `now` until just after the next turn of the second.
    static std::chrono::milliseconds delayToNextTick(std::chrono::system_clock::time_point now);

private:
    void arm();
    void onTimeout();

    Clock m_clock;
    QTimer m_timer;
};
