// The history window over 10,000 and 100,000 stored tasks: opening it, and one search keystroke (a refresh of the
// whole table).
#include "store/userdb.h"
#include "taskgen.h"
#include "ui/historywindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

// One data directory per history size, filled once.
void useHistoryOf(int rows)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> dirs;
    auto &dir = dirs[rows];
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir->path()));
        UserDb db;
        QRandomGenerator random(42);
        QList<TaskData> batch;
        for (int serial = 0; serial < rows; ++serial) {
            batch.append(makeTask(random, serial));
            if (batch.size() == 10000) {
                db.addTasks(batch);
                batch.clear();
            }
        }
        db.addTasks(batch);
    }
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir->path()));
}

void BM_OpenHistoryWindow(benchmark::State &state)
{
    useHistoryOf(int(state.range(0)));
    for (auto _ : state) {
        auto *window = new HistoryWindow;
        window->show();
        QApplication::processEvents();
        state.PauseTiming();
        delete window;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenHistoryWindow)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

// Typing "海报" then deleting it again: each keystroke refreshes the table (a search, then all rows).
void BM_SearchKeystroke(benchmark::State &state)
{
    useHistoryOf(int(state.range(0)));
    HistoryWindow window;
    window.show();
    QApplication::processEvents();
    auto *search = window.findChild<QLineEdit *>(QStringLiteral("searchEdit"));
    const QString keys[] = {QStringLiteral("海"), QStringLiteral("报")};
    int step = 0;
    for (auto _ : state) {
        // A typed character or a backspace, as the keyboard delivers them.
        QKeyEvent key(QEvent::KeyPress, step % 4 < 2 ? Qt::Key_unknown : Qt::Key_Backspace, Qt::NoModifier,
                      step % 4 < 2 ? keys[step % 2] : QString());
        QApplication::sendEvent(search, &key);
        QApplication::processEvents();
        ++step;
    }
}
BENCHMARK(BM_SearchKeystroke)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(8);

// The keystroke that completes the two-character word "海报": the search and the table it fills.
void BM_SearchTwoCharacters(benchmark::State &state)
{
    useHistoryOf(int(state.range(0)));
    HistoryWindow window;
    window.show();
    QApplication::processEvents();
    auto *search = window.findChild<QLineEdit *>(QStringLiteral("searchEdit"));
    const auto press = [search](Qt::Key code, const QString &text) {
        QKeyEvent key(QEvent::KeyPress, code, Qt::NoModifier, text);
        QApplication::sendEvent(search, &key);
        QApplication::processEvents();
    };
    press(Qt::Key_unknown, QStringLiteral("海"));
    for (auto _ : state) {
        press(Qt::Key_unknown, QStringLiteral("报"));
        state.PauseTiming();
        press(Qt::Key_Backspace, QString());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SearchTwoCharacters)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
