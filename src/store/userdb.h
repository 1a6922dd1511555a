#pragma once

#include "core/attentiondata.h"
#include "core/nodestatus.h"
#include "core/taskdata.h"
#include "core/taskrows.h"
#include "store/database.h"

#include <QHash>
#include <QSet>

#include <functional>
#include <mutex>
#include <shared_mutex>

// Serialises all work on the user database across threads: shared for reads, exclusive for writes.
// Not recursive: no operation may start another user-database operation while holding it. A pthread read-write lock
// rather than QReadWriteLock, whose fast path ThreadSanitizer cannot see in an uninstrumented Qt.
extern std::shared_mutex userDbLock;

// A connection to the per-user database udb.dll: settings, followed nodes and the task history. Opening brings an
// older file's schema up to date; a file from a newer version is opened for reading only.
class UserDb : public Database
{
public:
    // Opens (creating when needed) udb.dll in the per-user data directory.
    UserDb();
    // Opens the user database at path.
    explicit UserDb(const QString &path);

    // The schema's steps, in order: a file at version v (PRAGMA user_version) has had the first v.
    static const QList<QStringList> &schemaSteps();

    QString config(const QString &key, const QString &defaultValue);
    bool setConfig(const QString &key, const QString &value);

    bool isAttention(const QString &siteName, const QString &nodeName);
    // Replaces the followed nodes with pairs, all or nothing.
    bool setAttention(const QList<AttentionPair> &pairs);
    QList<AttentionData> attentionList();
    QHash<QString, QSet<QString>> attentionMap();

    // Whether the history holds a task equal to task (see TaskData::isSameTask).
    bool hasTask(const TaskData &task);
    // For each of tasks, whether the history holds it; one read of the database for the whole list.
    QList<bool> hasTasks(const QList<TaskData> &tasks);
    // A number that changes whenever another connection (another thread's, another process's) has committed to the
    // database since this one last asked; this connection's own writes leave it. -1 when it cannot be read.
    qint64 dataVersion();
    // Stores tasks, all or none.
    bool addTasks(const QList<TaskData> &tasks);
    // Stores a pass's new tasks and the statuses of the nodes it changed, in one transaction: all or none.
    bool storePass(const QList<TaskData> &tasks, const QList<NodeStatus> &statuses);
    // Every node status stored, in no particular order.
    QList<NodeStatus> nodeStatuses();
    // Appends the matching history rows to tasks, in the order they were stored. An empty siteName means every site;
    // an empty text means no title filter.
    bool searchTasks(const QString &siteName, const QString &text, TaskRows &tasks);
    // Deletes the rows stored more than retentionDays days ago (a value below 1 counts as the default 3), then
    // compacts the file when that left more than a quarter of it free.
    bool purgeTasks(int retentionDays);

private:
    void openAndPrepare(const QString &path);
    // A pragma's number; -1 when it cannot be read.
    qint64 pragmaValue(const QString &name);
    // Runs body inside BEGIN/COMMIT; rolls back and returns false when body or the commit fails. A write that
    // cannot show that storing works again (it only rewrites rows in place) passes showsRecovery false.
    bool inTransaction(const std::function<bool()> &body, bool showsRecovery = true);
    // Tells the store's health how a write went (rc: the failure's SQLite code, 0 for the connection's last); ok.
    bool noteWrite(bool ok, int rc = 0);
    bool insertTasks(const QList<TaskData> &tasks);
    // Whether SQLite's integrity check finds the file whole.
    bool checksOut();
    // Whether writes into this file are refused (see StoreHealth::refuseWrites); the user then hears why.
    bool writesRefused();
    static QString damaged();

    QString m_path;   // the file; empty for a private temporary database
    QString m_folder; // its folder
};
