#include "scan/taskthread.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"
#include "update/updatetask.h"
#include "update/updatethread.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;

// The three threads on one database at once: the scan thread storing batches, the GUI thread searching and
// reading and writing settings, the update thread purging and compacting. No race, no deadlock, no lost task.
class TestThreads : public QObject
{
    Q_OBJECT

private slots:
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
            for (int n = 0; n < nodes; ++n) {
                TestHttpServer::Response page;
                page.body = listPage({u"任务 %1"_s.arg(serial), u"任务 %1"_s.arg(serial + 1)});
                serial += 2;
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
        int round = 0;
        while (running.elapsed() < 1000 * (seconds > 0 ? seconds : 20)) {
            TaskRows found;
            QVERIFY(gui.searchTasks(u"站"_s, u"任务"_s, found));
            setSetting(u"round"_s, QString::number(++round));
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
        scan.quit();
        update.quit();
        QVERIFY(scan.wait(QDeadlineTimer(30000)) && update.wait(QDeadlineTimer(30000)));
        QTest::qWait(50); // batches still queued to this thread
        // Every announced task was stored, and none twice.
        QVERIFY(announced.size() >= 2 * nodes);
        QSet<QString> titles;
        for (const TaskData &task : std::as_const(announced)) {
            QVERIFY2(gui.hasTask(task), qPrintable(task.task_name));
            QVERIFY2(!titles.contains(task.task_name), qPrintable(task.task_name));
            titles.insert(task.task_name);
        }
    }
};

QTEST_MAIN(TestThreads)
#include "tst_threads.moc"
