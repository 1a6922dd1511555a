#include "pages.h"
#include "tasktitles.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

namespace {

// A node whose markers are the ten given texts.
AttentionData node(const QStringList &markers, const QString &url = QStringLiteral("http://h.example:81/list/1.html"))
{
    return AttentionData{QStringLiteral("站"), QStringLiteral("设计"), url, markers};
}

const QStringList liMarkers = {QStringLiteral("<ul>"),  QStringLiteral("</ul>"),   QStringLiteral("<li>"),
                               QStringLiteral("</li>"), QStringLiteral("href=\""), QStringLiteral("\""),
                               QStringLiteral("<b>"),   QStringLiteral("</b>"),    QStringLiteral("<i>"),
                               QStringLiteral("</i>")};

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
    const QString text = QStringLiteral("网站建设");
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
    QVERIFY(decodePage(big).startsWith(QStringLiteral("<meta")));
    QCOMPARE(decodePage(big.left(4096)), QString::fromUtf8(big.left(4096)));
    // The same for GBK.
    const QByteArray gbkRow = "<li><b>" + gbk(QStringLiteral("网站建设")) + "</b></li>";
    QByteArray bigGbk = "<meta charset=gbk><ul>";
    while (bigGbk.size() < 5 * 1024 * 1024)
        bigGbk += gbkRow;
    const QString text = decodePage(bigGbk);
    QCOMPARE(text, QStringDecoder("GBK")(bigGbk));
    QVERIFY(text.endsWith(QStringLiteral("<li><b>网站建设</b></li>")));
    QList<TaskData> tasks;
    parsePage(text, node(liMarkers), nullptr, tasks);
    QCOMPARE(tasks.size(), (bigGbk.size() - 22) / gbkRow.size());
}

void TestPages::tableCut()
{
    // Rows outside the table are not seen; a missing or empty marker leaves that side uncut.
    const QString page = QStringLiteral("<li><b>before</b></li><ul><li><b>in</b></li></ul><li><b>after</b></li>");
    QCOMPARE(taskTitles(parse(page)), QStringList{QStringLiteral("in")});
    QStringList markers = liMarkers;
    markers[0] = QStringLiteral("<nowhere>");
    QCOMPARE(taskTitles(parse(page, node(markers))), (QStringList{QStringLiteral("before"), QStringLiteral("in")}));
    markers[1] = QString();
    QCOMPARE(taskTitles(parse(page, node(markers))),
             (QStringList{QStringLiteral("before"), QStringLiteral("in"), QStringLiteral("after")}));
    markers[0] = QStringLiteral("<ul>");
    markers[1] = QStringLiteral("<nowhere>");
    QCOMPARE(taskTitles(parse(page, node(markers))), (QStringList{QStringLiteral("in"), QStringLiteral("after")}));
    // The end is searched from the start of the begin marker, so a marker that is both finds an empty table.
    markers[1] = QStringLiteral("<ul>");
    QCOMPARE(taskTitles(parse(page, node(markers))), QStringList());
}

void TestPages::rowLoop()
{
    // An empty row begin: each row runs up to the next row end, the first from the table's start.
    QStringList markers = liMarkers;
    markers[2] = QString();
    markers[3] = QStringLiteral("<hr>");
    QCOMPARE(taskTitles(parse(QStringLiteral("<ul><b>a</b><hr>text <b>b</b><hr><b>c</b></ul>"), node(markers))),
             (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    // Rows without a title are consumed and skipped; everything after the last complete row is ignored.
    QCOMPARE(taskTitles(parse(QStringLiteral("<ul><li>none</li><li><b>x</b></li><li><b>open</ul>"))),
             QStringList{QStringLiteral("x")});
    // The same task twice on one page gives two tasks.
    const QList<TaskData> twice = parse(QStringLiteral("<ul><li><b>t</b><i>1</i></li><li><b>t</b><i>1</i></li></ul>"));
    QCOMPARE(twice.size(), 2);
    QVERIFY(twice[0].isSameTask(twice[1]));
    QCOMPARE(twice[0].site_name, QStringLiteral("站"));
    QCOMPARE(twice[0].note_name, QStringLiteral("设计"));
    QCOMPARE(twice[0].note_url, QStringLiteral("http://h.example:81/list/1.html"));
    QCOMPARE(twice[0].attr_mark, 0);
    // Ten markers are needed; anything else yields nothing.
    QCOMPARE(parse(QStringLiteral("<ul><li><b>t</b></li></ul>"), node(liMarkers.mid(0, 9))).size(), 0);
}

void TestPages::emptyRowEndYieldsNothing()
{
    // The row loop could never advance: the node yields no task (and the call returns).
    QStringList markers = liMarkers;
    markers[3] = QString();
    QCOMPARE(parse(QStringLiteral("<ul><li><b>t</b></li></ul>"), node(markers)).size(), 0);
    markers[2] = QString();
    QCOMPARE(parse(QStringLiteral("<ul><li><b>t</b></li></ul>"), node(markers)).size(), 0);
}

void TestPages::titleRules()
{
    const auto title = [](const QString &source) {
        const QList<TaskData> tasks = parse(QStringLiteral("<ul><li><b>%1</b></li></ul>").arg(source));
        return tasks.isEmpty() ? QStringLiteral("<no task>") : tasks.first().task_name;
    };
    // Entities run in a fixed order: &amp; is replaced after &lt;, &gt; and before &quot;.
    QCOMPARE(title(QStringLiteral("&amp;lt;b&amp;gt;")), QStringLiteral("&lt;b&gt;"));
    QCOMPARE(title(QStringLiteral("&amp;quot;x&amp;quot;")), QStringLiteral("\"x\""));
    QCOMPARE(title(QStringLiteral("A&ensp;B&emsp;C&#160;D &lt;E&gt;")), QStringLiteral("A B\u3000C D <E>"));
    QCOMPARE(title(QStringLiteral("&yen;5 &#39;q&#39; &AMP;")), QStringLiteral("&yen;5 &#39;q&#39; &AMP;"));
    // Trimmed before and after the replacements: "&nbsp;" alone still yields a task, with an empty title.
    QCOMPARE(title(QStringLiteral("  Logo 设计\u3000")), QStringLiteral("Logo 设计"));
    QCOMPARE(title(QStringLiteral("&nbsp;")), QString());
    QCOMPARE(title(QStringLiteral(" \t ")), QStringLiteral("<no task>"));
    QCOMPARE(title(QString()), QStringLiteral("<no task>"));
    // Markup inside the title is kept as it stands.
    QCOMPARE(title(QStringLiteral("<img src=x onerror=alert(1)>")), QStringLiteral("<img src=x onerror=alert(1)>"));
}

void TestPages::priceRules()
{
    const auto price = [](const QString &row, const QStringList &markers = liMarkers) {
        const QList<TaskData> tasks = parse(QStringLiteral("<ul><li>%1</li></ul>").arg(row), node(markers));
        return tasks.isEmpty() ? QStringLiteral("<no task>") : tasks.first().task_price;
    };
    // Every space goes, other white space only at the ends; entities are replaced first.
    QCOMPARE(price(QStringLiteral("<b>t</b><i> 1 000 元 </i>")), QStringLiteral("1000元"));
    QCOMPARE(price(QStringLiteral("<b>t</b><i>&nbsp;5&emsp;</i>")), QStringLiteral("5"));
    QCOMPARE(price(QStringLiteral("<b>t</b><i>&yen;200</i>")), QStringLiteral("&yen;200"));
    // The price is searched in the whole row, also before the title.
    QCOMPARE(price(QStringLiteral("<i>9</i><b>t</b>")), QStringLiteral("9"));
    QCOMPARE(price(QStringLiteral("<b>t</b><i>open")), QString());
    QStringList noPrice = liMarkers;
    noPrice[9] = QString();
    QCOMPARE(price(QStringLiteral("<b>t</b><i>9</i>"), noPrice), QString());
}

void TestPages::addresses_data()
{
    QTest::addColumn<QString>("href");
    QTest::addColumn<QString>("nodeUrl");
    QTest::addColumn<QString>("expected");
    const QString page = QStringLiteral("https://h.example:81/list/1.html");
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
        parse(QStringLiteral("<ul><li><a href=\"%1\"><b>t</b></a></li></ul>").arg(href), node(liMarkers, nodeUrl));
    QCOMPARE(tasks.size(), 1);
    QCOMPARE(tasks.first().task_url, expected);
    // Without address markers the address stays empty.
    QStringList noUrl = liMarkers;
    noUrl[4] = QString();
    QCOMPARE(
        parse(QStringLiteral("<ul><li><a href=\"/x\"><b>t</b></a></li></ul>"), node(noUrl, nodeUrl)).first().task_url,
        QString());
}

void TestPages::historyCheckPerRow()
{
    // Each row that yields a task is checked once; known ones are dropped, the rest keep page order.
    const QString page = QStringLiteral("<ul><li><b>a</b></li><li>x</li><li><b>b</b></li><li><b>c</b></li></ul>");
    QStringList asked;
    QList<TaskData> tasks{TaskData()};
    parsePage(
        page, node(liMarkers),
        [&asked](const TaskData &task) {
            asked << task.task_name;
            return task.task_name == QStringLiteral("b");
        },
        tasks);
    QCOMPARE(asked, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    QCOMPARE(taskTitles(tasks), (QStringList{QString(), QStringLiteral("a"), QStringLiteral("c")}));
}

QTEST_GUILESS_MAIN(TestPages)
#include "tst_pages.moc"
