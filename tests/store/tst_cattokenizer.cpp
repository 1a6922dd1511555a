#include "cattokenizer.h"
#include "database.h"
#include "query.h"
#include "testenv.h"
#include "userdb.h"

#include <QTest>
#include <sqlite3.h>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

struct Token
{
    QByteArray text;
    int start;
    int end;
    int position;
    bool operator==(const Token &o) const
    {
        return text == o.text && start == o.start && end == o.end && position == o.position;
    }
};

// Runs the module directly over input, the way FTS drives it.
QList<Token> tokenize(const char *input, int bytes)
{
    QList<Token> tokens;
    sqlite3_tokenizer *tokenizer = nullptr;
    if (tokenizerModule.xCreate(0, nullptr, &tokenizer) != SQLITE_OK)
        return tokens;
    sqlite3_tokenizer_cursor *cursor = nullptr;
    tokenizerModule.xOpen(tokenizer, input, bytes, &cursor);
    const char *token = nullptr;
    int length = -1, start = -1, end = -1, position = -1;
    while (tokenizerModule.xNext(cursor, &token, &length, &start, &end, &position) == SQLITE_OK)
        tokens.append({QByteArray(token, length), start, end, position});
    // The end of the stream reports no token bytes.
    if (length != 0)
        tokens.append({"<length not reset>", -1, -1, -1});
    tokenizerModule.xClose(cursor);
    tokenizerModule.xDestroy(tokenizer);
    return tokens;
}

QList<Token> tokenize(const QByteArray &input)
{
    return tokenize(input.constData(), int(input.size()));
}

} // namespace

QT_BEGIN_NAMESPACE
namespace QTest {
template <> char *toString(const Token &t)
{
    return qstrdup(u"%1[%2,%3)@%4"_s.arg(QString::fromUtf8(t.text.toHex()))
                       .arg(t.start)
                       .arg(t.end)
                       .arg(t.position)
                       .toUtf8()
                       .constData());
}
} // namespace QTest
QT_END_NAMESPACE

class TestCatTokenizer : public QObject
{
    Q_OBJECT

private slots:
    void cutsEveryCharacter();
    void stopsAtMalformedUtf8();
    void inputLengthForms();
    void sqliteSeesTheSameTokens();
    void phraseQueriesAreSubstringSearches();
    void sqlTextCannotRegisterPointers();
};

void TestCatTokenizer::cutsEveryCharacter()
{
    // Letters, a space, a BMP and a non-BMP character: offsets are bytes, positions are characters.
    QCOMPARE(tokenize(QByteArray("ab \xe4\xb8\xad\xf0\x9f\x98\x80")), (QList<Token>{{"a", 0, 1, 0},
                                                                                    {"b", 1, 2, 1},
                                                                                    {" ", 2, 3, 2},
                                                                                    {"\xe4\xb8\xad", 3, 6, 3},
                                                                                    {"\xf0\x9f\x98\x80", 6, 10, 4}}));
    // Nothing is folded: the two cases are different tokens.
    const QList<Token> cases = tokenize(QByteArray("Aa"));
    QCOMPARE(cases.size(), 2);
    QVERIFY(cases[0].text != cases[1].text);
    QVERIFY(tokenize(QByteArray()).isEmpty());
}

void TestCatTokenizer::stopsAtMalformedUtf8()
{
    // A stray continuation byte ends the stream after the characters before it.
    QCOMPARE(tokenize(QByteArray("ab\x80"
                                 "cd")),
             (QList<Token>{{"a", 0, 1, 0}, {"b", 1, 2, 1}}));
    // So do bytes that never start a character.
    QCOMPARE(tokenize(QByteArray("x\xf8yz")), (QList<Token>{{"x", 0, 1, 0}}));
    QCOMPARE(tokenize(QByteArray("x\xffyz")), (QList<Token>{{"x", 0, 1, 0}}));
    // A lead byte whose character would run past the end never yields a token reaching beyond the input. The
    // input is cut out of a larger buffer so that reading past it would find plausible bytes.
    const char buffer[] = "a\xe4\xb8\xad";
    QCOMPARE(tokenize(buffer, 2), (QList<Token>{{"a", 0, 1, 0}}));
    QCOMPARE(tokenize(buffer, 3), (QList<Token>{{"a", 0, 1, 0}}));
    QCOMPARE(tokenize(QByteArray("\xf0\x9f\x98")), QList<Token>());
}

void TestCatTokenizer::inputLengthForms()
{
    // A negative count means "up to the terminating zero".
    QCOMPARE(tokenize("xy\0z", -1), (QList<Token>{{"x", 0, 1, 0}, {"y", 1, 2, 1}}));
    QCOMPARE(tokenize(nullptr, 5), QList<Token>());
    QCOMPARE(tokenize(nullptr, -1), QList<Token>());
}

void TestCatTokenizer::sqliteSeesTheSameTokens()
{
    Database db;
    QVERIFY(db.open(u":memory:"_s, true, true));
    QVERIFY(db.execute(u"CREATE VIRTUAL TABLE temp.tok USING fts3tokenize(CatTokenizer);"_s));
    Query query(db, u"SELECT token, start, \"end\", position FROM tok WHERE input = ?;"_s);
    query.bind(u"ab 中"_s);
    QVERIFY(query.exec());
    QStringList rows;
    while (query.next())
        rows << u"%1:%2-%3@%4"_s.arg(query.value(0).toString())
                    .arg(query.value(1).toLongLong())
                    .arg(query.value(2).toLongLong())
                    .arg(query.value(3).toLongLong());
    QCOMPARE(rows, (QStringList{u"a:0-1@0"_s, u"b:1-2@1"_s, u" :2-3@2"_s, u"中:3-6@3"_s}));
}

void TestCatTokenizer::phraseQueriesAreSubstringSearches()
{
    TempDataDir dir;
    UserDb db;
    QVERIFY(db.isOpen());
    // Titles are stored lower-cased, as the history stores them.
    const QStringList titles = {u"Logo Design for Café"_s, u"企业网站建设与维护"_s, u"word  two"_s, u"word two"_s};
    for (const QString &title : titles) {
        Query insert(db, u"INSERT INTO tb_history_task_text(task_name) VALUES(?);"_s);
        insert.bind(title.toLower());
        QVERIFY(insert.exec());
    }
    const auto match = [&db](const QString &text) {
        QList<qint64> ids;
        Query query(db, QStringLiteral("SELECT rowid FROM tb_history_task_text WHERE task_name MATCH ? "
                                       "ORDER BY rowid;"));
        query.bind(u"\"%1\""_s.arg(text.toLower()));
        if (!query.exec())
            return QList<qint64>{-1};
        while (query.next())
            ids << query.value(0).toLongLong();
        return ids;
    };
    QCOMPARE(match(u"GN FOR C"_s), QList<qint64>{1});
    QCOMPARE(match(u"go de"_s), QList<qint64>{1});
    QCOMPARE(match(u"afé"_s), QList<qint64>{1});
    QCOMPARE(match(u"网站建设"_s), QList<qint64>{2});
    QCOMPARE(match(u"站"_s), QList<qint64>{2});
    QCOMPARE(match(u"网建"_s), QList<qint64>{});
    // Spaces are characters too: two spaces match only the title that has two.
    QCOMPARE(match(u"word  two"_s), QList<qint64>{3});
    QCOMPARE(match(u"word two"_s), QList<qint64>{4});
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
    QVERIFY(db.execute(u"SELECT fts3_tokenizer('CatTokenizer');"_s));
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
