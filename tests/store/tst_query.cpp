#include "store/database.h"
#include "store/query.h"

#include <QDateTime>
#include <QPoint>
#include <QTest>

using namespace Qt::StringLiterals;

class TestQuery : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void failuresLeaveNoRow();
    void bindConversions_data();
    void bindConversions();

private:
    Database m_db;
};

void TestQuery::init()
{
    m_db.close();
    QVERIFY(m_db.open(u":memory:"_s, true, true));
    QVERIFY(m_db.execute(u"CREATE TABLE t(a, b);"_s));
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
