#include "core/enginethread.h"
#include "core/paths.h"
#include "support/sandbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// A run that fails to start: it announces initDone() without an engine, then lingers a moment before it ends.
class FailingRun : public EngineThread
{
public:
    std::atomic<bool> announced{false};
    QObject *engine() { return engineObject(); }

protected:
    void run() override
    {
        emit initDone();
        announced = true;
        QThread::msleep(300);
    }
};

} // namespace

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void dataDirectoryIsMadeOnFirstUse();
    void unusableDataDirectory();
    void engineWaitEndsWithAFailedRun();
};

void TestCore::dataDirectoryIsMadeOnFirstUse()
{
    Sandbox sandbox(false);
    // Not even the XDG data folder exists yet, as on a fresh account; racing callers all get the path.
    const QString expected = sandbox.root() + u"/data/Kestrow/udb.dll"_s;
    QVERIFY(!QFileInfo::exists(sandbox.root() + u"/data"_s));
    std::vector<QString> results(8); // a QList would detach in each thread
    QVERIFY(runConcurrently(int(results.size()), [&results](int i) { results[i] = dataFilePath(u"udb.dll"_s); }));
    QCOMPARE(results, std::vector<QString>(8, expected));
    QVERIFY(QFileInfo(dataFilePath()).isDir());
}

void TestCore::unusableDataDirectory()
{
    Sandbox sandbox(false);
    // The data folder is a plain file: nothing can be made below it.
    QVERIFY(writeFile(sandbox.root() + u"/data"_s, {}));
    QCOMPARE(dataFilePath(), QString());
    QCOMPARE(dataFilePath(u"udb.dll"_s), QString());
}

void TestCore::engineWaitEndsWithAFailedRun()
{
    // The waiter comes after initDone() but while the run still lives: the end of the run must release it.
    FailingRun run;
    run.start();
    QTRY_VERIFY(run.announced);
    bool watchdog = false;
    QTimer::singleShot(5000, &run, [&] {
        watchdog = true;
        emit run.initDone(); // unblocks a wait that would otherwise last for ever
    });
    QCOMPARE(run.engine(), nullptr);
    QVERIFY2(!watchdog, "the wait ended only on the watchdog");
    QVERIFY(run.wait(5000));
}

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
