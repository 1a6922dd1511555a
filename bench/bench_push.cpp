// Building a push for each service: a usual batch of ten tasks, and a thousand tasks with a title of a megabyte.
#include "push/pushformat.h"

#include <benchmark/benchmark.h>

namespace {

QList<TaskData> tasks(int count, qsizetype firstTitleChars)
{
    QList<TaskData> made;
    for (int i = 0; i < count; ++i)
        made.append({QStringLiteral("鹰眼众包"), QStringLiteral("平面设计"),
                     QStringLiteral("企业官网开发 & 售后维护 %1").arg(i), QStringLiteral("¥3000"),
                     QStringLiteral("https://example.com/task/%1").arg(i), QString(), 0});
    made[0].task_name = QString(firstTitleChars, QChar(u'任'));
    return made;
}

void BM_PushRequest(benchmark::State &state)
{
    PushChannel channel;
    channel.kind = PushChannel::Kind(state.range(0));
    channel.url = QStringLiteral("https://push.example/hook?key=k");
    channel.secret = QStringLiteral("SEC0123");
    channel.topic = QStringLiteral("jobs");
    const QList<TaskData> batch = state.range(1) ? tasks(1000, 1 << 20) : tasks(10, 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(PushFormat::request(channel, batch, 1577262236757).body);
    state.SetLabel(pushKindNames[state.range(0)]);
}
BENCHMARK(BM_PushRequest)->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}})->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
