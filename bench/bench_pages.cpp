// Decoding and cutting whole pages (history lookups left out): throughput in MiB of body per second.
#include "pagegen.h"
#include "scan/feeds.h"
#include "scan/markerinference.h"
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

// Markers found from one example on a generated list page of 1 and 16 MiB (the page set's pages take well under this).
void BM_InferMarkers(benchmark::State &state)
{
    const QByteArray body = benchPage(state.range(0) * 1024 * 1024);
    const MarkerInference::Example example{QStringLiteral("企业网站建设 & Logo 设计 #500"), QString()};
    qsizetype rows = 0;
    for (auto _ : state) {
        const MarkerInference::Result result =
            MarkerInference::infer(body, QStringLiteral("http://127.0.0.1/list"), example, 60000);
        rows = result.found ? result.tasks.size() : -1;
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_InferMarkers)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(3);

// An RSS feed of 1 MiB read into tasks: throughput in MiB per second.
void BM_FeedCut(benchmark::State &state)
{
    QByteArray feed = "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>t</title>";
    for (int i = 0; feed.size() < 1024 * 1024; ++i)
        feed += "<item><title><![CDATA[企业网站建设 & Logo 设计 #" + QByteArray::number(i) +
                "]]></title><link>https://h.example/task/" + QByteArray::number(i) +
                "</link><description>&lt;p&gt;预算 ¥1,500，需要有经验的设计师，" + QByteArray(600, 'x') +
                "&lt;/p&gt;</description><pubDate>Mon, 07 Dec 2026 10:00:00 GMT</pubDate></item>\n";
    feed += "</channel></rss>";
    const AttentionData node{
        QStringLiteral("站"), QStringLiteral("源"), QStringLiteral("https://h.example/rss"), {}, NodeKind::Feed};
    qsizetype items = 0;
    for (auto _ : state) {
        QList<TaskData> tasks;
        parseFeed(feed, node, tasks);
        items = tasks.size();
    }
    state.SetBytesProcessed(state.iterations() * feed.size());
    state.counters["items"] = double(items);
}
BENCHMARK(BM_FeedCut)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
