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
    return QStringLiteral("x'%1'").arg(QString::fromLatin1(bytes.toHex()));
}

// A tb_site row with every text field encoded and both images given as raw bytes.
QString siteRow(const QString &name, const QString &info, const QByteArray &favicon, const QByteArray &logo,
                const QString &prefix = QString(), const QString &suffix = QString())
{
    return QStringLiteral("INSERT INTO tb_site VALUES(%1, %2, %3, %4, %5, %6, %7, %8);")
        .arg(encodedBlob(name), encodedText(QStringLiteral("http://") + name), encodedText(QStringLiteral("reg")),
             blobLiteral(favicon), blobLiteral(logo), info, encodedText(prefix), encodedText(suffix));
}

// A tb_node row whose ten markers are m0..m9 except where markers overrides them.
QString nodeRow(const QString &siteKey, const QString &nodeKey, const QStringList &markers = QStringList())
{
    QStringList values;
    for (int i = 0; i < 10; ++i)
        values << encodedText(i < markers.size() ? markers[i] : QStringLiteral("m%1").arg(i));
    return QStringLiteral("INSERT INTO tb_node VALUES(%1, %2, %3, %4);")
        .arg(siteKey, nodeKey, encodedText(QStringLiteral("http://h/list")), values.join(QStringLiteral(", ")));
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
    QCOMPARE(decodeText("5Lit5paH"), QStringLiteral("中文"));
    QCOMPARE(decodeText("YQ=="), QStringLiteral("a"));
    QCOMPARE(decodeText("YWI="), QStringLiteral("ab"));
    QCOMPARE(decodeText("YWJj"), QStringLiteral("abc"));
    // Wrong length, foreign characters and misplaced padding all decode to nothing.
    for (const char *bad : {"abc", "YWJjZA", "YWJj\n", "YW J", "YW-j", "Y===", "YQ=A", "=YWJ", "YQ==YQ==", "===="})
        QVERIFY2(decodeBase64(bad).isEmpty(), bad);
    QVERIFY(decodeBase64(QByteArray()).isEmpty());
    QCOMPARE(encodeText(QStringLiteral("中文")), QByteArray("5Lit5paH"));
    QCOMPARE(decodeText(encodeText(QStringLiteral("猪八戒网 & <b>"))), QStringLiteral("猪八戒网 & <b>"));
}

void TestSiteDb::readsSitesAndNodes()
{
    const QString path = m_dir.filePath(QStringLiteral("sites.dll"));
    QVERIFY(createCatalog(path));
    const QByteArray favicon = pngBytes(16, Qt::red);
    QVERIFY(rawExec(path, siteRow(QStringLiteral("一品威客"), encodedText(QStringLiteral("说明")), favicon,
                                  pngBytes(40, Qt::blue))));
    // Three-letter info (not a multiple of 4) and images that are not images.
    QVERIFY(rawExec(path, siteRow(QStringLiteral("Empty"), QStringLiteral("'abc'"), "junk", QByteArray())));
    const QString key = encodedBlob(QStringLiteral("一品威客"));
    // Inserted in reverse name order: the list keeps rowid order.
    QVERIFY(rawExec(path, nodeRow(key, encodedBlob(QStringLiteral("z 最后")))));
    QVERIFY(rawExec(path, nodeRow(key, encodedBlob(QStringLiteral("a 开头")))));
    // Keys stored as TEXT are never found.
    QVERIFY(rawExec(path, nodeRow(encodedText(QStringLiteral("一品威客")), encodedText(QStringLiteral("text key")))));
    QVERIFY(rawExec(path, nodeRow(key, encodedText(QStringLiteral("text node")))));

    SiteDb db(path);
    QCOMPARE(db.siteNames(), (QStringList{QStringLiteral("一品威客"), QStringLiteral("Empty")}));
    QList<SiteData> sites{SiteData()};
    QVERIFY(db.sites(sites));
    QCOMPARE(sites.size(), 2);
    const SiteData &first = sites[0];
    QCOMPARE(first.site_url, QStringLiteral("http://一品威客"));
    QCOMPARE(first.site_register_url, QStringLiteral("reg"));
    QCOMPARE(first.site_info, QStringLiteral("说明"));
    // The row under a TEXT site key is not listed; a BLOB site key lists its node whatever the node key's class.
    QCOMPARE(first.node_names,
             (QStringList{QStringLiteral("z 最后"), QStringLiteral("a 开头"), QStringLiteral("text node")}));
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
    const QString path = m_dir.filePath(QStringLiteral("rules.dll"));
    QVERIFY(createCatalog(path));
    const QString site = encodedBlob(QStringLiteral("站"));
    QStringList markers = {QStringLiteral("<table>"), QString(), QStringLiteral("<tr>"), QStringLiteral("</tr>")};
    QVERIFY(rawExec(path, nodeRow(site, encodedBlob(QStringLiteral("设计")), markers)));
    QVERIFY(rawExec(path, nodeRow(site, encodedBlob(QStringLiteral("设计")), {QStringLiteral("second")})));
    QVERIFY(rawExec(path, nodeRow(site, encodedText(QStringLiteral("文案")))));

    SiteDb db(path);
    NodeRule rule;
    QVERIFY(db.nodeRule(QStringLiteral("站"), QStringLiteral("设计"), rule));
    QCOMPARE(rule.node_url, QStringLiteral("http://h/list"));
    // The first matching row; an empty marker keeps its place.
    QCOMPARE(rule.rules,
             (QStringList{QStringLiteral("<table>"), QString(), QStringLiteral("<tr>"), QStringLiteral("</tr>"),
                          QStringLiteral("m4"), QStringLiteral("m5"), QStringLiteral("m6"), QStringLiteral("m7"),
                          QStringLiteral("m8"), QStringLiteral("m9")}));
    NodeRule missing;
    QVERIFY(!db.nodeRule(QStringLiteral("站"), QStringLiteral("文案"), missing));
    QVERIFY(!db.nodeRule(QStringLiteral("设计"), QStringLiteral("站"), missing));
    QVERIFY(missing.node_url.isEmpty() && missing.rules.isEmpty());
}

void TestSiteDb::openUrlPartsLaterRowWins()
{
    const QString path = m_dir.filePath(QStringLiteral("open.dll"));
    QVERIFY(createCatalog(path));
    QVERIFY(rawExec(path, siteRow(QStringLiteral("A"), QStringLiteral("''"), {}, {}, QStringLiteral("old"))));
    QVERIFY(rawExec(path, siteRow(QStringLiteral("B"), QStringLiteral("''"), {}, {}, QStringLiteral("go?u="),
                                  QStringLiteral("&f=k"))));
    QVERIFY(rawExec(path, siteRow(QStringLiteral("A"), QStringLiteral("''"), {}, {}, QStringLiteral("new"))));
    SiteDb db(path);
    OpenUrlTable table{{QStringLiteral("stale"), OpenUrlParts()}};
    QVERIFY(db.openUrlParts(table));
    QCOMPARE(table.size(), 2);
    QCOMPARE(table.value(QStringLiteral("A")).prefix, QStringLiteral("new"));
    QCOMPARE(table.value(QStringLiteral("B")).prefix, QStringLiteral("go?u="));
    QCOMPARE(table.value(QStringLiteral("B")).suffix, QStringLiteral("&f=k"));
}

void TestSiteDb::unreadableCatalogues_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("sitesOk");
    QTest::newRow("missing file") << QString() << false;
    QTest::newRow("not a database") << QStringLiteral("garbage") << false;
    QTest::newRow("no tables") << QStringLiteral("CREATE TABLE other(x);") << false;
    QTest::newRow("zero sites") << QStringLiteral("catalog") << true;
}

void TestSiteDb::unreadableCatalogues()
{
    QFETCH(QString, setup);
    QFETCH(bool, sitesOk);
    const QString path = m_dir.filePath(QStringLiteral("bad-%1.dll").arg(QTest::currentDataTag()));
    if (setup == QStringLiteral("garbage")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, '\x7f'));
    } else if (setup == QStringLiteral("catalog")) {
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
    OpenUrlTable table{{QStringLiteral("x"), OpenUrlParts()}};
    QCOMPARE(db.openUrlParts(table), sitesOk && setup != QStringLiteral("no tables"));
    QVERIFY(table.isEmpty());
    NodeRule rule;
    QVERIFY(!db.nodeRule(QStringLiteral("A"), QStringLiteral("n"), rule));
    // The catalogue is never created or written.
    QCOMPARE(QFile::exists(path), !setup.isEmpty());
}

void TestSiteDb::siteWithUnreadableNodesIsDropped()
{
    const QString path = m_dir.filePath(QStringLiteral("nonodes.dll"));
    QVERIFY(rawExec(path, QStringLiteral("CREATE TABLE tb_site(site_name, site_url, site_register_url, site_favicon, "
                                         "site_logo, site_info, open_url_prefix, open_url_suffix);")));
    QVERIFY(rawExec(path, siteRow(QStringLiteral("A"), QStringLiteral("''"), {}, {})));
    SiteDb db(path);
    QCOMPARE(db.siteNames(), QStringList{QStringLiteral("A")});
    QList<SiteData> sites;
    QVERIFY(db.sites(sites));
    QVERIFY(sites.isEmpty());
}

void TestSiteDb::hostileCatalogue()
{
    // A catalogue whose site table is a view over a function with side effects reads as unreadable, not as a
    // place to run code; a plain view still reads.
    const QString path = m_dir.filePath(QStringLiteral("hostile.dll"));
    QVERIFY(rawExec(path, QStringLiteral("CREATE VIEW tb_site AS SELECT fts3_tokenizer('simple') AS site_name;")));
    SiteDb db(path);
    QVERIFY(db.siteNames().isEmpty());
    Query pragma(db, QStringLiteral("PRAGMA trusted_schema;"));
    QVERIFY(pragma.exec() && pragma.next());
    QCOMPARE(pragma.value(0).toLongLong(), 0);

    const QString viewPath = m_dir.filePath(QStringLiteral("view.dll"));
    QVERIFY(rawExec(viewPath, QStringLiteral("CREATE VIEW tb_site AS SELECT 'QQ==' AS site_name;")));
    SiteDb viewDb(viewPath);
    QCOMPARE(viewDb.siteNames(), QStringList{QStringLiteral("A")});
}

void TestSiteDb::taskOpenUrlLoadsOnce()
{
    const QString path = appFilePath(QStringLiteral("sdb.dll"));
    QFile::remove(path);
    TaskData task;
    task.site_name = QStringLiteral("B");
    task.task_url = QStringLiteral("http://h/task/1");
    task.note_url = QStringLiteral("http://h/list");
    // No catalogue, then an empty one: bare addresses, and each call looks again.
    QCOMPARE(taskOpenUrl(task), QStringLiteral("http://h/task/1"));
    QVERIFY(createCatalog(path));
    QCOMPARE(taskOpenUrl(task), QStringLiteral("http://h/task/1"));
    QVERIFY(rawExec(path, siteRow(QStringLiteral("B"), QStringLiteral("''"), {}, {}, QStringLiteral("go?u="),
                                  QStringLiteral("&f=k"))));
    QCOMPARE(taskOpenUrl(task), QStringLiteral("go?u=http://h/task/1&f=k"));
    TaskData noAddress = task;
    noAddress.task_url.clear();
    QCOMPARE(taskOpenUrl(noAddress), QStringLiteral("go?u=http://h/list&f=k"));
    TaskData otherSite = task;
    otherSite.site_name = QStringLiteral("unknown");
    QCOMPARE(taskOpenUrl(otherSite), QStringLiteral("http://h/task/1"));
    // Once filled, the table is not read again.
    QVERIFY(rawExec(path, QStringLiteral("DELETE FROM tb_site;")));
    QCOMPARE(taskOpenUrl(task), QStringLiteral("go?u=http://h/task/1&f=k"));
    QFile::remove(path);
}

QTEST_MAIN(TestSiteDb)
#include "tst_sitedb.moc"
