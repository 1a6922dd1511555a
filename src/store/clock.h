#pragma once

#include <QDateTime>

// The one source of "now" for stored times, so tests can place history rows at exact ages.
namespace Clock {

QDateTime now();
// Makes now() return when (local time) until clearOverride(); for tests only.
void setOverride(const QDateTime &when);
void clearOverride();

} // namespace Clock
