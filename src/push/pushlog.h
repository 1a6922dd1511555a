#pragma once

#include <QLoggingCategory>

// Diagnostics of the pushes to phones (never an address's secret part); silent unless enabled with
// QT_LOGGING_RULES="kestrow.push.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcPush)
