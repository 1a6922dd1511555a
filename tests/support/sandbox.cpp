#include "support/sandbox.h"

#include "sites/catalogschema.h"
#include "sites/sitedb.h"
#include "store/settings.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// What every test starts and ends with: no settings store and no catalogue.
void resetWorld()
{
    closeSettings();
    QFile::remove(Sandbox::catalogPath());
}

// Runs sql (one statement or more) and appends the first column of each result row to column when it is given; the
// program's own threads may hold the file for a moment.
bool rawRun(const QString &path, const QString &sql, QStringList *column)
{
    const auto append = [](void *column, int, char **values, char **) {
        static_cast<QStringList *>(column)->append(QString::fromUtf8(values[0]));
        return 0;
    };
    sqlite3 *db = nullptr;
    char *error = nullptr;
    const bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
                    sqlite3_busy_timeout(db, 10000) == SQLITE_OK &&
                    sqlite3_exec(db, sql.toUtf8().constData(), column ? +append : nullptr, column, &error) == SQLITE_OK;
    if (!ok)
        qWarning() << "raw SQL failed:" << sql << (error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    sqlite3_close(db);
    return ok;
}

} // namespace

Sandbox::Sandbox(bool withSettings) : m_oldData(qgetenv("XDG_DATA_HOME")), m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(root() + u"/data"_s));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root() + u"/config"_s));
    resetWorld();
    if (withSettings)
        loadSettings(u"Sans Serif"_s);
}

Sandbox::~Sandbox()
{
    resetWorld();
    for (const auto &[name, value] : {std::pair{"XDG_DATA_HOME", m_oldData}, {"XDG_CONFIG_HOME", m_oldConfig}})
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
}

CatalogBuilder::CatalogBuilder(const QString &path) : m_path(path)
{
    // A builder may be made again on the same catalogue: its tables are made only once.
    for (const char *create : {CatalogSchema::createSiteTable, CatalogSchema::createNodeTable})
        raw(QString::fromLatin1(create).replace(u"CREATE TABLE "_s, u"CREATE TABLE IF NOT EXISTS "_s));
}

bool CatalogBuilder::site(const QString &name, const QStringList &texts, const QByteArray &favicon,
                          const QByteArray &logo)
{
    return raw(u"INSERT INTO tb_site VALUES(%1, %2, %3, x'%4', x'%5', %6, %7, %8);"_s.arg(
        blob(name), text(texts.value(0)), text(u"reg"_s), QString::fromLatin1(favicon.toHex()),
        QString::fromLatin1(logo.toHex()), text(texts.value(1)), text(texts.value(2)), text(texts.value(3))));
}

bool CatalogBuilder::node(const QString &site, const QString &node, const QString &url, const QStringList &markers)
{
    QStringList values;
    for (const QString &marker : markers)
        values << text(marker);
    const bool known = !rawColumn(m_path, u"SELECT 1 FROM tb_site WHERE site_name = %1;"_s.arg(blob(site))).isEmpty();
    return (known || this->site(site)) && raw(u"INSERT INTO tb_node VALUES(%1, %2, %3, %4);"_s.arg(
                                              blob(site), blob(node), text(url), values.join(u", "_s)));
}

bool CatalogBuilder::feed(const QString &site, const QString &node, const QString &url)
{
    return this->node(site, node, url, QStringList(CatalogSchema::markerCount)) &&
           raw(QString::fromLatin1(CatalogSchema::createNodeKindTable)
                   .replace(u"TABLE "_s, u"TABLE IF NOT EXISTS "_s)) &&
           raw(u"INSERT INTO tb_node_kind VALUES(%1, %2, 'feed');"_s.arg(blob(site), blob(node)));
}

QString CatalogBuilder::blob(const QString &text)
{
    return u"x'%1'"_s.arg(QString::fromLatin1(text.toUtf8().toBase64().toHex()));
}

QString CatalogBuilder::text(const QString &text)
{
    return u"'%1'"_s.arg(QString::fromLatin1(text.toUtf8().toBase64()));
}

bool rawExec(const QString &path, const QString &sql)
{
    return rawRun(path, sql, nullptr);
}

QStringList rawColumn(const QString &path, const QString &sql)
{
    QStringList values;
    rawRun(path, sql, &values);
    return values;
}

const QStringList listMarkers = {u"<ul>"_s, u"</ul>"_s, u"<li>"_s, u"</li>"_s, u"href=\""_s,
                                 u"\""_s,   u"<b>"_s,   u"</b>"_s, u"<i>"_s,   u"</i>"_s};

QByteArray listPage(const QStringList &titles)
{
    QByteArray body = "<html><meta charset=utf-8><ul>";
    for (const QString &title : titles)
        body += "<li><a href=\"/t/" + title.toUtf8().toHex() + "\"><b>" + title.toUtf8() + "</b></a><i>9 元</i></li>";
    return body + "</ul></html>";
}

TaskData makeTask(const QString &title, const QString &price, const QString &site)
{
    return TaskData{site, u"节点"_s, title, price, u"http://127.0.0.1/t/"_s + title, u"http://127.0.0.1/list"_s, 0};
}

QStringList taskTitles(const QList<TaskData> &tasks)
{
    QStringList titles;
    for (const TaskData &task : tasks)
        titles << task.task_name;
    return titles;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

UrlCatcher::UrlCatcher(const QStringList &schemes) : m_schemes(schemes)
{
    for (const QString &scheme : schemes)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

UrlCatcher::~UrlCatcher()
{
    for (const QString &scheme : std::as_const(m_schemes))
        QDesktopServices::unsetUrlHandler(scheme);
}

bool runConcurrently(int threads, const std::function<void(int)> &body, int timeoutMs)
{
    // Standard threads, whose join ThreadSanitizer sees (it cannot see QThread::wait in an uninstrumented Qt). The
    // count is shared, as a deadlocked worker is left behind (the test fails anyway) and may outlive this call.
    auto done = std::make_shared<std::atomic<int>>(0);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([done, body, t] { body(t), ++*done; });
    for (QDeadlineTimer deadline(timeoutMs); *done < threads && !deadline.hasExpired();)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const bool finished = *done == threads;
    for (std::thread &worker : workers)
        finished ? worker.join() : worker.detach();
    return finished;
}
