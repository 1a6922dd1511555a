#include "push/pushlog.h"

Q_LOGGING_CATEGORY(lcPush, "kestrow.push", QtWarningMsg)
