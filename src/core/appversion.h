#pragma once

#include <QString>

// The program's version text.
QString appVersion();
// The desktop's name for the program (its desktop entry and icon are named after it).
QString appId();
