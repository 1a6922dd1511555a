#include "store/database.h"
#include "store/query.h"
#include "support/sandbox.h"

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
    void openModesAndForeignFiles();
    void stepStates();
    void failuresLeaveNoRow();
    void bindConversions_data();
    void bindConversions();

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

void TestQuery::openModesAndForeignFiles()
{
    const QString path = m_dir.filePath(u"modes.db"_s);
    Database db;
    // Read-only and read-write without create both need the file; a closed connection fails instead of crashing.
    QVERIFY(!db.open(path, false, false) && !db.isOpen());
    QVERIFY(!db.open(path, true, false) && !QFile::exists(path));
    QVERIFY(!db.execute(u"SELECT 1;"_s));
    QVERIFY(db.open(path, true, true) && db.execute(u"CREATE TABLE t(x);"_s));
    QVERIFY(db.open(path, false, false) && db.execute(u"SELECT COUNT(*) FROM t;"_s));
    QVERIFY(!db.execute(u"INSERT INTO t VALUES(1);"_s));
    // A file that is not a database is never written.
    const QString garbage = m_dir.filePath(u"garbage.db"_s);
    QVERIFY(writeFile(garbage, QByteArray(4096, 'x')));
    db.open(garbage, true, true);
    QVERIFY(!db.execute(u"CREATE TABLE t(x);"_s));
    db.close();
    QCOMPARE(readFile(garbage), QByteArray(4096, 'x'));
}

void TestQuery::stepStates()
{
    QVERIFY(m_db.execute(u"INSERT INTO t VALUES(1, 'one'), (2, NULL), (3, x'');"_s));
    Query query(m_db, u"SELECT a, b FROM t ORDER BY a;"_s);
    QVERIFY(!query.value(0).isValid());
    QVERIFY(query.exec());
    // The row of the first step is handed out first, then the rest; NULL reads as an invalid value.
    QList<qint64> seen;
    while (query.next()) {
        seen << query.value(0).toLongLong();
        QCOMPARE(query.value(1).isValid(), seen.last() != 2);
    }
    QCOMPARE(seen, (QList<qint64>{1, 2, 3}));
    QVERIFY(!query.next() && !query.value(0).isValid());
    // A statement that only writes finishes at once; re-running a prepared statement starts over.
    QVERIFY(query.exec(u"DELETE FROM t WHERE a = 3;"_s) && !query.next());
    QVERIFY(query.prepare(u"SELECT COUNT(*) FROM t;"_s));
    for (int run = 0; run < 2; ++run) {
        QVERIFY(query.exec() && query.next());
        QCOMPARE(query.value(0).toLongLong(), 2);
    }
    // Row ids are 64-bit.
    QVERIFY(m_db.execute(u"INSERT INTO t(rowid, a) VALUES(1099511627776, 1);"_s));
    QCOMPARE(m_db.lastInsertRowid(), Q_INT64_C(1099511627776));
}

void TestQuery::failuresLeaveNoRow()
{
    Query query(m_db);
    QVERIFY(!query.exec());
    QVERIFY(!query.prepare(u"SELEC nonsense"_s) && !query.exec());
    QVERIFY(!query.exec(u"SELECT * FROM missing_table;"_s) && !query.next());
    // A step that fails at run time (a constraint) leaves the query done.
    QVERIFY(m_db.execute(u"CREATE TABLE u(k UNIQUE);"_s) && m_db.execute(u"INSERT INTO u VALUES(1);"_s));
    QVERIFY(!query.exec(u"INSERT INTO u VALUES(1);"_s) && !query.next());
    // A value of an unsupported type binds nothing and keeps the position.
    Query insert(m_db, u"INSERT INTO t(a, b) VALUES(?, ?);"_s);
    insert.bind(QVariant(QPoint(1, 2)));
    insert.bind(QVariant());
    insert.bind(u"first"_s);
    insert.bind(u"second"_s);
    QVERIFY(insert.exec());
    Query read(m_db, u"SELECT a || b FROM t;"_s);
    QVERIFY(read.exec() && read.next());
    QCOMPARE(read.value(0).toString(), u"firstsecond"_s);
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
    QTest::newRow("double") << QVariant(2.5) << "real" << QVariant(2.5);
    QTest::newRow("string") << QVariant(u"价格 1"_s) << "text" << QVariant(u"价格 1"_s);
    QTest::newRow("empty string is text") << QVariant(QString()) << "text" << QVariant(QString(""));
    QTest::newRow("bytes") << QVariant(QByteArray("\x00\x01z", 3)) << "blob" << QVariant(QByteArray("\x00\x01z", 3));
    QTest::newRow("empty bytes are a blob") << QVariant(QByteArray()) << "blob" << QVariant(QByteArray());
    QTest::newRow("date is local midnight")
        << QVariant(date) << "integer" << QVariant(QDateTime(date, QTime(0, 0)).toSecsSinceEpoch());
    QTest::newRow("date-time after 2038") << QVariant(dateTime) << "integer" << QVariant(dateTime.toSecsSinceEpoch());
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

QTEST_GUILESS_MAIN(TestQuery)
#include "tst_query.moc"
