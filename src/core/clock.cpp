#include "core/clock.h"

#include <QMutex>

namespace {

QMutex clockMutex;
QDateTime overrideTime;
Clock::Timing currentTiming;

} // namespace

namespace Clock {

QDateTime now()
{
    QMutexLocker locker(&clockMutex);
    return overrideTime.isValid() ? overrideTime : QDateTime::currentDateTime();
}

Timing timing()
{
    QMutexLocker locker(&clockMutex);
    return currentTiming;
}

void setOverride(const QDateTime &when)
{
    QMutexLocker locker(&clockMutex);
    overrideTime = when;
}

void clearOverride()
{
    setOverride(QDateTime());
}

void setTiming(const Timing &timing)
{
    QMutexLocker locker(&clockMutex);
    currentTiming = timing;
}

} // namespace Clock
