#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestSettings : public QObject
{
    Q_OBJECT

    // The row of key in the settings table, "<no row>" without one.
    QString stored(const QString &key)
    {
        return rawColumn(m_sandbox->userDbPath(), u"SELECT cval FROM tb_config WHERE ckey = '%1';"_s.arg(key))
            .value(0, u"<no row>"_s);
    }

    std::unique_ptr<Sandbox> m_sandbox;

private slots:
    void init() { m_sandbox = std::make_unique<Sandbox>(false); }
    void cleanup() { m_sandbox.reset(); }

    void startsAndReads()
    {
        // The first start fills in the defaults without overwriting a stored value, and records the system's font.
        QVERIFY(UserDb().setConfig(u"scan_interval"_s, u"45"_s));
        loadSettings(u"Some Font"_s);
        QCOMPARE((QStringList{stored(u"enable_sound"_s), stored(u"scan_interval"_s)}),
                 (QStringList{u"true"_s, u"45"_s}));
        QCOMPARE((QStringList{stored(u"default_font"_s), stored(u"current_font"_s)}),
                 (QStringList{u"Some Font"_s, u"<no row>"_s}));
        // The first value read wins until the key is written; only writing makes a row.
        QCOMPARE((QStringList{setting(u"uid"_s, u"A"_s), setting(u"uid"_s, u"B"_s), stored(u"uid"_s)}),
                 (QStringList{u"A"_s, u"A"_s, u"<no row>"_s}));
        setSetting(u"uid"_s, u"C"_s);
        QCOMPARE((QStringList{setting(u"uid"_s, u"A"_s), stored(u"uid"_s)}), (QStringList{u"C"_s, u"C"_s}));
        // The next start reads what the last one wrote, and keeps the first default font.
        setSetting(Key::HistoryDays, u"7"_s);
        resetSettingsStore();
        loadSettings(u"Other Font"_s);
        QCOMPARE((QStringList{setting(Key::HistoryDays), setting(Key::ScanInterval), setting(Key::DefaultFont)}),
                 (QStringList{u"7"_s, u"45"_s, u"Some Font"_s}));
    }

    void failedWritesKeepTheOldValue()
    {
        // The default for enable_sound cannot be written: the program runs with it empty (no sound), the others are in.
        const QString refuse = u"CREATE TRIGGER refuse_%1 BEFORE %1 ON tb_config WHEN NEW.ckey = '%2' BEGIN SELECT "
                               "RAISE(ABORT, 'full'); END;"_s;
        QVERIFY(UserDb().isOpen() && rawExec(m_sandbox->userDbPath(), refuse.arg(u"INSERT"_s, u"enable_sound"_s)));
        loadSettings(QString());
        QCOMPARE(setting(Key::EnableSound), QString());
        QCOMPARE(setting(Key::ScanInterval), u"180"_s);
        // A failed update leaves both the row and the cached value as they were.
        setSetting(u"run_date"_s, u"2026-12-05"_s);
        QVERIFY(rawExec(m_sandbox->userDbPath(), refuse.arg(u"UPDATE"_s, u"run_date"_s)));
        setSetting(u"run_date"_s, u"2026-12-06"_s);
        QCOMPARE((QStringList{setting(u"run_date"_s), stored(u"run_date"_s)}), QStringList(2, u"2026-12-05"_s));
    }

    void noDatabaseRunsOnDefaults()
    {
        // The data folder is a plain file, so there is no user database: the program still runs on the defaults, on a
        // private temporary database that is gone at the next start.
        QVERIFY(writeFile(m_sandbox->root() + u"/data"_s, {}));
        loadSettings(QString());
        QCOMPARE(setting(Key::EnableSound), u"true"_s);
        setSetting(u"uid"_s, u"y"_s);
        QCOMPARE(setting(u"uid"_s, u"x"_s), u"y"_s);
        resetSettingsStore();
        loadSettings(QString());
        QCOMPARE(setting(u"uid"_s, u"x"_s), u"x"_s);
        QCOMPARE(QDir(m_sandbox->root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{u"data"_s});
    }

    void threadHammer()
    {
        // Settings readers and writers next to user-database traffic on own and shared connections, all at once:
        // nothing deadlocks, and every thread's last write is what both the cache and the database hold at the end.
        loadSettings(QString());
        UserDb shared;
        constexpr int threads = 8, rounds = 60;
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
                failures += db.attentionList().size() != 2;
                failures += !db.addTasks({makeTask(u"%1-%2"_s.arg(t).arg(i))});
            }
        }));
        QCOMPARE(failures.load(), 0);
        for (int t = 0; t < threads; ++t)
            QCOMPARE(stored(u"own%1"_s.arg(t)), QString::number(rounds - 1));
        QCOMPARE(setting(u"shared"_s), stored(u"shared"_s));
        QCOMPARE(rawColumn(m_sandbox->userDbPath(), u"SELECT COUNT(*) FROM tb_history_task;"_s),
                 QStringList{QString::number(threads * rounds)});
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
