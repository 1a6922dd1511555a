#pragma once

#include "core/clock.h"

// The tests' clock: a local time of the test's choosing (or the system's), and the waits it wants. Installed in place
// of the one before while it lives.
class MockClock : public Clock::Source
{
public:
    explicit MockClock(const Clock::Timing &timing);
    ~MockClock() override;
    MockClock(const MockClock &) = delete;
    MockClock &operator=(const MockClock &) = delete;

    // Clock::now() answers when from now on; an invalid time goes back to the system's.
    void setNow(const QDateTime &when) { m_now = when; }
    void setTiming(const Clock::Timing &timing) { m_timing = timing; }

    QDateTime now() const override { return m_now.isValid() ? m_now : QDateTime::currentDateTime(); }
    Clock::Timing timing() const override { return m_timing; }

private:
    // Read under the clock's own lock (Clock::now() holds it while asking): set them only from the test's thread
    // between the engines' reads, as the tests do.
    QDateTime m_now;
    Clock::Timing m_timing;
    const Clock::Source *m_replaced; // installed again when this one goes
};
