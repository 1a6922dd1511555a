#include "query.h"
#include "testenv.h"
#include "userdb.h"

#include <QDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

using namespace Qt::StringLiterals;

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
        QVERIFY(db.setConfig(u"k"_s, u"v"_s));
    }
    const QStringList expected = {u"index idx_tb_attention"_s,    u"index idx_tb_config"_s,
                                  u"index idx_tb_history_task"_s, u"index idx_tb_history_task_identity"_s,
                                  u"table tb_attention"_s,        u"table tb_config"_s,
                                  u"table tb_history_task"_s,     u"table tb_history_task_text"_s};
    QCOMPARE(schemaObjects(dir.userDbPath()), expected);
    const QStringList sqlBefore = rawColumn(dir.userDbPath(), u"SELECT sql FROM sqlite_master;"_s);
    QVERIFY(sqlBefore.contains(QStringLiteral(
        "CREATE VIRTUAL TABLE tb_history_task_text USING FTS4(task_name TEXT, tokenize = CatTokenizer)")));
    {
        UserDb again;
        QCOMPARE(again.config(u"k"_s, QString()), u"v"_s);
    }
    QCOMPARE(rawColumn(dir.userDbPath(), u"SELECT sql FROM sqlite_master;"_s), sqlBefore);
}

void TestUserDb::schemaGroupIsAllOrNothing()
{
    // A group whose last statement fails leaves nothing of itself behind, so a later start creates it whole.
    TempDataDir dir;
    QVERIFY(QDir().mkpath(QFileInfo(dir.userDbPath()).path()));
    QVERIFY(rawExec(dir.userDbPath(), u"CREATE TABLE tb_history_task_text(x);"_s));
    {
        UserDb db;
        QVERIFY(db.isOpen());
    }
    const QStringList objects = schemaObjects(dir.userDbPath());
    QVERIFY(!objects.contains(u"table tb_history_task"_s));
    QVERIFY(!objects.contains(u"index idx_tb_history_task"_s));
    QVERIFY(objects.contains(u"table tb_config"_s));
    QVERIFY(rawExec(dir.userDbPath(), u"DROP TABLE tb_history_task_text;"_s));
    {
        UserDb db;
    }
    QVERIFY(schemaObjects(dir.userDbPath()).contains(u"table tb_history_task_text"_s));
    QVERIFY(schemaObjects(dir.userDbPath()).contains(u"table tb_history_task"_s));
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
        QCOMPARE(db.config(u"k"_s, u"fallback"_s), u"fallback"_s);
        QVERIFY(!db.setConfig(u"k"_s, u"v"_s));
        QVERIFY(!db.isAttention(u"s"_s, u"n"_s));
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
    QCOMPARE(db.config(u"missing"_s, u"dflt"_s), u"dflt"_s);
    QVERIFY(db.setConfig(u"empty"_s, QString()));
    QCOMPARE(db.config(u"empty"_s, u"dflt"_s), QString());
    QVERIFY(db.setConfig(u"k"_s, u"1"_s));
    QVERIFY(db.setConfig(u"k"_s, u"2"_s));
    QCOMPARE(db.config(u"k"_s, QString()), u"2"_s);
    QCOMPARE(rawColumn(dir.userDbPath(), u"SELECT COUNT(*) FROM tb_config WHERE ckey = 'k';"_s), QStringList{u"1"_s});
    // A NULL value reads as empty text, not as the default.
    QVERIFY(rawExec(dir.userDbPath(), u"INSERT INTO tb_config VALUES('null', NULL);"_s));
    QCOMPARE(db.config(u"null"_s, u"dflt"_s), QString());
    // Keys and values are plain UTF-8, quotes and all.
    QVERIFY(db.setConfig(u"it's"_s, u"字体 \"x\""_s));
    QCOMPARE(db.config(u"it's"_s, QString()), u"字体 \"x\""_s);
}

void TestUserDb::attention()
{
    TempDataDir dir;
    UserDb db;
    QVERIFY(db.setAttention(pairs({{"A", "x"}, {"A", "y"}, {"B", "x"}})));
    QHash<QString, QSet<QString>> expected;
    expected.insert(u"A"_s, {u"x"_s, u"y"_s});
    expected.insert(u"B"_s, {u"x"_s});
    QCOMPARE(db.attentionMap(), expected);
    QCOMPARE(attentionRows(db), (QStringList{u"A/x"_s, u"A/y"_s, u"B/x"_s}));
    const QList<AttentionData> list = db.attentionList();
    QVERIFY(list.first().node_url.isEmpty() && list.first().rules.isEmpty());
    QVERIFY(db.isAttention(u"A"_s, u"y"_s));
    QVERIFY(!db.isAttention(u"B"_s, u"y"_s));
    QVERIFY(!db.isAttention(u"x"_s, u"A"_s));
    // The list is replaced whole each time.
    QVERIFY(db.setAttention(pairs({{"猪八戒", "设计"}})));
    QCOMPARE(attentionRows(db), QStringList{u"猪八戒/设计"_s});
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
    QCOMPARE(attentionRows(db), (QStringList{u"A/x"_s, u"B/y"_s}));
    // The connection is usable afterwards: no transaction was left open.
    QVERIFY(db.setAttention(pairs({{"C", "1"}})));
    QCOMPARE(attentionRows(db), QStringList{u"C/1"_s});
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
        const QString key = u"thread%1"_s.arg(t);
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
        QCOMPARE(fresh.config(u"thread%1"_s.arg(t), QString()), QString::number(rounds - 1));
}

QTEST_GUILESS_MAIN(TestUserDb)
#include "tst_userdb.moc"
