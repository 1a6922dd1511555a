#include "catalogargs.h"
#include "demoargs.h"
#include "sites/catalogfile.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestToolArgs : public QObject
{
    Q_OBJECT

private slots:
    void catalogArgs_data();
    void catalogArgs();
    void demoArgs_data();
    void demoArgs();
    void unknownKeysAreRefused_data();
    void unknownKeysAreRefused();
};

// Each table gives what the arguments settle on (empty when they only make the tool print) and the exit code.
void TestToolArgs::catalogArgs_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("settled"); // the command, its operands, the page
    QTest::addColumn<int>("exitCode");
    QTest::newRow("build") << u"build a.json b.dll"_s << u"build a.json b.dll"_s << 0;
    QTest::newRow("try with a page") << u"--page p.html try c.dll s n"_s << u"try c.dll s n p.html"_s << 0;
    QTest::newRow("help") << u"--help"_s << QString() << 0;
    QTest::newRow("operand missing") << u"dump"_s << QString() << 2;
    QTest::newRow("page without try") << u"check c.dll --page p"_s << QString() << 2;
    QTest::newRow("unknown command") << u"frobnicate"_s << QString() << 2;
    QTest::newRow("nothing") << QString() << QString() << 2;
}

void TestToolArgs::catalogArgs()
{
    QFETCH(QString, arguments);
    const CatalogArgs args =
        CatalogArgs::parse(QStringList{u"kestrow-catalog"_s} + arguments.split(u' ', Qt::SkipEmptyParts));
    QTEST((QStringList{args.command} + args.files + QStringList{args.page}).join(u' ').trimmed(), "settled");
    QTEST(args.exitCode, "exitCode");
    QCOMPARE(args.text.isEmpty(), !args.command.isEmpty());
}

void TestToolArgs::demoArgs_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("settled"); // serving: port and interval; following: catalogue, interval, data home
    QTest::addColumn<int>("exitCode");
    QTest::newRow("serve") << QString() << QString() << u"8731 60"_s << 0;
    QTest::newRow("port and interval") << u"--port 65535 --new-every 5"_s << QString() << u"65535 5"_s << 0;
    QTest::newRow("port 0") << u"--port 0"_s << QString() << QString() << 2;
    QTest::newRow("port too high") << u"--port 65536"_s << QString() << QString() << 2;
    QTest::newRow("port no number") << u"--port http"_s << QString() << QString() << 2;
    QTest::newRow("stray word") << u"show"_s << QString() << QString() << 2;
    QTest::newRow("follow") << u"--follow c.dll"_s << u"/x"_s << u"c.dll 30 /x"_s << 0;
    QTest::newRow("follow, interval") << u"--follow c.dll 1"_s << u"/x"_s << u"c.dll 1 /x"_s << 0;
    QTest::newRow("follow, no data home") << u"--follow c.dll"_s << QString() << QString() << 2;
    QTest::newRow("follow, data named") << u"--follow c.dll --data /d"_s << u"/x"_s << u"c.dll 30 /d"_s << 0;
    QTest::newRow("follow, bad interval") << u"--follow c.dll 0"_s << u"/x"_s << QString() << 2;
    QTest::newRow("data alone") << u"--data /d"_s << QString() << QString() << 2;
}

void TestToolArgs::demoArgs()
{
    QFETCH(QString, arguments);
    QFETCH(QString, xdgDataHome);
    const DemoArgs args =
        DemoArgs::parse(QStringList{u"kestrow-demo-site"_s} + arguments.split(u' ', Qt::SkipEmptyParts), xdgDataHome);
    const QString settled = args.mode == DemoArgs::Serve ? u"%1 %2"_s.arg(args.port).arg(args.newEverySeconds)
                            : args.mode == DemoArgs::Follow
                                ? u"%1 %2 %3"_s.arg(args.catalog).arg(args.scanSeconds).arg(args.dataHome)
                                : QString();
    QTEST(settled, "settled");
    QTEST(args.exitCode, "exitCode");
}

void TestToolArgs::unknownKeysAreRefused_data()
{
    QTest::addColumn<QByteArray>("site");
    QTest::newRow("site") << QByteArray(R"({"name": "s", "urll": "x"})");
    QTest::newRow("node") << QByteArray(R"({"name": "s", "nodes": [{"name": "n", "url": "u", "urll": "x", "markers": )"
                                        R"({"row": ["a", "b"], "title": ["a", "b"]}}]})");
    QTest::newRow("marker") << QByteArray(R"({"name": "s", "nodes": [{"name": "n", "url": "u", "markers": )"
                                          R"({"row": ["a", "b"], "title": ["a", "b"], "prise": ["a", "b"]}}]})");
}

void TestToolArgs::unknownKeysAreRefused()
{
    QFETCH(QByteArray, site);
    QList<CatalogSite> sites;
    QString error;
    QVERIFY(!CatalogFile::parseJson(R"({"sites": [)" + site + "]}", QString(), sites, &error));
    QVERIFY2(error.contains(u"unknown key"_s), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestToolArgs)
#include "tst_toolargs.moc"
