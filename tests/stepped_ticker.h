#pragma once

#include "ticker.h"

#include <functional>
#include <memory>

// A timer on time the test hands out, so nothing ticks behind a test's back however loaded the
// machine is. Like QTimer, starting it while it runs begins its interval afresh.
class SteppedTicker : public Ticker {
public:
    explicit SteppedTicker(int intervalMs) : m_interval(intervalMs) {}

    void start() override {
        m_active = true;
        m_due = m_interval;
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

    // Lets `ms` milliseconds pass, ticking wherever an interval ends.
    void advance(int ms) {
        for (; ms > 0 && m_active; --ms) {
            if (--m_due == 0) {
                m_due = m_interval;
                emit tick();
            }
        }
    }

    // Hands out a factory for Form1's seams, remembering the ticker it makes in `made`.
    static std::function<std::unique_ptr<Ticker>()> factory(int intervalMs, SteppedTicker*& made) {
        return [intervalMs, &made] {
            auto ticker = std::make_unique<SteppedTicker>(intervalMs);
            made = ticker.get();
            return ticker;
        };
    }

private:
    int m_interval;
    int m_due = 0;
    bool m_active = false;
};
