#include "second_ticker.h"

#include <QSocketNotifier>

#include <utility>

namespace {

using namespace std::chrono;

// Lands the tick safely past the turn even when the timer fires a little early.
constexpr microseconds kAfterTurn{1500};
// Qt's Windows dispatcher makes a coarse timer of 20 ms or less a precise one, which asks the
// system for a 1 ms multimedia timer; a tick that late past the turn is not seen.
constexpr milliseconds kShortestCoarse{21};

} // namespace

SecondTicker::SecondTicker(Clock clock, QObject* parent)
    : SecondTicker(std::move(clock), WallTimer::platform(), parent) {}

SecondTicker::SecondTicker(Clock clock, std::unique_ptr<WallTimer> wallTimer, QObject* parent)
    : Ticker(parent), m_clock(std::move(clock)), m_wallTimer(std::move(wallTimer)) {
    m_timer.setSingleShot(true);
    // A precise timer on Windows is a 1 ms multimedia timer, which keeps the whole system's
    // timer at 1 ms while the clock runs. A coarse one may fire a little late, or on Unix a
    // little early, which the tick mends by reading the clock.
    m_timer.setTimerType(Qt::CoarseTimer);
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
    return std::max(kShortestCoarse,
                    duration_cast<milliseconds>(untilTurn + kAfterTurn + microseconds(999)));
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
    const auto now = m_clock();
    m_turn = floor<seconds>(now) + seconds(1);
    m_timer.start(delayToNextTick(now));
}

void SecondTicker::onTimeout() {
    // Woken before the second it was set for turns: the face would show the old one again.
    const auto early = m_turn - m_clock();
    arm();
    if (early > microseconds(0) && early < seconds(1))
        return;
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
