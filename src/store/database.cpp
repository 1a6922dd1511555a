#include "store/database.h"

#include "store/cattokenizer.h"
#include "store/query.h"
#include "store/storelog.h"

#include <sqlite3.h>

namespace {

// A second instance of the program may hold the file for a moment while it starts.
constexpr int busyTimeoutMs = 5000;

bool registerTokenizer(Database &db)
{
    const sqlite3_tokenizer_module *module = &tokenizerModule;
    Query query(db, QStringLiteral("SELECT fts3_tokenizer(?, ?);"));
    query.bind(QStringLiteral("CatTokenizer"));
    query.bind(QByteArray(reinterpret_cast<const char *>(&module), sizeof module));
    return query.exec();
}

} // namespace

Database::~Database()
{
    close();
}

bool Database::open(const QString &path, bool readWrite, bool create)
{
    close();
    m_openError = 0;
    int flags = readWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
    if (readWrite && create)
        flags |= SQLITE_OPEN_CREATE;
    // Serialized mode: the settings connection is shared by every thread.
    flags |= SQLITE_OPEN_FULLMUTEX;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_handle, flags, nullptr);
    if (rc != SQLITE_OK) {
        // SQLite's handle after a failed open is good for nothing but closing; holding no connection makes
        // every later statement fail cleanly and tells callers the truth through isOpen().
        qCDebug(lcStore) << "cannot open" << path << sqlite3_errstr(rc);
        close();
        m_openError = rc;
        return false;
    }
    sqlite3_busy_timeout(m_handle, busyTimeoutMs);
    // The first statement reads the schema: a file that is no database, or a truncated one, shows here.
    if (!registerTokenizer(*this)) {
        qCDebug(lcStore) << "cannot register the tokenizer on" << path << sqlite3_errmsg(m_handle);
        const int error = sqlite3_errcode(m_handle);
        close();
        m_openError = error == SQLITE_OK ? SQLITE_CANTOPEN : error;
        return false;
    }
    // The bound-parameter registration keeps working; SQL text can no longer hand SQLite a pointer.
    sqlite3_db_config(m_handle, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, static_cast<int *>(nullptr));
    // At most 1 MiB of cached pages a connection (SQLite's own is 2 MB): the program's few connections stay small
    // however large the history grows.
    sqlite3_exec(m_handle, "PRAGMA cache_size = -1024;", nullptr, nullptr, nullptr);
    return true;
}

void Database::close()
{
    if (m_handle) {
        sqlite3_close_v2(m_handle);
        m_handle = nullptr;
    }
}

bool Database::execute(const QString &sql)
{
    Query query(*this);
    return query.exec(sql);
}

qint64 Database::lastInsertRowid() const
{
    return m_handle ? sqlite3_last_insert_rowid(m_handle) : 0;
}
