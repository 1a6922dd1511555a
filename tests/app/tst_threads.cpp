#include "scan/taskthread.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"
#include "update/updatetask.h"
#include "update/updatethread.h"

#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

// The engine threads: the update thread's purge, and the three threads on one database at once.
class TestThreads : public QObject
{
    Q_OBJECT

private slots:
    void purgeRunsInTheNormalClass()
    {
        // Between checks the update thread is idle; while its purge waits for the database, the scheduler must see it
        // in the normal class, or it would hold the lock starved.
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
    }

    // The scan thread storing batches, the GUI thread searching and reading and writing settings, the update thread
    // purging and compacting at checks it re-arms itself: no race, no deadlock, no lost task, no old row left.
    void threeThreadsShareTheDatabase()
    {
        Sandbox sandbox;
        TestHttpServer server;
        CatalogBuilder catalog;
        constexpr int nodes = 8;
        QList<AttentionPair> followed;
        int serial = 0;
        // Each node's page gains two new tasks whenever the GUI thread turns it over.
        const auto turnPages = [&] {
            for (int n = 0; n < nodes; ++n, serial += 2) {
                TestHttpServer::Response page;
                page.body = listPage({u"任务 %1"_s.arg(serial), u"任务 %1"_s.arg(serial + 1)});
                server.setResponse(u"/n%1"_s.arg(n), page);
            }
        };
        for (int n = 0; n < nodes; ++n) {
            QVERIFY(catalog.node(u"站"_s, u"n%1"_s.arg(n), server.url(u"/n%1"_s.arg(n)), listMarkers));
            followed.append({u"站"_s, u"n%1"_s.arg(n)});
        }
        QVERIFY(UserDb().setAttention(followed));
        turnPages();
        setSetting(Key::ScanInterval, u"10"_s); // 100 ms here
        registerTaskListType();
        TaskThread scan;
        QList<TaskData> announced;
        connect(&scan, &TaskThread::newTask, this, [&](const QList<TaskData> &tasks) { announced += tasks; });
        UpdateThread update;
        update.start();
        QMetaObject::invokeMethod(update.task(), &UpdateTask::onCheckNewVersion, Qt::QueuedConnection);
        scan.start();
        const int seconds = qEnvironmentVariableIntValue("KESTROW_THREAD_TEST_SECONDS");
        QElapsedTimer running;
        running.start();
        UserDb gui;
        for (int round = 1; running.elapsed() < 1000 * (seconds > 0 ? seconds : 20); ++round) {
            TaskRows found;
            QVERIFY(gui.searchTasks(u"站"_s, u"任务"_s, found));
            setSetting(u"round"_s, QString::number(round));
            QCOMPARE(setting(u"round"_s), QString::number(round));
            if (round % 20 == 0) {
                turnPages();
                // Old rows for the purge to remove, so that it also compacts now and then.
                QVERIFY(rawExec(sandbox.userDbPath(), u"WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r "
                                                      "LIMIT 300) INSERT INTO tb_history_task(task_time, site_name, "
                                                      "task_name) SELECT 1, 'old', hex(randomblob(200)) FROM r;"_s));
            }
            QTest::qWait(10);
        }
        QTRY_COMPARE_WITH_TIMEOUT(
            rawColumn(sandbox.userDbPath(), u"SELECT count(*) FROM tb_history_task WHERE task_time = 1;"_s),
            QStringList{u"0"_s}, 10000);
        scan.quit();
        update.quit();
        QVERIFY(scan.wait(QDeadlineTimer(30000)) && update.wait(QDeadlineTimer(30000)));
        QTest::qWait(50); // batches still queued to this thread
        // Every announced task was stored, and none twice.
        QVERIFY(announced.size() >= 2 * nodes);
        const QStringList titles = taskTitles(announced);
        QCOMPARE(QSet<QString>(titles.begin(), titles.end()).size(), titles.size());
        for (const TaskData &task : std::as_const(announced))
            QVERIFY2(gui.hasTask(task), qPrintable(task.task_name));
    }
};

QTEST_MAIN(TestThreads)
#include "tst_threads.moc"
