#pragma once

#include <QLoggingCategory>

// Diagnostics of the stores; silent unless enabled with QT_LOGGING_RULES="kestrow.store.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcStore)
