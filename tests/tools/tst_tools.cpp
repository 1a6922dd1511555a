#include "catalogargs.h"
#include "demoargs.h"
#include "sites/catalogfile.h"
#include "sites/usersites.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int exitCode;
    QByteArray out, err;
};

Run catalogTool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(KESTROW_CATALOG_TOOL), arguments);
    const bool ended = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace

// The tools' command lines, and kestrow-catalog's commands as run: what they write, their exit codes and refusals.
class TestTools : public QObject
{
    Q_OBJECT

private slots:
    void buildDumpBuildIsIdentical()
    {
        const QString first = m_dir.filePath(u"first.dll"_s), second = m_dir.filePath(u"second.dll"_s);
        const QString json = m_dir.filePath(u"dump.json"_s);
        QCOMPARE(catalogTool({u"build"_s, QStringLiteral(KESTROW_DEMO_CATALOG), first}).exitCode, 0);
        const Run dump = catalogTool({u"dump"_s, first});
        QVERIFY(dump.exitCode == 0 && writeFile(json, dump.out));
        QCOMPARE(catalogTool({u"build"_s, json, second}).exitCode, 0);
        QCOMPARE(catalogTool({u"check"_s, second}).exitCode, 0);
        // Every stored value with its storage class, images stored raw as the files hold them.
        const QString rows = u"SELECT quote(site_name) || quote(site_logo) || quote(site_info) FROM tb_site UNION ALL "
                             "SELECT quote(node_name) || quote(node_url) || quote(row_end) FROM tb_node;"_s;
        QCOMPARE(rawColumn(second, rows), rawColumn(first, rows));
        QCOMPARE(rawColumn(first, rows).size(), 3 + 9);
        QList<CatalogSite> sites;
        QVERIFY(CatalogFile::read(second, sites, nullptr));
        const QString images = QFileInfo(QStringLiteral(KESTROW_DEMO_CATALOG)).absolutePath() + u"/images/"_s;
        QCOMPARE(sites[2].logo, readFile(images + u"spark-logo.png"_s));
    }

    void refusalsWriteNothing()
    {
        Sandbox sandbox;
        const QString bad = m_dir.filePath(u"bad.json"_s), good = m_dir.filePath(u"mine.json"_s);
        QVERIFY(writeFile(bad, R"({"sites": [{"name": "s", "nodes": [{"name": "n", "url": "u", )"
                               R"("markers": {"row": ["<tr>", ""], "title": ["a", "b"]}}]}]})"));
        QVERIFY(writeFile(good, R"({"sites": [{"name": "我的站"}]})"));
        const QString fresh = m_dir.filePath(u"fresh.dll"_s), existing = m_dir.filePath(u"existing.dll"_s);
        const Run run = catalogTool({u"build"_s, bad, fresh});
        QVERIFY(run.exitCode == 2 && run.err.contains("row end marker is empty"));
        // An existing catalogue is left exactly as it was; unreadable input is refused too.
        QCOMPARE(catalogTool({u"build"_s, good, existing}).exitCode, 0);
        const QByteArray before = readFile(existing);
        QCOMPARE(catalogTool({u"build"_s, bad, existing}).exitCode, 2);
        QCOMPARE(readFile(existing), before);
        QCOMPARE(catalogTool({u"build"_s, m_dir.filePath(u"none.json"_s), fresh}).exitCode, 2);
        QVERIFY(!QFile::exists(fresh) && !QFile::exists(fresh + u".partial"_s));
        // Something that is no catalogue at all, or nothing.
        const QString other = m_dir.filePath(u"other.dll"_s), missing = m_dir.filePath(u"missing.dll"_s);
        QVERIFY(rawExec(other, u"CREATE TABLE x(y);"_s));
        for (const QString &command : {u"check"_s, u"dump"_s}) {
            QCOMPARE(catalogTool({command, other}).exitCode, 2);
            QCOMPARE(catalogTool({command, missing}).exitCode, 2);
        }
        QVERIFY(!QFile::exists(missing));
        // add copies only a site file that checks out into the user's sites.
        QCOMPARE(catalogTool({u"add"_s, bad}).exitCode, 2);
        QCOMPARE(catalogTool({u"add"_s, good}).exitCode, 0);
        QCOMPARE(QDir(UserSites::folder()).entryList(QDir::Files), QStringList{u"mine.json"_s});
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
    }

    void tryCutsANodePage()
    {
        TestHttpServer server;
        const QString path = m_dir.filePath(u"try.dll"_s);
        CatalogBuilder catalog(path);
        for (const QString &node : {u"list"_s, u"moved"_s, u"down"_s})
            QVERIFY(catalog.node(u"蜂巢"_s, node, server.url(u'/' + node), listMarkers));
        QVERIFY(catalog.node(u"蜂巢"_s, u"local"_s, u"file:///etc/passwd"_s, listMarkers));
        TestHttpServer::Response list;
        list.body = listPage({u"企业 Logo &amp; 名片"_s, u"网站"_s});
        server.setResponse(u"/list"_s, list);
        const QString saved = m_dir.filePath(u"saved.html"_s);
        QVERIFY(writeFile(saved, list.body));
        list.body.clear();
        list.status = 301;
        list.headers = {{"Location", "/list"}};
        server.setResponse(u"/moved"_s, list);
        // One task a line, as JSON; a saved page gives the same lines.
        const Run run = catalogTool({u"try"_s, path, u"蜂巢"_s, u"list"_s});
        QCOMPARE(run.exitCode, 0);
        const QList<QByteArray> lines = run.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(lines[0]).object().value(u"task_name"_s).toString(), u"企业 Logo & 名片"_s);
        QCOMPARE(catalogTool({u"try"_s, path, u"蜂巢"_s, u"list"_s, u"--page"_s, saved}).out, run.out);
        // A redirection yields nothing and is not followed, and the author reads why; an error status fails.
        const Run redirected = catalogTool({u"try"_s, path, u"蜂巢"_s, u"moved"_s});
        QVERIFY(redirected.exitCode == 0 && redirected.out.isEmpty() && redirected.err.contains("not followed"));
        QCOMPARE(catalogTool({u"try"_s, path, u"蜂巢"_s, u"down"_s}).exitCode, 1);
        // An unknown site or node, or an address that is not on the web, is refused without a request.
        const Run unknown = catalogTool({u"try"_s, path, u"蜂巢"_s, u"无此节点"_s});
        QVERIFY(unknown.exitCode == 2 &&
                QString::fromUtf8(unknown.err).contains(u"no node \"无此节点\" on site \"蜂巢\""_s));
        QCOMPARE(catalogTool({u"try"_s, path, u"无"_s, u"list"_s}).exitCode, 2);
        QCOMPARE(catalogTool({u"try"_s, path, u"蜂巢"_s, u"local"_s}).exitCode, 2);
        QCOMPARE(server.requests().size(), 3);
    }

    void commandLinesAndSiteFiles()
    {
        // kestrow-catalog: "arguments => the command, its operands, the page and the exit code".
        for (const QString &row : {u"build a.json b.dll => build a.json b.dll 0"_s,
                                   u"--page p.html try c.dll s n => try c.dll s n p.html 0"_s, u"--help => 0"_s,
                                   u"dump => 2"_s, u"check c.dll --page p => 2"_s, u"frobnicate => 2"_s, u" => 2"_s}) {
            const CatalogArgs args = CatalogArgs::parse(
                u"kestrow-catalog "_s.append(row.section(u" => "_s, 0, 0)).split(u' ', Qt::SkipEmptyParts));
            const QStringList settled =
                QStringList{args.command} + args.files + QStringList{args.page, QString::number(args.exitCode)};
            QCOMPARE(settled.join(u' ').simplified(), row.section(u" => "_s, 1));
            QVERIFY2(args.text.isEmpty() != args.command.isEmpty(), qPrintable(row));
        }
        // kestrow-demo-site, $XDG_DATA_HOME set where the row says: "arguments => serving port and interval, or
        // following catalogue, interval and data home; and the exit code".
        for (const QString &row : {u" => 8731 60 0"_s, u"--port 65535 --new-every 5 => 65535 5 0"_s, u"--port 0 => 2"_s,
                                   u"--port 65536 => 2"_s, u"show => 2"_s, u"XDG=/x --follow c.dll => c.dll 30 /x 0"_s,
                                   u"XDG=/x --follow c.dll 1 => c.dll 1 /x 0"_s, u"--follow c.dll => 2"_s,
                                   u"XDG=/x --follow c.dll --data /d => c.dll 30 /d 0"_s,
                                   u"XDG=/x --follow c.dll 0 => 2"_s, u"--data /d => 2"_s}) {
            QStringList arguments =
                u"kestrow-demo-site "_s.append(row.section(u" => "_s, 0, 0)).split(u' ', Qt::SkipEmptyParts);
            const QString home = arguments.value(1).startsWith(u"XDG="_s) ? arguments.takeAt(1).mid(4) : QString();
            const DemoArgs args = DemoArgs::parse(arguments, home);
            const QString settled = args.mode == DemoArgs::Serve ? u"%1 %2 "_s.arg(args.port).arg(args.newEverySeconds)
                                    : args.mode == DemoArgs::Follow
                                        ? u"%1 %2 %3 "_s.arg(args.catalog).arg(args.scanSeconds).arg(args.dataHome)
                                        : QString();
            QCOMPARE(settled + QString::number(args.exitCode), row.section(u" => "_s, 1));
        }
        // Site files the catalogue tool and the program refuse, and why.
        const QByteArray markers = R"("row": ["<tr>", "</tr>"], "title": ["a", "b"])";
        const QByteArray node = R"({"name": "n", "url": "u", "markers": {)" + markers + "}}";
        // Within the first site, after its name: nodes given, and nodes of one node with more keys and markers.
        const auto nodes = [](const QByteArray &list) { return ", \"nodes\": [" + list + "]"; };
        const auto with = [&](const QByteArray &keys, const QByteArray &marks) {
            return nodes(R"({"name": "n", "url": "u", )" + keys + R"("markers": {)" + marks + "}}");
        };
        const QList<QPair<QByteArray, QString>> refusals = {
            {",", u"malformed JSON at line 1"_s},
            {R"(}, {"url": "x")", u"\"name\" is missing"_s},
            {nodes(R"({"name": "n", "markers": {}})"), u"\"url\" is missing"_s},
            {with({}, R"("row": ["a", "b"])"), u"marker \"title\""_s},
            {with({}, R"("row": ["<tr>", ""], "title": ["a", "b"])"), u"row end marker is empty"_s},
            {R"(}, {"name": "s")", u"two sites are named \"s\""_s},
            {nodes(node + ", " + node), u"two nodes are named"_s},
            {R"(, "logo": "images/none.png")", u"cannot be read"_s},
            {R"(, "favicon_base64": "@@@")", u"is not base64"_s},
            {R"(, "urll": "x")", u"unknown key"_s},
            {with(R"("urll": "x", )", markers), u"unknown key"_s},
            {with({}, R"("prise": ["a", "b"], )" + markers), u"unknown key"_s}};
        for (const auto &[site, reason] : refusals) {
            QList<CatalogSite> parsed;
            QString error;
            QVERIFY(!CatalogFile::parseJson(R"({"sites": [{"name": "s")" + site + "}]}", m_dir.path(), parsed, &error));
            QVERIFY2(error.contains(reason), qPrintable(error));
        }
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestTools)
#include "tst_tools.moc"
