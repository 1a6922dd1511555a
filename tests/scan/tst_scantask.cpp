#include "paths.h"
#include "scantask.h"
#include "settings.h"
#include "taskthread.h"
#include "tasktitles.h"
#include "testenv.h"
#include "testhttpserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QStringList markers = {u"<ul>"_s, u"</ul>"_s, u"<li>"_s, u"</li>"_s, u"href=\""_s,
                             u"\""_s,   u"<b>"_s,   u"</b>"_s, u"<i>"_s,   u"</i>"_s};

// A task-list page with one row per title.
QByteArray page(const QStringList &titles)
{
    QByteArray body = "<html><meta charset=utf-8><ul>";
    for (const QString &title : titles)
        body += "<li><a href=\"/t/" + title.toUtf8().toHex() + "\"><b>" + title.toUtf8() + "</b></a><i>9 元</i></li>";
    return body + "</ul></html>";
}

TestHttpServer::Response ok(const QStringList &titles)
{
    TestHttpServer::Response response;
    response.body = page(titles);
    return response;
}

// One scan thread with its batches collected on the test's thread.
struct Scanner
{
    TaskThread thread;
    QList<QList<TaskData>> batches;
    QObject receiver;
    QMetaObject::Connection connection;

    Scanner()
    {
        connection = QObject::connect(&thread, &TaskThread::newTask, &receiver,
                                      [this](const QList<TaskData> &tasks) { batches.append(tasks); });
    }
    void start() { thread.start(QThread::LowPriority); }
    // What pausing does: stop listening first, then stop the thread and wait for it.
    void stop()
    {
        QObject::disconnect(connection);
        thread.quit();
        thread.wait();
    }
};

} // namespace

class TestScanTask : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstPassStartsAtOnce();
    void batchFollowsFinishingOrder();
    void hangingNodeEndsThePassAtTheCap();
    void redirectionsAreNotFollowed();
    void stopWhilePassWaitsStoresButAnnouncesNothing();
    void missingNodeStopsTheRun();
    void laterPassesAnnounceOnlyNewTasks();
    void zeroIntervalFallsBack();
    void oversizedPageIsAbandoned();

private:
    void follow(const QList<QPair<QString, QString>> &nodes);

    std::unique_ptr<TempDataDir> m_dir;
    std::unique_ptr<TestHttpServer> m_server;
    QString m_catalog;
};

void TestScanTask::initTestCase()
{
    registerTaskListType();
    m_catalog = appFilePath(u"sdb.dll"_s);
    // Short waits and intervals: one "scan_interval" second lasts 10 ms here.
    ScanTask::setTiming(ScanTiming{2000, 10});
}

void TestScanTask::init()
{
    m_dir = std::make_unique<TempDataDir>();
    resetSettingsStore();
    loadSettings();
    setSetting(u"scan_interval"_s, u"9999"_s);
    m_server = std::make_unique<TestHttpServer>();
    QFile::remove(m_catalog);
    QVERIFY(createCatalog(m_catalog));
}

void TestScanTask::cleanup()
{
    m_server.reset();
    resetSettingsStore();
    m_dir.reset();
    QFile::remove(m_catalog);
}

// Puts each (site, node) into the catalogue with the page /<node> on the test server and follows it.
void TestScanTask::follow(const QList<QPair<QString, QString>> &nodes)
{
    for (const auto &[site, node] : nodes)
        QVERIFY(addCatalogNode(m_catalog, site, node, m_server->url(QLatin1Char('/') + node), markers));
    UserDb db;
    QVERIFY(db.setAttention(nodes));
}

void TestScanTask::firstPassStartsAtOnce()
{
    follow({{u"站"_s, u"a"_s}});
    m_server->setResponse(u"/a"_s, ok({u"一"_s, u"二"_s}));
    Scanner scanner;
    scanner.start();
    QVERIFY(scanner.thread.task());
    // The interval is 100 s here: the batch can only come from the pass that starts with the run.
    QTRY_COMPARE_WITH_TIMEOUT(scanner.batches.size(), 1, 10000);
    const QList<TaskData> batch = scanner.batches.first();
    QCOMPARE(taskTitles(batch), (QStringList{u"一"_s, u"二"_s}));
    QCOMPARE(batch[0].task_price, u"9元"_s);
    QCOMPARE(batch[0].task_url, m_server->url(u"/t/"_s + QString::fromLatin1(u"一"_s.toUtf8().toHex())));
    QCOMPARE(batch[0].note_url, m_server->url(u"/a"_s));
    // The fixed request headers, in their order.
    const TestHttpServer::Request request = m_server->requests().first();
    QStringList names;
    for (const auto &[name, value] : request.headers) {
        if (name == "User-Agent" || name == "Accept" || name == "Accept-Language")
            names << QString::fromLatin1(name + '=' + value);
    }
    QCOMPARE(names, (QStringList{QStringLiteral("User-Agent=Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; "
                                                "Trident/5.0)"),
                                 u"Accept=*/*"_s, u"Accept-Language=zh-cn,zh;q=0.5"_s}));
    scanner.stop();
    QVERIFY(UserDb().hasTask(batch[1]));
}

void TestScanTask::batchFollowsFinishingOrder()
{
    follow({{u"站"_s, u"a"_s}, {u"站"_s, u"b"_s}});
    TestHttpServer::Response slow = ok({u"A1"_s, u"A2"_s});
    slow.delayMs = 600;
    m_server->setResponse(u"/a"_s, slow);
    m_server->setResponse(u"/b"_s, ok({u"B1"_s}));
    Scanner scanner;
    scanner.start();
    QTRY_COMPARE_WITH_TIMEOUT(scanner.batches.size(), 1, 10000);
    QCOMPARE(taskTitles(scanner.batches.first()), (QStringList{u"B1"_s, u"A1"_s, u"A2"_s}));
    QCOMPARE(scanner.batches.first().first().note_name, u"b"_s);
    scanner.stop();
}

void TestScanTask::hangingNodeEndsThePassAtTheCap()
{
    follow({{u"站"_s, u"a"_s}, {u"站"_s, u"hang"_s}});
    m_server->setResponse(u"/a"_s, ok({u"A1"_s}));
    TestHttpServer::Response hang;
    hang.neverAnswer = true;
    m_server->setResponse(u"/hang"_s, hang);
    Scanner scanner;
    scanner.start();
    // The pass waits for the hanging page up to its cap (2 s here), then announces what it has.
    QTest::qWait(1000);
    QCOMPARE(scanner.batches.size(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(scanner.batches.size(), 1, 10000);
    QCOMPARE(taskTitles(scanner.batches.first()), QStringList{u"A1"_s});
    scanner.stop();
}

void TestScanTask::redirectionsAreNotFollowed()
{
    follow({{u"站"_s, u"a"_s}, {u"站"_s, u"moved"_s}});
    m_server->setResponse(u"/a"_s, ok({u"A1"_s}));
    TestHttpServer::Response moved;
    moved.status = 302;
    moved.headers = {{"Location", m_server->url(u"/target"_s).toUtf8()}};
    m_server->setResponse(u"/moved"_s, moved);
    m_server->setResponse(u"/target"_s, ok({u"never"_s}));
    Scanner scanner;
    scanner.start();
    QTRY_COMPARE_WITH_TIMEOUT(scanner.batches.size(), 1, 10000);
    QCOMPARE(taskTitles(scanner.batches.first()), QStringList{u"A1"_s});
    scanner.stop();
    QVERIFY(!m_server->requestedPaths().contains(u"/target"_s));
}

void TestScanTask::stopWhilePassWaitsStoresButAnnouncesNothing()
{
    ScanTask::setTiming(ScanTiming{60000, 10});
    follow({{u"站"_s, u"a"_s}, {u"站"_s, u"hang"_s}});
    m_server->setResponse(u"/a"_s, ok({u"A1"_s, u"A2"_s}));
    TestHttpServer::Response hang;
    hang.neverAnswer = true;
    m_server->setResponse(u"/hang"_s, hang);
    Scanner scanner;
    scanner.start();
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 2, 10000);
    // Give the quick page time to be cut while the pass still waits for the other one.
    QTest::qWait(1000);
    QElapsedTimer stopping;
    stopping.start();
    scanner.stop();
    ScanTask::setTiming(ScanTiming{2000, 10});
    // The stop did not wait for the pass's one-minute cap.
    QVERIFY(stopping.elapsed() < 30000);
    QTest::qWait(200);
    QCOMPARE(scanner.batches.size(), 0);
    UserDb db;
    TaskData stored;
    stored.site_name = u"站"_s;
    stored.note_name = u"a"_s;
    stored.task_name = u"A2"_s;
    stored.task_price = u"9元"_s;
    stored.task_url = m_server->url(u"/t/"_s + QString::fromLatin1(QByteArray("A2").toHex()));
    QVERIFY(db.hasTask(stored));
}

void TestScanTask::missingNodeStopsTheRun()
{
    follow({{u"站"_s, u"a"_s}});
    UserDb db;
    QVERIFY(db.setAttention({{u"站"_s, u"a"_s}, {u"站"_s, u"gone"_s}}));
    m_server->setResponse(u"/a"_s, ok({u"A1"_s}));
    Scanner scanner;
    scanner.start();
    scanner.thread.task(); // returns once the run has tried to start, whatever the outcome
    QVERIFY(scanner.thread.wait(QDeadlineTimer(10000)));
    QTest::qWait(300);
    QCOMPARE(scanner.batches.size(), 0);
    QVERIFY(m_server->requests().isEmpty());
    QCOMPARE(scanner.thread.task(), nullptr);
}

void TestScanTask::laterPassesAnnounceOnlyNewTasks()
{
    setSetting(u"scan_interval"_s, u"30"_s); // 300 ms here
    follow({{u"站"_s, u"a"_s}});
    m_server->setResponse(u"/a"_s, ok({u"A1"_s, u"A2"_s}));
    Scanner scanner;
    scanner.start();
    QTRY_COMPARE_WITH_TIMEOUT(scanner.batches.size(), 1, 10000);
    // Further passes find nothing new and emit nothing at all.
    QTRY_VERIFY_WITH_TIMEOUT(m_server->requests().size() >= 4, 10000);
    QCOMPARE(scanner.batches.size(), 1);
    // A new row, and an old one whose price changed, are new tasks.
    TestHttpServer::Response changed = ok({u"A0"_s, u"A1"_s, u"A2"_s});
    changed.body.replace("<b>A2</b></a><i>9 元</i>", "<b>A2</b></a><i>19 元</i>");
    m_server->setResponse(u"/a"_s, changed);
    QTRY_COMPARE_WITH_TIMEOUT(scanner.batches.size(), 2, 10000);
    QCOMPARE(taskTitles(scanner.batches[1]), (QStringList{u"A0"_s, u"A2"_s}));
    QCOMPARE(scanner.batches[1][1].task_price, u"19元"_s);
    scanner.stop();
}

void TestScanTask::zeroIntervalFallsBack()
{
    // "0" would re-scan without pause; it waits the fallback 180 "seconds" (1.8 s here) like any invalid value.
    setSetting(u"scan_interval"_s, u"0"_s);
    follow({{u"站"_s, u"a"_s}});
    m_server->setResponse(u"/a"_s, ok({u"A1"_s}));
    Scanner scanner;
    scanner.start();
    QTRY_COMPARE_WITH_TIMEOUT(scanner.batches.size(), 1, 10000);
    QTest::qWait(1000);
    QCOMPARE(m_server->requests().size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 2, 10000);
    scanner.stop();
}

void TestScanTask::oversizedPageIsAbandoned()
{
    ScanTask::setTiming(ScanTiming{60000, 10});
    follow({{u"站"_s, u"a"_s}, {u"站"_s, u"huge"_s}, {u"站"_s, u"limit"_s}});
    m_server->setResponse(u"/a"_s, ok({u"A1"_s}));
    // 40 MiB in 1 MiB pieces over four seconds; the page is given up as soon as it passes 16 MiB.
    TestHttpServer::Response huge;
    huge.body = page({u"H1"_s}) + QByteArray(40 * 1024 * 1024, ' ');
    huge.chunkSize = 1024 * 1024;
    huge.chunkDelayMs = 100;
    m_server->setResponse(u"/huge"_s, huge);
    // A page of exactly the limit is still read.
    TestHttpServer::Response limit = ok({u"L1"_s});
    limit.body += QByteArray(16 * 1024 * 1024 - limit.body.size(), ' ');
    m_server->setResponse(u"/limit"_s, limit);
    QElapsedTimer elapsed;
    elapsed.start();
    Scanner scanner;
    scanner.start();
    QTRY_COMPARE_WITH_TIMEOUT(scanner.batches.size(), 1, 30000);
    QVERIFY2(elapsed.elapsed() < 3500, "the pass waited for the whole oversized body");
    QStringList found = taskTitles(scanner.batches.first());
    found.sort();
    QCOMPARE(found, (QStringList{u"A1"_s, u"L1"_s}));
    scanner.stop();
    ScanTask::setTiming(ScanTiming{2000, 10});
}

QTEST_MAIN(TestScanTask)
#include "tst_scantask.moc"
