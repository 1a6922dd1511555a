// The task history at 100,000 rows: the per-row history lookup (with and without the identity index), storing a
// batch of 1,000, searching titles, purging half the rows; and a start's purge at 240,000 rows.
#include "core/clock.h"
#include "store/userdb.h"
#include "taskgen.h"

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

// The time the purge benchmark stores rows at, in place of the system's while it lives.
struct BenchClock : Clock::Source
{
    BenchClock() : replaced(Clock::install(this)) {}
    ~BenchClock() override { Clock::install(replaced); }
    QDateTime now() const override { return when.isValid() ? when : QDateTime::currentDateTime(); }
    Clock::Timing timing() const override { return {}; }
    QDateTime when;
    const Clock::Source *replaced;
};

constexpr int historyRows = 100000;

// One history of historyRows rows shared by the lookup and search benchmarks.
struct History
{
    QTemporaryDir dir;
    std::unique_ptr<UserDb> db;
    QList<TaskData> stored;
    int serial = 0;

    History()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        db = std::make_unique<UserDb>();
        QRandomGenerator random(42);
        QList<TaskData> batch;
        while (serial < historyRows) {
            batch.append(makeTask(random, serial++));
            if (batch.size() == 5000) {
                db->addTasks(batch);
                stored += batch;
                batch.clear();
            }
        }
    }
};

History &history()
{
    static History instance;
    return instance;
}

void lookups(benchmark::State &state)
{
    History &h = history();
    QRandomGenerator random(7);
    TaskData missing = h.stored.first();
    missing.task_url = QStringLiteral("http://127.0.0.1:8731/task/none");
    bool found = false;
    for (auto _ : state) {
        // Half the lookups find a stored task, half miss, as on a page where some rows are new.
        const TaskData &task = random.bounded(2) ? h.stored[random.bounded(int(h.stored.size()))] : missing;
        found = h.db->hasTask(task);
        benchmark::DoNotOptimize(found);
    }
}

void BM_HasTask(benchmark::State &state)
{
    lookups(state);
}
BENCHMARK(BM_HasTask)->Unit(benchmark::kMicrosecond);

void BM_HasTaskWithoutIndex(benchmark::State &state)
{
    History &h = history();
    h.db->execute(QStringLiteral("DROP INDEX idx_tb_history_task_identity;"));
    lookups(state);
    h.db->execute(QStringLiteral("CREATE INDEX idx_tb_history_task_identity ON tb_history_task(task_url, site_name, "
                                 "note_name, task_name, task_price);"));
}
BENCHMARK(BM_HasTaskWithoutIndex)->Unit(benchmark::kMicrosecond);

void search(benchmark::State &state, const QString &text)
{
    History &h = history();
    qint64 rows = 0;
    for (auto _ : state) {
        TaskRows found;
        h.db->searchTasks(QString(), text, found);
        rows = found.size();
    }
    state.counters["rows"] = double(rows);
}

void BM_SearchChineseTwoCharacters(benchmark::State &state)
{
    search(state, QStringLiteral("海报"));
}
BENCHMARK(BM_SearchChineseTwoCharacters)->Unit(benchmark::kMillisecond);

void BM_SearchLatinFiveLetters(benchmark::State &state)
{
    search(state, QStringLiteral("BRAND"));
}
BENCHMARK(BM_SearchLatinFiveLetters)->Unit(benchmark::kMillisecond);

void BM_AddTasks1000(benchmark::State &state)
{
    History &h = history();
    QRandomGenerator random(9);
    for (auto _ : state) {
        state.PauseTiming();
        QList<TaskData> batch;
        for (int i = 0; i < 1000; ++i)
            batch.append(makeTask(random, h.serial++));
        state.ResumeTiming();
        h.db->addTasks(batch);
    }
}
BENCHMARK(BM_AddTasks1000)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_PurgeHalf(benchmark::State &state)
{
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    QRandomGenerator random(11);
    const QDateTime now = QDateTime::currentDateTime();
    qint64 remaining = 0;
    BenchClock clock;
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(dir.filePath(QStringLiteral("Kestrow/udb.dll")));
        UserDb db;
        QList<TaskData> batch;
        for (int i = 0; i < historyRows; ++i)
            batch.append(makeTask(random, i));
        // The older half four days back, the newer half from today.
        clock.when = now.addDays(-4);
        db.addTasks(batch.mid(0, historyRows / 2));
        clock.when = now;
        db.addTasks(batch.mid(historyRows / 2));
        state.ResumeTiming();
        db.purgeTasks(3);
        state.PauseTiming();
        TaskRows found;
        db.searchTasks(QString(), QString(), found);
        remaining = found.size();
        state.ResumeTiming();
    }
    state.counters["remaining"] = double(remaining);
}
BENCHMARK(BM_PurgeHalf)->Unit(benchmark::kMillisecond)->Iterations(3);

// What each start costs before the scan thread may store its first batch, at 240,000 rows of which none is old:
// the check's purge (which now compacts only when it removed rows and a quarter of the file is free), and the
// compaction every check used to run.
struct BigHistory
{
    QTemporaryDir dir;
    std::unique_ptr<UserDb> db;

    BigHistory()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        db = std::make_unique<UserDb>();
        QRandomGenerator random(7);
        QList<TaskData> batch;
        for (int i = 0; i < 240000; ++i) {
            batch.append(makeTask(random, i));
            if (batch.size() == 10000) {
                db->addTasks(batch);
                batch.clear();
            }
        }
    }
};

BigHistory &bigHistory()
{
    static BigHistory history;
    return history;
}

void BM_StartPurge240k(benchmark::State &state)
{
    UserDb &db = *bigHistory().db;
    for (auto _ : state)
        db.purgeTasks(3);
}
BENCHMARK(BM_StartPurge240k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Compaction240k(benchmark::State &state)
{
    UserDb &db = *bigHistory().db;
    for (auto _ : state)
        db.execute(QStringLiteral("VACUUM;"));
}
BENCHMARK(BM_Compaction240k)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
