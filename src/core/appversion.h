#pragma once

#include <QString>

// The program's version text.
QString appVersion();
