#pragma once

#include <QDateTime>

// The one source of time for the program: "now" for stored times, and the waits of the worker engines. Tests place
// history rows at exact ages and shorten the waits through it; nothing else sets it.
namespace Clock {

// How long the engines wait, in milliseconds.
struct Timing
{
    int passWaitMs = 30000;         // the longest a scan pass waits for its pages
    int msPerIntervalSecond = 1000; // how long one second of "scan_interval" lasts
    int checkIntervalMs = 3600000;  // between two housekeeping checks
    int retryIntervalMs = 60000;    // after a check the vendor server did not answer
    int fetchStallMs = 60000;       // a vendor fetch without progress this long fails
};

QDateTime now();
Timing timing();

// For tests: now() returns when (local time) until clearOverride(); setTiming() replaces the waits.
void setOverride(const QDateTime &when);
void clearOverride();
void setTiming(const Timing &timing);

} // namespace Clock
