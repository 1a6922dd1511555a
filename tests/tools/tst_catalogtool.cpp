#include "catalogfile.h"
#include "sitedb.h"
#include "testenv.h"
#include "testhttpserver.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every stored value of both tables with its storage class, row by row, for comparing catalogues exactly.
QStringList tableContents(const QString &path)
{
    QStringList rows;
    for (const char *table : {"tb_site", "tb_node"}) {
        const QStringList columns =
            rawColumn(path, u"SELECT name FROM pragma_table_info('%1');"_s.arg(QLatin1String(table)));
        QStringList parts;
        for (const QString &column : columns)
            parts << u"typeof(%1) || ':' || hex(%1)"_s.arg(column);
        rows << rawColumn(
            path, u"SELECT %1 FROM %2 ORDER BY rowid;"_s.arg(parts.join(u" || ' ' || "_s), QLatin1String(table)));
    }
    return rows;
}

struct Run
{
    int exitCode;
    QByteArray out;
    QByteArray err;
};

Run runTool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(KESTROW_CATALOG_TOOL), arguments);
    if (!process.waitForFinished(60000))
        return {-1, {}, "timed out"};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

const char minimalSite[] = R"({"sites": [{"name": "站", "nodes": [
    {"name": "n", "url": "http://h/l", "markers": {"row": ["<tr>", "</tr>"], "title": ["<a>", "</a>"]}}]}]})";

} // namespace

class TestCatalogTool : public QObject
{
    Q_OBJECT

private slots:
    void demoCatalogReadsAsWritten();
    void dumpThenBuildIsIdentical();
    void refusals_data();
    void refusals();
    void refusedBuildWritesNothing();
    void checkListsWhatIsSkipped();
    void tryCutsANodePage();

private:
    QTemporaryDir m_dir;
};

void TestCatalogTool::demoCatalogReadsAsWritten()
{
    const QString out = m_dir.filePath(u"demo.dll"_s);
    const Run run = runTool({u"build"_s, QStringLiteral(KESTROW_DEMO_CATALOG), out});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    SiteDb db(out);
    QCOMPARE(db.siteNames(), (QStringList{u"鹰眼众包"_s, u"蜂巢威客"_s, u"星火任务网"_s}));
    QList<SiteData> sites;
    QVERIFY(db.sites(sites));
    QCOMPARE(sites[0].node_names, (QStringList{u"平面设计"_s, u"网站开发"_s, u"文案写作"_s}));
    QCOMPARE(sites[2].logo.size(), QSize(160, 48));
    QCOMPARE(sites[1].favicon.availableSizes(), QList<QSize>{QSize(16, 16)});
    NodeRule rule;
    QVERIFY(db.nodeRule(u"星火任务网"_s, u"翻译"_s, rule));
    QCOMPARE(rule.node_url, u"http://127.0.0.1:8731/spark/translate"_s);
    QCOMPARE(rule.rules.size(), 10);
    QCOMPARE(rule.rules[2], QString());
    QCOMPARE(rule.rules[3], u"<hr>"_s);
    OpenUrlTable parts;
    QVERIFY(db.openUrlParts(parts));
    QCOMPARE(parts.value(u"鹰眼众包"_s).suffix, u"?from=kestrow"_s);
    // Images are stored raw, exactly as the files hold them.
    QList<CatalogSite> read;
    QString error;
    QVERIFY(CatalogFile::read(out, read, &error));
    const QString images = QFileInfo(QStringLiteral(KESTROW_DEMO_CATALOG)).absolutePath() + u"/images/"_s;
    QCOMPARE(read[0].favicon, readFile(images + u"eagle-favicon.png"_s));
    QCOMPARE(read[2].logo, readFile(images + u"spark-logo.png"_s));
    QCOMPARE(runTool({u"check"_s, out}).exitCode, 0);
}

void TestCatalogTool::dumpThenBuildIsIdentical()
{
    const QString first = m_dir.filePath(u"first.dll"_s);
    const QString second = m_dir.filePath(u"second.dll"_s);
    const QString json = m_dir.filePath(u"dump.json"_s);
    QCOMPARE(runTool({u"build"_s, QStringLiteral(KESTROW_DEMO_CATALOG), first}).exitCode, 0);
    const Run dump = runTool({u"dump"_s, first});
    QCOMPARE(dump.exitCode, 0);
    QFile file(json);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(dump.out);
    file.close();
    QCOMPARE(runTool({u"build"_s, json, second}).exitCode, 0);
    const QStringList contents = tableContents(first);
    QCOMPARE(contents.size(), 3 + 8);
    QCOMPARE(tableContents(second), contents);
}

void TestCatalogTool::refusals_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("message");
    const QByteArray node =
        R"({"name": "n", "url": "http://h/l", "markers": {"row": ["<tr>", "</tr>"], "title": ["<a>", "</a>"]}})";
    const auto site = [&node](const QByteArray &fields) {
        return QByteArray(R"({"sites": [{"name": "站")") + fields + R"(, "nodes": [)" + node + "]}]}";
    };
    QTest::newRow("malformed") << QByteArray(R"({"sites": [)") << "malformed JSON at line 1";
    QTest::newRow("no site list") << QByteArray(R"({"site": []})") << "\"sites\" list";
    QTest::newRow("site without name") << QByteArray(R"({"sites": [{"url": "x"}]})") << "\"name\" is missing";
    QTest::newRow("name not a text") << QByteArray(R"({"sites": [{"name": 5}]})") << "\"name\" must be a text";
    QTest::newRow("node without url") << QByteArray(
                                             R"({"sites": [{"name": "s", "nodes": [{"name": "n", "markers": {}}]}]})")
                                      << "\"url\" is missing";
    QTest::newRow("node without markers")
        << QByteArray(R"({"sites": [{"name": "s", "nodes": [{"name": "n", "url": "u"}]}]})") << "\"markers\"";
    QTest::newRow("no title markers")
        << QByteArray(
               R"({"sites": [{"name": "s", "nodes": [{"name": "n", "url": "u", "markers": {"row": ["a", "b"]}}]}]})")
        << "marker \"title\"";
    QTest::newRow("empty row end")
        << QByteArray(
               R"({"sites": [{"name": "s", "nodes": [{"name": "n", "url": "u", "markers": {"row": ["<tr>", ""], "title": ["a", "b"]}}]}]})")
        << "row end marker is empty";
    QTest::newRow("marker not a pair")
        << QByteArray(
               R"({"sites": [{"name": "s", "nodes": [{"name": "n", "url": "u", "markers": {"row": ["<tr>"], "title": ["a", "b"]}}]}]})")
        << "pair of texts";
    QTest::newRow("two sites of a name") << QByteArray(R"({"sites": [{"name": "s"}, {"name": "s"}]})")
                                         << "two sites are named \"s\"";
    QTest::newRow("two nodes of a name") << QByteArray(R"({"sites": [{"name": "s", "nodes": [)") + node + ", " + node +
                                                "]}]}"
                                         << "two nodes are named \"n\"";
    QTest::newRow("missing image") << site(R"(, "logo": "images/none.png")") << "cannot be read";
    QTest::newRow("image not base64") << site(R"(, "favicon_base64": "@@@")") << "is not base64";
}

void TestCatalogTool::refusals()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, message);
    QList<CatalogSite> sites;
    QString error;
    QVERIFY(!CatalogFile::parseJson(json, m_dir.path(), sites, &error));
    QVERIFY2(error.contains(message), qPrintable(error));
}

void TestCatalogTool::refusedBuildWritesNothing()
{
    const QString json = m_dir.filePath(u"bad.json"_s);
    QFile file(json);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        R"({"sites": [{"name": "s", "nodes": [{"name": "n", "url": "u", "markers": {"row": ["<tr>", ""], "title": ["a", "b"]}}]}]})");
    file.close();
    const QString fresh = m_dir.filePath(u"fresh.dll"_s);
    Run run = runTool({u"build"_s, json, fresh});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.contains("row end marker is empty"));
    QVERIFY(!QFile::exists(fresh));
    QVERIFY(QDir(m_dir.path()).entryList({u"fresh*"_s}, QDir::Files).isEmpty());
    // An existing catalogue is left exactly as it was.
    const QString existing = m_dir.filePath(u"existing.dll"_s);
    const QString good = m_dir.filePath(u"good.json"_s);
    QFile goodFile(good);
    QVERIFY(goodFile.open(QIODevice::WriteOnly));
    goodFile.write(minimalSite);
    goodFile.close();
    QCOMPARE(runTool({u"build"_s, good, existing}).exitCode, 0);
    const QByteArray before = readFile(existing);
    QCOMPARE(runTool({u"build"_s, json, existing}).exitCode, 2);
    QCOMPARE(readFile(existing), before);
    // Wrong usage and unreadable input are refusals too.
    QCOMPARE(runTool({u"build"_s, m_dir.filePath(u"none.json"_s), fresh}).exitCode, 2);
    QCOMPARE(runTool({u"frobnicate"_s}).exitCode, 2);
    QVERIFY(!QFile::exists(fresh));
}

void TestCatalogTool::checkListsWhatIsSkipped()
{
    const QString path = m_dir.filePath(u"broken.dll"_s);
    QVERIFY(createCatalog(path));
    QVERIFY(rawExec(
        path, u"INSERT INTO tb_site VALUES(%1, 'abc', '', x'00ff', x'', '', '', '');"_s.arg(encodedBlob(u"站"_s))));
    const QString markers = u"'', '', '', '', '', '', '', '', '', ''"_s;
    // Row 1: TEXT keys. Row 2: empty row end, broken url. Row 3: a site that does not exist.
    QVERIFY(rawExec(path, u"INSERT INTO tb_node VALUES(%1, %2, '', %3);"_s.arg(encodedText(u"站"_s),
                                                                               encodedText(u"a"_s), markers)));
    QVERIFY(rawExec(path, u"INSERT INTO tb_node VALUES(%1, %2, 'not base64!', %3);"_s.arg(
                              encodedBlob(u"站"_s), encodedBlob(u"b"_s), markers)));
    QVERIFY(rawExec(path, u"INSERT INTO tb_node VALUES(%1, %2, '', %3);"_s.arg(encodedBlob(u"无"_s),
                                                                               encodedBlob(u"c"_s), markers)));
    const Run run = runTool({u"check"_s, path});
    QCOMPARE(run.exitCode, 1);
    const QString report = QString::fromUtf8(run.out);
    for (const char *expected :
         {"tb_site row 1 (站): site_url is not valid base64",
          "tb_site row 1 (站): site_favicon is not a loadable image",
          "tb_node row 1 (站 / a): site_name is stored as TEXT", "tb_node row 1 (站 / a): node_name is stored as TEXT",
          "tb_node row 2 (站 / b): node_url is not valid base64", "tb_node row 2 (站 / b): row_end is empty",
          "tb_node row 3 (无 / c): no site in tb_site"})
        QVERIFY2(report.contains(QString::fromUtf8(expected)), qPrintable(expected + u"\n"_s + report));
    QVERIFY(!report.contains(u"site_logo"_s));
    // Something that is no catalogue at all.
    QCOMPARE(runTool({u"check"_s, m_dir.filePath(u"missing.dll"_s)}).exitCode, 2);
    QVERIFY(!QFile::exists(m_dir.filePath(u"missing.dll"_s)));
    const QString other = m_dir.filePath(u"other.dll"_s);
    QVERIFY(rawExec(other, u"CREATE TABLE x(y);"_s));
    QCOMPARE(runTool({u"check"_s, other}).exitCode, 2);
    QCOMPARE(runTool({u"dump"_s, other}).exitCode, 2);
}

void TestCatalogTool::tryCutsANodePage()
{
    TestHttpServer server;
    const QString path = m_dir.filePath(u"try.dll"_s);
    const QStringList markers = {u"<table>"_s, u"</table>"_s, u"<tr>"_s, u"</tr>"_s, u"href='"_s,
                                 u"'"_s,       u"'>"_s,       u"</a>"_s, u"<td>"_s,  u"</td>"_s};
    QVERIFY(createCatalog(path));
    QVERIFY(addCatalogNode(path, u"蜂巢"_s, u"Logo设计"_s, server.url(u"/list/logo"_s), markers));
    QVERIFY(addCatalogNode(path, u"蜂巢"_s, u"moved"_s, server.url(u"/moved"_s), markers));
    // A GBK page, as one of the demo sites serves.
    QStringEncoder gbk("GBK");
    TestHttpServer::Response list;
    list.body =
        gbk(QStringLiteral("<meta charset=gbk><table><tr><a href='/t/1'>企业 Logo &amp; 名片</a><td>500 元</td></tr>"
                           "<tr><a href='t/2'>网站</a></tr></table>"));
    server.setResponse(u"/list/logo"_s, list);
    TestHttpServer::Response moved;
    moved.status = 301;
    moved.headers = {{"Location", server.url(u"/target"_s).toUtf8()}};
    server.setResponse(u"/moved"_s, moved);

    const Run run = runTool({u"try"_s, path, u"蜂巢"_s, u"Logo设计"_s});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(first.value(u"site_name"_s).toString(), u"蜂巢"_s);
    QCOMPARE(first.value(u"note_name"_s).toString(), u"Logo设计"_s);
    QCOMPARE(first.value(u"task_name"_s).toString(), u"企业 Logo & 名片"_s);
    QCOMPARE(first.value(u"task_price"_s).toString(), u"500元"_s);
    QCOMPARE(first.value(u"task_url"_s).toString(), server.url(u"/t/1"_s));
    QCOMPARE(first.value(u"note_url"_s).toString(), server.url(u"/list/logo"_s));
    QCOMPARE(QJsonDocument::fromJson(lines[1]).object().value(u"task_url"_s).toString(), server.url(u"/t/2"_s));
    // The engine's request: its user agent, no redirections.
    const QList<TestHttpServer::Header> headers = server.requests().first().headers;
    QVERIFY(headers.contains(
        TestHttpServer::Header("User-Agent", "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)")));

    // A saved page gives the same lines.
    const QString saved = m_dir.filePath(u"saved.html"_s);
    QFile file(saved);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(list.body);
    file.close();
    const Run offline = runTool({u"try"_s, path, u"蜂巢"_s, u"Logo设计"_s, u"--page"_s, saved});
    QCOMPARE(offline.out, run.out);

    // A redirection yields nothing and its target is never asked for.
    const Run redirected = runTool({u"try"_s, path, u"蜂巢"_s, u"moved"_s});
    QCOMPARE(redirected.exitCode, 0);
    QVERIFY(redirected.out.isEmpty());
    QVERIFY(redirected.err.contains("redirections are not followed"));
    QVERIFY(!server.requestedPaths().contains(u"/target"_s));

    // Unknown site or node: a clear refusal.
    const Run unknown = runTool({u"try"_s, path, u"蜂巢"_s, u"无此节点"_s});
    QCOMPARE(unknown.exitCode, 2);
    QVERIFY(QString::fromUtf8(unknown.err).contains(u"no node \"无此节点\" on site \"蜂巢\""_s));
    QCOMPARE(runTool({u"try"_s, path, u"无"_s, u"Logo设计"_s}).exitCode, 2);
    QCOMPARE(server.requests().size(), 2);
}

QTEST_MAIN(TestCatalogTool)
#include "tst_catalogtool.moc"
