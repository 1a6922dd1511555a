#include "store/cattokenizer.h"
#include "store/database.h"
#include "store/query.h"

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
        for (const QVariant &value : {QVariant(QPoint(1, 2)), QVariant(), QVariant(u"first"_s), QVariant(u"second"_s)})
            insert.bind(value);
        QVERIFY(insert.exec());
        Query read(m_db, u"SELECT a || b FROM t;"_s);
        QVERIFY(read.exec() && read.next());
        QCOMPARE(read.value(0).toString(), u"firstsecond"_s);
    }

    void bindConversions()
    {
        // The values the program binds → the type SQLite stores and what reads back: empty text is no NULL, and
        // neither are empty bytes.
        const QByteArray bytes("\x00\x01z", 3);
        const std::tuple<QVariant, QString, QVariant> cases[] = {
            {-7, u"integer"_s, qint64(-7)},
            {qint64(1) << 40, u"integer"_s, qint64(1) << 40},
            {u"价格 1"_s, u"text"_s, u"价格 1"_s},
            {QString(), u"text"_s, QString(u""_s)},
            {bytes, u"blob"_s, bytes},
            {QByteArray(), u"blob"_s, QByteArray()},
        };
        int row = 0;
        for (const auto &[value, storedType, stored] : cases) {
            Query insert(m_db, u"INSERT INTO t(a, b) VALUES(?, ?);"_s);
            insert.bind(value);
            insert.bind(++row);
            Query read(m_db, u"SELECT typeof(a), a FROM t WHERE b = %1;"_s.arg(row));
            QVERIFY(insert.exec() && read.exec() && read.next());
            QCOMPARE(read.value(0).toString(), storedType);
            QCOMPARE(read.value(1), stored);
        }
    }

    void tokens()
    {
        // Input, bytes the tokenizer is told (-1: up to the terminating zero) → tokens. Offsets are bytes, positions
        // characters; nothing is folded. Malformed UTF-8 ends the stream after the characters before it; no token
        // reaches past the input.
        const std::tuple<QByteArray, int, QStringList> cases[] = {
            {"a \xe4\xb8\xad\xf0\x9f\x98\x80",
             9,
             {u"61[0,1)@0"_s, u"20[1,2)@1"_s, u"e4b8ad[2,5)@2"_s, u"f09f9880[5,9)@3"_s}},
            {"Aa", 2, {u"41[0,1)@0"_s, u"61[1,2)@1"_s}},
            {QByteArray(), 0, {}},
            {"ab\200cd", 5, {u"61[0,1)@0"_s, u"62[1,2)@1"_s}}, // a stray continuation byte
            {"x\xf8y", 3, {u"78[0,1)@0"_s}},
            {"x\xffy", 3, {u"78[0,1)@0"_s}},
            {"a\xe4\xb8\xad", 3, {u"61[0,1)@0"_s}}, // cut by the length
            {"\xf0\x9f\x98", 3, {}},
            {QByteArray("xy\0z", 4), -1, {u"78[0,1)@0"_s, u"79[1,2)@1"_s}},
        };
        for (const auto &[input, bytes, expected] : cases) {
            QCOMPARE(tokenize(input.constData(), bytes), expected);
            QCOMPARE(tokenize(nullptr, bytes), QStringList());
        }
    }

    void sqlTextCannotRegisterPointers()
    {
        // The registered module is ours; only a bound name reads the pointer back...
        Query query(m_db, u"SELECT fts3_tokenizer(?);"_s);
        query.bind(u"CatTokenizer"_s);
        QVERIFY(query.exec() && query.next());
        const sqlite3_tokenizer_module *expected = &tokenizerModule;
        QCOMPARE(query.value(0).toByteArray(), QByteArray(reinterpret_cast<const char *>(&expected), sizeof expected));
        Query literal(m_db, u"SELECT fts3_tokenizer('CatTokenizer');"_s);
        QVERIFY(literal.exec() && literal.next());
        QVERIFY(!literal.value(0).isValid());
        // ...and a pointer written into SQL text is refused, while a second connection still registers fine.
        QVERIFY(!m_db.execute(u"SELECT fts3_tokenizer('evil', x'0102030405060708');"_s));
        Database other;
        QVERIFY(other.open(u":memory:"_s, true, true));
        QVERIFY(other.execute(u"CREATE VIRTUAL TABLE t USING fts4(x, tokenize = CatTokenizer);"_s));
    }

private:
    Database m_db;
};

QTEST_GUILESS_MAIN(TestQuery)
#include "tst_query.moc"
