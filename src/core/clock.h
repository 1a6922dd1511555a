#pragma once

#include <QDateTime>

// The one source of time for the program: "now" for stored times, and the waits of the worker engines. A source
// installed in its place (the tests' clock) places history rows at exact ages and shortens the waits.
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

// The local time now, and the engines' waits; from the installed source, or else the system's time and the waits
// above. Callable from any thread.
QDateTime now();
Timing timing();

// Where now() and timing() come from while it is installed.
class Source
{
public:
    virtual ~Source() = default;
    virtual QDateTime now() const = 0;
    virtual Timing timing() const = 0;
};
// Installs source (null: the system's time and the program's waits) and returns the one it replaces. The caller
// keeps source alive while it is installed.
const Source *install(const Source *source);

} // namespace Clock
