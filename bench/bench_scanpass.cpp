// One whole scan pass: 50 followed nodes on a local server, each answering after 100 ms with 200 rows, against a
// history of 100,000 rows. Reports the pass's wall time and the CPU time of the thread that runs it.
#include "core/clock.h"
#include "core/paths.h"
#include "pagegen.h"
#include "scan/scantask.h"
#include "store/userdb.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>

namespace {

constexpr int nodeCount = 50;
constexpr int rowsPerPage = 200;

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct Setup
{
    Sandbox sandbox{false};
    TestHttpServer server;
    CatalogBuilder catalog;

    Setup()
    {
        sandbox.clock.setTiming(Clock::Timing()); // the program's own waits, not the tests' short ones
        QList<AttentionPair> followed;
        for (int n = 0; n < nodeCount; ++n) {
            const QString node = QStringLiteral("node%1").arg(n);
            catalog.node(QStringLiteral("站"), node, server.url(QLatin1Char('/') + node), benchMarkers);
            followed.append({QStringLiteral("站"), node});
        }
        UserDb db;
        db.setAttention(followed);
        // A history of 100,000 other tasks.
        QList<TaskData> history;
        for (int i = 0; i < 100000; ++i) {
            history.append(TaskData{QStringLiteral("站"), QStringLiteral("node%1").arg(i % nodeCount),
                                    QStringLiteral("历史任务 %1").arg(i), QStringLiteral("%1元").arg(i % 5000),
                                    QStringLiteral("http://127.0.0.1/old/%1").arg(i), QString(), 0});
            if (history.size() == 10000) {
                db.addTasks(history);
                history.clear();
            }
        }
    }

    // Every node's page: 200 rows, fresh serials when fresh is set.
    void serve(int firstSerial)
    {
        for (int n = 0; n < nodeCount; ++n) {
            TestHttpServer::Response response;
            response.delayMs = 100;
            response.body = benchPage(qsizetype(rowsPerPage) * 1024, 1024, firstSerial + n * rowsPerPage);
            server.setResponse(QStringLiteral("/node%1").arg(n), response);
        }
    }
};

Setup &setup()
{
    static Setup instance;
    return instance;
}

// Starting the engine with 10,000 followed nodes in a catalogue of 10,000 (reading their rules and statuses), before
// any page is fetched.
void BM_InitTenThousandNodes(benchmark::State &state)
{
    constexpr int count = 10000;
    Sandbox sandbox(false);
    QStringList rows;
    QList<AttentionPair> followed;
    for (int n = 0; n < count; ++n) {
        const QString node = QStringLiteral("node%1").arg(n);
        rows << QStringLiteral("(%1, %2, %3)")
                    .arg(CatalogBuilder::blob(QStringLiteral("站")), CatalogBuilder::blob(node),
                         CatalogBuilder::text(QStringLiteral("http://127.0.0.1:9/") + node));
        followed.append({QStringLiteral("站"), node});
    }
    CatalogBuilder catalog;
    catalog.site(QStringLiteral("站"));
    catalog.raw(QStringLiteral("INSERT INTO tb_node(site_name, node_name, node_url) VALUES %1;").arg(rows.join(u',')));
    UserDb().setAttention(followed);
    for (auto _ : state) {
        ScanTask engine;
        if (!engine.init())
            state.SkipWithError("the engine did not start");
    }
}
BENCHMARK(BM_InitTenThousandNodes)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Passes whose pages each show newPerPage tasks the history has not seen (the lists move on by that many rows).
void pass(benchmark::State &state, int newPerPage)
{
    Setup &s = setup();
    ScanTask engine;
    if (!engine.init()) {
        state.SkipWithError("the engine did not start");
        return;
    }
    static int serial = 10000000; // fresh serials in every run, whatever ran before
    serial += nodeCount * rowsPerPage * 2;
    s.serve(serial);
    engine.scan(); // the pages' tasks are known from now on
    double cpu = 0;
    for (auto _ : state) {
        if (newPerPage > 0) {
            state.PauseTiming();
            serial -= newPerPage;
            s.serve(serial);
            state.ResumeTiming();
        }
        const double before = threadCpuSeconds();
        engine.scan();
        cpu += threadCpuSeconds() - before;
    }
    state.counters["scan_thread_cpu_ms"] = benchmark::Counter(cpu * 1000 / double(state.iterations()));
}

// Every row of every page is new: 10,000 lookups, one batch of 10,000 announced and stored.
void BM_PassAllNew(benchmark::State &state)
{
    pass(state, rowsPerPage);
}
BENCHMARK(BM_PassAllNew)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Ten new rows on every page: 500 new tasks announced and stored.
void BM_PassTenNewPerPage(benchmark::State &state)
{
    pass(state, 10);
}
BENCHMARK(BM_PassTenNewPerPage)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// The usual pass: every row already seen and nothing announced.
void BM_PassAllKnown(benchmark::State &state)
{
    pass(state, 0);
}
BENCHMARK(BM_PassAllKnown)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
