#pragma once

#include "taskdata.h"

#include <QStringList>

// The titles of tasks, in order, for comparing extraction results.
inline QStringList taskTitles(const QList<TaskData> &tasks)
{
    QStringList result;
    for (const TaskData &task : tasks)
        result << task.task_name;
    return result;
}
