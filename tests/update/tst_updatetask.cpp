#include "core/clock.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"
#include "update/updatetask.h"
#include "update/updatethread.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>

#include <sched.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool stored(const QString &title)
{
    return UserDb().hasTask(makeTask(title));
}

void addAged(const QString &title, int days)
{
    Clock::setOverride(QDateTime::currentDateTime().addDays(-days));
    UserDb().addTasks({makeTask(title)});
    Clock::clearOverride();
}

} // namespace

class TestUpdateTask : public QObject
{
    Q_OBJECT

private slots:
    void checksPurgeAndRearm()
    {
        Sandbox sandbox;
        setSetting(Key::HistoryDays, u"2"_s);
        addAged(u"old"_s, 3);
        addAged(u"recent"_s, 1);
        UpdateThread thread;
        thread.start();
        UpdateTask *engine = thread.task();
        QVERIFY(engine);
        QMetaObject::invokeMethod(engine, &UpdateTask::onCheckNewVersion, Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(!stored(u"old"_s), 10000);
        QVERIFY(stored(u"recent"_s));
        // The check re-arms itself: a row that ages past the retention goes at a later check without being asked.
        addAged(u"older"_s, 5);
        QTRY_VERIFY_WITH_TIMEOUT(!stored(u"older"_s), 10000);
        thread.quit();
        QVERIFY(thread.wait(QDeadlineTimer(10000)));
        QVERIFY(!thread.task());
    }

    void purgeRunsInTheNormalClass()
    {
        // Between checks the thread is idle; while its purge waits for the database, the scheduler must see it in the
        // normal class, or it would hold the lock starved.
        Sandbox sandbox;
        UpdateThread thread;
        thread.start();
        UpdateTask *engine = thread.task();
        std::atomic<pid_t> tid{0};
        QMetaObject::invokeMethod(
            engine, [&tid] { tid = gettid(); }, Qt::BlockingQueuedConnection);
        if (sched_getscheduler(tid) != SCHED_IDLE)
            QSKIP("this account may not leave the idle class, so the thread is never put into it");
        {
            std::unique_lock hold(userDbLock);
            QMetaObject::invokeMethod(engine, &UpdateTask::onCheckNewVersion, Qt::QueuedConnection);
            QTest::qWait(300);
            QCOMPARE(sched_getscheduler(tid), SCHED_OTHER);
        }
        QTRY_COMPARE_WITH_TIMEOUT(sched_getscheduler(tid), SCHED_IDLE, 10000);
        thread.quit();
        QVERIFY(thread.wait(QDeadlineTimer(10000)));
    }

    void noDownloadWithoutAVendorServer()
    {
        UpdateTask engine;
        QSignalSpy finished(&engine, &UpdateTask::downloadNewVersionFinished);
        engine.onDownloadNewVersion();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toString(), QString());
    }
};

QTEST_MAIN(TestUpdateTask)
#include "tst_updatetask.moc"
