#include "catalogcodec.h"
#include "paths.h"
#include "query.h"
#include "sitedb.h"
#include "taskopenurl.h"
#include "testenv.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace CatalogCodec;

namespace {

QByteArray pngBytes(int size, Qt::GlobalColor color)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QString blobLiteral(const QByteArray &bytes)
{
    return u"x'%1'"_s.arg(QString::fromLatin1(bytes.toHex()));
}

// A tb_site row with every text field encoded and both images given as raw bytes.
QString siteRow(const QString &name, const QString &info, const QByteArray &favicon, const QByteArray &logo,
                const QString &prefix = QString(), const QString &suffix = QString())
{
    return u"INSERT INTO tb_site VALUES(%1, %2, %3, %4, %5, %6, %7, %8);"_s.arg(
        encodedBlob(name), encodedText(u"http://"_s + name), encodedText(u"reg"_s), blobLiteral(favicon),
        blobLiteral(logo), info, encodedText(prefix), encodedText(suffix));
}

// A tb_node row whose ten markers are m0..m9 except where markers overrides them.
QString nodeRow(const QString &siteKey, const QString &nodeKey, const QStringList &markers = QStringList())
{
    QStringList values;
    for (int i = 0; i < 10; ++i)
        values << encodedText(i < markers.size() ? markers[i] : u"m%1"_s.arg(i));
    return u"INSERT INTO tb_node VALUES(%1, %2, %3, %4);"_s.arg(siteKey, nodeKey, encodedText(u"http://h/list"_s),
                                                                values.join(u", "_s));
}

} // namespace

class TestSiteDb : public QObject
{
    Q_OBJECT

private slots:
    void strictBase64();
    void readsSitesAndNodes();
    void nodeRules();
    void openUrlPartsLaterRowWins();
    void unreadableCatalogues_data();
    void unreadableCatalogues();
    void siteWithUnreadableNodesIsDropped();
    void hostileCatalogue();
    void taskOpenUrlLoadsOnce();

private:
    QTemporaryDir m_dir;
};

void TestSiteDb::strictBase64()
{
    QCOMPARE(decodeText("5Lit5paH"), u"中文"_s);
    QCOMPARE(decodeText("YQ=="), u"a"_s);
    QCOMPARE(decodeText("YWI="), u"ab"_s);
    QCOMPARE(decodeText("YWJj"), u"abc"_s);
    // Wrong length, foreign characters and misplaced padding all decode to nothing.
    for (const char *bad : {"abc", "YWJjZA", "YWJj\n", "YW J", "YW-j", "Y===", "YQ=A", "=YWJ", "YQ==YQ==", "===="})
        QVERIFY2(decodeBase64(bad).isEmpty(), bad);
    QVERIFY(decodeBase64(QByteArray()).isEmpty());
    QCOMPARE(encodeText(u"中文"_s), QByteArray("5Lit5paH"));
    QCOMPARE(decodeText(encodeText(u"猪八戒网 & <b>"_s)), u"猪八戒网 & <b>"_s);
}

void TestSiteDb::readsSitesAndNodes()
{
    const QString path = m_dir.filePath(u"sites.dll"_s);
    QVERIFY(createCatalog(path));
    const QByteArray favicon = pngBytes(16, Qt::red);
    QVERIFY(rawExec(path, siteRow(u"一品威客"_s, encodedText(u"说明"_s), favicon, pngBytes(40, Qt::blue))));
    // Three-letter info (not a multiple of 4) and images that are not images.
    QVERIFY(rawExec(path, siteRow(u"Empty"_s, u"'abc'"_s, "junk", QByteArray())));
    const QString key = encodedBlob(u"一品威客"_s);
    // Inserted in reverse name order: the list keeps rowid order.
    QVERIFY(rawExec(path, nodeRow(key, encodedBlob(u"z 最后"_s))));
    QVERIFY(rawExec(path, nodeRow(key, encodedBlob(u"a 开头"_s))));
    // Keys stored as TEXT are never found.
    QVERIFY(rawExec(path, nodeRow(encodedText(u"一品威客"_s), encodedText(u"text key"_s))));
    QVERIFY(rawExec(path, nodeRow(key, encodedText(u"text node"_s))));

    SiteDb db(path);
    QCOMPARE(db.siteNames(), (QStringList{u"一品威客"_s, u"Empty"_s}));
    QList<SiteData> sites{SiteData()};
    QVERIFY(db.sites(sites));
    QCOMPARE(sites.size(), 2);
    const SiteData &first = sites[0];
    QCOMPARE(first.site_url, u"http://一品威客"_s);
    QCOMPARE(first.site_register_url, u"reg"_s);
    QCOMPARE(first.site_info, u"说明"_s);
    // The row under a TEXT site key is not listed; a BLOB site key lists its node whatever the node key's class.
    QCOMPARE(first.node_names, (QStringList{u"z 最后"_s, u"a 开头"_s, u"text node"_s}));
    QCOMPARE(first.favicon.availableSizes(), QList<QSize>{QSize(16, 16)});
    QCOMPARE(first.logo.size(), QSize(40, 40));
    const SiteData &second = sites[1];
    QVERIFY(second.node_names.isEmpty());
    QVERIFY(second.site_info.isEmpty());
    QVERIFY(second.favicon.availableSizes().isEmpty());
    QVERIFY(second.logo.isNull());
}

void TestSiteDb::nodeRules()
{
    const QString path = m_dir.filePath(u"rules.dll"_s);
    QVERIFY(createCatalog(path));
    const QString site = encodedBlob(u"站"_s);
    QStringList markers = {u"<table>"_s, QString(), u"<tr>"_s, u"</tr>"_s};
    QVERIFY(rawExec(path, nodeRow(site, encodedBlob(u"设计"_s), markers)));
    QVERIFY(rawExec(path, nodeRow(site, encodedBlob(u"设计"_s), {u"second"_s})));
    QVERIFY(rawExec(path, nodeRow(site, encodedText(u"文案"_s))));

    SiteDb db(path);
    NodeRule rule;
    QVERIFY(db.nodeRule(u"站"_s, u"设计"_s, rule));
    QCOMPARE(rule.node_url, u"http://h/list"_s);
    // The first matching row; an empty marker keeps its place.
    QCOMPARE(rule.rules, (QStringList{u"<table>"_s, QString(), u"<tr>"_s, u"</tr>"_s, u"m4"_s, u"m5"_s, u"m6"_s,
                                      u"m7"_s, u"m8"_s, u"m9"_s}));
    NodeRule missing;
    QVERIFY(!db.nodeRule(u"站"_s, u"文案"_s, missing));
    QVERIFY(!db.nodeRule(u"设计"_s, u"站"_s, missing));
    QVERIFY(missing.node_url.isEmpty() && missing.rules.isEmpty());
}

void TestSiteDb::openUrlPartsLaterRowWins()
{
    const QString path = m_dir.filePath(u"open.dll"_s);
    QVERIFY(createCatalog(path));
    QVERIFY(rawExec(path, siteRow(u"A"_s, u"''"_s, {}, {}, u"old"_s)));
    QVERIFY(rawExec(path, siteRow(u"B"_s, u"''"_s, {}, {}, u"go?u="_s, u"&f=k"_s)));
    QVERIFY(rawExec(path, siteRow(u"A"_s, u"''"_s, {}, {}, u"new"_s)));
    SiteDb db(path);
    OpenUrlTable table{{u"stale"_s, OpenUrlParts()}};
    QVERIFY(db.openUrlParts(table));
    QCOMPARE(table.size(), 2);
    QCOMPARE(table.value(u"A"_s).prefix, u"new"_s);
    QCOMPARE(table.value(u"B"_s).prefix, u"go?u="_s);
    QCOMPARE(table.value(u"B"_s).suffix, u"&f=k"_s);
}

void TestSiteDb::unreadableCatalogues_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("sitesOk");
    QTest::newRow("missing file") << QString() << false;
    QTest::newRow("not a database") << u"garbage"_s << false;
    QTest::newRow("no tables") << u"CREATE TABLE other(x);"_s << false;
    QTest::newRow("zero sites") << u"catalog"_s << true;
}

void TestSiteDb::unreadableCatalogues()
{
    QFETCH(QString, setup);
    QFETCH(bool, sitesOk);
    const QString path = m_dir.filePath(u"bad-%1.dll"_s.arg(QTest::currentDataTag()));
    if (setup == u"garbage"_s) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, '\x7f'));
    } else if (setup == u"catalog"_s) {
        QVERIFY(createCatalog(path));
    } else if (!setup.isEmpty()) {
        for (const QString &sql : setup.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            QVERIFY(rawExec(path, sql + QLatin1Char(';')));
    }
    SiteDb db(path);
    QVERIFY(db.siteNames().isEmpty());
    QList<SiteData> sites{SiteData()};
    QCOMPARE(db.sites(sites), sitesOk);
    QVERIFY(sites.isEmpty());
    OpenUrlTable table{{u"x"_s, OpenUrlParts()}};
    QCOMPARE(db.openUrlParts(table), sitesOk && setup != u"no tables"_s);
    QVERIFY(table.isEmpty());
    NodeRule rule;
    QVERIFY(!db.nodeRule(u"A"_s, u"n"_s, rule));
    // The catalogue is never created or written.
    QCOMPARE(QFile::exists(path), !setup.isEmpty());
}

void TestSiteDb::siteWithUnreadableNodesIsDropped()
{
    const QString path = m_dir.filePath(u"nonodes.dll"_s);
    QVERIFY(rawExec(path, QStringLiteral("CREATE TABLE tb_site(site_name, site_url, site_register_url, site_favicon, "
                                         "site_logo, site_info, open_url_prefix, open_url_suffix);")));
    QVERIFY(rawExec(path, siteRow(u"A"_s, u"''"_s, {}, {})));
    SiteDb db(path);
    QCOMPARE(db.siteNames(), QStringList{u"A"_s});
    QList<SiteData> sites;
    QVERIFY(db.sites(sites));
    QVERIFY(sites.isEmpty());
}

void TestSiteDb::hostileCatalogue()
{
    // A catalogue whose site table is a view over a function with side effects reads as unreadable, not as a
    // place to run code; a plain view still reads.
    const QString path = m_dir.filePath(u"hostile.dll"_s);
    QVERIFY(rawExec(path, u"CREATE VIEW tb_site AS SELECT fts3_tokenizer('simple') AS site_name;"_s));
    SiteDb db(path);
    QVERIFY(db.siteNames().isEmpty());
    Query pragma(db, u"PRAGMA trusted_schema;"_s);
    QVERIFY(pragma.exec() && pragma.next());
    QCOMPARE(pragma.value(0).toLongLong(), 0);

    const QString viewPath = m_dir.filePath(u"view.dll"_s);
    QVERIFY(rawExec(viewPath, u"CREATE VIEW tb_site AS SELECT 'QQ==' AS site_name;"_s));
    SiteDb viewDb(viewPath);
    QCOMPARE(viewDb.siteNames(), QStringList{u"A"_s});
}

void TestSiteDb::taskOpenUrlLoadsOnce()
{
    const QString path = appFilePath(u"sdb.dll"_s);
    QFile::remove(path);
    TaskData task;
    task.site_name = u"B"_s;
    task.task_url = u"http://h/task/1"_s;
    task.note_url = u"http://h/list"_s;
    // No catalogue, then an empty one: bare addresses, and each call looks again.
    QCOMPARE(taskOpenUrl(task), u"http://h/task/1"_s);
    QVERIFY(createCatalog(path));
    QCOMPARE(taskOpenUrl(task), u"http://h/task/1"_s);
    QVERIFY(rawExec(path, siteRow(u"B"_s, u"''"_s, {}, {}, u"go?u="_s, u"&f=k"_s)));
    QCOMPARE(taskOpenUrl(task), u"go?u=http://h/task/1&f=k"_s);
    TaskData noAddress = task;
    noAddress.task_url.clear();
    QCOMPARE(taskOpenUrl(noAddress), u"go?u=http://h/list&f=k"_s);
    TaskData otherSite = task;
    otherSite.site_name = u"unknown"_s;
    QCOMPARE(taskOpenUrl(otherSite), u"http://h/task/1"_s);
    // Once filled, the table is not read again.
    QVERIFY(rawExec(path, u"DELETE FROM tb_site;"_s));
    QCOMPARE(taskOpenUrl(task), u"go?u=http://h/task/1&f=k"_s);
    QFile::remove(path);
}

QTEST_MAIN(TestSiteDb)
#include "tst_sitedb.moc"
