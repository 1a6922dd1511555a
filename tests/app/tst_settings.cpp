#include "settings.h"
#include "testenv.h"
#include "userdb.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

QString stored(const TempDataDir &dir, const QString &key)
{
    const QStringList values = rawColumn(dir.userDbPath(), QStringLiteral("SELECT cval FROM tb_config WHERE ckey = "
                                                                          "'%1';")
                                                               .arg(key));
    return values.isEmpty() ? QStringLiteral("<no row>") : values.join(QLatin1Char('|'));
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstStartFillsDefaults();
    void storedValuesSurviveTheNextStart();
    void currentFontIsApplied();
    void firstReadWinsUntilWritten();
    void failedWritesKeepTheOldValue();
    void noDatabaseRunsOnDefaults();
    void manyThreadsAtOnce();

private:
    QFont m_systemFont;
    std::unique_ptr<TempDataDir> m_dir;
};

void TestSettings::initTestCase()
{
    m_systemFont = QApplication::font();
}

void TestSettings::init()
{
    resetSettingsStore();
    m_dir = std::make_unique<TempDataDir>();
}

void TestSettings::cleanup()
{
    resetSettingsStore();
    m_dir.reset();
    QApplication::setFont(m_systemFont);
}

void TestSettings::firstStartFillsDefaults()
{
    loadSettings();
    QCOMPARE(stored(*m_dir, QStringLiteral("enable_sound")), QStringLiteral("true"));
    QCOMPARE(stored(*m_dir, QStringLiteral("scan_interval")), QStringLiteral("180"));
    QCOMPARE(stored(*m_dir, QStringLiteral("db_vacuum_interval")), QStringLiteral("3"));
    QCOMPARE(stored(*m_dir, QStringLiteral("default_font")), m_systemFont.family());
    QCOMPARE(stored(*m_dir, QStringLiteral("current_font")), QStringLiteral("<no row>"));
    QCOMPARE(QApplication::font(), m_systemFont);
    QCOMPARE(setting(QStringLiteral("scan_interval")), QStringLiteral("180"));
}

void TestSettings::storedValuesSurviveTheNextStart()
{
    {
        UserDb db;
        QVERIFY(db.setConfig(QStringLiteral("enable_sound"), QStringLiteral("false")));
        QVERIFY(db.setConfig(QStringLiteral("scan_interval"), QStringLiteral("45")));
    }
    loadSettings();
    QCOMPARE(setting(QStringLiteral("enable_sound")), QStringLiteral("false"));
    QCOMPARE(setting(QStringLiteral("scan_interval")), QStringLiteral("45"));
    setSetting(QStringLiteral("db_vacuum_interval"), QStringLiteral("7"));
    // The next start reads what the last one wrote.
    resetSettingsStore();
    loadSettings();
    QCOMPARE(setting(QStringLiteral("enable_sound")), QStringLiteral("false"));
    QCOMPARE(setting(QStringLiteral("db_vacuum_interval")), QStringLiteral("7"));
    QCOMPARE(stored(*m_dir, QStringLiteral("enable_sound")), QStringLiteral("false"));
}

void TestSettings::currentFontIsApplied()
{
    {
        UserDb db;
        QVERIFY(db.setConfig(QStringLiteral("current_font"), QStringLiteral("WenQuanYi Micro Hei")));
    }
    loadSettings();
    QCOMPARE(QApplication::font().family(), QStringLiteral("WenQuanYi Micro Hei"));
    QCOMPARE(QApplication::font().pointSizeF(), m_systemFont.pointSizeF());
    QCOMPARE(QApplication::font().weight(), m_systemFont.weight());
    // default_font records the system font, not the chosen one.
    QCOMPARE(setting(QStringLiteral("default_font")), m_systemFont.family());
}

void TestSettings::firstReadWinsUntilWritten()
{
    loadSettings();
    QCOMPARE(setting(QStringLiteral("uid"), QStringLiteral("A")), QStringLiteral("A"));
    QCOMPARE(setting(QStringLiteral("uid"), QStringLiteral("B")), QStringLiteral("A"));
    QCOMPARE(stored(*m_dir, QStringLiteral("uid")), QStringLiteral("<no row>"));
    setSetting(QStringLiteral("uid"), QStringLiteral("C"));
    QCOMPARE(setting(QStringLiteral("uid"), QStringLiteral("A")), QStringLiteral("C"));
    QCOMPARE(setting(QStringLiteral("uid"), QStringLiteral("B")), QStringLiteral("C"));
    QCOMPARE(stored(*m_dir, QStringLiteral("uid")), QStringLiteral("C"));
}

void TestSettings::failedWritesKeepTheOldValue()
{
    // The default for enable_sound cannot be written: the program runs with it empty (no sound), the others are in.
    loadSettings();
    resetSettingsStore();
    QVERIFY(rawExec(m_dir->userDbPath(), QStringLiteral("DELETE FROM tb_config;")));
    QVERIFY(rawExec(m_dir->userDbPath(),
                    QStringLiteral("CREATE TRIGGER refuse_insert BEFORE INSERT ON tb_config WHEN NEW.ckey = "
                                   "'enable_sound' BEGIN SELECT RAISE(ABORT, 'full'); END;")));
    loadSettings();
    QCOMPARE(setting(QStringLiteral("enable_sound")), QString());
    QCOMPARE(setting(QStringLiteral("scan_interval")), QStringLiteral("180"));

    // A failed update leaves both the row and the cached value as they were.
    setSetting(QStringLiteral("run_date"), QStringLiteral("2026-12-05"));
    QVERIFY(rawExec(m_dir->userDbPath(), QStringLiteral("CREATE TRIGGER refuse_update BEFORE UPDATE ON tb_config "
                                                        "BEGIN SELECT RAISE(ABORT, 'full'); END;")));
    setSetting(QStringLiteral("run_date"), QStringLiteral("2026-12-06"));
    QCOMPARE(setting(QStringLiteral("run_date")), QStringLiteral("2026-12-05"));
    QCOMPARE(stored(*m_dir, QStringLiteral("run_date")), QStringLiteral("2026-12-05"));
}

void TestSettings::noDatabaseRunsOnDefaults()
{
    // The data folder is a plain file, so there is no user database on disk: the program still runs, on a private
    // temporary database that is gone at the next start.
    QFile blocker(m_dir->root() + QStringLiteral("/data"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    loadSettings();
    QCOMPARE(setting(QStringLiteral("enable_sound")), QStringLiteral("true"));
    setSetting(QStringLiteral("uid"), QStringLiteral("y"));
    QCOMPARE(setting(QStringLiteral("uid"), QStringLiteral("x")), QStringLiteral("y"));
    resetSettingsStore();
    loadSettings();
    QCOMPARE(setting(QStringLiteral("uid"), QStringLiteral("x")), QStringLiteral("x"));
    QCOMPARE(QDir(m_dir->root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{QStringLiteral("data")});
}

void TestSettings::manyThreadsAtOnce()
{
    // Readers and writers of shared and own keys, next to plain user-database traffic on other connections. Every
    // write that succeeded must be what both the cache and the database hold at the end.
    loadSettings();
    constexpr int threads = 8;
    constexpr int rounds = 80;
    std::atomic<int> failures{0};
    QVERIFY(runConcurrently(threads, [&](int t) {
        UserDb own;
        const QString key = QStringLiteral("own%1").arg(t);
        for (int i = 0; i < rounds; ++i) {
            setSetting(key, QString::number(i));
            if (setting(key) != QString::number(i))
                ++failures;
            setSetting(QStringLiteral("shared"), QStringLiteral("%1-%2").arg(t).arg(i));
            if (setting(QStringLiteral("scan_interval")) != QStringLiteral("180"))
                ++failures;
            setting(QStringLiteral("miss%1").arg(i), QStringLiteral("d"));
            if (!own.setAttention({{QStringLiteral("s%1").arg(t), QStringLiteral("n")}}))
                ++failures;
            own.attentionMap();
        }
    }));
    QCOMPARE(failures.load(), 0);
    for (int t = 0; t < threads; ++t)
        QCOMPARE(stored(*m_dir, QStringLiteral("own%1").arg(t)), QString::number(rounds - 1));
    QCOMPARE(setting(QStringLiteral("shared")), stored(*m_dir, QStringLiteral("shared")));
    QVERIFY(setting(QStringLiteral("shared")).endsWith(QStringLiteral("-%1").arg(rounds - 1)));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
