#pragma once

#include <QLoggingCategory>

// Diagnostics of the scan engine; silent unless enabled with QT_LOGGING_RULES="kestrow.scan.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcScan)
