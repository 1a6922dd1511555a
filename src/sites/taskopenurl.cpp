#include "sites/taskopenurl.h"

#include "sites/sitedb.h"

namespace {

OpenUrlTable openUrlTable;

} // namespace

QString taskOpenUrl(const TaskData &task)
{
    // An empty table is read again on every call, so a catalogue that could not be read is retried.
    if (openUrlTable.isEmpty()) {
        SiteDb db;
        db.openUrlParts(openUrlTable);
    }
    const OpenUrlParts parts = openUrlTable.value(task.site_name);
    return parts.prefix + (task.task_url.isEmpty() ? task.note_url : task.task_url) + parts.suffix;
}
