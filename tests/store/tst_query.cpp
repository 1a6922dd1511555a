#include "store/cattokenizer.h"
#include "store/database.h"
#include "store/query.h"

#include <QDateTime>
#include <QPoint>
#include <QTest>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

// The tokens of input as "hex[start,end)@position", run through the module the way FTS drives it.
QStringList tokenize(const char *input, int bytes)
{
    QStringList tokens;
    sqlite3_tokenizer *tokenizer = nullptr;
    if (tokenizerModule.xCreate(0, nullptr, &tokenizer) != SQLITE_OK)
        return {u"<no tokenizer>"_s};
    sqlite3_tokenizer_cursor *cursor = nullptr;
    tokenizerModule.xOpen(tokenizer, input, bytes, &cursor);
    const char *token = nullptr;
    int length = -1, start = -1, end = -1, position = -1;
    while (tokenizerModule.xNext(cursor, &token, &length, &start, &end, &position) == SQLITE_OK)
        tokens << u"%1[%2,%3)@%4"_s.arg(QString::fromLatin1(QByteArray(token, length).toHex()))
                      .arg(start)
                      .arg(end)
                      .arg(position);
    // The end of the stream reports no token bytes.
    if (length != 0)
        tokens << u"<length not reset>"_s;
    tokenizerModule.xClose(cursor);
    tokenizerModule.xDestroy(tokenizer);
    return tokens;
}

} // namespace

// The SQL layer: statements, bound values and the character tokenizer.
class TestQuery : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_db.close();
        QVERIFY(m_db.open(u":memory:"_s, true, true));
        QVERIFY(m_db.execute(u"CREATE TABLE t(a, b);"_s));
    }

    void failuresLeaveNoRow()
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

    void bindConversions_data()
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
        QTest::newRow("bytes") << QVariant(QByteArray("\x00\x01z", 3)) << "blob"
                               << QVariant(QByteArray("\x00\x01z", 3));
        QTest::newRow("empty bytes are a blob") << QVariant(QByteArray()) << "blob" << QVariant(QByteArray());
        QTest::newRow("date is local midnight")
            << QVariant(date) << "integer" << QVariant(QDateTime(date, QTime(0, 0)).toSecsSinceEpoch());
        QTest::newRow("date-time after 2038")
            << QVariant(dateTime) << "integer" << QVariant(dateTime.toSecsSinceEpoch());
    }

    void bindConversions()
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

    void tokens_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("bytes"); // what the tokenizer is told; -1: up to the terminating zero
        QTest::addColumn<QStringList>("expected");
        // Offsets are bytes, positions characters; nothing is folded.
        QTest::newRow("ascii, space, BMP, non-BMP")
            << QByteArray("a \xe4\xb8\xad\xf0\x9f\x98\x80") << 9
            << QStringList{u"61[0,1)@0"_s, u"20[1,2)@1"_s, u"e4b8ad[2,5)@2"_s, u"f09f9880[5,9)@3"_s};
        QTest::newRow("cases differ") << QByteArray("Aa") << 2 << QStringList{u"41[0,1)@0"_s, u"61[1,2)@1"_s};
        QTest::newRow("empty") << QByteArray() << 0 << QStringList();
        // Malformed UTF-8 ends the stream after the characters before it; no token reaches past the input.
        QTest::newRow("stray continuation") << QByteArray("ab\x80"
                                                          "cd")
                                            << 5 << QStringList{u"61[0,1)@0"_s, u"62[1,2)@1"_s};
        QTest::newRow("never a lead byte") << QByteArray("x\xf8y") << 3 << QStringList{u"78[0,1)@0"_s};
        QTest::newRow("0xff") << QByteArray("x\xffy") << 3 << QStringList{u"78[0,1)@0"_s};
        QTest::newRow("cut by the length") << QByteArray("a\xe4\xb8\xad") << 3 << QStringList{u"61[0,1)@0"_s};
        QTest::newRow("cut at the end") << QByteArray("\xf0\x9f\x98") << 3 << QStringList();
        QTest::newRow("up to the zero") << QByteArray("xy\0z", 4) << -1 << QStringList{u"78[0,1)@0"_s, u"79[1,2)@1"_s};
    }

    void tokens()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, bytes);
        QFETCH(QStringList, expected);
        QCOMPARE(tokenize(input.constData(), bytes), expected);
        QCOMPARE(tokenize(nullptr, bytes), QStringList());
    }

    void sqlTextCannotRegisterPointers()
    {
        Database db;
        QVERIFY(db.open(u":memory:"_s, true, true));
        // The registered module is ours; only a bound name reads the pointer back...
        Query query(db, u"SELECT fts3_tokenizer(?);"_s);
        query.bind(u"CatTokenizer"_s);
        QVERIFY(query.exec() && query.next());
        const sqlite3_tokenizer_module *expected = &tokenizerModule;
        QCOMPARE(query.value(0).toByteArray(), QByteArray(reinterpret_cast<const char *>(&expected), sizeof expected));
        Query literal(db, u"SELECT fts3_tokenizer('CatTokenizer');"_s);
        QVERIFY(literal.exec() && literal.next());
        QVERIFY(!literal.value(0).isValid());
        // ...and a pointer written into SQL text is refused, while a second connection still registers fine.
        QVERIFY(!db.execute(u"SELECT fts3_tokenizer('evil', x'0102030405060708');"_s));
        Database other;
        QVERIFY(other.open(u":memory:"_s, true, true));
        QVERIFY(other.execute(u"CREATE VIRTUAL TABLE t USING fts4(x, tokenize = CatTokenizer);"_s));
    }

private:
    Database m_db;
};

QTEST_GUILESS_MAIN(TestQuery)
#include "tst_query.moc"
