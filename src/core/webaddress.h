#pragma once

#include <QString>

// Whether address is an http or https address with a host: the only kind Kestrow fetches or hands to the browser,
// whatever a catalogue or a page says (a file: address would read local files, javascript: would run code).
bool isWebAddress(const QString &address);
// The home of the site a page address belongs to: its scheme, host and port, and "/".
QString siteHome(const QString &pageAddress);
