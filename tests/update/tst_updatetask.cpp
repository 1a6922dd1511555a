#include "clock.h"
#include "settings.h"
#include "testenv.h"
#include "updatetask.h"
#include "updatethread.h"
#include "userdb.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

TaskData task(const QString &title)
{
    return TaskData{u"站"_s, u"节点"_s, title, QString(), u"http://h/"_s + title, QString(), 0};
}

bool stored(const QString &title)
{
    return UserDb().hasTask(task(title));
}

} // namespace

class TestUpdateTask : public QObject
{
    Q_OBJECT

private slots:
    void checksPurgeAndRearm();
    void noDownloadWithoutAVendorServer();
};

void TestUpdateTask::checksPurgeAndRearm()
{
    TempDataDir dir;
    resetSettingsStore();
    loadSettings();
    setSetting(u"db_vacuum_interval"_s, u"2"_s);
    const QDateTime now = QDateTime::currentDateTime();
    {
        UserDb db;
        Clock::setOverride(now.addDays(-3));
        QVERIFY(db.addTasks({task(u"old"_s)}));
        Clock::setOverride(now.addDays(-1));
        QVERIFY(db.addTasks({task(u"recent"_s)}));
        Clock::clearOverride();
    }
    UpdateTask::setCheckInterval(300);
    UpdateThread thread;
    thread.start(QThread::IdlePriority);
    UpdateTask *engine = thread.task();
    QVERIFY(engine);
    QMetaObject::invokeMethod(engine, &UpdateTask::onCheckNewVersion, Qt::QueuedConnection);
    // The retention setting (2 days) decides.
    QTRY_VERIFY_WITH_TIMEOUT(!stored(u"old"_s), 10000);
    QVERIFY(stored(u"recent"_s));
    // The check re-arms itself: a row that ages past the retention goes at a later check without being asked.
    {
        UserDb db;
        Clock::setOverride(now.addDays(-5));
        QVERIFY(db.addTasks({task(u"older"_s)}));
        Clock::clearOverride();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!stored(u"older"_s), 10000);
    // The thread is back at its idle priority after the purge.
    QThread::Priority priority = QThread::NormalPriority;
    QMetaObject::invokeMethod(
        engine, [&priority] { priority = QThread::currentThread()->priority(); }, Qt::BlockingQueuedConnection);
    QCOMPARE(priority, QThread::IdlePriority);
    thread.quit();
    QVERIFY(thread.wait(QDeadlineTimer(10000)));
    QVERIFY(!thread.task());
    resetSettingsStore();
}

void TestUpdateTask::noDownloadWithoutAVendorServer()
{
    UpdateTask engine;
    QSignalSpy finished(&engine, &UpdateTask::downloadNewVersionFinished);
    engine.onDownloadNewVersion();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toString(), QString());
}

QTEST_MAIN(TestUpdateTask)
#include "tst_updatetask.moc"
