#include "sites/catalog.h"
#include "sites/catalogcodec.h"
#include "sites/catalogschema.h"
#include "sites/sitedb.h"
#include "sites/usersites.h"
#include "store/query.h"
#include "support/sandbox.h"

#include <QBuffer>
#include <QImage>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG") ? bytes : QByteArray();
}

} // namespace

class TestSiteDb : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void strictBase64()
    {
        for (const auto &[stored, text] : {std::pair{"5Lit5paH", u"中文"_s}, {"YQ==", u"a"_s}, {"YWI=", u"ab"_s}})
            QVERIFY(CatalogCodec::decodeText(stored) == text && CatalogCodec::encodeText(text) == stored);
        // Wrong length, foreign characters and misplaced padding all read as nothing.
        for (const char *bad : {"abc", "YWJjZA", "YWJj\n", "YW J", "YW-j", "Y===", "YQ=A", "=YWJ", "YQ==YQ==", "===="})
            QVERIFY2(CatalogCodec::decodeBase64(bad).isEmpty(), bad);
    }

    void readsSitesAndNodes()
    {
        const QString path = m_dir.filePath(u"sites.dll"_s);
        CatalogBuilder catalog(path);
        QVERIFY(catalog.site(u"一品威客"_s, {u"http://a/"_s, u"说明"_s, u"old"_s}, png(16, 16), png(40, 40)));
        // Info of three letters (no base64) and images that are not images.
        QVERIFY(catalog.raw(u"INSERT INTO tb_site(site_name, site_info, site_favicon) VALUES(%1, 'abc', 'junk');"_s.arg(
            CatalogBuilder::blob(u"Empty"_s))));
        // Nodes keep rowid order; a node under a TEXT site key is never listed, a TEXT node key under a BLOB site is.
        QVERIFY(catalog.node(u"一品威客"_s, u"z 最后"_s, u"http://h/list"_s, listMarkers));
        QVERIFY(catalog.node(u"一品威客"_s, u"a 开头"_s, u"http://h/list"_s, listMarkers));
        QVERIFY(catalog.raw(u"INSERT INTO tb_node(site_name, node_name) VALUES(%1, %2), (%3, %4);"_s.arg(
            CatalogBuilder::text(u"一品威客"_s), CatalogBuilder::text(u"text key"_s),
            CatalogBuilder::blob(u"一品威客"_s), CatalogBuilder::text(u"text node"_s))));
        // Images larger than an icon or logo can be are not decoded at all.
        QVERIFY(catalog.site(u"巨图"_s, {}, png(300, 300), png(2000, 1100)));
        // A later row of a site's name gives its open-address parts.
        QVERIFY(catalog.site(u"一品威客"_s, {QString(), QString(), u"new"_s, u"&f=k"_s}));

        SiteDb db(path);
        QCOMPARE(db.siteNames(), (QStringList{u"一品威客"_s, u"Empty"_s, u"巨图"_s, u"一品威客"_s}));
        QList<SiteData> sites{SiteData()};
        QVERIFY(db.sites(sites) && sites.size() == 4);
        QCOMPARE(sites[0].site_url + sites[0].site_info, u"http://a/说明"_s);
        QCOMPARE(sites[0].node_names, (QStringList{u"z 最后"_s, u"a 开头"_s, u"text node"_s}));
        QVERIFY(sites[0].favicon.availableSizes() == QList<QSize>{QSize(16, 16)} &&
                sites[0].logo.size() == QSize(40, 40));
        QVERIFY(sites[1].node_names.isEmpty() && sites[1].site_info.isEmpty());
        for (const SiteData &site : {sites[1], sites[2]})
            QVERIFY(site.favicon.availableSizes().isEmpty() && site.logo.isNull());
        OpenUrlTable parts{{u"stale"_s, OpenUrlParts()}};
        QVERIFY(db.openUrlParts(parts) && parts.size() == 3);
        QCOMPARE(parts.value(u"一品威客"_s).prefix + parts.value(u"一品威客"_s).suffix, u"new&f=k"_s);
    }

    void unreadableCatalogues()
    {
        const QString site = QString::fromLatin1(CatalogSchema::createSiteTable);
        const QString node = QString::fromLatin1(CatalogSchema::createNodeTable);
        const QString numbers = u"WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r%1) "_s;
        // Name, how the file is made (SQL, or none, garbage or an empty catalogue) → sites() and openUrlParts()
        // succeed, sites read. A site whose nodes cannot be read is left out. Views are no catalogue tables: one over
        // a function with side effects, one that never ends. Wrong types and NULLs read as empty texts and no images.
        // No catalogue has a thousand sites: one that claims more is not read. A value over 1 MiB costs its own site.
        const std::tuple<const char *, QString, bool, bool, int> cases[] = {
            {"missing file", {}, false, false, 0},
            {"not a database", u"garbage"_s, false, false, 0},
            {"no tables", u"CREATE TABLE other(x);"_s, false, false, 0},
            {"zero sites", u"catalog"_s, true, true, 0},
            {"no node table", site + u"INSERT INTO tb_site(site_name) VALUES(x'5151');"_s, true, true, 0},
            {"hostile view", u"CREATE VIEW tb_site AS SELECT fts3_tokenizer('simple') AS site_name;"_s, false, false,
             0},
            {"endless view",
             u"CREATE VIEW tb_site AS "_s + numbers.arg(QString()) +
                 u"SELECT n AS site_name, n AS open_url_prefix, n AS open_url_suffix FROM r;"_s,
             false, false, 0},
            {"plain view", u"CREATE VIEW tb_site AS SELECT 'QQ==' AS site_name;"_s, false, false, 0},
            {"upper-case view", u"CREATE VIEW TB_SITE AS SELECT 'QQ==' AS site_name;"_s, false, false, 0},
            {"wrong types, NULLs",
             site + node + u"INSERT INTO tb_site VALUES(42, NULL, 3.5, 'no image', NULL, x'00', NULL, 7);"_s, true,
             true, 1},
            {"100,000 sites",
             site + numbers.arg(u" LIMIT 100000"_s) + u"INSERT INTO tb_site(site_name) SELECT x'5151' FROM r;"_s, false,
             true, 0},
            {"10 MB field",
             site + node +
                 u"INSERT INTO tb_site(site_name, site_info) VALUES(x'5151', zeroblob(10000000)), (x'5152', NULL);"_s,
             true, true, 1},
        };
        for (const auto &[name, setup, sitesOk, partsOk, count] : cases) {
            const QString path = m_dir.filePath(QString::fromLatin1(name) + u".dll"_s);
            if (setup == u"garbage"_s)
                QVERIFY(writeFile(path, QByteArray(8192, '\x7f')));
            else if (setup == u"catalog"_s)
                CatalogBuilder{path};
            else if (!setup.isEmpty())
                QVERIFY2(rawExec(path, setup), name);
            SiteDb db(path);
            QList<SiteData> sites{SiteData()};
            OpenUrlTable table{{u"x"_s, OpenUrlParts()}};
            NodeRule rule;
            QVERIFY2(db.sites(sites) == sitesOk && sites.size() == count, name);
            QVERIFY2(db.openUrlParts(table) == partsOk && table.size() <= 1 && !db.nodeRule(u"A"_s, u"n"_s, rule),
                     name);
            // The catalogue is never created.
            QVERIFY2(QFile::exists(path) == !setup.isEmpty(), name);
        }
        // A read that never ends (a cross join, far beyond any real catalogue) is stopped; the connection trusts no
        // schema.
        SiteDb db(m_dir.filePath(u"100,000 sites.dll"_s));
        QVERIFY(!Query(db, u"SELECT COUNT(*) FROM tb_site a, tb_site b, tb_site c;"_s).exec());
        Query pragma(db, u"PRAGMA trusted_schema;"_s);
        QVERIFY(pragma.exec() && pragma.next() && pragma.value(0).toLongLong() == 0);
    }

    void taskOpenUrlLoadsOnce()
    {
        Sandbox sandbox(false);
        TaskData task = makeTask(u"1"_s, {}, u"B"_s), noAddress = task, unknown = task;
        noAddress.task_url.clear(), unknown.site_name = u"unknown"_s;
        const Catalog catalog;
        // No catalogue, then an empty one: bare addresses, and each call looks again.
        QCOMPARE(catalog.taskOpenUrl(task), task.task_url);
        CatalogBuilder builder;
        QCOMPARE(catalog.taskOpenUrl(task), task.task_url);
        QVERIFY(builder.site(u"B"_s, {QString(), QString(), u"go?u="_s, u"&f=k"_s}));
        QCOMPARE(catalog.taskOpenUrl(task), u"go?u=http://127.0.0.1/t/1&f=k"_s);
        QCOMPARE(catalog.taskOpenUrl(noAddress), u"go?u=http://127.0.0.1/list&f=k"_s);
        QCOMPARE(catalog.taskOpenUrl(unknown), unknown.task_url);
        // Once filled, the table is not read again.
        QVERIFY(builder.raw(u"DELETE FROM tb_site;"_s));
        QCOMPARE(catalog.taskOpenUrl(task), u"go?u=http://127.0.0.1/t/1&f=k"_s);
    }

    void userSites()
    {
        Sandbox sandbox;
        QVERIFY(CatalogBuilder().node(u"程序站"_s, u"n"_s, u"http://p/"_s, listMarkers));
        const auto site = [](const QString &name, const QString &marker = u"<li>"_s) {
            return u"{\"name\": \"%1\", \"nodes\": [{\"name\": \"n\", \"url\": \"http://u/\", \"markers\": "
                   "{\"row\": [\"%2\", \"</li>\"], \"title\": [\"<b>\", \"</b>\"]}}]}"_s.arg(name, marker);
        };
        const auto file = [](const QString &sites) { return u"{\"sites\": [%1]}"_s.arg(sites); };
        // Files in name order: good ones load after the program's sites, the others are left out with the reason.
        const std::pair<QString, QString> files[] = {
            {u"1-mine.json"_s, file(site(u"我的站"_s) + u", "_s + site(u"第二"_s))},
            {u"2-broken.json"_s, u"{\"sites\": ["_s},
            {u"3-no-url.json"_s, file(u"{\"name\": \"x\", \"nodes\": [{\"name\": \"n\"}]}"_s)},
            {u"4-huge.json"_s, file(site(u"大"_s, QString(100000, u'x')))},
            {u"5-program.json"_s, file(site(u"程序站"_s))},
            {u"6-again.json"_s, file(site(u"我的站"_s))},
            {u"7-later.json"_s, file(site(u"后来"_s))},
            {u"readme.txt"_s, u"not a site file"_s}};
        for (const auto &[name, text] : files)
            QVERIFY(writeFile(UserSites::folder() + u'/' + name, text.toUtf8()));
        UserSites::Outcome outcome = UserSites::prepare(Sandbox::catalogPath());
        QStringList reasons;
        for (const QString &line : std::as_const(outcome.skipped))
            reasons << line.section(u' ', 0, 1);
        QCOMPARE(reasons, (QStringList{u"2-broken.json: malformed"_s, u"3-no-url.json: site"_s, u"4-huge.json: site"_s,
                                       u"5-program.json: a"_s, u"6-again.json: a"_s}));
        QCOMPARE(SiteDb(outcome.catalog).siteNames(), (QStringList{u"程序站"_s, u"我的站"_s, u"第二"_s, u"后来"_s}));
        NodeRule rule;
        QVERIFY(SiteDb(outcome.catalog).nodeRule(u"第二"_s, u"n"_s, rule) && rule.node_url == u"http://u/"_s);
        // The cache is rebuilt only when a file changed, and the reasons are told again.
        const QDateTime built = QFileInfo(outcome.catalog).lastModified();
        QTest::qWait(20);
        QCOMPARE(UserSites::prepare(Sandbox::catalogPath()).skipped.size(), 5);
        QCOMPARE(QFileInfo(outcome.catalog).lastModified(), built);
        QVERIFY(QFile::remove(UserSites::folder() + u"/7-later.json"_s));
        QCOMPARE(SiteDb(UserSites::prepare(Sandbox::catalogPath()).catalog).siteNames().size(), 3);
        // A site saved in place of another keeps the rest of its file, under no name another site has; so does a
        // site removed.
        CatalogSite second;
        QString holder, again;
        QVERIFY(UserSites::find(u"第二"_s, second, &holder));
        second.name = u"程序站"_s;
        QVERIFY(!UserSites::save(second, u"第二"_s, Sandbox::catalogPath(), nullptr));
        second.name = u"第三"_s;
        QVERIFY(UserSites::save(second, u"第二"_s, Sandbox::catalogPath(), nullptr));
        QVERIFY(UserSites::find(u"我的站"_s, second, &again) && again == holder &&
                UserSites::remove(u"第三"_s, nullptr));
        QVERIFY(UserSites::find(u"我的站"_s, second, &again) && again == holder && !UserSites::find(u"第三"_s, second));
        // Without user files the program's catalogue is read as it is.
        QVERIFY(QDir(UserSites::folder()).removeRecursively());
        QCOMPARE(UserSites::prepare(Sandbox::catalogPath()).catalog, Sandbox::catalogPath());
    }
};

QTEST_MAIN(TestSiteDb)
#include "tst_sitedb.moc"
