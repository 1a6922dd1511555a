// The task history: the history operations of UserDb.
#include "core/clock.h"
#include "store/query.h"
#include "store/settingkeys.h"
#include "store/userdb.h"

namespace {

const int defaultRetentionDays = Key::HistoryDays.defaultValue;

} // namespace

qint64 UserDb::pragmaValue(const QString &name)
{
    Query query(*this, QStringLiteral("PRAGMA %1;").arg(name));
    return query.exec() && query.next() ? query.value(0).toLongLong() : -1;
}

bool UserDb::hasTask(const TaskData &task)
{
    return hasTasks({task}).value(0);
}

QList<bool> UserDb::hasTasks(const QList<TaskData> &tasks)
{
    QList<bool> found(tasks.size(), false);
    if (tasks.isEmpty())
        return found;
    std::shared_lock locker(userDbLock);
    // One read transaction for the list: outside one, SQLite takes and drops its file lock and checks the file for
    // changes around every single lookup, which costs more than the lookup.
    const bool reading = execute(QStringLiteral("BEGIN TRANSACTION;"));
    Query query(*this, QStringLiteral("SELECT COUNT(rowid) FROM tb_history_task WHERE task_url = ? AND site_name = ? "
                                      "AND note_name = ? AND task_name = ? AND task_price = ?;"));
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        const TaskData &task = tasks[i];
        query.reset();
        query.bind(task.task_url);
        query.bind(task.site_name);
        query.bind(task.note_name);
        query.bind(task.task_name);
        query.bind(task.task_price);
        found[i] = query.exec() && query.next() && query.value(0).toLongLong() > 0;
    }
    query.finalize();
    if (reading)
        execute(QStringLiteral("COMMIT TRANSACTION;"));
    return found;
}

qint64 UserDb::dataVersion()
{
    std::shared_lock locker(userDbLock);
    Query query(*this, QStringLiteral("PRAGMA data_version;"));
    return query.exec() && query.next() ? query.value(0).toLongLong() : -1;
}

bool UserDb::addTasks(const QList<TaskData> &tasks)
{
    std::unique_lock locker(userDbLock);
    return inTransaction([&] { return insertTasks(tasks); });
}

bool UserDb::storePass(const QList<TaskData> &tasks, const QList<NodeStatus> &statuses)
{
    std::unique_lock locker(userDbLock);
    // Node statuses alone mostly rewrite rows in place, which a nearly full disk still allows: only storing tasks
    // tells that a storage problem is over, or the user would hear of it again at every pass.
    return inTransaction(
        [&] {
            if (!insertTasks(tasks))
                return false;
            Query row(*this,
                      QStringLiteral("INSERT OR REPLACE INTO tb_node_status(site_name, note_name, failures, "
                                     "empty_passes, last_good, since, last_error) VALUES(?, ?, ?, ?, ?, ?, ?);"));
            Query validators(*this, QStringLiteral("INSERT OR REPLACE INTO tb_node_validators(site_name, note_name, "
                                                   "etag, last_modified, given_for) VALUES(?, ?, ?, ?, ?);"));
            for (const NodeStatus &status : statuses) {
                row.reset();
                row.bind(status.site_name);
                row.bind(status.note_name);
                row.bind(status.failures);
                row.bind(status.emptyPasses);
                row.bind(status.lastGood);
                row.bind(status.since);
                row.bind(status.lastError);
                if (!row.exec())
                    return false;
                validators.reset();
                validators.bind(status.site_name);
                validators.bind(status.note_name);
                validators.bind(status.validators.etag);
                validators.bind(status.validators.lastModified);
                validators.bind(status.validators.givenFor);
                if (!validators.exec())
                    return false;
            }
            return true;
        },
        !tasks.isEmpty());
}

QList<NodeStatus> UserDb::nodeStatuses()
{
    std::shared_lock locker(userDbLock);
    Query query(*this, QStringLiteral("SELECT s.site_name, s.note_name, failures, empty_passes, last_good, since, "
                                      "last_error, etag, last_modified, given_for FROM tb_node_status AS s LEFT JOIN "
                                      "tb_node_validators AS v ON v.site_name = s.site_name AND v.note_name = "
                                      "s.note_name;"));
    QList<NodeStatus> statuses;
    if (!query.exec())
        return statuses;
    while (query.next()) {
        statuses.append(NodeStatus{
            query.value(0).toString(), query.value(1).toString(), query.value(2).toInt(), query.value(3).toInt(),
            query.value(4).toLongLong(), query.value(5).toLongLong(), query.value(6).toString(),
            PageValidators{query.value(7).toByteArray(), query.value(8).toByteArray(), query.value(9).toByteArray()}});
    }
    return statuses;
}

bool UserDb::insertTasks(const QList<TaskData> &tasks)
{
    Query text(*this, QStringLiteral("INSERT INTO tb_history_task_text(task_name) VALUES(?);"));
    Query row(*this, QStringLiteral("INSERT INTO tb_history_task(task_time, attr_mark, idxid, site_name, "
                                    "note_name, task_name, task_price, task_url, note_url) VALUES(?, ?, ?, ?, ?, "
                                    "?, ?, ?, ?);"));
    for (const TaskData &task : tasks) {
        text.reset();
        text.bind(task.task_name.toLower());
        if (!text.exec())
            return false;
        const qint64 idxid = lastInsertRowid();
        row.reset();
        row.bind(Clock::now().toSecsSinceEpoch());
        row.bind(task.attr_mark);
        row.bind(idxid);
        row.bind(task.site_name);
        row.bind(task.note_name);
        row.bind(task.task_name);
        row.bind(task.task_price);
        row.bind(task.task_url);
        row.bind(task.note_url);
        if (!row.exec())
            return false;
    }
    return true;
}

bool UserDb::searchTasks(const QString &siteName, const QString &text, TaskRows &tasks)
{
    QString sql = QStringLiteral("SELECT site_name, note_name, task_name, task_price, task_url, note_url, task_time "
                                 "FROM tb_history_task");
    if (!siteName.isEmpty() && !text.isEmpty())
        sql += QStringLiteral(" WHERE site_name = ? AND idxid IN (SELECT rowid FROM tb_history_task_text WHERE "
                              "task_name MATCH ?);");
    else if (!siteName.isEmpty())
        sql += QStringLiteral(" WHERE site_name = ?;");
    else if (!text.isEmpty())
        sql += QStringLiteral(" WHERE idxid IN (SELECT rowid FROM tb_history_task_text WHERE task_name MATCH ?);");
    else
        sql += QLatin1Char(';');

    std::shared_lock locker(userDbLock);
    Query query(*this, sql);
    if (!siteName.isEmpty())
        query.bind(siteName);
    // One phrase of the title's characters: a substring search. Quotes in the text are passed on as typed; a
    // statement they break fails and finds nothing.
    if (!text.isEmpty())
        query.bind(QLatin1Char('"') + text.toLower() + QLatin1Char('"'));
    if (!query.exec())
        return false;
    while (query.next())
        tasks.append({query.bytes(0), query.bytes(1), query.bytes(2), query.bytes(3), query.bytes(4), query.bytes(5),
                      query.bytes(6)});
    return !query.failed();
}

bool UserDb::purgeTasks(int retentionDays)
{
    // A retention that is not a positive number of days would wipe the whole history.
    if (retentionDays < 1)
        retentionDays = defaultRetentionDays;
    std::unique_lock locker(userDbLock);
    qsizetype removed = 0;
    const bool ok = inTransaction([&] {
        // Rows are deleted by their own rowid: the history has no index on idxid, and a lookup by it per row
        // would scan the table once for every purged row.
        Query select(*this, QStringLiteral("SELECT rowid, idxid FROM tb_history_task WHERE task_time < ?;"));
        select.bind(Clock::now().addDays(-retentionDays).toSecsSinceEpoch());
        if (!select.exec())
            return false;
        QList<QPair<qint64, qint64>> doomed;
        while (select.next())
            doomed.append({select.value(0).toLongLong(), select.value(1).toLongLong()});
        select.finalize();

        Query deleteText(*this, QStringLiteral("DELETE FROM tb_history_task_text WHERE rowid = ?;"));
        Query deleteRow(*this, QStringLiteral("DELETE FROM tb_history_task WHERE rowid = ?;"));
        for (const auto &[rowid, idxid] : doomed) {
            deleteText.reset();
            deleteText.bind(idxid);
            // A title that cannot be deleted keeps its history row too.
            if (!deleteText.exec())
                continue;
            deleteRow.reset();
            deleteRow.bind(rowid);
            removed += deleteRow.exec();
        }
        return true;
    });
    // Compacting rewrites the whole file while the scan thread waits to store: only when this purge removed rows
    // and free pages make up more than a quarter of the file.
    if (ok && removed > 0 &&
        4 * pragmaValue(QStringLiteral("freelist_count")) > pragmaValue(QStringLiteral("page_count")))
        execute(QStringLiteral("VACUUM;"));
    return ok;
}
