#include "pages.h"
#include "tasktitles.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A node whose markers are the ten given texts.
AttentionData node(const QStringList &markers, const QString &url = u"http://h.example:81/list/1.html"_s)
{
    return AttentionData{u"站"_s, u"设计"_s, url, markers};
}

const QStringList liMarkers = {u"<ul>"_s, u"</ul>"_s, u"<li>"_s, u"</li>"_s, u"href=\""_s,
                               u"\""_s,   u"<b>"_s,   u"</b>"_s, u"<i>"_s,   u"</i>"_s};

QList<TaskData> parse(const QString &page, const AttentionData &n = node(liMarkers))
{
    QList<TaskData> tasks;
    parsePage(page, n, nullptr, tasks);
    return tasks;
}

QByteArray gbk(const QString &text)
{
    QStringEncoder encoder("GBK");
    return encoder(text);
}

} // namespace

class TestPages : public QObject
{
    Q_OBJECT

private slots:
    void charsetChoice_data();
    void charsetChoice();
    void largePagesDecodeAlike();
    void tableCut();
    void rowLoop();
    void emptyRowEndYieldsNothing();
    void titleRules();
    void priceRules();
    void addresses_data();
    void addresses();
    void historyCheckPerRow();
};

void TestPages::charsetChoice_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("no charset") << QByteArray("<html>") << true;
    QTest::newRow("utf-8 lower case") << QByteArray("<meta charset=utf-8>") << true;
    QTest::newRow("quoted UTF-8") << QByteArray("<meta charset=\"UTF-8\">") << true;
    QTest::newRow("utf8 without hyphen") << QByteArray("<meta charset=utf8>") << false;
    QTest::newRow("gb2312") << QByteArray("<meta content=\"text/html; charset=gb2312\">") << false;
    QTest::newRow("big5") << QByteArray("<meta charset=big5>") << false;
    QTest::newRow("only the first counts") << QByteArray("charset=gbk charset=utf-8") << false;
    QTest::newRow("cut off at the end") << QByteArray("charset=\"UT") << false;
    QTest::newRow("case-sensitive keyword") << QByteArray("CHARSET=gbk") << true;
}

void TestPages::charsetChoice()
{
    QFETCH(QByteArray, head);
    QFETCH(bool, utf8);
    const QString text = u"网站建设"_s;
    const QByteArray body = head + (utf8 ? text.toUtf8() : gbk(text));
    QVERIFY(decodePage(body).endsWith(text));
    // A GBK body without any declaration is read as UTF-8: the text does not come through.
    if (head == "<html>")
        QVERIFY(!decodePage(head + gbk(text)).endsWith(text));
    QVERIFY(decodePage(QByteArray()).isEmpty());
}

void TestPages::largePagesDecodeAlike()
{
    // Pages from 4 MiB on take another decoding path; the text must be the same as for a small page.
    const QByteArray row = QByteArray("<li><b>网站 \xff\xfe broken \xe4\xb8</b></li>\n");
    QByteArray big = QByteArray("\xef\xbb\xbf<meta charset=utf-8><ul>");
    while (big.size() < 5 * 1024 * 1024)
        big += row;
    big += "<li><b>末尾</b></li></ul>";
    QCOMPARE(decodePage(big), QString::fromUtf8(big));
    QVERIFY(decodePage(big).startsWith(u"<meta"_s));
    QCOMPARE(decodePage(big.left(4096)), QString::fromUtf8(big.left(4096)));
    // The same for GBK.
    const QByteArray gbkRow = "<li><b>" + gbk(u"网站建设"_s) + "</b></li>";
    QByteArray bigGbk = "<meta charset=gbk><ul>";
    while (bigGbk.size() < 5 * 1024 * 1024)
        bigGbk += gbkRow;
    const QString text = decodePage(bigGbk);
    QCOMPARE(text, QStringDecoder("GBK")(bigGbk));
    QVERIFY(text.endsWith(u"<li><b>网站建设</b></li>"_s));
    QList<TaskData> tasks;
    parsePage(text, node(liMarkers), nullptr, tasks);
    QCOMPARE(tasks.size(), (bigGbk.size() - 22) / gbkRow.size());
}

void TestPages::tableCut()
{
    // Rows outside the table are not seen; a missing or empty marker leaves that side uncut.
    const QString page = u"<li><b>before</b></li><ul><li><b>in</b></li></ul><li><b>after</b></li>"_s;
    QCOMPARE(taskTitles(parse(page)), QStringList{u"in"_s});
    QStringList markers = liMarkers;
    markers[0] = u"<nowhere>"_s;
    QCOMPARE(taskTitles(parse(page, node(markers))), (QStringList{u"before"_s, u"in"_s}));
    markers[1] = QString();
    QCOMPARE(taskTitles(parse(page, node(markers))), (QStringList{u"before"_s, u"in"_s, u"after"_s}));
    markers[0] = u"<ul>"_s;
    markers[1] = u"<nowhere>"_s;
    QCOMPARE(taskTitles(parse(page, node(markers))), (QStringList{u"in"_s, u"after"_s}));
    // The end is searched from the start of the begin marker, so a marker that is both finds an empty table.
    markers[1] = u"<ul>"_s;
    QCOMPARE(taskTitles(parse(page, node(markers))), QStringList());
}

void TestPages::rowLoop()
{
    // An empty row begin: each row runs up to the next row end, the first from the table's start.
    QStringList markers = liMarkers;
    markers[2] = QString();
    markers[3] = u"<hr>"_s;
    QCOMPARE(taskTitles(parse(u"<ul><b>a</b><hr>text <b>b</b><hr><b>c</b></ul>"_s, node(markers))),
             (QStringList{u"a"_s, u"b"_s}));
    // Rows without a title are consumed and skipped; everything after the last complete row is ignored.
    QCOMPARE(taskTitles(parse(u"<ul><li>none</li><li><b>x</b></li><li><b>open</ul>"_s)), QStringList{u"x"_s});
    // The same task twice on one page gives two tasks.
    const QList<TaskData> twice = parse(u"<ul><li><b>t</b><i>1</i></li><li><b>t</b><i>1</i></li></ul>"_s);
    QCOMPARE(twice.size(), 2);
    QVERIFY(twice[0].isSameTask(twice[1]));
    QCOMPARE(twice[0].site_name, u"站"_s);
    QCOMPARE(twice[0].note_name, u"设计"_s);
    QCOMPARE(twice[0].note_url, u"http://h.example:81/list/1.html"_s);
    QCOMPARE(twice[0].attr_mark, 0);
    // Ten markers are needed; anything else yields nothing.
    QCOMPARE(parse(u"<ul><li><b>t</b></li></ul>"_s, node(liMarkers.mid(0, 9))).size(), 0);
}

void TestPages::emptyRowEndYieldsNothing()
{
    // The row loop could never advance: the node yields no task (and the call returns).
    QStringList markers = liMarkers;
    markers[3] = QString();
    QCOMPARE(parse(u"<ul><li><b>t</b></li></ul>"_s, node(markers)).size(), 0);
    markers[2] = QString();
    QCOMPARE(parse(u"<ul><li><b>t</b></li></ul>"_s, node(markers)).size(), 0);
}

void TestPages::titleRules()
{
    const auto title = [](const QString &source) {
        const QList<TaskData> tasks = parse(u"<ul><li><b>%1</b></li></ul>"_s.arg(source));
        return tasks.isEmpty() ? u"<no task>"_s : tasks.first().task_name;
    };
    // Entities run in a fixed order: &amp; is replaced after &lt;, &gt; and before &quot;.
    QCOMPARE(title(u"&amp;lt;b&amp;gt;"_s), u"&lt;b&gt;"_s);
    QCOMPARE(title(u"&amp;quot;x&amp;quot;"_s), u"\"x\""_s);
    QCOMPARE(title(u"A&ensp;B&emsp;C&#160;D &lt;E&gt;"_s), u"A B\u3000C D <E>"_s);
    QCOMPARE(title(u"&yen;5 &#39;q&#39; &AMP;"_s), u"&yen;5 &#39;q&#39; &AMP;"_s);
    // Trimmed before and after the replacements: "&nbsp;" alone still yields a task, with an empty title.
    QCOMPARE(title(u"  Logo 设计\u3000"_s), u"Logo 设计"_s);
    QCOMPARE(title(u"&nbsp;"_s), QString());
    QCOMPARE(title(u" \t "_s), u"<no task>"_s);
    QCOMPARE(title(QString()), u"<no task>"_s);
    // Markup inside the title is kept as it stands.
    QCOMPARE(title(u"<img src=x onerror=alert(1)>"_s), u"<img src=x onerror=alert(1)>"_s);
}

void TestPages::priceRules()
{
    const auto price = [](const QString &row, const QStringList &markers = liMarkers) {
        const QList<TaskData> tasks = parse(u"<ul><li>%1</li></ul>"_s.arg(row), node(markers));
        return tasks.isEmpty() ? u"<no task>"_s : tasks.first().task_price;
    };
    // Every space goes, other white space only at the ends; entities are replaced first.
    QCOMPARE(price(u"<b>t</b><i> 1 000 元 </i>"_s), u"1000元"_s);
    QCOMPARE(price(u"<b>t</b><i>&nbsp;5&emsp;</i>"_s), u"5"_s);
    QCOMPARE(price(u"<b>t</b><i>&yen;200</i>"_s), u"&yen;200"_s);
    // The price is searched in the whole row, also before the title.
    QCOMPARE(price(u"<i>9</i><b>t</b>"_s), u"9"_s);
    QCOMPARE(price(u"<b>t</b><i>open"_s), QString());
    QStringList noPrice = liMarkers;
    noPrice[9] = QString();
    QCOMPARE(price(u"<b>t</b><i>9</i>"_s, noPrice), QString());
}

void TestPages::addresses_data()
{
    QTest::addColumn<QString>("href");
    QTest::addColumn<QString>("nodeUrl");
    QTest::addColumn<QString>("expected");
    const QString page = u"https://h.example:81/list/1.html"_s;
    QTest::newRow("root-relative") << "/task/9" << page << "https://h.example:81/task/9";
    QTest::newRow("relative is from the root") << "task/9" << page << "https://h.example:81/task/9";
    QTest::newRow("query only") << "?id=9" << page << "https://h.example:81/?id=9";
    QTest::newRow("trimmed") << "  /t/1 " << page << "https://h.example:81/t/1";
    QTest::newRow("absolute elsewhere") << "http://other/x" << page << "http://other/x";
    QTest::newRow(":// anywhere") << "go?to=ftp://x" << page << "go?to=ftp://x";
    QTest::newRow("node without path") << "task/9"
                                       << "http://h.example"
                                       << "http://h.example/task/9";
    QTest::newRow("user and port kept") << "/a"
                                        << "http://u@h:8/p"
                                        << "http://u@h:8/a";
    QTest::newRow("empty address") << "" << page << "https://h.example:81/";
    QTest::newRow("node without scheme") << "/a"
                                         << "h.example/list"
                                         << "/a";
    QTest::newRow("entities stay") << "/t?a=1&amp;b=2" << page << "https://h.example:81/t?a=1&amp;b=2";
}

void TestPages::addresses()
{
    QFETCH(QString, href);
    QFETCH(QString, nodeUrl);
    QFETCH(QString, expected);
    QCOMPARE(completeUrl(href.trimmed(), nodeUrl), expected);
    const QList<TaskData> tasks =
        parse(u"<ul><li><a href=\"%1\"><b>t</b></a></li></ul>"_s.arg(href), node(liMarkers, nodeUrl));
    QCOMPARE(tasks.size(), 1);
    QCOMPARE(tasks.first().task_url, expected);
    // Without address markers the address stays empty.
    QStringList noUrl = liMarkers;
    noUrl[4] = QString();
    QCOMPARE(parse(u"<ul><li><a href=\"/x\"><b>t</b></a></li></ul>"_s, node(noUrl, nodeUrl)).first().task_url,
             QString());
}

void TestPages::historyCheckPerRow()
{
    // Each row that yields a task is checked once; known ones are dropped, the rest keep page order.
    const QString page = u"<ul><li><b>a</b></li><li>x</li><li><b>b</b></li><li><b>c</b></li></ul>"_s;
    QStringList asked;
    QList<TaskData> tasks{TaskData()};
    parsePage(
        page, node(liMarkers),
        [&asked](const TaskData &task) {
            asked << task.task_name;
            return task.task_name == u"b"_s;
        },
        tasks);
    QCOMPARE(asked, (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    QCOMPARE(taskTitles(tasks), (QStringList{QString(), u"a"_s, u"c"_s}));
}

QTEST_GUILESS_MAIN(TestPages)
#include "tst_pages.moc"
