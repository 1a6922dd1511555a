#include "sites/catalog.h"

#include "core/paths.h"
#include "sites/sitedb.h"

Catalog::Catalog(const QString &path) : m_path(path.isEmpty() ? appFilePath(QStringLiteral("sdb.dll")) : path) {}

QString Catalog::taskOpenUrl(const TaskData &task) const
{
    // An empty table is read again on every call, so a catalogue that could not be read is retried.
    if (m_openUrlParts.isEmpty()) {
        SiteDb db(m_path);
        db.openUrlParts(m_openUrlParts);
    }
    const OpenUrlParts parts = m_openUrlParts.value(task.site_name);
    return parts.prefix + (task.task_url.isEmpty() ? task.note_url : task.task_url) + parts.suffix;
}
