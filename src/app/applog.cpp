#include "app/applog.h"

Q_LOGGING_CATEGORY(lcApp, "kestrow.app", QtWarningMsg)
