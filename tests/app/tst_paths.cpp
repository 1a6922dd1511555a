#include "paths.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <iostream>

using namespace Qt::StringLiterals;

namespace {

const QString instanceKey = u"{AB561922-AD01-4738-A88A-035787B2E719}"_s;
const char holderVariable[] = "KESTROW_TEST_HOLD_INSTANCE";

} // namespace

class TestPaths : public QObject
{
    Q_OBJECT

private slots:
    void appFilePathIsBesideTheProgram();
    void dataDirectoryIsMadeOnFirstUse();
    void dataDirectoryRace();
    void unusableDataDirectory();
    void singleInstance();
};

void TestPaths::appFilePathIsBesideTheProgram()
{
    QCOMPARE(appFilePath(), QCoreApplication::applicationDirPath());
    QCOMPARE(appFilePath(u"sdb.dll"_s), QCoreApplication::applicationDirPath() + u"/sdb.dll"_s);
}

void TestPaths::dataDirectoryIsMadeOnFirstUse()
{
    TempDataDir dir;
    // Not even the XDG data folder exists yet, as on a fresh account.
    const QString expected = dir.root() + u"/data/Kestrow"_s;
    QVERIFY(!QFileInfo::exists(dir.root() + u"/data"_s));
    QCOMPARE(dataFilePath(), expected);
    QVERIFY(QFileInfo(expected).isDir());
    QCOMPARE(dataFilePath(u"udb.dll"_s), expected + u"/udb.dll"_s);
    // A second call finds the directory and leaves what is in it alone.
    QFile marker(expected + u"/marker"_s);
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    QCOMPARE(dataFilePath(u"aboutmsg"_s), expected + u"/aboutmsg"_s);
    QVERIFY(marker.exists());
}

void TestPaths::dataDirectoryRace()
{
    TempDataDir dir;
    const QString expected = dir.root() + u"/data/Kestrow/udb.dll"_s;
    QList<QString> results(8);
    QVERIFY(runConcurrently(int(results.size()), [&results](int i) { results[i] = dataFilePath(u"udb.dll"_s); }));
    for (const QString &result : results)
        QCOMPARE(result, expected);
}

void TestPaths::unusableDataDirectory()
{
    TempDataDir dir;
    // The data folder is a plain file: nothing can be made below it.
    QFile blocker(dir.root() + u"/data"_s);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QCOMPARE(dataFilePath(), QString());
    QCOMPARE(dataFilePath(u"udb.dll"_s), QString());
}

void TestPaths::singleInstance()
{
    // Another process holds the instance...
    QProcess holder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(holderVariable), u"1"_s);
    holder.setProcessEnvironment(env);
    holder.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(holder.waitForReadyRead(30000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("holding"));
    QVERIFY(isAlreadyRunning(instanceKey));
    // ...then dies without cleaning up: that must not block the next start.
    ::kill(pid_t(holder.processId()), SIGKILL);
    QVERIFY(holder.waitForFinished(30000));
    QVERIFY(!isAlreadyRunning(instanceKey));
    // Now this process holds it, and a second claim sees a running instance.
    QVERIFY(isAlreadyRunning(instanceKey));
    // A different key is a different instance.
    QVERIFY(!isAlreadyRunning(u"other-key"_s));
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(holderVariable)) {
        // Child mode for singleInstance(): claim the key and sit until killed.
        if (isAlreadyRunning(instanceKey))
            return 1;
        std::cout << "holding" << std::endl;
        QThread::sleep(600);
        return 0;
    }
    // The claim lives until the process ends, so its folder must outlive every test.
    QTemporaryDir runtimeDir;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    TestPaths test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_paths.moc"
