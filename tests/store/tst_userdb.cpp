#include "query.h"
#include "testenv.h"
#include "userdb.h"

#include <QDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

QStringList schemaObjects(const QString &path)
{
    return rawColumn(path, QStringLiteral("SELECT type || ' ' || name FROM sqlite_master WHERE name NOT LIKE "
                                          "'sqlite_autoindex%' AND name NOT LIKE 'tb_history_task_text_%' "
                                          "ORDER BY name;"));
}

QList<AttentionPair> pairs(std::initializer_list<std::pair<const char *, const char *>> list)
{
    QList<AttentionPair> result;
    for (const auto &[site, node] : list)
        result.append({QString::fromUtf8(site), QString::fromUtf8(node)});
    return result;
}

QStringList attentionRows(UserDb &db)
{
    QStringList rows;
    for (const AttentionData &a : db.attentionList())
        rows << a.site_name + QLatin1Char('/') + a.note_name;
    rows.sort();
    return rows;
}

} // namespace

class TestUserDb : public QObject
{
    Q_OBJECT

private slots:
    void createsSchemaOnce();
    void schemaGroupIsAllOrNothing();
    void unusableFilesFailQuietly();
    void configRows();
    void attention();
    void setAttentionRollsBack();
    void concurrentConnections();
};

void TestUserDb::createsSchemaOnce()
{
    TempDataDir dir;
    {
        UserDb db;
        QVERIFY(db.isOpen());
        QVERIFY(db.setConfig(QStringLiteral("k"), QStringLiteral("v")));
    }
    const QStringList expected = {
        QStringLiteral("index idx_tb_attention"),    QStringLiteral("index idx_tb_config"),
        QStringLiteral("index idx_tb_history_task"), QStringLiteral("index idx_tb_history_task_identity"),
        QStringLiteral("table tb_attention"),        QStringLiteral("table tb_config"),
        QStringLiteral("table tb_history_task"),     QStringLiteral("table tb_history_task_text")};
    QCOMPARE(schemaObjects(dir.userDbPath()), expected);
    const QStringList sqlBefore = rawColumn(dir.userDbPath(), QStringLiteral("SELECT sql FROM sqlite_master;"));
    QVERIFY(sqlBefore.contains(QStringLiteral(
        "CREATE VIRTUAL TABLE tb_history_task_text USING FTS4(task_name TEXT, tokenize = CatTokenizer)")));
    {
        UserDb again;
        QCOMPARE(again.config(QStringLiteral("k"), QString()), QStringLiteral("v"));
    }
    QCOMPARE(rawColumn(dir.userDbPath(), QStringLiteral("SELECT sql FROM sqlite_master;")), sqlBefore);
}

void TestUserDb::schemaGroupIsAllOrNothing()
{
    // A group whose last statement fails leaves nothing of itself behind, so a later start creates it whole.
    TempDataDir dir;
    QVERIFY(QDir().mkpath(QFileInfo(dir.userDbPath()).path()));
    QVERIFY(rawExec(dir.userDbPath(), QStringLiteral("CREATE TABLE tb_history_task_text(x);")));
    {
        UserDb db;
        QVERIFY(db.isOpen());
    }
    const QStringList objects = schemaObjects(dir.userDbPath());
    QVERIFY(!objects.contains(QStringLiteral("table tb_history_task")));
    QVERIFY(!objects.contains(QStringLiteral("index idx_tb_history_task")));
    QVERIFY(objects.contains(QStringLiteral("table tb_config")));
    QVERIFY(rawExec(dir.userDbPath(), QStringLiteral("DROP TABLE tb_history_task_text;")));
    {
        UserDb db;
    }
    QVERIFY(schemaObjects(dir.userDbPath()).contains(QStringLiteral("table tb_history_task_text")));
    QVERIFY(schemaObjects(dir.userDbPath()).contains(QStringLiteral("table tb_history_task")));
}

void TestUserDb::unusableFilesFailQuietly()
{
    TempDataDir dir;
    QVERIFY(QDir().mkpath(QFileInfo(dir.userDbPath()).path()));
    QFile file(dir.userDbPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray garbage = QByteArray("this is not a database").repeated(300);
    file.write(garbage);
    file.close();

    const auto checkFails = [](UserDb &db) {
        QCOMPARE(db.config(QStringLiteral("k"), QStringLiteral("fallback")), QStringLiteral("fallback"));
        QVERIFY(!db.setConfig(QStringLiteral("k"), QStringLiteral("v")));
        QVERIFY(!db.isAttention(QStringLiteral("s"), QStringLiteral("n")));
        QVERIFY(!db.setAttention(pairs({{"s", "n"}})));
        QVERIFY(db.attentionList().isEmpty());
        QVERIFY(db.attentionMap().isEmpty());
    };
    {
        UserDb db;
        QVERIFY(!db.isOpen());
        checkFails(db);
    }
    // The foreign file is left exactly as it was.
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), garbage);
    file.close();

    // A path that is a directory cannot be opened at all.
    UserDb onDirectory(dir.root());
    QVERIFY(!onDirectory.isOpen());
    checkFails(onDirectory);
}

void TestUserDb::configRows()
{
    TempDataDir dir;
    UserDb db;
    QCOMPARE(db.config(QStringLiteral("missing"), QStringLiteral("dflt")), QStringLiteral("dflt"));
    QVERIFY(db.setConfig(QStringLiteral("empty"), QString()));
    QCOMPARE(db.config(QStringLiteral("empty"), QStringLiteral("dflt")), QString());
    QVERIFY(db.setConfig(QStringLiteral("k"), QStringLiteral("1")));
    QVERIFY(db.setConfig(QStringLiteral("k"), QStringLiteral("2")));
    QCOMPARE(db.config(QStringLiteral("k"), QString()), QStringLiteral("2"));
    QCOMPARE(rawColumn(dir.userDbPath(), QStringLiteral("SELECT COUNT(*) FROM tb_config WHERE ckey = 'k';")),
             QStringList{QStringLiteral("1")});
    // A NULL value reads as empty text, not as the default.
    QVERIFY(rawExec(dir.userDbPath(), QStringLiteral("INSERT INTO tb_config VALUES('null', NULL);")));
    QCOMPARE(db.config(QStringLiteral("null"), QStringLiteral("dflt")), QString());
    // Keys and values are plain UTF-8, quotes and all.
    QVERIFY(db.setConfig(QStringLiteral("it's"), QStringLiteral("字体 \"x\"")));
    QCOMPARE(db.config(QStringLiteral("it's"), QString()), QStringLiteral("字体 \"x\""));
}

void TestUserDb::attention()
{
    TempDataDir dir;
    UserDb db;
    QVERIFY(db.setAttention(pairs({{"A", "x"}, {"A", "y"}, {"B", "x"}})));
    QHash<QString, QSet<QString>> expected;
    expected.insert(QStringLiteral("A"), {QStringLiteral("x"), QStringLiteral("y")});
    expected.insert(QStringLiteral("B"), {QStringLiteral("x")});
    QCOMPARE(db.attentionMap(), expected);
    QCOMPARE(attentionRows(db), (QStringList{QStringLiteral("A/x"), QStringLiteral("A/y"), QStringLiteral("B/x")}));
    const QList<AttentionData> list = db.attentionList();
    QVERIFY(list.first().node_url.isEmpty() && list.first().rules.isEmpty());
    QVERIFY(db.isAttention(QStringLiteral("A"), QStringLiteral("y")));
    QVERIFY(!db.isAttention(QStringLiteral("B"), QStringLiteral("y")));
    QVERIFY(!db.isAttention(QStringLiteral("x"), QStringLiteral("A")));
    // The list is replaced whole each time.
    QVERIFY(db.setAttention(pairs({{"猪八戒", "设计"}})));
    QCOMPARE(attentionRows(db), QStringList{QStringLiteral("猪八戒/设计")});
    QVERIFY(db.setAttention({}));
    QVERIFY(db.attentionList().isEmpty());
}

void TestUserDb::setAttentionRollsBack()
{
    TempDataDir dir;
    UserDb db;
    QVERIFY(db.setAttention(pairs({{"A", "x"}, {"B", "y"}})));
    QVERIFY(rawExec(dir.userDbPath(), QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON tb_attention WHEN "
                                                     "NEW.note_name = 'bad' BEGIN SELECT RAISE(ABORT, 'no'); END;")));
    QVERIFY(!db.setAttention(pairs({{"C", "1"}, {"C", "2"}, {"C", "bad"}, {"C", "4"}})));
    QCOMPARE(attentionRows(db), (QStringList{QStringLiteral("A/x"), QStringLiteral("B/y")}));
    // The connection is usable afterwards: no transaction was left open.
    QVERIFY(db.setAttention(pairs({{"C", "1"}})));
    QCOMPARE(attentionRows(db), QStringList{QStringLiteral("C/1")});
}

void TestUserDb::concurrentConnections()
{
    // Writers and readers on separate connections and on one shared connection, all at once: the lock keeps them
    // apart, nothing deadlocks and every thread's last write is there at the end.
    TempDataDir dir;
    UserDb shared;
    constexpr int threads = 8;
    constexpr int rounds = 60;
    std::atomic<int> failures{0};
    QVERIFY(runConcurrently(threads, [&](int t) {
        UserDb own;
        const QString key = QStringLiteral("thread%1").arg(t);
        for (int i = 0; i < rounds; ++i) {
            UserDb &db = (i % 2) ? shared : own;
            if (!db.setConfig(key, QString::number(i)))
                ++failures;
            if (db.config(key, QString()) != QString::number(i))
                ++failures;
            if (t % 2 == 0 && !db.setAttention(pairs({{"site", "node"}, {"site", "other"}})))
                ++failures;
            const int rows = int(db.attentionList().size());
            if (rows != 0 && rows != 2)
                ++failures;
        }
    }));
    QCOMPARE(failures.load(), 0);
    UserDb fresh;
    for (int t = 0; t < threads; ++t)
        QCOMPARE(fresh.config(QStringLiteral("thread%1").arg(t), QString()), QString::number(rounds - 1));
}

QTEST_GUILESS_MAIN(TestUserDb)
#include "tst_userdb.moc"
