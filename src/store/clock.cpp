#include "clock.h"

#include <QMutex>

namespace {

QMutex overrideMutex;
QDateTime overrideTime;

} // namespace

namespace Clock {

QDateTime now()
{
    QMutexLocker locker(&overrideMutex);
    return overrideTime.isValid() ? overrideTime : QDateTime::currentDateTime();
}

void setOverride(const QDateTime &when)
{
    QMutexLocker locker(&overrideMutex);
    overrideTime = when;
}

void clearOverride()
{
    setOverride(QDateTime());
}

} // namespace Clock
