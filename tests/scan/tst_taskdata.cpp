#include "taskdata.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace {

TaskData sample()
{
    return TaskData{QStringLiteral("站"),
                    QStringLiteral("设计"),
                    QStringLiteral("Logo"),
                    QStringLiteral("500元"),
                    QStringLiteral("http://h/t/1"),
                    QStringLiteral("http://h/list"),
                    0};
}

// Emits a list across threads and empties it at once, as the scan engine may.
class Sender : public QObject
{
    Q_OBJECT
signals:
    void newTask(const QList<TaskData> &tasks);
};

class Receiver : public QObject
{
    Q_OBJECT
public:
    QList<TaskData> received;
signals:
    void arrived();
public slots:
    void onNewTask(const QList<TaskData> &tasks)
    {
        received = tasks;
        emit arrived();
    }
};

} // namespace

class TestTaskData : public QObject
{
    Q_OBJECT

private slots:
    void identity();
    void listCrossesThreadsWhole();
};

void TestTaskData::identity()
{
    const TaskData task = sample();
    TaskData other = task;
    other.note_url = QStringLiteral("http://elsewhere/");
    other.attr_mark = 7;
    QVERIFY(task.isSameTask(other));

    const auto differs = [&task](void (*change)(TaskData &)) {
        TaskData changed = task;
        change(changed);
        return !task.isSameTask(changed) && !changed.isSameTask(task);
    };
    QVERIFY(differs([](TaskData &t) { t.task_name = QStringLiteral("logo"); }));
    QVERIFY(differs([](TaskData &t) { t.task_url += QLatin1Char('/'); }));
    QVERIFY(differs([](TaskData &t) { t.site_name.clear(); }));
    QVERIFY(differs([](TaskData &t) { t.note_name = QStringLiteral("设计 "); }));
    QVERIFY(differs([](TaskData &t) { t.task_price.clear(); }));

    const TaskData empty;
    QVERIFY(empty.site_name.isEmpty() && empty.task_url.isEmpty() && empty.attr_mark == 0);
}

void TestTaskData::listCrossesThreadsWhole()
{
    registerTaskListType();
    QThread thread;
    Receiver receiver;
    receiver.moveToThread(&thread);
    Sender sender;
    connect(&sender, &Sender::newTask, &receiver, &Receiver::onNewTask, Qt::QueuedConnection);
    QVERIFY(QMetaType::fromName("QList<TaskData>").isValid());
    QSignalSpy arrived(&receiver, &Receiver::arrived);
    thread.start();
    QList<TaskData> tasks{sample(), sample()};
    tasks[1].task_name = QStringLiteral("第二");
    emit sender.newTask(tasks);
    tasks.clear();
    QVERIFY(arrived.wait(10000));
    thread.quit();
    thread.wait();
    QCOMPARE(receiver.received.size(), 2);
    QCOMPARE(receiver.received.at(1).task_name, QStringLiteral("第二"));
}

QTEST_GUILESS_MAIN(TestTaskData)
#include "tst_taskdata.moc"
