#pragma once

#include "core/webaddress.h"

// Hands an address to the desktop's URL opener, but only a web address (isWebAddress): addresses come from
// catalogues and web pages. Returns whether it was handed over.
bool openWebAddress(const QString &address);
