#include "database.h"
#include "query.h"

#include <QDateTime>
#include <QPoint>
#include <QTemporaryDir>
#include <QTest>

class TestQuery : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void openModes();
    void notADatabase();
    void stepStates();
    void failuresLeaveNoRow();
    void bindConversions_data();
    void bindConversions();
    void unsupportedTypeKeepsPosition();
    void valueConversions();

private:
    QTemporaryDir m_dir;
    Database m_db;
};

void TestQuery::init()
{
    m_db.close();
    QVERIFY(m_db.open(QStringLiteral(":memory:"), true, true));
    QVERIFY(m_db.execute(QStringLiteral("CREATE TABLE t(a, b);")));
}

void TestQuery::openModes()
{
    const QString path = m_dir.filePath(QStringLiteral("modes.db"));
    Database db;
    // Read-only and read-write without create both need the file to exist.
    QVERIFY(!db.open(path, false, false));
    QVERIFY(!db.isOpen());
    QVERIFY(!db.open(path, true, false));
    QVERIFY(!QFile::exists(path));
    QVERIFY(db.open(path, true, true));
    QVERIFY(db.execute(QStringLiteral("CREATE TABLE t(x);")));
    db.close();
    QVERIFY(!db.isOpen());
    // A statement on a closed connection fails instead of crashing.
    QVERIFY(!db.execute(QStringLiteral("SELECT 1;")));
    QVERIFY(db.open(path, false, false));
    QVERIFY(db.execute(QStringLiteral("SELECT COUNT(*) FROM t;")));
    QVERIFY(!db.execute(QStringLiteral("INSERT INTO t VALUES(1);")));
}

void TestQuery::notADatabase()
{
    const QString path = m_dir.filePath(QStringLiteral("garbage.db"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray garbage(4096, 'x');
    file.write(garbage);
    file.close();
    Database db;
    db.open(path, true, true);
    QVERIFY(!db.execute(QStringLiteral("CREATE TABLE t(x);")));
    Query query(db);
    QVERIFY(!query.exec(QStringLiteral("SELECT * FROM sqlite_master;")));
    QVERIFY(!query.next());
    db.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), garbage);
}

void TestQuery::stepStates()
{
    QVERIFY(m_db.execute(QStringLiteral("INSERT INTO t VALUES(1, 'one'), (2, 'two'), (3, 'three');")));
    Query query(m_db, QStringLiteral("SELECT a, b FROM t ORDER BY a;"));
    // Before the first step there is no row to read.
    QVERIFY(!query.value(0).isValid());
    QVERIFY(query.exec());
    // The row of the first step is handed out first, then the rest.
    QList<qint64> seen;
    while (query.next())
        seen << query.value(0).toLongLong();
    QCOMPARE(seen, (QList<qint64>{1, 2, 3}));
    QVERIFY(!query.next());
    QVERIFY(!query.value(0).isValid());
    // An empty result: exec succeeds, next has nothing.
    QVERIFY(query.exec(QStringLiteral("SELECT a FROM t WHERE a > 9;")));
    QVERIFY(!query.next());
    // A statement that only writes finishes at once.
    QVERIFY(query.exec(QStringLiteral("DELETE FROM t WHERE a = 3;")));
    QVERIFY(!query.next());
    // Re-running the same prepared statement starts over.
    QVERIFY(query.prepare(QStringLiteral("SELECT COUNT(*) FROM t;")));
    QVERIFY(query.exec() && query.next());
    QCOMPARE(query.value(0).toLongLong(), 2);
    QVERIFY(query.exec() && query.next());
    QCOMPARE(query.value(0).toLongLong(), 2);
}

void TestQuery::failuresLeaveNoRow()
{
    Query query(m_db);
    QVERIFY(!query.exec());
    QVERIFY(!query.prepare(QStringLiteral("SELEC nonsense")));
    QVERIFY(!query.exec());
    QVERIFY(!query.exec(QStringLiteral("SELECT * FROM missing_table;")));
    QVERIFY(!query.next());
    // A step that fails at run time (constraint) leaves the query done.
    QVERIFY(m_db.execute(QStringLiteral("CREATE TABLE u(k UNIQUE);")));
    QVERIFY(m_db.execute(QStringLiteral("INSERT INTO u VALUES(1);")));
    QVERIFY(!query.exec(QStringLiteral("INSERT INTO u VALUES(1);")));
    QVERIFY(!query.next());
    // Binding without a statement does nothing.
    query.finalize();
    query.bind(1);
    QVERIFY(!query.exec());
}

void TestQuery::bindConversions_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("storedType");
    QTest::addColumn<QVariant>("stored");

    const QDate date(2031, 5, 17);
    const QDateTime dateTime(QDate(2040, 1, 2), QTime(3, 4, 5), Qt::UTC);
    QTest::newRow("bool") << QVariant(true) << "integer" << QVariant(qint64(1));
    QTest::newRow("int") << QVariant(-7) << "integer" << QVariant(qint64(-7));
    QTest::newRow("uint keeps the bits") << QVariant(0xFFFFFFFFu) << "integer" << QVariant(qint64(-1));
    QTest::newRow("int64") << QVariant(qint64(1) << 40) << "integer" << QVariant(qint64(1) << 40);
    QTest::newRow("uint64") << QVariant(quint64(5)) << "integer" << QVariant(qint64(5));
    QTest::newRow("double") << QVariant(2.5) << "real" << QVariant(2.5);
    QTest::newRow("string") << QVariant(QStringLiteral("价格 1")) << "text" << QVariant(QStringLiteral("价格 1"));
    QTest::newRow("literal") << QVariant("plain") << "text" << QVariant(QStringLiteral("plain"));
    QTest::newRow("empty string is text") << QVariant(QString()) << "text" << QVariant(QString(""));
    QTest::newRow("bytes") << QVariant(QByteArray("\x00\x01z", 3)) << "blob" << QVariant(QByteArray("\x00\x01z", 3));
    QTest::newRow("empty bytes are a blob") << QVariant(QByteArray()) << "blob" << QVariant(QByteArray());
    QTest::newRow("date is local midnight")
        << QVariant(date) << "integer" << QVariant(QDateTime(date, QTime(0, 0)).toSecsSinceEpoch());
    QTest::newRow("date-time after 2038") << QVariant(dateTime) << "integer" << QVariant(dateTime.toSecsSinceEpoch());
    QTest::newRow("time is today") << QVariant(QTime(13, 30)) << "integer"
                                   << QVariant(QDateTime(QDate::currentDate(), QTime(13, 30)).toSecsSinceEpoch());
}

void TestQuery::bindConversions()
{
    QFETCH(QVariant, value);
    QFETCH(QString, storedType);
    QFETCH(QVariant, stored);
    Query insert(m_db, QStringLiteral("INSERT INTO t(a, b) VALUES(?, 'marker');"));
    insert.bind(value);
    QVERIFY(insert.exec());
    Query read(m_db, QStringLiteral("SELECT typeof(a), a FROM t WHERE b = 'marker';"));
    QVERIFY(read.exec() && read.next());
    QCOMPARE(read.value(0).toString(), storedType);
    QCOMPARE(read.value(1), stored);
}

void TestQuery::unsupportedTypeKeepsPosition()
{
    Query insert(m_db, QStringLiteral("INSERT INTO t(a, b) VALUES(?, ?);"));
    insert.bind(QVariant(QPoint(1, 2)));
    insert.bind(QVariant());
    insert.bind(QStringLiteral("first"));
    insert.bind(QStringLiteral("second"));
    QVERIFY(insert.exec());
    Query read(m_db, QStringLiteral("SELECT a, b FROM t;"));
    QVERIFY(read.exec() && read.next());
    QCOMPARE(read.value(0).toString(), QStringLiteral("first"));
    QCOMPARE(read.value(1).toString(), QStringLiteral("second"));
}

void TestQuery::valueConversions()
{
    QVERIFY(m_db.execute(QStringLiteral("INSERT INTO t VALUES(NULL, x'');")));
    Query read(m_db, QStringLiteral("SELECT a, b FROM t;"));
    QVERIFY(read.exec() && read.next());
    // NULL is an invalid variant, which reads as an empty text and as 0.
    QVERIFY(!read.value(0).isValid());
    QCOMPARE(read.value(0).toString(), QString());
    QCOMPARE(read.value(0).toLongLong(), 0);
    QCOMPARE(read.value(1).typeId(), int(QMetaType::QByteArray));
    QVERIFY(!read.value(2).isValid());
    QVERIFY(!read.value(-1).isValid());
    // Row ids and inserted values are 64-bit.
    QVERIFY(m_db.execute(QStringLiteral("INSERT INTO t(rowid, a) VALUES(1099511627776, 1);")));
    QCOMPARE(m_db.lastInsertRowid(), Q_INT64_C(1099511627776));
}

QTEST_GUILESS_MAIN(TestQuery)
#include "tst_query.moc"
