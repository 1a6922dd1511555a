// Runs the whole program (controller, scan and housekeeping threads, popup) offscreen against 50 local nodes of 200
// rows each, two of them new on every node at every pass, and prints the resident memory every 100 passes.
//   soak [PASSES]                 memory over PASSES passes (default 2,100), one pass after another
//   soak --first-batch            time from start to the first stored batch over a history of 240,000 rows, alone
//                                 and while a VACUUM holds the database (what every start did before)
#include "app/kestrow.h"
#include "pagegen.h"
#include "scan/taskthread.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cstdio>

namespace {

constexpr int nodeCount = 50;
constexpr int rowsPerPage = 200;
constexpr int newRowsPerPass = 2;

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

struct Sites
{
    TestHttpServer server;
    int pass = 0;

    Sites()
    {
        CatalogBuilder catalog;
        QList<AttentionPair> followed;
        for (int n = 0; n < nodeCount; ++n) {
            const QString node = QStringLiteral("node%1").arg(n);
            catalog.node(QStringLiteral("站"), node, server.url(QLatin1Char('/') + node), benchMarkers);
            followed.append({QStringLiteral("站"), node});
        }
        UserDb().setAttention(followed);
        turn();
    }
    // The next pass's pages: each node's list moves on by two new rows.
    void turn()
    {
        for (int n = 0; n < nodeCount; ++n) {
            TestHttpServer::Response page;
            const int first = n * 10000000 + pass * newRowsPerPass;
            page.body = benchPage(qsizetype(rowsPerPage) * 1024, 1024, first);
            server.setResponse(QStringLiteral("/node%1").arg(n), page);
        }
        server.clearRequests();
        ++pass;
    }
};

int soak(int passes)
{
    Sandbox sandbox;
    setSetting(Key::ScanInterval, QStringLiteral("1"));
    // One "second" of the scan interval lasts 20 ms: passes follow each other.
    sandbox.clock.setTiming({60000, 20, 3600000, 600000, 30000});
    Sites sites;
    Kestrow kestrow;
    int done = 0;
    long atHundred = 0;
    kestrow.start();
    QObject::connect(kestrow.scanThread(), &TaskThread::newTask, qApp, [&] {
        ++done;
        sites.turn();
        if (done % 100 == 0) {
            const long rss = residentKiB();
            if (done == 100)
                atHundred = rss;
            std::printf("pass %5d: %6.1f MB resident (%+.2f MB since pass 100)\n", done, rss / 1024.0,
                        (rss - atHundred) / 1024.0);
            std::fflush(stdout);
        }
        if (done >= passes)
            QApplication::quit();
    });
    QApplication::exec();
    return 0;
}

qint64 firstBatchMs(bool vacuumAtStart)
{
    Sandbox sandbox;
    sandbox.clock.setTiming(Clock::Timing());
    Sites sites;
    QList<TaskData> history;
    for (int i = 0; i < 240000; ++i) {
        history.append(TaskData{QStringLiteral("站"), QStringLiteral("node%1").arg(i % nodeCount),
                                QStringLiteral("历史任务 %1 企业网站建设").arg(i), QStringLiteral("%1元").arg(i),
                                QStringLiteral("http://127.0.0.1/old/%1").arg(i), QString(), 0});
        if (history.size() == 20000) {
            UserDb().addTasks(history);
            history.clear();
        }
    }
    QElapsedTimer timer;
    QThread *vacuum = QThread::create([] {
        UserDb db;
        std::unique_lock lock(userDbLock);
        db.execute(QStringLiteral("VACUUM;"));
    });
    Kestrow kestrow;
    qint64 elapsed = -1;
    timer.start();
    if (vacuumAtStart)
        vacuum->start();
    kestrow.start();
    QObject::connect(kestrow.scanThread(), &TaskThread::newTask, qApp, [&] {
        elapsed = timer.elapsed();
        QApplication::quit();
    });
    QApplication::exec();
    vacuum->wait();
    delete vacuum;
    return elapsed;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "kestrow.*.debug=false");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--first-batch")) {
        for (int run = 0; run < 3; ++run) {
            std::printf("start to first stored batch over 240,000 rows: %lld ms; with a VACUUM at start: %lld ms\n",
                        static_cast<long long>(firstBatchMs(false)), static_cast<long long>(firstBatchMs(true)));
            std::fflush(stdout);
        }
        return 0;
    }
    return soak(args.isEmpty() ? 2100 : args.value(0).toInt());
}
