#include "store/userdb.h"

#include "core/paths.h"
#include "store/query.h"
#include "store/storehealth.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <sqlite3.h>

std::shared_mutex userDbLock;

namespace {

// The schema as a list of steps: a file at version v (PRAGMA user_version) has had the first v of them, and opening
// it runs the rest in one transaction. Files made before the schema was numbered are at version 0 with some or all
// of the tables already there, so every step makes only what is missing.
const QList<QStringList> steps = {
    // 1: the original tables and indexes.
    {QStringLiteral("CREATE TABLE IF NOT EXISTS tb_attention(site_name TEXT, note_name TEXT);"),
     QStringLiteral("CREATE INDEX IF NOT EXISTS idx_tb_attention ON tb_attention(site_name, note_name);"),
     QStringLiteral("CREATE TABLE IF NOT EXISTS tb_history_task(task_time INTEGER, attr_mark INTEGER, idxid INTEGER, "
                    "site_name TEXT, note_name TEXT, task_name TEXT, task_price TEXT, task_url TEXT, note_url TEXT);"),
     QStringLiteral("CREATE INDEX IF NOT EXISTS idx_tb_history_task ON tb_history_task(task_time, attr_mark, idxid, "
                    "site_name, note_name, task_name, task_price, task_url);"),
     QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS tb_history_task_text USING FTS4(task_name TEXT, tokenize = "
                    "CatTokenizer);"),
     QStringLiteral("CREATE TABLE IF NOT EXISTS tb_config(ckey TEXT UNIQUE, cval TEXT);"),
     QStringLiteral("CREATE INDEX IF NOT EXISTS idx_tb_config ON tb_config(ckey);")},
    // 2: how each followed node fared over its passes.
    {QStringLiteral("CREATE TABLE IF NOT EXISTS tb_node_status(site_name TEXT, note_name TEXT, failures INTEGER, "
                    "empty_passes INTEGER, last_good INTEGER, since INTEGER, last_error TEXT, PRIMARY KEY(site_name, "
                    "note_name));")},
    // 3: the task identity, so that the once-per-row history lookup does not scan the table.
    {QStringLiteral("CREATE INDEX IF NOT EXISTS idx_tb_history_task_identity ON tb_history_task(task_url, site_name, "
                    "note_name, task_name, task_price);")},
    // 4: what each node's last answer gave to ask for its page again only if it changed.
    {QStringLiteral("CREATE TABLE IF NOT EXISTS tb_node_validators(site_name TEXT, note_name TEXT, etag BLOB, "
                    "last_modified BLOB, given_for BLOB, PRIMARY KEY(site_name, note_name));")},
};

} // namespace

bool UserDb::inTransaction(const std::function<bool()> &body, bool showsRecovery)
{
    if (writesRefused())
        return false;
    const qint64 changesBefore = handle() ? sqlite3_total_changes64(handle()) : 0;
    execute(QStringLiteral("BEGIN TRANSACTION;"));
    // A failed COMMIT (a full disk) is no success either: roll back so the earlier content stays. Only a commit that
    // wrote something shows that storing works again (a purge that found nothing to delete writes nothing).
    if (body() && execute(QStringLiteral("COMMIT TRANSACTION;")))
        return showsRecovery && sqlite3_total_changes64(handle()) > changesBefore ? noteWrite(true) : true;
    const int rc = handle() ? sqlite3_errcode(handle()) : SQLITE_CANTOPEN;
    execute(QStringLiteral("ROLLBACK TRANSACTION;"));
    return noteWrite(false, rc);
}

bool UserDb::noteWrite(bool ok, int rc)
{
    if (ok) {
        // A private temporary database stores nothing lasting: its writes say nothing about the user's data.
        if (!m_folder.isEmpty())
            StoreHealth::instance()->reportSuccess();
        return true;
    }
    if (!handle() && rc == SQLITE_OK)
        rc = SQLITE_CANTOPEN;
    else if (rc == SQLITE_OK)
        rc = sqlite3_errcode(handle());
    // SQLite found damage (a file it could not open as a database, or a page while writing): unless the file checks
    // out whole, writing more into it could only make it worse.
    const bool damage = (rc & 0xFF) == SQLITE_CORRUPT || (rc & 0xFF) == SQLITE_NOTADB;
    if (damage && StoreHealth::instance()->writeRefusal(m_path).isEmpty() && (!handle() || !checksOut()))
        StoreHealth::instance()->refuseWrites(m_path, damaged());
    QString reason;
    switch (rc & 0xFF) {
    case SQLITE_FULL:
        reason = QCoreApplication::translate("UserDb", "磁盘已满");
        break;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        reason = damaged();
        break;
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_IOERR:
        reason = QCoreApplication::translate("UserDb", "无法写入");
        break;
    default:
        reason = QCoreApplication::translate("UserDb", "无法保存 (%1)").arg(QString::fromUtf8(sqlite3_errstr(rc)));
    }
    StoreHealth::instance()->reportFailure(
        QCoreApplication::translate("UserDb", "%1: %2").arg(reason, m_folder.isEmpty() ? dataFolder() : m_folder));
    return false;
}

UserDb::UserDb()
{
    const QString path = dataFilePath(QStringLiteral("udb.dll"));
    // Without a data folder the program runs on a private temporary database; the user must hear of it.
    if (path.isEmpty())
        noteWrite(false, SQLITE_CANTOPEN);
    openAndPrepare(path);
}

UserDb::UserDb(const QString &path)
{
    openAndPrepare(path);
}

void UserDb::openAndPrepare(const QString &path)
{
    std::unique_lock locker(userDbLock);
    if (!path.isEmpty())
        m_folder = QFileInfo(path).absolutePath();
    m_path = path;
    if (!open(path, true, true)) {
        const int rc = openError();
        noteWrite(false, rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT ? rc : SQLITE_CANTOPEN);
        return;
    }
    // It holds the push channels' secrets: the user's alone, folder and file.
    Platform::restrictToOwner(m_folder);
    Platform::restrictToOwner(path);
    const qint64 version = pragmaValue(QStringLiteral("user_version"));
    // SQLite opens lazily: a file that is not a database shows only now. Such a connection counts as not open.
    const int rc = sqlite3_errcode(handle());
    if (version < 0 && (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT)) {
        close();
        noteWrite(false, rc);
        return;
    }
    const qint64 latest = steps.size();
    if (version > latest) {
        // A newer Kestrow made it: read what can be read, and never write into a schema this one does not know.
        open(path, false, false);
        StoreHealth::instance()->refuseWrites(
            path, QCoreApplication::translate("UserDb", "数据文件来自更新版本的Kestrow, 只能读取"));
        writesRefused();
        return;
    }
    if (version >= 0 && version < latest) {
        // All missing steps in one transaction: a failure half-way (a full disk) leaves the file as it was.
        inTransaction([&] {
            for (qint64 step = version; step < latest; ++step) {
                for (const QString &sql : steps[step]) {
                    if (!execute(sql))
                        return false;
                }
            }
            return execute(QStringLiteral("PRAGMA user_version = %1;").arg(latest));
        });
    }
}

const QList<QStringList> &UserDb::schemaSteps()
{
    return steps;
}

bool UserDb::writesRefused()
{
    const QString reason = StoreHealth::instance()->writeRefusal(m_path);
    if (reason.isEmpty())
        return false;
    StoreHealth::instance()->reportFailure(reason + QStringLiteral(": ") + m_folder);
    return true;
}

QString UserDb::damaged()
{
    return QCoreApplication::translate("UserDb", "数据文件已损坏");
}

bool UserDb::checksOut()
{
    Query check(*this);
    return check.exec(QStringLiteral("PRAGMA integrity_check(1);")) && check.next() &&
           check.value(0).toString() == QLatin1String("ok");
}

QString UserDb::config(const QString &key, const QString &defaultValue)
{
    std::shared_lock locker(userDbLock);
    Query query(*this, QStringLiteral("SELECT cval FROM tb_config WHERE ckey = ?;"));
    query.bind(key);
    if (!query.exec() || !query.next())
        return defaultValue;
    return query.value(0).toString();
}

bool UserDb::setConfig(const QString &key, const QString &value)
{
    std::unique_lock locker(userDbLock);
    if (writesRefused())
        return false;
    Query query(*this, QStringLiteral("SELECT COUNT(rowid) FROM tb_config WHERE ckey = ?;"));
    query.bind(key);
    if (!query.exec() || !query.next())
        return false;
    if (query.value(0).toLongLong() > 0) {
        query.prepare(QStringLiteral("UPDATE tb_config SET cval = ? WHERE ckey = ?;"));
        query.bind(value);
        query.bind(key);
    } else {
        query.prepare(QStringLiteral("INSERT INTO tb_config(ckey, cval) VALUES(?, ?);"));
        query.bind(key);
        query.bind(value);
    }
    return noteWrite(query.exec());
}

bool UserDb::isAttention(const QString &siteName, const QString &nodeName)
{
    std::shared_lock locker(userDbLock);
    Query query(*this, QStringLiteral("SELECT COUNT(rowid) FROM tb_attention WHERE note_name = ? AND site_name = ?;"));
    query.bind(nodeName);
    query.bind(siteName);
    return query.exec() && query.next() && query.value(0).toLongLong() > 0;
}

bool UserDb::setAttention(const QList<AttentionPair> &pairs)
{
    std::unique_lock locker(userDbLock);
    return inTransaction([&] {
        Query query(*this);
        if (!query.exec(QStringLiteral("DELETE FROM tb_attention;")))
            return false;
        if (!query.prepare(QStringLiteral("INSERT INTO tb_attention(site_name, note_name) VALUES(?, ?);")))
            return false;
        for (const AttentionPair &pair : pairs) {
            query.reset();
            query.bind(pair.first);
            query.bind(pair.second);
            if (!query.exec())
                return false;
        }
        return true;
    });
}

QList<AttentionData> UserDb::attentionList()
{
    std::shared_lock locker(userDbLock);
    QList<AttentionData> list;
    Query query(*this);
    if (!query.exec(QStringLiteral("SELECT site_name, note_name FROM tb_attention;")))
        return list;
    while (query.next())
        list.append(AttentionData{query.value(0).toString(), query.value(1).toString(), QString(), QStringList()});
    return list;
}

QHash<QString, QSet<QString>> UserDb::attentionMap()
{
    std::shared_lock locker(userDbLock);
    QHash<QString, QSet<QString>> map;
    Query query(*this);
    if (!query.exec(QStringLiteral("SELECT site_name, note_name FROM tb_attention;")))
        return map;
    while (query.next())
        map[query.value(0).toString()].insert(query.value(1).toString());
    return map;
}
