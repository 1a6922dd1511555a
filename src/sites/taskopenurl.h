#pragma once

#include "core/taskdata.h"

#include <QString>

// The address a task opens in the browser: the site's prefix, the task's address (or its node page when it has
// none) and the site's suffix. The parts are read from the catalogue once per process. GUI thread only.
QString taskOpenUrl(const TaskData &task);
