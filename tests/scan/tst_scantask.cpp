#include "scan/scantask.h"
#include "scan/taskthread.h"
#include "store/settings.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Response = TestHttpServer::Response;

namespace {

Response ok(const QStringList &titles, int delayMs = 0)
{
    Response response;
    response.body = listPage(titles);
    response.delayMs = delayMs;
    return response;
}

// One sandbox with a local server whose pages /<node> the catalogue's nodes of site 站 point at, and a scan thread
// whose batches are collected on the test's thread.
struct Scan
{
    Sandbox sandbox;
    TestHttpServer server;
    CatalogBuilder catalog;
    TaskThread thread;
    QList<QList<TaskData>> batches;
    QObject receiver;
    QMetaObject::Connection connection;

    // Serves each node's response and follows the nodes, in this order.
    explicit Scan(const QList<QPair<QString, Response>> &nodes)
    {
        setSetting(Key::ScanInterval, u"9999"_s);
        QList<AttentionPair> followed;
        for (const auto &[node, response] : nodes) {
            server.setResponse(u'/' + node, response);
            catalog.node(u"站"_s, node, server.url(u'/' + node), listMarkers);
            followed.append({u"站"_s, node});
        }
        UserDb().setAttention(followed);
        connection = QObject::connect(&thread, &TaskThread::newTask, &receiver,
                                      [this](const QList<TaskData> &tasks) { batches.append(tasks); });
    }
    ~Scan() { stop(); }
    void start() { thread.start(QThread::LowPriority); }
    // What pausing does: stop listening first, then stop the thread and wait for it.
    void stop()
    {
        QObject::disconnect(connection);
        thread.quit();
        thread.wait();
    }
};

struct Scenario
{
    const char *name;
    QList<QPair<QString, Response>> nodes;
    QStringList batch; // the first pass's batch
};

QList<Scenario> scenarios()
{
    Response hang;
    hang.neverAnswer = true;
    Response moved;
    moved.status = 302;
    moved.headers = {{"Location", "/a"}};
    // 40 MiB in 1 MiB pieces over four seconds: given up as soon as it passes 16 MiB, while a page of exactly the
    // limit is still read.
    Response huge = ok({u"H1"_s});
    huge.body += QByteArray(40 * 1024 * 1024, ' ');
    huge.chunkSize = 1024 * 1024;
    huge.chunkDelayMs = 100;
    Response limit = ok({u"L1"_s});
    limit.body += QByteArray(16 * 1024 * 1024 - limit.body.size(), ' ');
    // Hostile pages: a deflate bomb (what it unpacks to counts against the cap), bad compressed data, a drip that
    // never ends within the pass, an answer cut off mid-body (its whole rows count, as any body does), no text.
    Response bomb = ok({});
    bomb.body = qCompress(QByteArray(64 * 1024 * 1024, '<'), 9).mid(4);
    bomb.headers = {{"Content-Encoding", "deflate"}};
    Response badDeflate = ok({u"X"_s});
    badDeflate.headers = {{"Content-Encoding", "deflate"}};
    Response drip = ok({u"D1"_s});
    drip.chunkSize = 1;
    drip.chunkDelayMs = 50;
    Response cut = ok({u"C1"_s});
    cut.cutShort = true;
    Response binary = ok({});
    binary.body = QByteArray("\xff\xfe\x00\x01<ul>\x80\x81</ul>", 15);
    return {
        {"batch in finishing order",
         {{u"a"_s, ok({u"A1"_s, u"A2"_s}, 600)}, {u"b"_s, ok({u"B1"_s})}},
         {u"B1"_s, u"A1"_s, u"A2"_s}},
        {"a hanging page ends at the cap", {{u"a"_s, ok({u"A1"_s})}, {u"hang"_s, hang}}, {u"A1"_s}},
        {"redirections are not followed", {{u"a"_s, ok({u"A1"_s})}, {u"moved"_s, moved}}, {u"A1"_s}},
        {"oversized page abandoned",
         {{u"a"_s, ok({u"A1"_s})}, {u"huge"_s, huge}, {u"limit"_s, limit}},
         {u"A1"_s, u"L1"_s}},
        {"hostile pages",
         {{u"a"_s, ok({u"A1"_s}, 300)},
          {u"bomb"_s, bomb},
          {u"bad"_s, badDeflate},
          {u"drip"_s, drip},
          {u"cut"_s, cut},
          {u"binary"_s, binary}},
         {u"C1"_s, u"A1"_s}},
    };
}

} // namespace

class TestScanTask : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { registerTaskListType(); }
    void firstPass_data();
    void firstPass();
    void requestAndTaskFields();
    void stopWhilePassWaitsStoresButAnnouncesNothing();
    void missingNodeStopsTheRun();
    void laterPassesAnnounceOnlyNewTasks();
    void zeroIntervalFallsBack();
};

void TestScanTask::firstPass_data()
{
    QTest::addColumn<int>("index");
    const QList<Scenario> all = scenarios();
    for (int i = 0; i < all.size(); ++i)
        QTest::newRow(all[i].name) << i;
}

void TestScanTask::firstPass()
{
    QFETCH(int, index);
    const Scenario scenario = scenarios().at(index);
    Scan scan(scenario.nodes);
    // Pages that never end would hold a pass for a minute: only the size cap or the quick pages end it here.
    if (scenario.batch.contains(u"L1"_s))
        Clock::setTiming({60000, 10, 300});
    scan.start();
    // The interval is 100 s here: the batch can only come from the pass that starts with the run.
    QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 1, 30000);
    QCOMPARE(taskTitles(scan.batches.first()), scenario.batch);
    QCOMPARE(scan.server.requests().size(), scenario.nodes.size());
}

void TestScanTask::requestAndTaskFields()
{
    Scan scan({{u"a"_s, ok({u"一"_s, u"二"_s})}});
    // A node whose address is a local file is never fetched; the others are.
    QVERIFY(scan.catalog.node(u"站"_s, u"passwd"_s, u"file:///etc/passwd"_s, listMarkers));
    QVERIFY(UserDb().setAttention({{u"站"_s, u"passwd"_s}, {u"站"_s, u"a"_s}}));
    scan.start();
    QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 1, 10000);
    QCOMPARE(scan.batches.first().size(), 2);
    const TaskData task = scan.batches.first().first();
    QCOMPARE(task.task_price, u"9元"_s);
    QCOMPARE(task.task_url, scan.server.url(u"/t/"_s + QString::fromLatin1(u"一"_s.toUtf8().toHex())));
    QCOMPARE(task.note_url, scan.server.url(u"/a"_s));
    // The fixed request headers, in their order.
    QStringList headers;
    const QList<TestHttpServer::Request> requests = scan.server.requests();
    for (const auto &[name, value] : requests.first().headers) {
        if (name == "User-Agent" || name == "Accept" || name == "Accept-Language")
            headers << QString::fromLatin1(name + '=' + value);
    }
    QCOMPARE(headers, (QStringList{u"User-Agent=Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)"_s,
                                   u"Accept=*/*"_s, u"Accept-Language=zh-cn,zh;q=0.5"_s}));
    scan.stop();
    QVERIFY(UserDb().hasTask(scan.batches.first().last()));
}

void TestScanTask::stopWhilePassWaitsStoresButAnnouncesNothing()
{
    Response hang;
    hang.neverAnswer = true;
    Scan scan({{u"a"_s, ok({u"A1"_s, u"A2"_s})}, {u"hang"_s, hang}});
    Clock::setTiming({60000, 10, 300});
    scan.start();
    QTRY_COMPARE_WITH_TIMEOUT(scan.server.requests().size(), 2, 10000);
    // The quick page is cut while the pass still waits for the other one; the stop does not wait for the cap.
    QTest::qWait(1000);
    scan.stop();
    QCOMPARE(scan.batches.size(), 0);
    TaskData stored{u"站"_s, u"a"_s, u"A2"_s, u"9元"_s, scan.server.url(u"/t/4132"_s), QString(), 0};
    QVERIFY(UserDb().hasTask(stored));
}

void TestScanTask::missingNodeStopsTheRun()
{
    Scan scan({{u"a"_s, ok({u"A1"_s})}});
    QVERIFY(UserDb().setAttention({{u"站"_s, u"a"_s}, {u"站"_s, u"gone"_s}}));
    scan.start();
    scan.thread.task(); // returns once the run has tried to start, whatever the outcome
    QVERIFY(scan.thread.wait(QDeadlineTimer(10000)));
    QVERIFY(scan.batches.isEmpty());
    QVERIFY(scan.server.requests().isEmpty());
    QCOMPARE(scan.thread.task(), nullptr);
}

void TestScanTask::laterPassesAnnounceOnlyNewTasks()
{
    Scan scan({{u"a"_s, ok({u"A1"_s, u"A2"_s})}});
    setSetting(Key::ScanInterval, u"30"_s); // 300 ms here
    scan.start();
    QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 1, 10000);
    // Further passes find nothing new and emit nothing at all.
    QTRY_VERIFY_WITH_TIMEOUT(scan.server.requests().size() >= 4, 10000);
    QCOMPARE(scan.batches.size(), 1);
    // A new row, and an old one whose price changed, are new tasks.
    Response changed = ok({u"A0"_s, u"A1"_s, u"A2"_s});
    changed.body.replace("<b>A2</b></a><i>9 元</i>", "<b>A2</b></a><i>19 元</i>");
    scan.server.setResponse(u"/a"_s, changed);
    QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 2, 10000);
    QCOMPARE(taskTitles(scan.batches[1]), (QStringList{u"A0"_s, u"A2"_s}));
    QCOMPARE(scan.batches[1][1].task_price, u"19元"_s);
}

void TestScanTask::zeroIntervalFallsBack()
{
    // "0" would re-scan without pause: it waits the fallback 180 "seconds" (1.8 s here) like any invalid value.
    Scan scan({{u"a"_s, ok({u"A1"_s})}});
    setSetting(Key::ScanInterval, u"0"_s);
    scan.start();
    QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 1, 10000);
    QTest::qWait(1000);
    QCOMPARE(scan.server.requests().size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(scan.server.requests().size(), 2, 10000);
}

QTEST_MAIN(TestScanTask)
#include "tst_scantask.moc"
