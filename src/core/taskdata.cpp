#include "core/taskdata.h"

bool TaskData::isSameTask(const TaskData &other) const
{
    return task_url == other.task_url && site_name == other.site_name && note_name == other.note_name &&
           task_name == other.task_name && task_price == other.task_price;
}

void registerTaskListType()
{
    qRegisterMetaType<QList<TaskData>>("QList<TaskData>");
}
