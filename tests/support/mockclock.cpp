#include "support/mockclock.h"

MockClock::MockClock(const Clock::Timing &timing) : m_timing(timing), m_replaced(Clock::install(this)) {}

MockClock::~MockClock()
{
    Clock::install(m_replaced);
}
