#include "core/alertrules.h"
#include "core/enginethread.h"
#include "core/paths.h"
#include "support/sandbox.h"

#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// A run that fails to start: it announces initDone() without an engine, then lingers a moment before it ends.
class FailingRun : public EngineThread
{
public:
    std::atomic<bool> announced{false};
    QObject *engine() { return engineObject(); }

protected:
    void run() override
    {
        emit initDone();
        announced = true;
        QThread::msleep(300);
    }
};

} // namespace

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void dataDirectory()
    {
        {
            // Not even the XDG data folder exists yet, as on a fresh account; racing callers all get the path.
            Sandbox sandbox(false);
            std::vector<QString> results(8); // a QList would detach in each thread
            QVERIFY(runConcurrently(8, [&results](int i) { results[i] = dataFilePath(u"udb.dll"_s); }));
            QCOMPARE(results, std::vector<QString>(8, sandbox.userDbPath()));
            QVERIFY(QFileInfo(dataFilePath()).isDir());
        }
        // The data folder is a plain file: nothing can be made below it.
        Sandbox sandbox(false);
        QVERIFY(writeFile(sandbox.root() + u"/data"_s, {}));
        QCOMPARE(dataFilePath(u"udb.dll"_s), QString());
    }

    void engineWaitEndsWithAFailedRun()
    {
        // The waiter comes after initDone() but while the run still lives: the end of the run must release it.
        FailingRun run;
        run.start();
        QTRY_VERIFY(run.announced);
        bool watchdog = false;
        // Unblocks a wait that would otherwise last for ever.
        QTimer::singleShot(5000, &run, [&] { watchdog = true, emit run.initDone(); });
        QCOMPARE(run.engine(), nullptr);
        QVERIFY2(!watchdog, "the wait ended only on the watchdog");
        QVERIFY(run.wait(5000));
    }

    void alertFilters()
    {
        // The first number in the price counts; a price without one passes.
        // Required words, excluded words, minimum price, title, price → announced.
        const std::tuple<QString, QString, double, QString, QString, bool> cases[] = {
            {{}, {}, 0, u"任何任务"_s, {}, true},
            {u"logo，网站"_s, {}, 0, u"企业LOGO设计"_s, {}, true},
            {u"logo 网站"_s, {}, 0, u"文案写作"_s, {}, false},
            {u" ,， ; "_s, u"  "_s, 0, u"文案写作"_s, {}, true},
            {QString(10000, u'字'), {}, 0, u"文案写作"_s, {}, false},
            {u"logo"_s, u"急,刷单"_s, 0, u"急! Logo 设计"_s, {}, false},
            {{}, {}, 1000, u"t"_s, u"1,000元"_s, true},
            {{}, {}, 1000, u"t"_s, u"¥999"_s, false},
            {{}, {}, 1000, u"t"_s, u"1 000 元"_s, true},
            {{}, {}, 10000, u"t"_s, u"1.5万"_s, true},
            {{}, {}, 1000, u"t"_s, u"500-2000元"_s, false},
            {{}, {}, 1000, u"t"_s, u"面议"_s, true},
        };
        for (const auto &[require, exclude, minPrice, title, price, announced] : cases) {
            const AlertRules rules{AlertRules::words(require), AlertRules::words(exclude), minPrice, {}, {}};
            QVERIFY2(rules.wants(makeTask(title, price)) == announced, qPrintable(title + u' ' + price));
        }
    }

    void quietHours()
    {
        // Start, end, now → milliseconds to the end of quiet time (0: not quiet); the quiet time may cross midnight.
        const QTime ten(22, 0), eight(8, 0), noon(12, 0);
        const std::tuple<QTime, QTime, QTime, qint64> cases[] = {
            {ten, eight, QTime(23, 0), 9 * 3600000},
            {ten, eight, QTime(7, 59, 59), 1000},
            {ten, eight, eight, 0},
            {ten, eight, QTime(21, 59), 0},
            {noon, QTime(13, 30), noon, 90 * 60000},
            {noon, QTime(13, 30), QTime(14, 0), 0},
            {eight, eight, eight, 0}, // equal: never quiet
            {QTime(), eight, QTime(7, 0), 0},
        };
        for (const auto &[start, end, now, ms] : cases)
            QCOMPARE((AlertRules{{}, {}, 0, start, end}.msToQuietEnd(now)), ms);
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
