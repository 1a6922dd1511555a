#include "scan/knowntasks.h"
#include "scan/nodehealth.h"
#include "scan/pagerequest.h"
#include "scan/pages.h"
#include "scan/scantask.h"
#include "scan/taskthread.h"
#include "store/settings.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"

#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

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
    QList<NodeStatus> troubled; // as the last nodeHealth() said
    QStringList troubleBegan;   // node names, in order
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
        listen();
        QObject::connect(&thread, &TaskThread::nodeHealth, &receiver,
                         [this](const QList<NodeStatus> &nodes) { troubled = nodes; });
        QObject::connect(&thread, &TaskThread::nodeTroubleBegan, &receiver,
                         [this](const NodeStatus &status) { troubleBegan << status.note_name; });
    }
    int requestsFor(const QString &node) const
    {
        const QList<TestHttpServer::Request> requests = server.requests();
        int count = 0;
        for (const TestHttpServer::Request &request : requests)
            count += request.path == '/' + node.toUtf8();
        return count;
    }
    ~Scan() { stop(); }
    void listen()
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
    void initTestCase()
    {
        registerTaskListType();
        registerNodeStatusTypes();
    }

    void firstPass_data()
    {
        QTest::addColumn<int>("index");
        const QList<Scenario> all = scenarios();
        for (int i = 0; i < all.size(); ++i)
            QTest::newRow(all[i].name) << i;
    }

    void firstPass()
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

    void requestAndTaskFields()
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

    void stopWhilePassWaitsStoresButAnnouncesNothing()
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

    void missingNodeStopsTheRun()
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

    void laterPassesAnnounceOnlyNewTasks()
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

    void knownTasksAgreeWithTheDatabase()
    {
        Sandbox sandbox;
        UserDb scanDb, other; // the scan thread's connection, and another one (the purge's, a second window's)
        auto known = std::make_unique<KnownTasks>(scanDb);
        const AttentionData here{u"站"_s, u"节点"_s, u"http://127.0.0.1/a"_s, listMarkers};
        AttentionData elsewhere = here;
        elsewhere.note_name = u"其他"_s; // the same rows on another node are other tasks
        const QByteArray page = listPage({u"A"_s, u"B"_s});
        // The pages as the engine handles them; what is kept must be exactly what a fresh connection calls new.
        const auto pass = [&] {
            known->beginPass();
            QList<TaskData> fresh, all, expected;
            int rows = 0;
            for (const AttentionData &node : {here, elsewhere}) {
                rows += known->newTasks(page, node, fresh);
                parseBody(page, node, all);
            }
            UserDb check;
            for (const TaskData &task : std::as_const(all)) {
                if (!check.hasTask(task))
                    expected.append(task);
            }
            if (rows != 4 || fresh.size() != expected.size() ||
                !std::equal(fresh.cbegin(), fresh.cend(), expected.cbegin(), std::mem_fn(&TaskData::isSameTask)))
                QTest::qFail("the remembered answer differs from the database's", __FILE__, __LINE__);
            if (scanDb.addTasks(fresh))
                known->stored();
            return fresh.size();
        };
        QList<TaskData> first;
        parseBody(page, here, first);
        QVERIFY(other.addTasks({first.first()}));
        QCOMPARE(pass(), 3);
        QCOMPARE(pass(), 0);
        // Purged by another connection: every task is new again.
        Clock::setOverride(Clock::now().addDays(4));
        QVERIFY(other.purgeTasks(3));
        QCOMPARE(pass(), 4);
        QCOMPARE(pass(), 0);
        known = std::make_unique<KnownTasks>(scanDb); // a restart remembers nothing but finds the history
        QCOMPARE(pass(), 0);
    }

    void zeroIntervalFallsBack()
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

    void healthAndBackOff_data()
    {
        QTest::addColumn<QString>("outcomes"); // per fetched pass: F failed, E answered without rows, R rows
        QTest::addColumn<qint64>("intervalMs");
        QTest::addColumn<QString>("passes"); // per pass: x fetched, - left out
        QTest::addColumn<QString>("health"); // at the end: ok, failing, broken
        QTest::addColumn<int>("troubleBegan");
        // Three failures make a node failing; from then on each failure doubles the passes between tries.
        QTest::newRow("keeps failing") << u"FFFFFF"_s << qint64(180000) << u"xxx-x---x-------x"_s << u"failing"_s << 1;
        QTest::newRow("recovers and resets") << u"FFFRFFF"_s << qint64(180000) << u"xxx-xxxx"_s << u"failing"_s << 2;
        // The longest back-off is 30 minutes: at 10 minutes a pass, every third pass.
        QTest::newRow("longest back-off") << u"FFFFFF"_s << qint64(600000) << u"xxx-x--x--x"_s << u"failing"_s << 1;
        QTest::newRow("broken after six empty answers")
            << u"EEEEEE"_s << qint64(180000) << u"xxxxxx"_s << u"broken"_s << 1;
        QTest::newRow("a failure between empty answers")
            << u"EEEEFEE"_s << qint64(180000) << u"xxxxxxx"_s << u"broken"_s << 1;
        QTest::newRow("rows heal a broken node") << u"EEEEEER"_s << qint64(180000) << u"xxxxxxx"_s << u"ok"_s << 1;
    }

    void healthAndBackOff()
    {
        QFETCH(QString, outcomes);
        QFETCH(qint64, intervalMs);
        QFETCH(QString, passes);
        QFETCH(QString, health);
        QFETCH(int, troubleBegan);
        NodeHealth::Limits limits;
        limits.intervalMs = intervalMs;
        NodeHealth book({AttentionData{u"站"_s, u"n"_s, u"http://h/"_s, {}}}, {}, limits);
        QString seen;
        int began = 0;
        for (qsizetype next = 0; next < outcomes.size(); book.takeChanged()) {
            const qint64 now = 1000 * (seen.size() + 1);
            if (!book.takesPart(0, now)) {
                seen += u'-';
                continue;
            }
            seen += u'x';
            const QChar outcome = outcomes[next++];
            if (outcome == u'F')
                book.failed(0, u"HTTP 500"_s, now);
            else
                book.answered(0, outcome == u'R' ? 3 : 0, now);
            began += int(book.takeNewTrouble().size());
        }
        QCOMPARE(seen, passes);
        const NodeStatus::Health state = book.status(0).health(limits.failingAfter, limits.brokenAfter);
        QCOMPARE(state == NodeStatus::Health::Ok        ? u"ok"_s
                 : state == NodeStatus::Health::Failing ? u"failing"_s
                                                        : u"broken"_s,
                 health);
        QCOMPARE(began, troubleBegan);
    }

    void retryAfterValues()
    {
        const qint64 now = QDateTime(QDate(2026, 12, 6), QTime(12, 0), Qt::UTC).toMSecsSinceEpoch();
        const QList<QPair<QByteArray, qint64>> values = {{"120", now + 120000},
                                                         {" 0 ", now},
                                                         {"Sun, 06 Dec 2026 12:30:00 GMT", now + 1800000},
                                                         {"-5", -1},
                                                         {"soon", -1},
                                                         {"Sun, 06 Dec 2026 12:30:00 CET", -1},
                                                         {"", -1}};
        for (const auto &[value, expected] : values)
            QCOMPARE(PageRequest::retryAfter(value, now), expected);
        // A host may ask for an hour at most.
        NodeHealth book({AttentionData{u"站"_s, u"n"_s, u"http://H/"_s, {}}}, {}, NodeHealth::Limits());
        book.holdHost(u"h"_s, now + 24 * 3600000, now);
        QVERIFY(!book.takesPart(0, now + 3600000 - 1));
        QVERIFY(book.takesPart(0, now + 3600000));
    }

    void nodeHealthEndToEnd()
    {
        // A good node beside one answering 500 and one whose markup changed (it answers, but without rows).
        Response failing = ok({});
        failing.status = 500;
        Response changed = ok({});
        changed.body = "<html><table><tr><td>新的页面</td></tr></table></html>";
        Scan scan({{u"good"_s, ok({u"G1"_s})}, {u"bad"_s, failing}, {u"changed"_s, changed}});
        setSetting(Key::ScanInterval, u"10"_s); // 100 ms here
        scan.start();
        QTRY_VERIFY_WITH_TIMEOUT(scan.requestsFor(u"good"_s) >= 9, 20000);
        scan.stop();
        // The bad node is backed off after its third failure; each becomes troubled once; the good one is announced.
        const QString pattern = u"xxx-x---x-------x"_s.left(scan.requestsFor(u"good"_s));
        QCOMPARE(scan.requestsFor(u"bad"_s), int(pattern.count(u'x')));
        QCOMPARE(scan.troubleBegan, (QStringList{u"bad"_s, u"changed"_s}));
        QCOMPARE(taskTitles(scan.batches.value(0)), QStringList{u"G1"_s});
        QCOMPARE(scan.troubled.size(), 2);
        QCOMPARE(scan.troubled[0].lastError, u"HTTP 500"_s);
        // The statuses outlive the run: the next one starts out knowing them, and a good answer heals the bad node.
        scan.server.setResponse(u"/bad"_s, ok({u"B1"_s}));
        scan.batches.clear();
        scan.troubleBegan.clear();
        scan.listen();
        scan.start();
        QTRY_VERIFY_WITH_TIMEOUT(!scan.batches.isEmpty(), 10000);
        QTRY_COMPARE(scan.troubled.size(), 1);
        QCOMPARE(scan.troubled[0].note_name, u"changed"_s);
        QVERIFY(scan.troubleBegan.isEmpty());
        const QStringList stored =
            rawColumn(scan.sandbox.userDbPath(), u"SELECT note_name || ':' || failures || ':' || "
                                                 "empty_passes FROM tb_node_status ORDER BY "
                                                 "note_name;"_s);
        QCOMPARE(stored.value(0), u"bad:0:0"_s);
        QVERIFY(stored.value(1).startsWith(u"changed:0:"_s));
    }

    void retryAfterHoldsTheHost_data()
    {
        QTest::addColumn<bool>("httpDate");
        QTest::newRow("seconds") << false;
        QTest::newRow("HTTP date") << true;
    }

    void retryAfterHoldsTheHost()
    {
        QFETCH(bool, httpDate);
        const QByteArray retryAfter =
            httpDate ? QLocale::c()
                           .toString(QDateTime::currentDateTimeUtc().addSecs(3), u"ddd, dd MMM yyyy HH:mm:ss 'GMT'"_s)
                           .toLatin1()
                     : QByteArray("2");
        Response busy = ok({});
        busy.status = 503;
        busy.headers = {{"Retry-After", retryAfter}};
        Scan scan({{u"busy"_s, busy}, {u"other"_s, ok({u"O1"_s})}});
        setSetting(Key::ScanInterval, u"10"_s);
        scan.start();
        QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 1, 10000);
        // Every node of the host rests until the time asked for, then both are fetched again.
        QTest::qWait(700);
        QCOMPARE(scan.server.requests().size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(scan.requestsFor(u"other"_s) >= 2 && scan.requestsFor(u"busy"_s) >= 2, 10000);
    }
};

QTEST_MAIN(TestScanTask)
#include "tst_scantask.moc"
