#pragma once

#include <QLoggingCategory>

// The controller's diagnostics, among them every announced task; silent unless enabled with
// QT_LOGGING_RULES="kestrow.app.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
