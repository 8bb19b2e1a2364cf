#pragma once

#include <QObject>
#include <QTimer>

// What the window needs of a timer: switched on and off, and ticks as signals. The program
// gives the window real timers; tests give it ones they step by hand.
class Ticker : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Like QTimer: starting a running ticker starts its interval afresh.
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

signals:
    void tick();
};

// A plain repeating timer.
class IntervalTicker : public Ticker {
    Q_OBJECT
public:
    IntervalTicker(int intervalMs, QObject* parent = nullptr);

    void start() override { m_timer.start(); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};
