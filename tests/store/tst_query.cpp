#include "store/database.h"
#include "store/query.h"

#include <QDateTime>
#include <QPoint>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

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
    QVERIFY(m_db.open(u":memory:"_s, true, true));
    QVERIFY(m_db.execute(u"CREATE TABLE t(a, b);"_s));
}

void TestQuery::openModes()
{
    const QString path = m_dir.filePath(u"modes.db"_s);
    Database db;
    // Read-only and read-write without create both need the file to exist.
    QVERIFY(!db.open(path, false, false));
    QVERIFY(!db.isOpen());
    QVERIFY(!db.open(path, true, false));
    QVERIFY(!QFile::exists(path));
    QVERIFY(db.open(path, true, true));
    QVERIFY(db.execute(u"CREATE TABLE t(x);"_s));
    db.close();
    QVERIFY(!db.isOpen());
    // A statement on a closed connection fails instead of crashing.
    QVERIFY(!db.execute(u"SELECT 1;"_s));
    QVERIFY(db.open(path, false, false));
    QVERIFY(db.execute(u"SELECT COUNT(*) FROM t;"_s));
    QVERIFY(!db.execute(u"INSERT INTO t VALUES(1);"_s));
}

void TestQuery::notADatabase()
{
    const QString path = m_dir.filePath(u"garbage.db"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray garbage(4096, 'x');
    file.write(garbage);
    file.close();
    Database db;
    db.open(path, true, true);
    QVERIFY(!db.execute(u"CREATE TABLE t(x);"_s));
    Query query(db);
    QVERIFY(!query.exec(u"SELECT * FROM sqlite_master;"_s));
    QVERIFY(!query.next());
    db.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), garbage);
}

void TestQuery::stepStates()
{
    QVERIFY(m_db.execute(u"INSERT INTO t VALUES(1, 'one'), (2, 'two'), (3, 'three');"_s));
    Query query(m_db, u"SELECT a, b FROM t ORDER BY a;"_s);
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
    QVERIFY(query.exec(u"SELECT a FROM t WHERE a > 9;"_s));
    QVERIFY(!query.next());
    // A statement that only writes finishes at once.
    QVERIFY(query.exec(u"DELETE FROM t WHERE a = 3;"_s));
    QVERIFY(!query.next());
    // Re-running the same prepared statement starts over.
    QVERIFY(query.prepare(u"SELECT COUNT(*) FROM t;"_s));
    QVERIFY(query.exec() && query.next());
    QCOMPARE(query.value(0).toLongLong(), 2);
    QVERIFY(query.exec() && query.next());
    QCOMPARE(query.value(0).toLongLong(), 2);
}

void TestQuery::failuresLeaveNoRow()
{
    Query query(m_db);
    QVERIFY(!query.exec());
    QVERIFY(!query.prepare(u"SELEC nonsense"_s));
    QVERIFY(!query.exec());
    QVERIFY(!query.exec(u"SELECT * FROM missing_table;"_s));
    QVERIFY(!query.next());
    // A step that fails at run time (constraint) leaves the query done.
    QVERIFY(m_db.execute(u"CREATE TABLE u(k UNIQUE);"_s));
    QVERIFY(m_db.execute(u"INSERT INTO u VALUES(1);"_s));
    QVERIFY(!query.exec(u"INSERT INTO u VALUES(1);"_s));
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
    QTest::newRow("string") << QVariant(u"价格 1"_s) << "text" << QVariant(u"价格 1"_s);
    QTest::newRow("literal") << QVariant("plain") << "text" << QVariant(u"plain"_s);
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
    Query insert(m_db, u"INSERT INTO t(a, b) VALUES(?, 'marker');"_s);
    insert.bind(value);
    QVERIFY(insert.exec());
    Query read(m_db, u"SELECT typeof(a), a FROM t WHERE b = 'marker';"_s);
    QVERIFY(read.exec() && read.next());
    QCOMPARE(read.value(0).toString(), storedType);
    QCOMPARE(read.value(1), stored);
}

void TestQuery::unsupportedTypeKeepsPosition()
{
    Query insert(m_db, u"INSERT INTO t(a, b) VALUES(?, ?);"_s);
    insert.bind(QVariant(QPoint(1, 2)));
    insert.bind(QVariant());
    insert.bind(u"first"_s);
    insert.bind(u"second"_s);
    QVERIFY(insert.exec());
    Query read(m_db, u"SELECT a, b FROM t;"_s);
    QVERIFY(read.exec() && read.next());
    QCOMPARE(read.value(0).toString(), u"first"_s);
    QCOMPARE(read.value(1).toString(), u"second"_s);
}

void TestQuery::valueConversions()
{
    QVERIFY(m_db.execute(u"INSERT INTO t VALUES(NULL, x'');"_s));
    Query read(m_db, u"SELECT a, b FROM t;"_s);
    QVERIFY(read.exec() && read.next());
    // NULL is an invalid variant, which reads as an empty text and as 0.
    QVERIFY(!read.value(0).isValid());
    QCOMPARE(read.value(0).toString(), QString());
    QCOMPARE(read.value(0).toLongLong(), 0);
    QCOMPARE(read.value(1).typeId(), int(QMetaType::QByteArray));
    QVERIFY(!read.value(2).isValid());
    QVERIFY(!read.value(-1).isValid());
    // Row ids and inserted values are 64-bit.
    QVERIFY(m_db.execute(u"INSERT INTO t(rowid, a) VALUES(1099511627776, 1);"_s));
    QCOMPARE(m_db.lastInsertRowid(), Q_INT64_C(1099511627776));
}

QTEST_GUILESS_MAIN(TestQuery)
#include "tst_query.moc"
