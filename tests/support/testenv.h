#pragma once

#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// A private per-user data root for one test: points XDG_DATA_HOME at a fresh temporary directory and puts the
// previous value back when it goes away.
class TempDataDir
{
public:
    TempDataDir();
    ~TempDataDir();
    TempDataDir(const TempDataDir &) = delete;
    TempDataDir &operator=(const TempDataDir &) = delete;

    QString root() const { return m_dir.path(); }
    // Where udb.dll lives under this root.
    QString userDbPath() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldDataHome;
};

// Runs SQL on a database file through a plain SQLite connection (no tokenizer), for setting up failures such as
// triggers that abort; returns false and warns when a statement fails.
bool rawExec(const QString &path, const QString &sql);

// The first column of every row of a query on a plain connection, as text.
QStringList rawColumn(const QString &path, const QString &sql);

// Catalogue building blocks for sdb.dll files written with rawExec.
// An empty catalogue with the two tables (keys without declared type, so BLOBs stay BLOBs).
bool createCatalog(const QString &path);
// SQL literal of text in the catalogue encoding stored as a BLOB, as keys must be: x'...'.
QString encodedBlob(const QString &text);
// The same stored as TEXT: '...'.
QString encodedText(const QString &text);
// Adds one site (if new) and one node with the given page address and ten markers to the catalogue at path.
bool addCatalogNode(const QString &path, const QString &site, const QString &node, const QString &url,
                    const QStringList &markers);

// Runs body(0) … body(threads - 1) on that many threads at once; false when they are not all done within
// timeoutMs (a deadlock), in which case the threads are left running.
bool runConcurrently(int threads, const std::function<void(int)> &body, int timeoutMs = 120000);
