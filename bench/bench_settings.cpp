// Cost of a cached setting read and of a user-database read that misses.
#include "store/settings.h"
#include "store/userdb.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void BM_SettingCached(benchmark::State &state)
{
    setSetting(Key::ScanInterval, QStringLiteral("180"));
    const QString key = QLatin1String(Key::ScanInterval.key);
    for (auto _ : state)
        benchmark::DoNotOptimize(setting(key));
}
BENCHMARK(BM_SettingCached)->Threads(1)->Threads(2);

void BM_ConfigMiss(benchmark::State &state)
{
    UserDb db;
    for (int i = 0; i < 200; ++i)
        db.setConfig(QStringLiteral("key%1").arg(i), QString::number(i));
    const QString key = QStringLiteral("no_such_key");
    const QString fallback = QStringLiteral("d");
    for (auto _ : state)
        benchmark::DoNotOptimize(db.config(key, fallback));
}
BENCHMARK(BM_ConfigMiss);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    QCoreApplication app(argc, argv);
    loadSettings(QString());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
