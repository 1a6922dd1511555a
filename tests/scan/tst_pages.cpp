#include "scan/pages.h"
#include "sites/catalogschema.h"
#include "support/sandbox.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;
using namespace CatalogSchema;

namespace {

const QString nodeUrl = u"http://h.example:81/list/1.html"_s;

// listMarkers with the given ones replaced (marker → text).
QStringList markersWith(const QList<QPair<int, QString>> &changes)
{
    QStringList markers = listMarkers;
    for (const auto &[marker, text] : changes)
        markers[marker] = text;
    return markers;
}

// The tasks parsePage cuts from page; a UTF-8 page's bytes must give the very same (the scan engine cuts those).
QList<TaskData> parse(const QString &page, const QStringList &markers = listMarkers, const QString &url = nodeUrl)
{
    const AttentionData node{u"站"_s, u"设计"_s, url, markers};
    QList<TaskData> tasks, fromBytes;
    const int rows = parsePage(page, node, tasks);
    const QByteArray bytes = page.toUtf8();
    if (pageCharset(bytes) == u"UTF-8"_s &&
        (parseBody(bytes, node, fromBytes) != rows || fromBytes.size() != tasks.size() ||
         !std::equal(tasks.cbegin(), tasks.cend(), fromBytes.cbegin(), std::mem_fn(&TaskData::isSameTask))))
        QTest::qFail("the page's bytes cut differently from its text", __FILE__, __LINE__);
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
    void charsetChoice_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("no charset") << QByteArray("<html>") << true;
        QTest::newRow("utf-8 lower case") << QByteArray("<meta charset=utf-8>") << true;
        QTest::newRow("quoted UTF-8") << QByteArray("<meta charset=\"UTF-8\">") << true;
        QTest::newRow("utf8 without hyphen") << QByteArray("<meta charset=utf8>") << false;
        QTest::newRow("gb2312") << QByteArray("<meta content=\"text/html; charset=gb2312\">") << false;
        QTest::newRow("only the first counts") << QByteArray("charset=gbk charset=utf-8") << false;
        QTest::newRow("cut off at the end") << QByteArray("charset=\"UT") << false;
        QTest::newRow("case-sensitive keyword") << QByteArray("CHARSET=gbk") << true;
    }

    void charsetChoice()
    {
        QFETCH(QByteArray, head);
        QFETCH(bool, utf8);
        const QString text = u"网站建设"_s;
        QVERIFY(decodePage(head + (utf8 ? text.toUtf8() : gbk(text))).endsWith(text));
        QVERIFY(!decodePage(head + (utf8 ? gbk(text) : text.toUtf8())).endsWith(text));
    }

    void largePagesDecodeAlike()
    {
        // Pages from 4 MiB on take another decoding path; the text must be the one a small page gets.
        const QByteArray row = QByteArray("<li><b>网站 \xff\xfe broken \xe4\xb8</b></li>\n");
        QByteArray big = QByteArray("\xef\xbb\xbf<meta charset=utf-8><ul>");
        while (big.size() < 5 * 1024 * 1024)
            big += row;
        QCOMPARE(decodePage(big), QString::fromUtf8(big));
        QVERIFY(decodePage(big).startsWith(u"<meta"_s));
        const QByteArray gbkRow = "<li><b>" + gbk(u"网站建设"_s) + "</b></li>";
        QByteArray bigGbk = "<meta charset=gbk><ul>";
        while (bigGbk.size() < 5 * 1024 * 1024)
            bigGbk += gbkRow;
        const QString text = decodePage(bigGbk);
        QCOMPARE(text, QStringDecoder("GBK")(bigGbk));
        QCOMPARE(parse(text).size(), maxRowsPerPage);
    }

    void rowCutting_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("markers");
        QTest::addColumn<QStringList>("titles");
        const QString outside = u"<li><b>before</b></li><ul><li><b>in</b></li></ul><li><b>after</b></li>"_s;
        // Rows outside the table are not seen; a missing or empty table marker leaves that side uncut.
        QTest::newRow("table") << outside << listMarkers << QStringList{u"in"_s};
        QTest::newRow("no table begin") << outside << markersWith({{TableBegin, u"<x>"_s}})
                                        << QStringList{u"before"_s, u"in"_s};
        QTest::newRow("empty table markers") << outside << markersWith({{TableBegin, u"<x>"_s}, {TableEnd, QString()}})
                                             << QStringList{u"before"_s, u"in"_s, u"after"_s};
        QTest::newRow("no table end") << outside << markersWith({{TableEnd, u"<x>"_s}})
                                      << QStringList{u"in"_s, u"after"_s};
        // The end is searched from the begin marker's start: a marker that is both finds an empty table.
        QTest::newRow("same table markers") << outside << markersWith({{TableEnd, u"<ul>"_s}}) << QStringList();
        // An empty row begin: each row runs up to the next row end, the first from the table's start.
        QTest::newRow("no row begin") << u"<ul><b>a</b><hr>text <b>b</b><hr><b>c</b></ul>"_s
                                      << markersWith({{RowBegin, QString()}, {RowEnd, u"<hr>"_s}})
                                      << QStringList{u"a"_s, u"b"_s};
        // Rows without a title are skipped; an unfinished last row is ignored.
        QTest::newRow("untitled and unfinished")
            << u"<ul><li>none</li><li><b>x</b></li><li><b>open</ul>"_s << listMarkers << QStringList{u"x"_s};
        QTest::newRow("a task twice") << u"<ul><li><b>t</b></li><li><b>t</b></li></ul>"_s << listMarkers
                                      << QStringList{u"t"_s, u"t"_s};
        // An empty row end could never advance, and a node needs ten markers: both yield nothing.
        QTest::newRow("empty row end") << u"<ul><li><b>t</b></li></ul>"_s << markersWith({{RowEnd, QString()}})
                                       << QStringList();
        QTest::newRow("nine markers") << u"<ul><li><b>t</b></li></ul>"_s << listMarkers.mid(0, 9) << QStringList();
        // A page of tiny rows is read up to its first 2,000.
        QTest::newRow("row cap") << u"<ul>"_s + u"<li><b>t</b></li>"_s.repeated(2001) + u"<li><b>last</b></li></ul>"_s
                                 << listMarkers << QStringList(2000, u"t"_s);
    }

    void rowCutting()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, markers);
        QFETCH(QStringList, titles);
        const QList<TaskData> tasks = parse(page, markers);
        QCOMPARE(taskTitles(tasks), titles);
        for (const TaskData &task : tasks) {
            QCOMPARE(task.site_name + task.note_name + task.note_url, u"站设计"_s + nodeUrl);
            QCOMPARE(task.attr_mark, 0);
        }
    }

    void titlesAndPrices_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("title"); // "<none>": the row yields no task
        QTest::addColumn<QString>("price");
        // Entities in their fixed order (&amp; after &lt; and &gt;, before &quot;); others stay.
        QTest::newRow("entity order") << u"<b>&amp;lt;b&amp;gt;&amp;quot;</b>"_s << u"&lt;b&gt;\""_s << QString();
        QTest::newRow("spaces") << u"<b>A&ensp;B&emsp;C&#160;D &lt;E&gt;</b>"_s << u"A B\u3000C D <E>"_s << QString();
        QTest::newRow("unknown entities")
            << u"<b>&yen;5 &#39;q&#39; &AMP;</b>"_s << u"&yen;5 &#39;q&#39; &AMP;"_s << QString();
        // Trimmed before and after the replacements: "&nbsp;" alone is a task with an empty title.
        QTest::newRow("trimmed") << u"<b>  Logo 设计\u3000</b>"_s << u"Logo 设计"_s << QString();
        QTest::newRow("nbsp only") << u"<b>&nbsp;</b>"_s << QString() << QString();
        QTest::newRow("blank title") << u"<b> \t </b>"_s << u"<none>"_s << QString();
        QTest::newRow("markup kept") << u"<b><img src=x onerror=alert(1)></b>"_s << u"<img src=x onerror=alert(1)>"_s
                                     << QString();
        // Every space leaves a price, other white space only at the ends; it may stand before the title.
        QTest::newRow("price spaces") << u"<b>t</b><i> 1 000 元 </i>"_s << u"t"_s << u"1000元"_s;
        QTest::newRow("price entities") << u"<b>t</b><i>&nbsp;5&emsp;</i>"_s << u"t"_s << u"5"_s;
        QTest::newRow("price first") << u"<i>9</i><b>t</b>"_s << u"t"_s << u"9"_s;
        QTest::newRow("price unclosed") << u"<b>t</b><i>open"_s << u"t"_s << QString();
    }

    void titlesAndPrices()
    {
        QFETCH(QString, row);
        QFETCH(QString, title);
        QFETCH(QString, price);
        const QList<TaskData> tasks = parse(u"<ul><li>%1</li></ul>"_s.arg(row));
        QCOMPARE(tasks.isEmpty() ? u"<none>"_s : tasks.first().task_name, title);
        if (!tasks.isEmpty())
            QCOMPARE(tasks.first().task_price, price);
        // Without an end marker there is no price.
        const QList<TaskData> noPrice = parse(u"<ul><li>%1</li></ul>"_s.arg(row), markersWith({{PriceEnd, QString()}}));
        QVERIFY(noPrice.isEmpty() || noPrice.first().task_price.isEmpty());
    }

    void addresses_data()
    {
        QTest::addColumn<QString>("href");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        const QString page = u"https://h.example:81/list/1.html"_s;
        QTest::newRow("root-relative") << "/task/9" << page << "https://h.example:81/task/9";
        QTest::newRow("relative is from the root") << "task/9" << page << "https://h.example:81/task/9";
        QTest::newRow("query only") << "?id=9" << page << "https://h.example:81/?id=9";
        QTest::newRow("trimmed") << "  /t/1 " << page << "https://h.example:81/t/1";
        QTest::newRow("absolute elsewhere") << "http://other/x" << page << "http://other/x";
        QTest::newRow(":// anywhere") << "go?to=ftp://x" << page << "go?to=ftp://x";
        QTest::newRow("node without path") << u"task/9"_s << u"http://h.example"_s << u"http://h.example/task/9"_s;
        QTest::newRow("user and port kept") << u"/a"_s << u"http://u@h:8/p"_s << u"http://u@h:8/a"_s;
        QTest::newRow("empty address") << "" << page << "https://h.example:81/";
        QTest::newRow("node without scheme") << u"/a"_s << u"h.example/list"_s << u"/a"_s;
        QTest::newRow("entities stay") << "/t?a=1&amp;b=2" << page << "https://h.example:81/t?a=1&amp;b=2";
    }

    void addresses()
    {
        QFETCH(QString, href);
        QFETCH(QString, url);
        QFETCH(QString, expected);
        const QString row = u"<ul><li><a href=\"%1\"><b>t</b></a></li></ul>"_s.arg(href);
        QCOMPARE(parse(row, listMarkers, url).value(0).task_url, expected);
        // Without address markers the address stays empty.
        QCOMPARE(parse(row, markersWith({{UrlBegin, QString()}}), url).value(0).task_url, QString());
    }

    void diagnosis_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("markers");
        QTest::addColumn<QStringList>("lines"); // each expected to start the line at its place
        const QString good = u"<ul><li><a href=\"/t/1\"><b>t</b></a></li></ul>"_s;
        QTest::newRow("cuts rows") << good << listMarkers << QStringList();
        QTest::newRow("no table begin") << u"<ol><tr><b>t</b></tr></ol>"_s << listMarkers
                                        << QStringList{u"table_begin \"<ul>\" is not on the page"_s,
                                                       u"row_begin \"<li>\" is not found after the table's start "
                                                       "(character 0, the table ends at character 26)"_s};
        QTest::newRow("no row begin") << u"<p>x</p><ul><tr><b>t</b></tr></ul>"_s << listMarkers
                                      << QStringList{u"row_begin \"<li>\" is not found after the table's start "
                                                     "(character 8"_s};
        QTest::newRow("row begin after the table")
            << u"<ul></ul><li><b>t</b></li>"_s << listMarkers << QStringList{u"row_begin \"<li>\" is not found"_s};
        QTest::newRow("no row end") << u"<ul><li><b>t</b></ul>"_s << listMarkers
                                    << QStringList{u"a row begins at character 4 but row_end \"</li>\""_s};
        QTest::newRow("no title") << u"<ul><li><i>t</i></li></ul>"_s << listMarkers
                                  << QStringList{u"rows are found, but none holds a title"_s};
        QTest::newRow("empty row end") << good << markersWith({{RowEnd, QString()}})
                                       << QStringList{u"row_end is empty"_s};
        QTest::newRow("folder-relative address")
            << u"<ul><li><a href=\"t/1\"><b>t</b></a></li></ul>"_s << listMarkers
            << QStringList{u"warning: the address \"t/1\" is neither absolute nor root-relative; Kestrow completes it "
                           "from the host root: http://h.example:81/t/1"_s};
        QTest::newRow("entity left") << u"<ul><li><b>&yen;5 &amp; &yen;6</b></li></ul>"_s << listMarkers
                                     << QStringList{u"warning: the entity &yen; stays"_s};
    }

    void diagnosis()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, markers);
        QFETCH(QStringList, lines);
        const QStringList said = diagnosePage(page, AttentionData{u"站"_s, u"设计"_s, nodeUrl, markers});
        QCOMPARE(said.size(), lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i)
            QVERIFY2(said[i].startsWith(lines[i]), qPrintable(said[i]));
    }
};

QTEST_GUILESS_MAIN(TestPages)
#include "tst_pages.moc"
