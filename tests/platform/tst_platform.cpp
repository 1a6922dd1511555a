#include "platform/platform.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <iostream>
#include <thread>

#include <sched.h>

using namespace Qt::StringLiterals;

namespace {

const QString instanceKey = u"{AB561922-AD01-4738-A88A-035787B2E719}"_s;
const char holderVariable[] = "KESTROW_TEST_HOLD_INSTANCE";

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void singleInstance();
    void autostartEntry_data();
    void autostartEntry();
    void normalSchedulingRaisesAnIdleThread();
};

void TestPlatform::singleInstance()
{
    // Another process holds the instance...
    QProcess holder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(holderVariable), u"1"_s);
    holder.setProcessEnvironment(env);
    holder.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(holder.waitForReadyRead(30000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("holding"));
    QVERIFY(!Platform::claimSingleInstance(instanceKey));
    // ...then dies without cleaning up: that must not block the next start.
    ::kill(pid_t(holder.processId()), SIGKILL);
    QVERIFY(holder.waitForFinished(30000));
    QVERIFY(Platform::claimSingleInstance(instanceKey));
    QVERIFY(!Platform::claimSingleInstance(instanceKey));
    QVERIFY(Platform::claimSingleInstance(u"other-key"_s));
}

void TestPlatform::autostartEntry_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("execLine");
    // Inside the quotes `"`, '`', '$' and '\' take a backslash, '%' is doubled; then the string rule doubles every
    // backslash again.
    QTest::newRow("plain") << u"/opt/kestrow/kestrow"_s << u"Exec=\"/opt/kestrow/kestrow\""_s;
    QTest::newRow("space") << u"/home/a b/kestrow"_s << u"Exec=\"/home/a b/kestrow\""_s;
    QTest::newRow("quote and dollar") << u"/x/\"q\"$HOME/k"_s << u"Exec=\"/x/\\\\\"q\\\\\"\\\\$HOME/k\""_s;
    QTest::newRow("percent") << u"/x/100%u/k"_s << u"Exec=\"/x/100%%u/k\""_s;
    QTest::newRow("backslash") << u"/x/a\\b/k"_s << u"Exec=\"/x/a\\\\\\\\b/k\""_s;
    QTest::newRow("backtick") << u"/x/`id`/k"_s << u"Exec=\"/x/\\\\`id\\\\`/k\""_s;
}

void TestPlatform::autostartEntry()
{
    QFETCH(QString, program);
    QFETCH(QString, execLine);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QVERIFY(!Platform::isAutostart(program));
    QVERIFY(Platform::setAutostart(true, program));
    QFile entry(config.filePath(u"autostart/Kestrow.desktop"_s));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split(u'\n');
    QVERIFY2(lines.contains(execLine), qPrintable(lines.join(u'\n')));
    QVERIFY(Platform::isAutostart(program));
    QVERIFY(!Platform::isAutostart(u"/opt/other/kestrow"_s));
    QVERIFY(Platform::setAutostart(false, program));
    QVERIFY(!entry.exists());
    QVERIFY(!Platform::isAutostart(program));
}

void TestPlatform::normalSchedulingRaisesAnIdleThread()
{
    int idle = -1, raised = -1, after = -1;
    bool lowered = false;
    std::thread worker([&] {
        lowered = Platform::lowerCurrentThread();
        idle = sched_getscheduler(0);
        {
            Platform::NormalScheduling normal;
            raised = sched_getscheduler(0);
        }
        after = sched_getscheduler(0);
    });
    worker.join();
    if (!lowered)
        QSKIP("this account may not leave the idle class, so threads are never put into it");
    QCOMPARE(idle, SCHED_IDLE);
    QCOMPARE(raised, SCHED_OTHER);
    QCOMPARE(after, SCHED_IDLE);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(holderVariable)) {
        // Child mode for singleInstance(): claim the key and sit until killed.
        if (!Platform::claimSingleInstance(instanceKey))
            return 1;
        std::cout << "holding" << std::endl;
        QThread::sleep(600);
        return 0;
    }
    // The claim lives until the process ends, so its folder must outlive every test.
    QTemporaryDir runtimeDir;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    TestPlatform test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform.moc"
