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

void TestToolArgs::catalogArgs_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("command"); // empty: only text, with exitCode
    QTest::addColumn<QString>("operands");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("build") << u"build a.json b.dll"_s << u"build"_s << u"a.json b.dll"_s << 0;
    QTest::newRow("try with a page") << u"--page p.html try c.dll s n"_s << u"try"_s << u"c.dll s n p.html"_s << 0;
    QTest::newRow("help") << u"--help"_s << QString() << QString() << 0;
    QTest::newRow("operand missing") << u"dump"_s << QString() << QString() << 2;
    QTest::newRow("operand too many") << u"add a b"_s << QString() << QString() << 2;
    QTest::newRow("page without try") << u"check c.dll --page p"_s << QString() << QString() << 2;
    QTest::newRow("unknown command") << u"frobnicate"_s << QString() << QString() << 2;
    QTest::newRow("unknown option") << u"build a b --force"_s << QString() << QString() << 2;
    QTest::newRow("nothing") << QString() << QString() << QString() << 2;
}

void TestToolArgs::catalogArgs()
{
    QFETCH(QString, arguments);
    const CatalogArgs args =
        CatalogArgs::parse(QStringList{u"kestrow-catalog"_s} + arguments.split(u' ', Qt::SkipEmptyParts));
    QTEST(args.command, "command");
    QTEST((args.files + QStringList{args.page}).join(u' ').trimmed(), "operands");
    QTEST(args.exitCode, "exitCode");
    QCOMPARE(args.text.isEmpty(), !args.command.isEmpty());
}

void TestToolArgs::demoArgs_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("settled"); // Serve: port and interval; Follow: catalogue, interval and data home
    QTest::addColumn<int>("exitCode");
    const int serve = DemoArgs::Serve, follow = DemoArgs::Follow, print = DemoArgs::Print;
    QTest::newRow("serve") << QString() << QString() << serve << u"8731 60"_s << 0;
    QTest::newRow("port and interval") << u"--port 65535 --new-every 5"_s << QString() << serve << u"65535 5"_s << 0;
    QTest::newRow("port 0") << u"--port 0"_s << QString() << print << QString() << 2;
    QTest::newRow("port too high") << u"--port 65536"_s << QString() << print << QString() << 2;
    QTest::newRow("port no number") << u"--port http"_s << QString() << print << QString() << 2;
    QTest::newRow("stray word") << u"show"_s << QString() << print << QString() << 2;
    QTest::newRow("follow") << u"--follow c.dll"_s << u"/x"_s << follow << u"c.dll 30 /x"_s << 0;
    QTest::newRow("follow, interval") << u"--follow c.dll 1"_s << u"/x"_s << follow << u"c.dll 1 /x"_s << 0;
    QTest::newRow("follow, no data home") << u"--follow c.dll"_s << QString() << print << QString() << 2;
    QTest::newRow("follow, data named") << u"--follow c.dll --data /d"_s << u"/x"_s << follow << u"c.dll 30 /d"_s << 0;
    QTest::newRow("follow, bad interval") << u"--follow c.dll 0"_s << u"/x"_s << print << QString() << 2;
    QTest::newRow("follow and serve") << u"--follow c.dll --port 1"_s << u"/x"_s << print << QString() << 2;
    QTest::newRow("data alone") << u"--data /d"_s << QString() << print << QString() << 2;
    QTest::newRow("help") << u"-h"_s << QString() << print << QString() << 0;
}

void TestToolArgs::demoArgs()
{
    QFETCH(QString, arguments);
    QFETCH(QString, xdgDataHome);
    const DemoArgs args =
        DemoArgs::parse(QStringList{u"kestrow-demo-site"_s} + arguments.split(u' ', Qt::SkipEmptyParts), xdgDataHome);
    QTEST(int(args.mode), "mode");
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
