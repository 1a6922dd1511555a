#include "sites/catalogfile.h"
#include "sites/sitedb.h"
#include "sites/usersites.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int exitCode;
    QByteArray out;
    QByteArray err;
};

Run catalogTool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(KESTROW_CATALOG_TOOL), arguments);
    if (!process.waitForFinished(60000))
        return {-1, {}, "timed out"};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

} // namespace

class TestTools : public QObject
{
    Q_OBJECT

private slots:
    void buildDumpBuildIsIdentical()
    {
        const QString first = m_dir.filePath(u"first.dll"_s);
        const QString second = m_dir.filePath(u"second.dll"_s);
        const QString json = m_dir.filePath(u"dump.json"_s);
        QCOMPARE(catalogTool({u"build"_s, QStringLiteral(KESTROW_DEMO_CATALOG), first}).exitCode, 0);
        const Run dump = catalogTool({u"dump"_s, first});
        QCOMPARE(dump.exitCode, 0);
        QVERIFY(writeFile(json, dump.out));
        QCOMPARE(catalogTool({u"build"_s, json, second}).exitCode, 0);
        QCOMPARE(catalogTool({u"check"_s, second}).exitCode, 0);
        // Every stored value with its storage class, images stored raw as the files hold them.
        const QString rows = u"SELECT quote(site_name) || quote(site_logo) || quote(site_info) FROM tb_site UNION ALL "
                             "SELECT quote(node_name) || quote(node_url) || quote(row_end) FROM tb_node;"_s;
        QCOMPARE(rawColumn(second, rows), rawColumn(first, rows));
        QCOMPARE(rawColumn(first, rows).size(), 3 + 9);
        QList<CatalogSite> sites;
        QString error;
        QVERIFY(CatalogFile::read(second, sites, &error));
        const QString images = QFileInfo(QStringLiteral(KESTROW_DEMO_CATALOG)).absolutePath() + u"/images/"_s;
        QCOMPARE(sites[2].logo, readFile(images + u"spark-logo.png"_s));
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        const QByteArray node =
            R"({"name": "n", "url": "u", "markers": {"row": ["<tr>", "</tr>"], "title": ["a", "b"]}})";
        const auto site = [](const QByteArray &body) { return R"({"sites": [{"name": "s")" + body + "}]}"; };
        QTest::newRow("malformed") << QByteArray(R"({"sites": [)") << "malformed JSON at line 1";
        QTest::newRow("site without name") << QByteArray(R"({"sites": [{"url": "x"}]})") << "\"name\" is missing";
        QTest::newRow("node without url")
            << site(R"(, "nodes": [{"name": "n", "markers": {}}])") << "\"url\" is missing";
        QTest::newRow("no title markers")
            << site(R"(, "nodes": [{"name": "n", "url": "u", "markers": {"row": ["a", "b"]}}])") << "marker \"title\"";
        QTest::newRow("empty row end")
            << site(R"(, "nodes": [{"name": "n", "url": "u", "markers": {"row": ["<tr>", ""], "title": ["a", "b"]}}])")
            << "row end marker is empty";
        QTest::newRow("two sites of a name")
            << QByteArray(R"({"sites": [{"name": "s"}, {"name": "s"}]})") << "two sites are named \"s\"";
        QTest::newRow("two nodes of a name")
            << site(", \"nodes\": [" + node + ", " + node + "]") << "two nodes are named";
        QTest::newRow("missing image") << site(R"(, "logo": "images/none.png")") << "cannot be read";
        QTest::newRow("image not base64") << site(R"(, "favicon_base64": "@@@")") << "is not base64";
    }

    void refusals()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        QList<CatalogSite> sites;
        QString error;
        QVERIFY(!CatalogFile::parseJson(json, m_dir.path(), sites, &error));
        QVERIFY2(error.contains(message), qPrintable(error));
    }

    void refusedBuildWritesNothing()
    {
        const QString bad = m_dir.filePath(u"bad.json"_s);
        QVERIFY(writeFile(
            bad,
            R"({"sites": [{"name": "s", "nodes": [{"name": "n", "url": "u", "markers": {"row": ["<tr>", ""], "title": ["a", "b"]}}]}]})"));
        const QString good = m_dir.filePath(u"good.json"_s);
        QVERIFY(writeFile(good, R"({"sites": [{"name": "s"}]})"));
        const QString fresh = m_dir.filePath(u"fresh.dll"_s);
        const Run run = catalogTool({u"build"_s, bad, fresh});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains("row end marker is empty"));
        // An existing catalogue is left exactly as it was; wrong usage and unreadable input are refusals too.
        const QString existing = m_dir.filePath(u"existing.dll"_s);
        QCOMPARE(catalogTool({u"build"_s, good, existing}).exitCode, 0);
        const QByteArray before = readFile(existing);
        QCOMPARE(catalogTool({u"build"_s, bad, existing}).exitCode, 2);
        QCOMPARE(readFile(existing), before);
        QCOMPARE(catalogTool({u"build"_s, m_dir.filePath(u"none.json"_s), fresh}).exitCode, 2);
        QCOMPARE(catalogTool({u"frobnicate"_s}).exitCode, 2);
        QVERIFY(!QFile::exists(fresh) && !QFile::exists(fresh + u".partial"_s));
    }

    void checkListsWhatIsSkipped()
    {
        const QString path = m_dir.filePath(u"broken.dll"_s);
        CatalogBuilder catalog(path);
        QVERIFY(catalog.raw(u"INSERT INTO tb_site VALUES(%1, 'abc', '', x'00ff', x'', '', '', '');"_s.arg(
            CatalogBuilder::blob(u"站"_s))));
        const QString markers = u"'', '', '', '', '', '', '', '', '', ''"_s;
        // Row 1: TEXT keys. Row 2: empty row end, broken address. Row 3: a site that does not exist.
        QVERIFY(catalog.raw(
            u"INSERT INTO tb_node VALUES(%1, %2, '', %3), (%4, %5, 'not base64!', %3), (%6, %7, '', %3);"_s.arg(
                CatalogBuilder::text(u"站"_s), CatalogBuilder::text(u"a"_s), markers, CatalogBuilder::blob(u"站"_s),
                CatalogBuilder::blob(u"b"_s), CatalogBuilder::blob(u"无"_s), CatalogBuilder::blob(u"c"_s))));
        const Run run = catalogTool({u"check"_s, path});
        QCOMPARE(run.exitCode, 1);
        const QString report = QString::fromUtf8(run.out);
        for (const char *expected :
             {"tb_site row 1 (站): site_url is not valid base64",
              "tb_site row 1 (站): site_favicon is not a loadable image",
              "tb_node row 1 (站 / a): site_name is stored as TEXT",
              "tb_node row 1 (站 / a): node_name is stored as TEXT",
              "tb_node row 2 (站 / b): node_url is not valid base64", "tb_node row 2 (站 / b): row_end is empty",
              "tb_node row 3 (无 / c): no site in tb_site",
              "tb_node row 1 (站 / a): node_url is not an http or https address"})
            QVERIFY2(report.contains(QString::fromUtf8(expected)), qPrintable(expected + u"\n"_s + report));
        QVERIFY(!report.contains(u"site_logo"_s));
        // Something that is no catalogue at all.
        const QString other = m_dir.filePath(u"other.dll"_s);
        QVERIFY(rawExec(other, u"CREATE TABLE x(y);"_s));
        for (const QString &command : {u"check"_s, u"dump"_s}) {
            QCOMPARE(catalogTool({command, other}).exitCode, 2);
            QCOMPARE(catalogTool({command, m_dir.filePath(u"missing.dll"_s)}).exitCode, 2);
        }
        QVERIFY(!QFile::exists(m_dir.filePath(u"missing.dll"_s)));
    }

    void tryCutsANodePage()
    {
        TestHttpServer server;
        const QString path = m_dir.filePath(u"try.dll"_s);
        CatalogBuilder catalog(path);
        QVERIFY(catalog.node(u"蜂巢"_s, u"Logo设计"_s, server.url(u"/list"_s), listMarkers));
        QVERIFY(catalog.node(u"蜂巢"_s, u"moved"_s, server.url(u"/moved"_s), listMarkers));
        TestHttpServer::Response list;
        list.body = listPage({u"企业 Logo &amp; 名片"_s, u"网站"_s});
        server.setResponse(u"/list"_s, list);
        server.setResponse(u"/moved"_s, TestHttpServer::Response{301, {}, {{"Location", "/list"}}, 0, false, 0, 0});
        // One task a line, as JSON; a saved page gives the same lines.
        const Run run = catalogTool({u"try"_s, path, u"蜂巢"_s, u"Logo设计"_s});
        QCOMPARE(run.exitCode, 0);
        const QList<QByteArray> lines = run.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(lines[0]).object().value(u"task_name"_s).toString(), u"企业 Logo & 名片"_s);
        const QString saved = m_dir.filePath(u"saved.html"_s);
        QVERIFY(writeFile(saved, list.body));
        QCOMPARE(catalogTool({u"try"_s, path, u"蜂巢"_s, u"Logo设计"_s, u"--page"_s, saved}).out, run.out);
        QVERIFY(run.err.contains("HTTP status 200, ") && run.err.contains("bytes, read as UTF-8"));
        // A redirection yields nothing and is not followed, and the author reads why; an error status fails.
        const Run redirected = catalogTool({u"try"_s, path, u"蜂巢"_s, u"moved"_s});
        QCOMPARE(redirected.exitCode, 0);
        QVERIFY(redirected.out.isEmpty() && redirected.err.contains("redirections are not followed"));
        QVERIFY(redirected.err.contains("row_begin \"<li>\" is not found"));
        QVERIFY(catalog.node(u"蜂巢"_s, u"down"_s, server.url(u"/down"_s), listMarkers));
        QCOMPARE(catalogTool({u"try"_s, path, u"蜂巢"_s, u"down"_s}).exitCode, 1);
        // An unknown site or node is refused without a request.
        const Run unknown = catalogTool({u"try"_s, path, u"蜂巢"_s, u"无此节点"_s});
        QCOMPARE(unknown.exitCode, 2);
        QVERIFY(QString::fromUtf8(unknown.err).contains(u"no node \"无此节点\" on site \"蜂巢\""_s));
        QCOMPARE(catalogTool({u"try"_s, path, u"无"_s, u"Logo设计"_s}).exitCode, 2);
        QVERIFY(catalog.node(u"蜂巢"_s, u"local"_s, u"file:///etc/passwd"_s, listMarkers));
        QCOMPARE(catalogTool({u"try"_s, path, u"蜂巢"_s, u"local"_s}).exitCode, 2);
        QCOMPARE(server.requests().size(), 3);
    }

    void addCopiesACheckedSiteFile()
    {
        Sandbox sandbox;
        const QString good = m_dir.filePath(u"mine.json"_s);
        QVERIFY(writeFile(good, R"({"sites": [{"name": "我的站"}]})"));
        const QString bad = m_dir.filePath(u"bad.json"_s);
        QVERIFY(writeFile(bad, R"({"sites": [{"url": "x"}]})"));
        QCOMPARE(catalogTool({u"add"_s, bad}).exitCode, 2);
        QCOMPARE(catalogTool({u"add"_s, good}).exitCode, 0);
        QCOMPARE(QDir(UserSites::folder()).entryList(QDir::Files), QStringList{u"mine.json"_s});
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestTools)
#include "tst_tools.moc"
