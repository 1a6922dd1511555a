#include "core/alertrules.h"
#include "core/enginethread.h"
#include "core/paths.h"
#include "platform/platform.h"
#include "support/sandbox.h"
#include "support/xdesktop.h"

#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <iostream>
#include <thread>

#include <sched.h>

using namespace Qt::StringLiterals;

namespace {

const QString instanceKey = u"{AB561922-AD01-4738-A88A-035787B2E719}"_s;

// A run that fails to start: it announces initDone() without an engine, then lingers a moment before it ends.
class FailingRun : public EngineThread
{
public:
    std::atomic<bool> announced{false};
    QObject *engine() { return engineObject(); }

protected:
    void run() override { emit initDone(), announced = true, QThread::msleep(300); }
};

} // namespace

// The layers under the store: the platform calls, paths, engine threads and alert rules.
class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void singleInstance()
    {
        // Another process holds the instance...
        using Platform::Claim;
        const QStringList folders{QDir::tempPath()};
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {u"--hold-instance"_s});
        QVERIFY(holder.waitForReadyRead(30000) && Platform::claimSingleInstance(instanceKey, folders) == Claim::Taken);
        // ...then dies without cleaning up: that must not block the next start.
        ::kill(pid_t(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished(30000) && Platform::claimSingleInstance(instanceKey, folders) == Claim::Held);
        QCOMPARE(Platform::claimSingleInstance(instanceKey, folders), Claim::Taken);
        QCOMPARE(Platform::claimSingleInstance(u"other-key"_s, folders), Claim::Held);
        // Where no lock can be made in the first folder, the next one holds it; where none can be made at all, the
        // start is refused rather than run unguarded.
        QTemporaryDir data;
        const QString nowhere = u"/proc/kestrow-nowhere"_s;
        QCOMPARE(Platform::claimSingleInstance(u"third-key"_s, {nowhere, data.path()}), Claim::Held);
        QVERIFY(QFileInfo(data.filePath(u"third-key.lock"_s)).isFile());
        QCOMPARE(Platform::claimSingleInstance(u"fourth-key"_s, {nowhere, nowhere + u'2'}), Claim::Impossible);
    }

    void autostartEntry()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const QString entry = config.filePath(u"autostart/Kestrow.desktop"_s);
        // Inside the quotes `"`, '`', '$' and '\' take a backslash, '%' is doubled; then the string rule doubles every
        // backslash again.
        const QList<std::pair<QString, QString>> cases = {
            {u"/home/a b/kestrow"_s, u"Exec=\"/home/a b/kestrow\""_s},
            {u"/x/\"q\"$HOME/k"_s, u"Exec=\"/x/\\\\\"q\\\\\"\\\\$HOME/k\""_s},
            {u"/x/100%u/k"_s, u"Exec=\"/x/100%%u/k\""_s},
            {u"/x/a\\b/k"_s, u"Exec=\"/x/a\\\\\\\\b/k\""_s},
            {u"/x/`id`/k"_s, u"Exec=\"/x/\\\\`id\\\\`/k\""_s},
        };
        for (const auto &[program, execLine] : cases) {
            QVERIFY(!Platform::isAutostart(program) && Platform::setAutostart(true, program));
            // TryExec names the program itself: once it is removed, the session starts nothing.
            const QStringList lines = QString::fromUtf8(readFile(entry)).split(u'\n');
            QVERIFY2(lines.contains(execLine) && lines.contains(u"TryExec="_s + program), qPrintable(readFile(entry)));
            QVERIFY(Platform::isAutostart(program) && !Platform::isAutostart(u"/opt/other/kestrow"_s));
            QVERIFY(Platform::setAutostart(false, program) && !QFile::exists(entry) && !Platform::isAutostart(program));
        }
    }

    void normalSchedulingRaisesAnIdleThread()
    {
        // The scheduling class of a lowered thread, while it is raised and once it is lowered again.
        QList<int> policies;
        bool lowered = false;
        std::thread([&] {
            lowered = Platform::lowerCurrentThread();
            policies << sched_getscheduler(0);
            auto normal = std::make_unique<Platform::NormalScheduling>();
            policies << sched_getscheduler(0);
            normal.reset();
            policies << sched_getscheduler(0);
        }).join();
        if (!lowered)
            QSKIP("this account may not leave the idle class, so threads are never put into it");
        QCOMPARE(policies, (QList<int>{SCHED_IDLE, SCHED_OTHER, SCHED_IDLE}));
    }

    void fullScreenActiveWindow()
    {
        XDesktop desktop;
        QVERIFY(desktop.isRunning());
        QVERIFY(!Platform::activeWindowIsFullScreen()); // no active window
        desktop.setActive(true);
        QVERIFY(!Platform::activeWindowIsFullScreen());
        desktop.setStates({"_NET_WM_STATE_ABOVE"});
        QVERIFY(!Platform::activeWindowIsFullScreen());
        desktop.setStates({"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_FULLSCREEN"});
        QVERIFY(Platform::activeWindowIsFullScreen());
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
            {{}, {}, 15000, u"t"_s, u"1.5万"_s, true},
            {{}, {}, 15000, u"t"_s, u"1万"_s, false},
            {{}, {}, 3000, u"t"_s, u"3千"_s, true},
            {{}, {}, 3001, u"t"_s, u"约3 千元"_s, false},
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
            {eight, eight, eight, 0},
            {QTime(), eight, QTime(7, 0), 0} // equal or unset: never quiet
        };
        for (const auto &[start, end, now, ms] : cases)
            QCOMPARE((AlertRules{{}, {}, 0, start, end}.msToQuietEnd(now)), ms);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().contains(u"--hold-instance"_s)) {
        // Child mode for singleInstance(): claim the key, say whether that worked and sit until killed.
        std::cout << (Platform::claimSingleInstance(instanceKey, {QDir::tempPath()}) == Platform::Claim::Held)
                  << std::endl;
        QThread::sleep(600);
    }
    // The claim lives until the process ends, so its folder must outlive every test.
    QTemporaryDir runtimeDir;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    TestCore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_core.moc"
