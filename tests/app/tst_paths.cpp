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

namespace {

const QString instanceKey = QStringLiteral("{AB561922-AD01-4738-A88A-035787B2E719}");
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
    QCOMPARE(appFilePath(QStringLiteral("sdb.dll")),
             QCoreApplication::applicationDirPath() + QStringLiteral("/sdb.dll"));
}

void TestPaths::dataDirectoryIsMadeOnFirstUse()
{
    TempDataDir dir;
    // Not even the XDG data folder exists yet, as on a fresh account.
    const QString expected = dir.root() + QStringLiteral("/data/Kestrow");
    QVERIFY(!QFileInfo::exists(dir.root() + QStringLiteral("/data")));
    QCOMPARE(dataFilePath(), expected);
    QVERIFY(QFileInfo(expected).isDir());
    QCOMPARE(dataFilePath(QStringLiteral("udb.dll")), expected + QStringLiteral("/udb.dll"));
    // A second call finds the directory and leaves what is in it alone.
    QFile marker(expected + QStringLiteral("/marker"));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    QCOMPARE(dataFilePath(QStringLiteral("aboutmsg")), expected + QStringLiteral("/aboutmsg"));
    QVERIFY(marker.exists());
}

void TestPaths::dataDirectoryRace()
{
    TempDataDir dir;
    const QString expected = dir.root() + QStringLiteral("/data/Kestrow/udb.dll");
    QList<QString> results(8);
    QVERIFY(runConcurrently(int(results.size()),
                            [&results](int i) { results[i] = dataFilePath(QStringLiteral("udb.dll")); }));
    for (const QString &result : results)
        QCOMPARE(result, expected);
}

void TestPaths::unusableDataDirectory()
{
    TempDataDir dir;
    // The data folder is a plain file: nothing can be made below it.
    QFile blocker(dir.root() + QStringLiteral("/data"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QCOMPARE(dataFilePath(), QString());
    QCOMPARE(dataFilePath(QStringLiteral("udb.dll")), QString());
}

void TestPaths::singleInstance()
{
    // Another process holds the instance...
    QProcess holder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(holderVariable), QStringLiteral("1"));
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
    QVERIFY(!isAlreadyRunning(QStringLiteral("other-key")));
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
