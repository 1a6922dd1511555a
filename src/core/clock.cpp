#include "core/clock.h"

#include <QMutex>

#include <utility>

namespace {

// Held while a source answers, so that it is never uninstalled (and destroyed) in the middle of an answer.
QMutex clockMutex;
const Clock::Source *installed = nullptr;

} // namespace

namespace Clock {

QDateTime now()
{
    QMutexLocker locker(&clockMutex);
    return installed ? installed->now() : QDateTime::currentDateTime();
}

Timing timing()
{
    QMutexLocker locker(&clockMutex);
    return installed ? installed->timing() : Timing();
}

const Source *install(const Source *source)
{
    QMutexLocker locker(&clockMutex);
    return std::exchange(installed, source);
}

} // namespace Clock
