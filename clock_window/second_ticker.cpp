#include "second_ticker.h"

#include <utility>

namespace {
// Lands the tick safely past the turn even when the timer fires a little early.
constexpr std::chrono::microseconds kAfterTurn{1500};
} // namespace

SecondTicker::SecondTicker(Clock clock, QObject* parent)
    : Ticker(parent), m_clock(std::move(clock)) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SecondTicker::onTimeout);
}

void SecondTicker::start() {
    arm();
}

void SecondTicker::stop() {
    m_timer.stop();
}

std::chrono::milliseconds SecondTicker::delayToNextTick(std::chrono::system_clock::time_point now) {
    using namespace std::chrono;
    const auto intoSecond = duration_cast<microseconds>(now.time_since_epoch()) % seconds(1);
    const auto untilTurn = microseconds(seconds(1)) -
                           (intoSecond < microseconds(0) ? intoSecond + seconds(1) : intoSecond);
    return duration_cast<milliseconds>(untilTurn + kAfterTurn + microseconds(999));
}

void SecondTicker::arm() {
    m_timer.start(delayToNextTick(m_clock()));
}

void SecondTicker::onTimeout() {
    arm();
    emit tick();
}
