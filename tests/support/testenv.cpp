#include "testenv.h"

#include <QDebug>
#include <QDir>
#include <QThread>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

TempDataDir::TempDataDir() : m_oldDataHome(qgetenv("XDG_DATA_HOME"))
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(u"data"_s)));
}

TempDataDir::~TempDataDir()
{
    if (m_oldDataHome.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", m_oldDataHome);
}

QString TempDataDir::userDbPath() const
{
    return m_dir.filePath(u"data/Kestrow/udb.dll"_s);
}

namespace {

template <typename RowFn> bool rawRun(const QString &path, const QString &sql, RowFn onRow)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK;
    sqlite3_stmt *statement = nullptr;
    const QByteArray text = sql.toUtf8();
    ok = ok && sqlite3_prepare_v2(db, text.constData(), -1, &statement, nullptr) == SQLITE_OK;
    int rc = SQLITE_ERROR;
    while (ok && (rc = sqlite3_step(statement)) == SQLITE_ROW)
        onRow(statement);
    ok = ok && rc == SQLITE_DONE;
    if (!ok)
        qWarning() << "raw SQL failed:" << sql << sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return ok;
}

} // namespace

bool rawExec(const QString &path, const QString &sql)
{
    return rawRun(path, sql, [](sqlite3_stmt *) {});
}

QStringList rawColumn(const QString &path, const QString &sql)
{
    QStringList values;
    rawRun(path, sql, [&values](sqlite3_stmt *statement) {
        values.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0))));
    });
    return values;
}

bool createCatalog(const QString &path)
{
    return rawExec(path, QStringLiteral("CREATE TABLE tb_site(site_name, site_url, site_register_url, site_favicon, "
                                        "site_logo, site_info, open_url_prefix, open_url_suffix);")) &&
           rawExec(path, QStringLiteral("CREATE TABLE tb_node(site_name, node_name, node_url, table_begin, "
                                        "table_end, row_begin, row_end, url_begin, url_end, title_begin, title_end, "
                                        "price_begin, price_end);"));
}

QString encodedBlob(const QString &text)
{
    return u"x'%1'"_s.arg(QString::fromLatin1(text.toUtf8().toBase64().toHex()));
}

QString encodedText(const QString &text)
{
    return u"'%1'"_s.arg(QString::fromLatin1(text.toUtf8().toBase64()));
}

bool addCatalogNode(const QString &path, const QString &site, const QString &node, const QString &url,
                    const QStringList &markers)
{
    QStringList values;
    for (const QString &marker : markers)
        values << encodedText(marker);
    const QString siteKey = encodedBlob(site);
    return rawExec(path, QStringLiteral("INSERT INTO tb_site(site_name) SELECT %1 WHERE NOT EXISTS (SELECT 1 FROM "
                                        "tb_site WHERE site_name = %1);")
                             .arg(siteKey)) &&
           rawExec(path, u"INSERT INTO tb_node VALUES(%1, %2, %3, %4);"_s.arg(siteKey, encodedBlob(node),
                                                                              encodedText(url), values.join(u", "_s)));
}

bool runConcurrently(int threads, const std::function<void(int)> &body, int timeoutMs)
{
    std::vector<QThread *> workers;
    for (int t = 0; t < threads; ++t)
        workers.push_back(QThread::create(body, t));
    for (QThread *worker : workers)
        worker->start();
    const QDeadlineTimer deadline(timeoutMs);
    bool finished = true;
    for (QThread *worker : workers)
        finished = worker->wait(deadline) && finished;
    if (finished)
        qDeleteAll(workers);
    return finished;
}
