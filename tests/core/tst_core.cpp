#include "core/alertrules.h"
#include "core/enginethread.h"
#include "core/paths.h"
#include "support/sandbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <vector>

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
    void dataDirectoryIsMadeOnFirstUse()
    {
        Sandbox sandbox(false);
        // Not even the XDG data folder exists yet, as on a fresh account; racing callers all get the path.
        const QString expected = sandbox.root() + u"/data/Kestrow/udb.dll"_s;
        QVERIFY(!QFileInfo::exists(sandbox.root() + u"/data"_s));
        std::vector<QString> results(8); // a QList would detach in each thread
        QVERIFY(runConcurrently(int(results.size()), [&results](int i) { results[i] = dataFilePath(u"udb.dll"_s); }));
        QCOMPARE(results, std::vector<QString>(8, expected));
        QVERIFY(QFileInfo(dataFilePath()).isDir());
    }

    void unusableDataDirectory()
    {
        Sandbox sandbox(false);
        // The data folder is a plain file: nothing can be made below it.
        QVERIFY(writeFile(sandbox.root() + u"/data"_s, {}));
        QCOMPARE(dataFilePath(), QString());
        QCOMPARE(dataFilePath(u"udb.dll"_s), QString());
    }

    void engineWaitEndsWithAFailedRun()
    {
        // The waiter comes after initDone() but while the run still lives: the end of the run must release it.
        FailingRun run;
        run.start();
        QTRY_VERIFY(run.announced);
        bool watchdog = false;
        QTimer::singleShot(5000, &run, [&] {
            watchdog = true;
            emit run.initDone(); // unblocks a wait that would otherwise last for ever
        });
        QCOMPARE(run.engine(), nullptr);
        QVERIFY2(!watchdog, "the wait ended only on the watchdog");
        QVERIFY(run.wait(5000));
    }

    void alertFilters_data()
    {
        QTest::addColumn<QString>("require");
        QTest::addColumn<QString>("exclude");
        QTest::addColumn<double>("minPrice");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("price");
        QTest::addColumn<bool>("announced");
        const QString none;
        QTest::newRow("no rules") << none << none << 0.0 << u"任何任务"_s << none << true;
        QTest::newRow("any required word, any case")
            << u"logo，网站"_s << none << 0.0 << u"企业LOGO设计"_s << none << true;
        QTest::newRow("chinese substring") << u"网站"_s << none << 0.0 << u"企业网站建设"_s << none << true;
        QTest::newRow("no required word") << u"logo 网站"_s << none << 0.0 << u"文案写作"_s << none << false;
        QTest::newRow("blank words are none") << u" ,， ; "_s << u"  "_s << 0.0 << u"文案写作"_s << none << true;
        QTest::newRow("a 10,000-character word")
            << QString(10000, u'字') << none << 0.0 << u"文案写作"_s << none << false;
        QTest::newRow("excluded wins") << u"logo"_s << u"急,刷单"_s << 0.0 << u"急! Logo 设计"_s << none << false;
        // The first number in the price counts; a price without one passes.
        QTest::newRow("over the minimum") << none << none << 1000.0 << u"t"_s << u"1,000元"_s << true;
        QTest::newRow("under the minimum") << none << none << 1000.0 << u"t"_s << u"¥999"_s << false;
        QTest::newRow("grouped by spaces") << none << none << 1000.0 << u"t"_s << u"1 000 元"_s << true;
        QTest::newRow("ten thousands") << none << none << 10000.0 << u"t"_s << u"1.5万"_s << true;
        QTest::newRow("first number counts") << none << none << 1000.0 << u"t"_s << u"500-2000元"_s << false;
        QTest::newRow("no number passes") << none << none << 1000.0 << u"t"_s << u"面议"_s << true;
    }

    void alertFilters()
    {
        QFETCH(QString, require);
        QFETCH(QString, exclude);
        QFETCH(double, minPrice);
        QFETCH(QString, title);
        QFETCH(QString, price);
        QFETCH(bool, announced);
        AlertRules rules;
        rules.require = AlertRules::words(require);
        rules.exclude = AlertRules::words(exclude);
        rules.minPrice = minPrice;
        QCOMPARE(rules.wants(makeTask(title, price)), announced);
    }

    void quietHours()
    {
        // Start, end, now → milliseconds to the end of quiet time (0: not quiet); the quiet time may cross midnight.
        const QList<std::tuple<QTime, QTime, QTime, qint64>> cases = {
            {QTime(22, 0), QTime(8, 0), QTime(23, 0), 9 * 3600000},
            {QTime(22, 0), QTime(8, 0), QTime(7, 59, 59), 1000},
            {QTime(22, 0), QTime(8, 0), QTime(8, 0), 0},
            {QTime(22, 0), QTime(8, 0), QTime(21, 59), 0},
            {QTime(12, 0), QTime(13, 30), QTime(12, 0), 90 * 60000},
            {QTime(12, 0), QTime(13, 30), QTime(14, 0), 0},
            {QTime(9, 0), QTime(9, 0), QTime(9, 0), 0}, // equal: never quiet
            {QTime(), QTime(8, 0), QTime(7, 0), 0},
        };
        for (const auto &[start, end, now, ms] : cases) {
            AlertRules rules;
            rules.quietStart = start;
            rules.quietEnd = end;
            QCOMPARE(rules.msToQuietEnd(now), ms);
        }
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
