#include "store/storelog.h"

Q_LOGGING_CATEGORY(lcStore, "kestrow.store", QtWarningMsg)
