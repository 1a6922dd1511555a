#include "scan/scanlog.h"

Q_LOGGING_CATEGORY(lcScan, "kestrow.scan", QtWarningMsg)
