#include "ticker.h"

IntervalTicker::IntervalTicker(int intervalMs, QObject* parent) : Ticker(parent) {
    m_timer.setInterval(intervalMs);
    // A coarse timer may run 5% off, and a swing's length is 402 of these ticks.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Ticker::tick);
}
