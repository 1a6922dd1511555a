#include "scan/pages.h"
#include "sites/catalogschema.h"
#include "support/sandbox.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

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
    return QStringEncoder("GBK")(text);
}

} // namespace

class TestPages : public QObject
{
    Q_OBJECT

private slots:
    void charsetChoice()
    {
        // The head of a page → whether it is read as UTF-8 (else as GBK): only the first "charset=" counts, its
        // keyword in lower case, its value in any case.
        const std::pair<QByteArray, bool> cases[] = {
            {"<html>", true},
            {"<meta charset=utf-8>", true},
            {"<meta charset=\"UTF-8\">", true},
            {"<meta charset=utf8>", false},
            {"<meta content=\"text/html; charset=gb2312\">", false},
            {"charset=gbk charset=utf-8", false},
            {"charset=\"UT", false},
            {"CHARSET=gbk", true},
        };
        const QString text = u"网站建设"_s;
        for (const auto &[head, utf8] : cases) {
            QVERIFY2(decodePage(head + (utf8 ? text.toUtf8() : gbk(text))).endsWith(text), head);
            QVERIFY2(!decodePage(head + (utf8 ? gbk(text) : text.toUtf8())).endsWith(text), head);
        }
    }

    void largePagesDecodeAlike()
    {
        // Pages from 4 MiB on take another decoding path; the text must be the one a small page gets.
        QByteArray big = QByteArray("\xef\xbb\xbf<meta charset=utf-8><ul>"), bigGbk = "<meta charset=gbk><ul>";
        while (big.size() < 5 * 1024 * 1024)
            big += "<li><b>网站 \xff\xfe broken \xe4\xb8</b></li>\n";
        QCOMPARE(decodePage(big), QString::fromUtf8(big));
        QVERIFY(decodePage(big).startsWith(u"<meta"_s));
        while (bigGbk.size() < 5 * 1024 * 1024)
            bigGbk += "<li><b>" + gbk(u"网站建设"_s) + "</b></li>";
        const QString text = decodePage(bigGbk);
        QCOMPARE(text, QStringDecoder("GBK")(bigGbk));
        QCOMPARE(parse(text).size(), maxRowsPerPage);
    }

    void rowCutting()
    {
        const QString outside = u"<li><b>before</b></li><ul><li><b>in</b></li></ul><li><b>after</b></li>"_s;
        const QString one = u"<ul><li><b>t</b></li></ul>"_s;
        // Page, markers → titles. Rows outside the table are not seen; a missing or empty table marker leaves that
        // side uncut. The end is searched from the begin marker's start: a marker that is both finds an empty table.
        // An empty row begin: each row runs up to the next row end, the first from the table's start. Rows without a
        // title are skipped; an unfinished last row is ignored. An empty row end could never advance, and a node needs
        // ten markers: both yield nothing. A page of tiny rows is read up to its first 2,000.
        const std::tuple<QString, QStringList, QStringList> cases[] = {
            {outside, listMarkers, {u"in"_s}},
            {outside, markersWith({{TableBegin, u"<x>"_s}}), {u"before"_s, u"in"_s}},
            {outside, markersWith({{TableBegin, u"<x>"_s}, {TableEnd, QString()}}), {u"before"_s, u"in"_s, u"after"_s}},
            {outside, markersWith({{TableEnd, u"<x>"_s}}), {u"in"_s, u"after"_s}},
            {outside, markersWith({{TableEnd, u"<ul>"_s}}), {}},
            {u"<ul><b>a</b><hr>text <b>b</b><hr><b>c</b></ul>"_s,
             markersWith({{RowBegin, QString()}, {RowEnd, u"<hr>"_s}}),
             {u"a"_s, u"b"_s}},
            {u"<ul><li>none</li><li><b>x</b></li><li><b>open</ul>"_s, listMarkers, {u"x"_s}},
            {u"<ul><li><b>t</b></li><li><b>t</b></li></ul>"_s, listMarkers, {u"t"_s, u"t"_s}},
            {one, markersWith({{RowEnd, QString()}}), {}},
            {one, listMarkers.mid(0, 9), {}},
            {QString(), listMarkers, {}},
            {u"<ul>"_s + u"<li><b>t</b></li>"_s.repeated(2001) + u"<li><b>last</b></li></ul>"_s, listMarkers,
             QStringList(2000, u"t"_s)},
        };
        for (const auto &[page, markers, titles] : cases) {
            const QList<TaskData> tasks = parse(page, markers);
            QCOMPARE(taskTitles(tasks), titles);
            for (const TaskData &task : tasks)
                QCOMPARE(task.site_name + task.note_name + task.note_url + QString::number(task.attr_mark),
                         u"站设计"_s + nodeUrl + u'0');
        }
    }

    void titlesAndPrices()
    {
        // Row → title ("<none>": no task) and price. Entities go in their fixed order (&amp; after &lt; and &gt;,
        // before &quot;); others stay. Titles are trimmed before and after the replacements: "&nbsp;" alone is a task
        // with an empty title. Every space leaves a price, other white space only at the ends; it may stand before the
        // title.
        const std::tuple<QString, QString, QString> cases[] = {
            {u"<b>&amp;lt;b&amp;gt;&amp;quot;</b>"_s, u"&lt;b&gt;\""_s, {}},
            {u"<b>A&ensp;B&emsp;C&#160;D &lt;E&gt;</b>"_s, u"A B\u3000C D <E>"_s, {}},
            {u"<b>&yen;5 &#39;q&#39; &AMP;</b>"_s, u"&yen;5 &#39;q&#39; &AMP;"_s, {}},
            {u"<b>  Logo 设计\u3000</b>"_s, u"Logo 设计"_s, {}},
            {u"<b>&nbsp;</b>"_s, QString(), {}},
            {u"<b> \t </b>"_s, u"<none>"_s, {}},
            {u"<b><img src=x onerror=alert(1)></b>"_s, u"<img src=x onerror=alert(1)>"_s, {}},
            {u"<b>t</b><i> 1 000 元 </i>"_s, u"t"_s, u"1000元"_s},
            {u"<b>t</b><i>&nbsp;5&emsp;</i>"_s, u"t"_s, u"5"_s},
            {u"<i>9</i><b>t</b>"_s, u"t"_s, u"9"_s},
            {u"<b>t</b><i>open"_s, u"t"_s, QString()},
        };
        for (const auto &[row, title, price] : cases) {
            const QList<TaskData> tasks = parse(u"<ul><li>%1</li></ul>"_s.arg(row));
            QCOMPARE(tasks.isEmpty() ? u"<none>"_s : tasks.first().task_name, title);
            QCOMPARE(tasks.value(0).task_price, price);
        }
        // Without an end marker there is no price.
        QCOMPARE(
            parse(u"<ul><li><b>t</b><i>9</i></li></ul>"_s, markersWith({{PriceEnd, QString()}})).value(0).task_price,
            QString());
    }

    void addresses()
    {
        // Address, node address → task address: relative ones count from the host's root; user and port stay.
        const QString page = u"https://h.example:81/list/1.html"_s;
        const std::tuple<QString, QString, QString> cases[] = {
            {u"/task/9"_s, page, u"https://h.example:81/task/9"_s},
            {u"task/9"_s, page, u"https://h.example:81/task/9"_s},
            {u"?id=9"_s, page, u"https://h.example:81/?id=9"_s},
            {u"  /t/1 "_s, page, u"https://h.example:81/t/1"_s},
            {u"http://other/x"_s, page, u"http://other/x"_s},
            {u"go?to=ftp://x"_s, page, u"go?to=ftp://x"_s},
            {u"task/9"_s, u"http://h.example"_s, u"http://h.example/task/9"_s},
            {u"/a"_s, u"http://u@h:8/p"_s, u"http://u@h:8/a"_s},
            {QString(), page, u"https://h.example:81/"_s},
            {u"/a"_s, u"h.example/list"_s, u"/a"_s},
            {u"/t?a=1&amp;b=2"_s, page, u"https://h.example:81/t?a=1&amp;b=2"_s},
        };
        for (const auto &[href, url, expected] : cases)
            QCOMPARE(
                parse(u"<ul><li><a href=\"%1\"><b>t</b></a></li></ul>"_s.arg(href), listMarkers, url).value(0).task_url,
                expected);
        // Without address markers the address stays empty.
        QCOMPARE(parse(u"<ul><li><a href=\"/a\"><b>t</b></a></li></ul>"_s, markersWith({{UrlBegin, QString()}}))
                     .value(0)
                     .task_url,
                 QString());
    }

    void diagnosis()
    {
        const QString good = u"<ul><li><a href=\"/t/1\"><b>t</b></a></li></ul>"_s;
        const QString noRow = u"row_begin \"<li>\" is not found after the table's start (character "_s;
        // Page, markers → the lines said, each expected to start the line at its place.
        const std::tuple<QString, QStringList, QStringList> cases[] = {
            {good, listMarkers, {}},
            {u"<ol><tr><b>t</b></tr></ol>"_s,
             listMarkers,
             {u"table_begin \"<ul>\" is not on the page"_s, noRow + u"0, the table ends at character 26)"_s}},
            {u"<p>x</p><ul><tr><b>t</b></tr></ul>"_s, listMarkers, {noRow + u'8'}},
            {u"<ul></ul><li><b>t</b></li>"_s, listMarkers, {u"row_begin \"<li>\" is not found"_s}},
            {u"<ul><li><b>t</b></ul>"_s, listMarkers, {u"a row begins at character 4 but row_end \"</li>\""_s}},
            {u"<ul><li><i>t</i></li></ul>"_s, listMarkers, {u"rows are found, but none holds a title"_s}},
            {good, markersWith({{RowEnd, QString()}}), {u"row_end is empty"_s}},
            {u"<ul><li><a href=\"t/1\"><b>t</b></a></li></ul>"_s,
             listMarkers,
             {u"warning: the address \"t/1\" is neither absolute nor root-relative; Kestrow completes it from the "
              "host root: http://h.example:81/t/1"_s}},
            {u"<ul><li><b>&yen;5 &amp; &yen;6</b></li></ul>"_s, listMarkers, {u"warning: the entity &yen; stays"_s}},
        };
        for (const auto &[page, markers, lines] : cases) {
            const QStringList said = diagnosePage(page, AttentionData{u"站"_s, u"设计"_s, nodeUrl, markers});
            QCOMPARE(said.size(), lines.size());
            for (qsizetype i = 0; i < lines.size(); ++i)
                QVERIFY2(said[i].startsWith(lines[i]), qPrintable(said[i]));
        }
    }
};

QTEST_GUILESS_MAIN(TestPages)
#include "tst_pages.moc"
