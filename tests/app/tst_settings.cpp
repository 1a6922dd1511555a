#include "settings.h"
#include "testenv.h"
#include "userdb.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString stored(const TempDataDir &dir, const QString &key)
{
    const QStringList values = rawColumn(dir.userDbPath(), QStringLiteral("SELECT cval FROM tb_config WHERE ckey = "
                                                                          "'%1';")
                                                               .arg(key));
    return values.isEmpty() ? u"<no row>"_s : values.join(QLatin1Char('|'));
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
    QCOMPARE(stored(*m_dir, u"enable_sound"_s), u"true"_s);
    QCOMPARE(stored(*m_dir, u"scan_interval"_s), u"180"_s);
    QCOMPARE(stored(*m_dir, u"db_vacuum_interval"_s), u"3"_s);
    QCOMPARE(stored(*m_dir, u"default_font"_s), m_systemFont.family());
    QCOMPARE(stored(*m_dir, u"current_font"_s), u"<no row>"_s);
    QCOMPARE(QApplication::font(), m_systemFont);
    QCOMPARE(setting(u"scan_interval"_s), u"180"_s);
}

void TestSettings::storedValuesSurviveTheNextStart()
{
    {
        UserDb db;
        QVERIFY(db.setConfig(u"enable_sound"_s, u"false"_s));
        QVERIFY(db.setConfig(u"scan_interval"_s, u"45"_s));
    }
    loadSettings();
    QCOMPARE(setting(u"enable_sound"_s), u"false"_s);
    QCOMPARE(setting(u"scan_interval"_s), u"45"_s);
    setSetting(u"db_vacuum_interval"_s, u"7"_s);
    // The next start reads what the last one wrote.
    resetSettingsStore();
    loadSettings();
    QCOMPARE(setting(u"enable_sound"_s), u"false"_s);
    QCOMPARE(setting(u"db_vacuum_interval"_s), u"7"_s);
    QCOMPARE(stored(*m_dir, u"enable_sound"_s), u"false"_s);
}

void TestSettings::currentFontIsApplied()
{
    {
        UserDb db;
        QVERIFY(db.setConfig(u"current_font"_s, u"WenQuanYi Micro Hei"_s));
    }
    loadSettings();
    QCOMPARE(QApplication::font().family(), u"WenQuanYi Micro Hei"_s);
    QCOMPARE(QApplication::font().pointSizeF(), m_systemFont.pointSizeF());
    QCOMPARE(QApplication::font().weight(), m_systemFont.weight());
    // default_font records the system font, not the chosen one.
    QCOMPARE(setting(u"default_font"_s), m_systemFont.family());
}

void TestSettings::firstReadWinsUntilWritten()
{
    loadSettings();
    QCOMPARE(setting(u"uid"_s, u"A"_s), u"A"_s);
    QCOMPARE(setting(u"uid"_s, u"B"_s), u"A"_s);
    QCOMPARE(stored(*m_dir, u"uid"_s), u"<no row>"_s);
    setSetting(u"uid"_s, u"C"_s);
    QCOMPARE(setting(u"uid"_s, u"A"_s), u"C"_s);
    QCOMPARE(setting(u"uid"_s, u"B"_s), u"C"_s);
    QCOMPARE(stored(*m_dir, u"uid"_s), u"C"_s);
}

void TestSettings::failedWritesKeepTheOldValue()
{
    // The default for enable_sound cannot be written: the program runs with it empty (no sound), the others are in.
    loadSettings();
    resetSettingsStore();
    QVERIFY(rawExec(m_dir->userDbPath(), u"DELETE FROM tb_config;"_s));
    QVERIFY(rawExec(m_dir->userDbPath(),
                    QStringLiteral("CREATE TRIGGER refuse_insert BEFORE INSERT ON tb_config WHEN NEW.ckey = "
                                   "'enable_sound' BEGIN SELECT RAISE(ABORT, 'full'); END;")));
    loadSettings();
    QCOMPARE(setting(u"enable_sound"_s), QString());
    QCOMPARE(setting(u"scan_interval"_s), u"180"_s);

    // A failed update leaves both the row and the cached value as they were.
    setSetting(u"run_date"_s, u"2026-12-05"_s);
    QVERIFY(rawExec(m_dir->userDbPath(), QStringLiteral("CREATE TRIGGER refuse_update BEFORE UPDATE ON tb_config "
                                                        "BEGIN SELECT RAISE(ABORT, 'full'); END;")));
    setSetting(u"run_date"_s, u"2026-12-06"_s);
    QCOMPARE(setting(u"run_date"_s), u"2026-12-05"_s);
    QCOMPARE(stored(*m_dir, u"run_date"_s), u"2026-12-05"_s);
}

void TestSettings::noDatabaseRunsOnDefaults()
{
    // The data folder is a plain file, so there is no user database on disk: the program still runs, on a private
    // temporary database that is gone at the next start.
    QFile blocker(m_dir->root() + u"/data"_s);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    loadSettings();
    QCOMPARE(setting(u"enable_sound"_s), u"true"_s);
    setSetting(u"uid"_s, u"y"_s);
    QCOMPARE(setting(u"uid"_s, u"x"_s), u"y"_s);
    resetSettingsStore();
    loadSettings();
    QCOMPARE(setting(u"uid"_s, u"x"_s), u"x"_s);
    QCOMPARE(QDir(m_dir->root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{u"data"_s});
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
        const QString key = u"own%1"_s.arg(t);
        for (int i = 0; i < rounds; ++i) {
            setSetting(key, QString::number(i));
            if (setting(key) != QString::number(i))
                ++failures;
            setSetting(u"shared"_s, u"%1-%2"_s.arg(t).arg(i));
            if (setting(u"scan_interval"_s) != u"180"_s)
                ++failures;
            setting(u"miss%1"_s.arg(i), u"d"_s);
            if (!own.setAttention({{u"s%1"_s.arg(t), u"n"_s}}))
                ++failures;
            own.attentionMap();
        }
    }));
    QCOMPARE(failures.load(), 0);
    for (int t = 0; t < threads; ++t)
        QCOMPARE(stored(*m_dir, u"own%1"_s.arg(t)), QString::number(rounds - 1));
    QCOMPARE(setting(u"shared"_s), stored(*m_dir, u"shared"_s));
    QVERIFY(setting(u"shared"_s).endsWith(u"-%1"_s.arg(rounds - 1)));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
