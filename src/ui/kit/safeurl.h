#pragma once

#include <QString>

// Hands an address to the desktop's URL opener, but only an http or https one: addresses come from
// catalogues and web pages. Returns whether it was handed over.
bool openWebAddress(const QString &address);

// Whether openWebAddress would hand address over.
bool isWebAddress(const QString &address);
