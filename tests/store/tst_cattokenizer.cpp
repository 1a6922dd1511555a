#include "store/cattokenizer.h"
#include "store/database.h"
#include "store/query.h"

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

class TestCatTokenizer : public QObject
{
    Q_OBJECT

private slots:
    void tokens_data();
    void tokens();
    void sqlTextCannotRegisterPointers();
};

void TestCatTokenizer::tokens_data()
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

void TestCatTokenizer::tokens()
{
    QFETCH(QByteArray, input);
    QFETCH(int, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(tokenize(input.constData(), bytes), expected);
    QCOMPARE(tokenize(nullptr, bytes), QStringList());
}

void TestCatTokenizer::sqlTextCannotRegisterPointers()
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

QTEST_GUILESS_MAIN(TestCatTokenizer)
#include "tst_cattokenizer.moc"
