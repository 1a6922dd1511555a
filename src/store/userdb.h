#pragma once

#include "attentiondata.h"
#include "database.h"

#include <QHash>
#include <QReadWriteLock>
#include <QSet>

// Serialises all work on the user database across threads: shared for reads, exclusive for writes.
// Not recursive: no operation may start another user-database operation while holding it.
extern QReadWriteLock userDbLock;

// A connection to the per-user database udb.dll: settings, followed nodes and the task history.
class UserDb : public Database
{
public:
    // Opens (creating when needed) udb.dll in the per-user data directory.
    UserDb();
    // Opens the user database at path.
    explicit UserDb(const QString &path);

    QString config(const QString &key, const QString &defaultValue);
    bool setConfig(const QString &key, const QString &value);

    bool isAttention(const QString &siteName, const QString &nodeName);
    // Replaces the followed nodes with pairs, all or nothing.
    bool setAttention(const QList<AttentionPair> &pairs);
    QList<AttentionData> attentionList();
    QHash<QString, QSet<QString>> attentionMap();

private:
    void openAndPrepare(const QString &path);
    bool createGroup(const QStringList &statements);
};
