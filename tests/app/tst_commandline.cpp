#include "app/commandline.h"
#include "core/appversion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void catalogueFoundThroughLink();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("start");
    QTest::addColumn<bool>("openMainWindow");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << QStringList{} << true << false << 0 << QString();
    QTest::newRow("show") << QStringList{u"show"_s} << true << true << 0 << QString();
    QTest::newRow("capitals") << QStringList{u"SHOW"_s} << false << false << 2 << u"unknown argument \"SHOW\""_s;
    QTest::newRow("show and more") << QStringList{u"show"_s, u"x"_s} << false << false << 2 << u"Usage:"_s;
    QTest::newRow("unknown option") << QStringList{u"--frobnicate"_s} << false << false << 2 << u"frobnicate"_s;
    QTest::newRow("help") << QStringList{u"--help"_s} << false << false << 0 << u"[show]"_s;
    QTest::newRow("version") << QStringList{u"-v"_s} << false << false << 0 << u"Kestrow "_s + appVersion() + u"\n"_s;
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, start);
    const CommandLine line = CommandLine::parse(QStringList{u"kestrow"_s} + arguments);
    QCOMPARE(line.start, start);
    QTEST(line.openMainWindow, "openMainWindow");
    QTEST(line.exitCode, "exitCode");
    QFETCH(QString, text);
    QVERIFY2(start ? line.text.isEmpty() : line.text.contains(text), qPrintable(line.text));
}

// Installed, the program is a link in bin to the real one in a private folder, whose catalogue it must find.
void TestCommandLine::catalogueFoundThroughLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(u"bin/kestrow"_s);
    QVERIFY(QDir().mkpath(dir.filePath(u"bin"_s)) && QFile::link(QStringLiteral(KESTROW_PROGRAM), link));
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"XDG_DATA_HOME"_s, u"XDG_CONFIG_HOME"_s, u"XDG_RUNTIME_DIR"_s})
        environment.insert(name, dir.path());
    environment.insert(u"QT_LOGGING_RULES"_s, u"kestrow.app.debug=true"_s);
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(link);
    QByteArray output;
    while (!output.contains("site catalogue:") && program.waitForReadyRead(20000))
        output += program.readAll();
    output += program.readAll();
    program.kill();
    program.waitForFinished();
    const QString catalog = QFileInfo(QStringLiteral(KESTROW_PROGRAM)).absolutePath() + u"/sdb.dll"_s;
    QVERIFY2(output.contains("site catalogue: " + catalog.toUtf8() + " found\n"), output.constData());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
