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
            rawColumn(path, QStringLiteral("SELECT name FROM pragma_table_info('%1');").arg(QLatin1String(table)));
        QStringList parts;
        for (const QString &column : columns)
            parts << QStringLiteral("typeof(%1) || ':' || hex(%1)").arg(column);
        rows << rawColumn(path, QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid;")
                                    .arg(parts.join(QStringLiteral(" || ' ' || ")), QLatin1String(table)));
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
    const QString out = m_dir.filePath(QStringLiteral("demo.dll"));
    const Run run = runTool({QStringLiteral("build"), QStringLiteral(KESTROW_DEMO_CATALOG), out});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    SiteDb db(out);
    QCOMPARE(db.siteNames(),
             (QStringList{QStringLiteral("鹰眼众包"), QStringLiteral("蜂巢威客"), QStringLiteral("星火任务网")}));
    QList<SiteData> sites;
    QVERIFY(db.sites(sites));
    QCOMPARE(sites[0].node_names,
             (QStringList{QStringLiteral("平面设计"), QStringLiteral("网站开发"), QStringLiteral("文案写作")}));
    QCOMPARE(sites[2].logo.size(), QSize(160, 48));
    QCOMPARE(sites[1].favicon.availableSizes(), QList<QSize>{QSize(16, 16)});
    NodeRule rule;
    QVERIFY(db.nodeRule(QStringLiteral("星火任务网"), QStringLiteral("翻译"), rule));
    QCOMPARE(rule.node_url, QStringLiteral("http://127.0.0.1:8731/spark/translate"));
    QCOMPARE(rule.rules.size(), 10);
    QCOMPARE(rule.rules[2], QString());
    QCOMPARE(rule.rules[3], QStringLiteral("<hr>"));
    OpenUrlTable parts;
    QVERIFY(db.openUrlParts(parts));
    QCOMPARE(parts.value(QStringLiteral("鹰眼众包")).suffix, QStringLiteral("?from=kestrow"));
    // Images are stored raw, exactly as the files hold them.
    QList<CatalogSite> read;
    QString error;
    QVERIFY(CatalogFile::read(out, read, &error));
    const QString images = QFileInfo(QStringLiteral(KESTROW_DEMO_CATALOG)).absolutePath() + QStringLiteral("/images/");
    QCOMPARE(read[0].favicon, readFile(images + QStringLiteral("eagle-favicon.png")));
    QCOMPARE(read[2].logo, readFile(images + QStringLiteral("spark-logo.png")));
    QCOMPARE(runTool({QStringLiteral("check"), out}).exitCode, 0);
}

void TestCatalogTool::dumpThenBuildIsIdentical()
{
    const QString first = m_dir.filePath(QStringLiteral("first.dll"));
    const QString second = m_dir.filePath(QStringLiteral("second.dll"));
    const QString json = m_dir.filePath(QStringLiteral("dump.json"));
    QCOMPARE(runTool({QStringLiteral("build"), QStringLiteral(KESTROW_DEMO_CATALOG), first}).exitCode, 0);
    const Run dump = runTool({QStringLiteral("dump"), first});
    QCOMPARE(dump.exitCode, 0);
    QFile file(json);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(dump.out);
    file.close();
    QCOMPARE(runTool({QStringLiteral("build"), json, second}).exitCode, 0);
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
    const QString json = m_dir.filePath(QStringLiteral("bad.json"));
    QFile file(json);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        R"({"sites": [{"name": "s", "nodes": [{"name": "n", "url": "u", "markers": {"row": ["<tr>", ""], "title": ["a", "b"]}}]}]})");
    file.close();
    const QString fresh = m_dir.filePath(QStringLiteral("fresh.dll"));
    Run run = runTool({QStringLiteral("build"), json, fresh});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.contains("row end marker is empty"));
    QVERIFY(!QFile::exists(fresh));
    QVERIFY(QDir(m_dir.path()).entryList({QStringLiteral("fresh*")}, QDir::Files).isEmpty());
    // An existing catalogue is left exactly as it was.
    const QString existing = m_dir.filePath(QStringLiteral("existing.dll"));
    const QString good = m_dir.filePath(QStringLiteral("good.json"));
    QFile goodFile(good);
    QVERIFY(goodFile.open(QIODevice::WriteOnly));
    goodFile.write(minimalSite);
    goodFile.close();
    QCOMPARE(runTool({QStringLiteral("build"), good, existing}).exitCode, 0);
    const QByteArray before = readFile(existing);
    QCOMPARE(runTool({QStringLiteral("build"), json, existing}).exitCode, 2);
    QCOMPARE(readFile(existing), before);
    // Wrong usage and unreadable input are refusals too.
    QCOMPARE(runTool({QStringLiteral("build"), m_dir.filePath(QStringLiteral("none.json")), fresh}).exitCode, 2);
    QCOMPARE(runTool({QStringLiteral("frobnicate")}).exitCode, 2);
    QVERIFY(!QFile::exists(fresh));
}

void TestCatalogTool::checkListsWhatIsSkipped()
{
    const QString path = m_dir.filePath(QStringLiteral("broken.dll"));
    QVERIFY(createCatalog(path));
    QVERIFY(rawExec(path, QStringLiteral("INSERT INTO tb_site VALUES(%1, 'abc', '', x'00ff', x'', '', '', '');")
                              .arg(encodedBlob(QStringLiteral("站")))));
    const QString markers = QStringLiteral("'', '', '', '', '', '', '', '', '', ''");
    // Row 1: TEXT keys. Row 2: empty row end, broken url. Row 3: a site that does not exist.
    QVERIFY(rawExec(path, QStringLiteral("INSERT INTO tb_node VALUES(%1, %2, '', %3);")
                              .arg(encodedText(QStringLiteral("站")), encodedText(QStringLiteral("a")), markers)));
    QVERIFY(rawExec(path, QStringLiteral("INSERT INTO tb_node VALUES(%1, %2, 'not base64!', %3);")
                              .arg(encodedBlob(QStringLiteral("站")), encodedBlob(QStringLiteral("b")), markers)));
    QVERIFY(rawExec(path, QStringLiteral("INSERT INTO tb_node VALUES(%1, %2, '', %3);")
                              .arg(encodedBlob(QStringLiteral("无")), encodedBlob(QStringLiteral("c")), markers)));
    const Run run = runTool({QStringLiteral("check"), path});
    QCOMPARE(run.exitCode, 1);
    const QString report = QString::fromUtf8(run.out);
    for (const char *expected :
         {"tb_site row 1 (站): site_url is not valid base64",
          "tb_site row 1 (站): site_favicon is not a loadable image",
          "tb_node row 1 (站 / a): site_name is stored as TEXT", "tb_node row 1 (站 / a): node_name is stored as TEXT",
          "tb_node row 2 (站 / b): node_url is not valid base64", "tb_node row 2 (站 / b): row_end is empty",
          "tb_node row 3 (无 / c): no site in tb_site"})
        QVERIFY2(report.contains(QString::fromUtf8(expected)), qPrintable(expected + QStringLiteral("\n") + report));
    QVERIFY(!report.contains(QStringLiteral("site_logo")));
    // Something that is no catalogue at all.
    QCOMPARE(runTool({QStringLiteral("check"), m_dir.filePath(QStringLiteral("missing.dll"))}).exitCode, 2);
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("missing.dll"))));
    const QString other = m_dir.filePath(QStringLiteral("other.dll"));
    QVERIFY(rawExec(other, QStringLiteral("CREATE TABLE x(y);")));
    QCOMPARE(runTool({QStringLiteral("check"), other}).exitCode, 2);
    QCOMPARE(runTool({QStringLiteral("dump"), other}).exitCode, 2);
}

void TestCatalogTool::tryCutsANodePage()
{
    TestHttpServer server;
    const QString path = m_dir.filePath(QStringLiteral("try.dll"));
    const QStringList markers = {QStringLiteral("<table>"), QStringLiteral("</table>"), QStringLiteral("<tr>"),
                                 QStringLiteral("</tr>"),   QStringLiteral("href='"),   QStringLiteral("'"),
                                 QStringLiteral("'>"),      QStringLiteral("</a>"),     QStringLiteral("<td>"),
                                 QStringLiteral("</td>")};
    QVERIFY(createCatalog(path));
    QVERIFY(addCatalogNode(path, QStringLiteral("蜂巢"), QStringLiteral("Logo设计"),
                           server.url(QStringLiteral("/list/logo")), markers));
    QVERIFY(addCatalogNode(path, QStringLiteral("蜂巢"), QStringLiteral("moved"), server.url(QStringLiteral("/moved")),
                           markers));
    // A GBK page, as one of the demo sites serves.
    QStringEncoder gbk("GBK");
    TestHttpServer::Response list;
    list.body =
        gbk(QStringLiteral("<meta charset=gbk><table><tr><a href='/t/1'>企业 Logo &amp; 名片</a><td>500 元</td></tr>"
                           "<tr><a href='t/2'>网站</a></tr></table>"));
    server.setResponse(QStringLiteral("/list/logo"), list);
    TestHttpServer::Response moved;
    moved.status = 301;
    moved.headers = {{"Location", server.url(QStringLiteral("/target")).toUtf8()}};
    server.setResponse(QStringLiteral("/moved"), moved);

    const Run run = runTool({QStringLiteral("try"), path, QStringLiteral("蜂巢"), QStringLiteral("Logo设计")});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(first.value(QStringLiteral("site_name")).toString(), QStringLiteral("蜂巢"));
    QCOMPARE(first.value(QStringLiteral("note_name")).toString(), QStringLiteral("Logo设计"));
    QCOMPARE(first.value(QStringLiteral("task_name")).toString(), QStringLiteral("企业 Logo & 名片"));
    QCOMPARE(first.value(QStringLiteral("task_price")).toString(), QStringLiteral("500元"));
    QCOMPARE(first.value(QStringLiteral("task_url")).toString(), server.url(QStringLiteral("/t/1")));
    QCOMPARE(first.value(QStringLiteral("note_url")).toString(), server.url(QStringLiteral("/list/logo")));
    QCOMPARE(QJsonDocument::fromJson(lines[1]).object().value(QStringLiteral("task_url")).toString(),
             server.url(QStringLiteral("/t/2")));
    // The engine's request: its user agent, no redirections.
    const QList<TestHttpServer::Header> headers = server.requests().first().headers;
    QVERIFY(headers.contains(
        TestHttpServer::Header("User-Agent", "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)")));

    // A saved page gives the same lines.
    const QString saved = m_dir.filePath(QStringLiteral("saved.html"));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(list.body);
    file.close();
    const Run offline = runTool({QStringLiteral("try"), path, QStringLiteral("蜂巢"), QStringLiteral("Logo设计"),
                                 QStringLiteral("--page"), saved});
    QCOMPARE(offline.out, run.out);

    // A redirection yields nothing and its target is never asked for.
    const Run redirected = runTool({QStringLiteral("try"), path, QStringLiteral("蜂巢"), QStringLiteral("moved")});
    QCOMPARE(redirected.exitCode, 0);
    QVERIFY(redirected.out.isEmpty());
    QVERIFY(redirected.err.contains("redirections are not followed"));
    QVERIFY(!server.requestedPaths().contains(QStringLiteral("/target")));

    // Unknown site or node: a clear refusal.
    const Run unknown = runTool({QStringLiteral("try"), path, QStringLiteral("蜂巢"), QStringLiteral("无此节点")});
    QCOMPARE(unknown.exitCode, 2);
    QVERIFY(QString::fromUtf8(unknown.err).contains(QStringLiteral("no node \"无此节点\" on site \"蜂巢\"")));
    QCOMPARE(runTool({QStringLiteral("try"), path, QStringLiteral("无"), QStringLiteral("Logo设计")}).exitCode, 2);
    QCOMPARE(server.requests().size(), 2);
}

QTEST_MAIN(TestCatalogTool)
#include "tst_catalogtool.moc"
