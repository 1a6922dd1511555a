// Decoding and cutting whole pages (history lookups left out): throughput in MiB of body per second.
#include "pagegen.h"
#include "scan/pages.h"

#include <benchmark/benchmark.h>

namespace {

// As the scan engine cuts a page: a UTF-8 page in its bytes (parseBody).
void BM_DecodeAndParse(benchmark::State &state)
{
    const QByteArray body = benchPage(state.range(0) * 1024 * 1024);
    const AttentionData node{QStringLiteral("站"), QStringLiteral("节点"), QStringLiteral("http://127.0.0.1/list"),
                             benchMarkers};
    qsizetype found = 0;
    for (auto _ : state) {
        QList<TaskData> tasks;
        parseBody(body, node, tasks);
        found = tasks.size();
    }
    state.SetBytesProcessed(state.iterations() * body.size());
    state.counters["rows"] = double(found);
}
BENCHMARK(BM_DecodeAndParse)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

// The whole page decoded, then cut in UTF-16: the way a GBK page goes.
void BM_DecodeThenParseText(benchmark::State &state)
{
    const QByteArray body = benchPage(state.range(0) * 1024 * 1024);
    const AttentionData node{QStringLiteral("站"), QStringLiteral("节点"), QStringLiteral("http://127.0.0.1/list"),
                             benchMarkers};
    for (auto _ : state) {
        QList<TaskData> tasks;
        parsePage(decodePage(body), node, tasks);
        benchmark::DoNotOptimize(tasks);
    }
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(BM_DecodeThenParseText)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
