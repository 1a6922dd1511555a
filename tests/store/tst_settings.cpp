#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"

#include <QDir>
#include <QTest>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

QString stored(const Sandbox &sandbox, const QString &key)
{
    const QStringList values =
        rawColumn(sandbox.userDbPath(), u"SELECT cval FROM tb_config WHERE ckey = '%1';"_s.arg(key));
    return values.isEmpty() ? u"<no row>"_s : values.join(u'|');
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void firstStartFillsDefaults()
    {
        Sandbox sandbox(false);
        QVERIFY(UserDb().setConfig(u"scan_interval"_s, u"45"_s));
        loadSettings(u"Some Font"_s);
        QCOMPARE(stored(sandbox, u"enable_sound"_s), u"true"_s);
        QCOMPARE(stored(sandbox, u"scan_interval"_s), u"45"_s);
        QCOMPARE(stored(sandbox, u"db_vacuum_interval"_s), u"3"_s);
        QCOMPARE(stored(sandbox, u"default_font"_s), u"Some Font"_s);
        QCOMPARE(stored(sandbox, u"current_font"_s), u"<no row>"_s);
        setSetting(Key::HistoryDays, u"7"_s);
        // The next start reads what the last one wrote, and keeps the first default font.
        resetSettingsStore();
        loadSettings(u"Other Font"_s);
        QCOMPARE(setting(Key::HistoryDays), u"7"_s);
        QCOMPARE(setting(Key::ScanInterval), u"45"_s);
        QCOMPARE(setting(Key::DefaultFont), u"Some Font"_s);
    }

    void firstReadWinsUntilWritten()
    {
        Sandbox sandbox;
        QCOMPARE(setting(u"uid"_s, u"A"_s), u"A"_s);
        QCOMPARE(setting(u"uid"_s, u"B"_s), u"A"_s);
        QCOMPARE(stored(sandbox, u"uid"_s), u"<no row>"_s);
        setSetting(u"uid"_s, u"C"_s);
        QCOMPARE(setting(u"uid"_s, u"A"_s), u"C"_s);
        QCOMPARE(stored(sandbox, u"uid"_s), u"C"_s);
    }

    void failedWritesKeepTheOldValue()
    {
        Sandbox sandbox;
        // The default for enable_sound cannot be written: the program runs with it empty (no sound), the others are in.
        resetSettingsStore();
        QVERIFY(rawExec(sandbox.userDbPath(), u"DELETE FROM tb_config;"_s));
        QVERIFY(rawExec(sandbox.userDbPath(),
                        u"CREATE TRIGGER refuse_insert BEFORE INSERT ON tb_config WHEN NEW.ckey = "
                        "'enable_sound' BEGIN SELECT RAISE(ABORT, 'full'); END;"_s));
        loadSettings(QString());
        QCOMPARE(setting(Key::EnableSound), QString());
        QCOMPARE(setting(Key::ScanInterval), u"180"_s);
        // A failed update leaves both the row and the cached value as they were.
        setSetting(u"run_date"_s, u"2026-12-05"_s);
        QVERIFY(rawExec(sandbox.userDbPath(), u"CREATE TRIGGER refuse_update BEFORE UPDATE ON tb_config BEGIN SELECT "
                                              "RAISE(ABORT, 'full'); END;"_s));
        setSetting(u"run_date"_s, u"2026-12-06"_s);
        QCOMPARE(setting(u"run_date"_s), u"2026-12-05"_s);
        QCOMPARE(stored(sandbox, u"run_date"_s), u"2026-12-05"_s);
    }

    void noDatabaseRunsOnDefaults()
    {
        // The data folder is a plain file, so there is no user database: the program still runs on the defaults, on a
        // private temporary database that is gone at the next start.
        Sandbox sandbox(false);
        QVERIFY(writeFile(sandbox.root() + u"/data"_s, {}));
        loadSettings(QString());
        QCOMPARE(setting(Key::EnableSound), u"true"_s);
        setSetting(u"uid"_s, u"y"_s);
        QCOMPARE(setting(u"uid"_s, u"x"_s), u"y"_s);
        resetSettingsStore();
        loadSettings(QString());
        QCOMPARE(setting(u"uid"_s, u"x"_s), u"x"_s);
        QCOMPARE(QDir(sandbox.root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{u"data"_s});
    }

    void threadHammer()
    {
        // Settings readers and writers next to user-database traffic on own and shared connections, all at once:
        // nothing deadlocks, and every thread's last write is what both the cache and the database hold at the end.
        Sandbox sandbox;
        UserDb shared;
        constexpr int threads = 8;
        constexpr int rounds = 60;
        std::atomic<int> failures{0};
        QVERIFY(runConcurrently(threads, [&](int t) {
            UserDb own;
            const QString key = u"own%1"_s.arg(t);
            for (int i = 0; i < rounds; ++i) {
                UserDb &db = (i % 2) ? shared : own;
                setSetting(key, QString::number(i));
                failures += setting(key) != QString::number(i);
                setSetting(u"shared"_s, u"%1-%2"_s.arg(t).arg(i));
                failures += setting(Key::ScanInterval) != u"180"_s;
                setting(u"miss%1"_s.arg(i), u"d"_s);
                failures += !db.setAttention({{u"s%1"_s.arg(t), u"n"_s}, {u"s%1"_s.arg(t), u"m"_s}});
                const qsizetype rows = db.attentionList().size();
                failures += rows != 2;
                failures += !db.addTasks({makeTask(u"%1-%2"_s.arg(t).arg(i))});
            }
        }));
        QCOMPARE(failures.load(), 0);
        for (int t = 0; t < threads; ++t)
            QCOMPARE(stored(sandbox, u"own%1"_s.arg(t)), QString::number(rounds - 1));
        QCOMPARE(setting(u"shared"_s), stored(sandbox, u"shared"_s));
        QCOMPARE(rawColumn(sandbox.userDbPath(), u"SELECT COUNT(*) FROM tb_history_task;"_s).value(0),
                 QString::number(threads * rounds));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
