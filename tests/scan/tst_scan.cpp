#include "scan/knowntasks.h"
#include "scan/markerinference.h"
#include "scan/nodehealth.h"
#include "scan/pagerequest.h"
#include "scan/pages.h"
#include "scan/scantask.h"
#include "scan/taskthread.h"
#include "sites/catalogschema.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace CatalogSchema;
using Response = TestHttpServer::Response;
using Nodes = QList<QPair<QString, Response>>;

namespace {

const QString nodeUrl = u"http://h.example:81/list/1.html"_s;
const QString linkRow = u"<ul><li><a href=\"%1\"><b>t</b></a></li></ul>"_s;

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

Response ok(const QStringList &titles, int delayMs = 0)
{
    return Response{200, listPage(titles), {}, delayMs, false, 0, 0};
}

const Response hang{200, {}, {}, 0, true};

// One sandbox with a local server whose pages /<node> the catalogue's nodes of site 站 point at (a node named by an
// address points there instead), and a scan thread whose reports are collected on the test's thread.
struct Scan
{
    Sandbox sandbox;
    TestHttpServer server;
    TaskThread thread;
    QList<QList<TaskData>> batches;
    QList<NodeStatus> troubled; // as the last nodeHealth() said
    QStringList troubleBegan;   // node names, in order
    QMetaObject::Connection listening;

    // Serves each node's response and follows the nodes, in this order; passes come every interval "seconds".
    explicit Scan(const Nodes &nodes, const QString &interval = u"9999"_s)
    {
        registerTaskListType(), registerNodeStatusTypes();
        setSetting(Key::ScanInterval, interval);
        QList<AttentionPair> followed;
        for (const auto &[node, response] : nodes) {
            server.setResponse(u'/' + node, response);
            CatalogBuilder().node(u"站"_s, node, node.contains(u':') ? node : server.url(u'/' + node), listMarkers);
            followed.append({u"站"_s, node});
        }
        UserDb().setAttention(followed);
        QObject::connect(&thread, &TaskThread::nodeHealth, &thread, [this](const auto &nodes) { troubled = nodes; });
        QObject::connect(&thread, &TaskThread::nodeTroubleBegan, &thread,
                         [this](const NodeStatus &status) { troubleBegan << status.note_name; });
    }
    ~Scan() { stop(); }
    int requestsFor(const QString &node) const { return server.requestsFor('/' + node.toUtf8()); }
    void start()
    {
        listening =
            QObject::connect(&thread, &TaskThread::newTask, &thread, [this](const auto &tasks) { batches << tasks; });
        thread.start(QThread::LowPriority);
    }
    // What pausing does: stop listening first, then stop the thread and wait for it.
    void stop() { QObject::disconnect(listening), thread.quit(), thread.wait(); }
};

} // namespace

// The scan layer: cutting pages into tasks, and the engine that fetches them.
class TestScan : public QObject
{
    Q_OBJECT

private slots:
    void charsetChoice()
    {
        // A page is read as UTF-8 when the first "charset=" (its keyword in lower case) names UTF-8 in any case, or
        // when there is none; as GBK otherwise.
        const QString text = u"网站建设"_s;
        const QByteArray gbk = QStringEncoder("GBK")(text);
        const QList<QByteArray> utf8{"<html>", "<meta charset=utf-8>", "<meta charset=\"UTF-8\">", "charset='utf-8'",
                                     "CHARSET=gbk"};
        for (const QByteArray &head :
             utf8 + QList<QByteArray>{"<meta charset=utf8>", "charset=gbk charset=utf-8",
                                      "<meta content=\"text/html; charset=gb2312\">", "charset=\"UT"}) {
            QVERIFY2(decodePage(head + (utf8.contains(head) ? text.toUtf8() : gbk)).endsWith(text), head);
            QVERIFY2(!decodePage(head + (utf8.contains(head) ? gbk : text.toUtf8())).endsWith(text), head);
        }
    }

    void largePagesDecodeAlike()
    {
        // Pages from 4 MiB on take another decoding path; the text must be the one a small page gets.
        // (Rows of 36 and 24 bytes: about 5 MiB each.)
        const QByteArray big = "\xef\xbb\xbf<meta charset=utf-8><ul>" +
                               QByteArray("<li><b>网站 \xff\xfe broken \xe4\xb8</b></li>\n").repeated(150000);
        const QByteArray gbkRow = "<li><b>" + QByteArray(QStringEncoder("GBK")(u"网站建设"_s)) + "</b></li>";
        const QByteArray bigGbk = "<meta charset=gbk><ul>" + gbkRow.repeated(220000);
        QCOMPARE(decodePage(big), QString::fromUtf8(big));
        QVERIFY(decodePage(big).startsWith(u"<meta"_s));
        const QString text = decodePage(bigGbk);
        QCOMPARE(text, QStringDecoder("GBK")(bigGbk));
        QCOMPARE(parse(text).size(), maxRowsPerPage);
    }

    void rowCutting()
    {
        const QString outside = u"<li><b>before</b></li><ul><li><b>in</b></li></ul><li><b>after</b></li>"_s;
        const QString one = u"<ul><li><b>t</b></li></ul>"_s;
        const QStringList hr = markersWith({{RowBegin, QString()}, {RowEnd, u"<hr>"_s}});
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
            {u"<ul><b>a</b><hr>text <b>b</b><hr><b>c</b></ul>"_s, hr, {u"a"_s, u"b"_s}},
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

    void titlesPricesAndAddresses()
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
        const QStringList noPriceEnd = markersWith({{PriceEnd, {}}});
        QVERIFY(parse(u"<ul><li><b>t</b><i>9</i></li></ul>"_s, noPriceEnd).value(0).task_price.isEmpty());
        // Address, node address → task address: relative ones count from the host's root; user and port stay.
        const QString page = u"https://h.example:81/list/1.html"_s;
        const std::tuple<QString, QString, QString> addresses[] = {
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
        for (const auto &[href, url, expected] : addresses)
            QCOMPARE(parse(linkRow.arg(href), listMarkers, url).value(0).task_url, expected);
        // Without address markers the address stays empty.
        QVERIFY(parse(linkRow.arg(u"/a"_s), markersWith({{UrlBegin, {}}})).value(0).task_url.isEmpty());
    }

    void feeds()
    {
        // Feed → its tasks as "title | price | address". RSS: CDATA and entities decoded, titles as they are, the
        // link or else a permalink guid; RSS 1.0 and Atom 1.0 and 0.3, whose html titles lose their markup; the price
        // from the title, else the description. No XML, an entity bomb, deep nesting: no task, at once.
        const QString rss =
            u"<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>频道</title>%1</channel></rss>"_s;
        const QString atom = u"<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>f</title>%1</feed>"_s;
        const QString bomb =
            u"<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">"_s +
            u"<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"_s +
            u"<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]><rss><item><title>&d;&d;</title></item></rss>"_s;
        const std::pair<QString, QString> cases[] = {
            {rss.arg(u"<item><title><![CDATA[Logo & <名片>]]></title><link> /task/1 </link><description>预算 &lt;b&gt;"
                     "&amp;yen;1,500&lt;/b&gt;</description></item><item><title>  iOS  17 300 元 </title>"
                     "<guid>http://x/2</guid></item><item><link>/none</link></item><item><title>$500 &lt;b&gt;fix"
                     "</title><guid isPermaLink=\"false\">abc</guid></item>"_s),
             u"Logo & <名片> | ¥1,500 | http://h.example:81/task/1\niOS 17 300 元 | 300元 | http://x/2\n"
             "$500 <b>fix | $500 | "_s},
            {u"<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\">"
             "<channel rdf:about=\"c\"><title>频道</title><link>http://x/</link></channel><item "
             "rdf:about=\"http://x/1\">"
             "<title>RDF 任务</title><link>http://x/1</link><description>预算 ¥1 500 元起</description></item></rdf:RDF>"_s,
             u"RDF 任务 | ¥1500 | http://x/1"_s},
            {atom.arg(
                 u"<entry><title type=\"html\">&lt;b&gt;粗体&lt;/b&gt; &amp;amp; more</title><link rel=\"self\" "
                 "href=\"/self\"/><link rel=\"alternate\" href=\"/a\"/><summary>¥ 9</summary></entry><entry><title "
                 "type=\"text\">&lt;blink&gt;</title><link href=\"http://y/b\"/></entry><entry><title type=\"xhtml\">"
                 "<div xmlns=\"http://www.w3.org/1999/xhtml\"><b>X</b>y</div></title><link rel=\"enclosure\" "
                 "href=\"/e\"/></entry>"_s),
             u"粗体 & more | ¥9 | http://h.example:81/a\n<blink> |  | http://y/b\nXy |  | http://h.example:81/e"_s},
            {u"<feed version=\"0.3\" xmlns=\"http://purl.org/atom/ns#\"><entry><title mode=\"escaped\">A "
             u"&lt;i&gt;b&lt;/i&gt;"
             "</title><link rel=\"alternate\" href=\"http://z/1\"/></entry></feed>"_s,
             u"A b |  | http://z/1"_s},
            {u"<html><ul><li>not a feed</li></ul>"_s, QString()},
            {bomb, QString()},
            {u"<rss>"_s.repeated(100000) + u"<item><title>deep</title></item>"_s, QString()},
        };
        AttentionData node{u"站"_s, u"源"_s, nodeUrl, {}, NodeKind::Feed};
        for (const auto &[feed, expected] : cases) {
            QList<TaskData> tasks;
            parseBody(feed.toUtf8(), node, tasks);
            QStringList got;
            for (const TaskData &task : std::as_const(tasks))
                got << task.task_name + u" | "_s + task.task_price + u" | "_s + task.task_url;
            QCOMPARE(got.join(u'\n'), expected);
            QCOMPARE(diagnoseBody(feed.toUtf8(), node).isEmpty(), !expected.isEmpty());
        }
    }

    void markersFromOneExample_data()
    {
        // A page, its address and an example title and price → every task of the list holding it, as cut by the
        // markers found. The page set: real shapes of lists (see pages.json).
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QStringList>("tasks"); // "title | price | address"
        const QString folder = QStringLiteral(KESTROW_INFER_PAGES);
        for (const QJsonValue entry : QJsonDocument::fromJson(readFile(folder + u"/pages.json"_s)).array()) {
            const QJsonObject page = entry.toObject();
            QStringList tasks;
            for (const QJsonValue task : page[u"expect"_s].toArray())
                tasks << task[u"title"_s].toString() + u" | "_s + task[u"price"_s].toString() + u" | "_s +
                             task[u"url"_s].toString();
            QTest::newRow(qPrintable(page[u"file"_s].toString()))
                << readFile(folder + u'/' + page[u"file"_s].toString()) << page[u"url"_s].toString()
                << page[u"title"_s].toString() << page[u"price"_s].toString() << tasks;
        }
        // What ends without markers, with the reason: an example not on the page, a page without a list; a title
        // found 10,000 times is one list (read as far as any page is).
        const QByteArray same = "<ul>" + QByteArray("<li><a href=\"/t\">同</a></li>").repeated(10000) + "</ul>";
        QTest::newRow("not on the page") << listPage({u"A"_s, u"B"_s}) << nodeUrl << u"C"_s << QString()
                                         << QStringList{u"not on the page"_s};
        QTest::newRow("no list") << QByteArray("<h1>独</h1><p>x</p>") << nodeUrl << u"独"_s << QString()
                                 << QStringList{u"no markers"_s};
        QTest::newRow("price not in the row")
            << listPage({u"A"_s, u"B"_s}) << nodeUrl << u"A"_s << u"¥7"_s << QStringList{u"not in the example's row"_s};
        // Cells without a class, the title in the second; two links of one class, the title the second; a price typed
        // as the bare number.
        QByteArray cells = "<table>", links = "<ul>";
        for (const char *n : {"1", "2", "3"}) {
            cells += "<tr><td>" + QByteArray(n) + "</td><td><a href=\"/t/" + n + "\">修 " + n + "</a></td><td>¥" + n +
                     "00 元</td></tr>";
            links += QByteArray("<li><a class=\"t\" href=\"/c\">类</a><a class=\"t\" href=\"/t/") + n + "\">任 " + n +
                     "</a></li>";
        }
        QTest::newRow("classless cells") << cells + "</table>" << nodeUrl << u"修 2"_s << u"200"_s
                                         << QStringList{u"修 1 | ¥100元 | http://h.example:81/t/1"_s,
                                                        u"修 2 | ¥200元 | http://h.example:81/t/2"_s,
                                                        u"修 3 | ¥300元 | http://h.example:81/t/3"_s};
        QTest::newRow("second link") << links + "</ul>" << nodeUrl << u"任 3"_s << QString()
                                     << QStringList{u"任 1 |  | http://h.example:81/t/1"_s,
                                                    u"任 2 |  | http://h.example:81/t/2"_s,
                                                    u"任 3 |  | http://h.example:81/t/3"_s};
        // A page of end tags nothing open has, after a million open ones: read at once.
        QTest::newRow("stray end tags") << QByteArray("<b>").repeated(200000) + QByteArray("</i>").repeated(600000)
                                        << nodeUrl << u"x"_s << QString() << QStringList{u"not on the page"_s};
        QTest::newRow("nested 20,000 deep")
            << ("<ul><li><b>甲</b><i>¥1</i></li><li><b>乙</b><i>¥2</i>" + QByteArray("<div>x").repeated(20000) +
                "</li></ul>")
            << nodeUrl << u"甲"_s << u"¥1"_s << QStringList{u"甲 | ¥1 | "_s, u"乙 | ¥2 | "_s};
        QTest::newRow("10,000 times") << same << nodeUrl << u"同"_s << QString()
                                      << QStringList(maxRowsPerPage, u"同 |  | http://h.example:81/t"_s);
    }

    void markersFromOneExample()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, url);
        QFETCH(QString, title);
        QFETCH(QString, price);
        QFETCH(QStringList, tasks);
        const MarkerInference::Result result = MarkerInference::infer(page, url, {title, price});
        if (!result.found) {
            QVERIFY2(tasks.size() == 1 && result.problem.contains(tasks[0]), qPrintable(result.problem));
            return;
        }
        // What the markers cut, by the engine's own cut, not by what the search expected.
        QList<TaskData> cut;
        parseBody(page, AttentionData{u"站"_s, u"n"_s, url, result.markers}, cut);
        QStringList got;
        for (const TaskData &task : std::as_const(cut))
            got << task.task_name + u" | "_s + task.task_price + u" | "_s + task.task_url;
        QCOMPARE(got, tasks);
    }

    void firstPass()
    {
        // 40 MiB in 1 MiB pieces over four seconds: given up as soon as it passes 16 MiB, while a page of exactly the
        // limit is still read. Hostile pages: a deflate bomb (what it unpacks to counts against the cap), bad
        // compressed data, a drip that never ends within the pass, an answer cut off mid-body (its whole rows count,
        // as any body does), no text. A local file is never fetched, nor is a redirection followed.
        const QByteArray limit = listPage({u"L1"_s}), deflate = "Content-Encoding";
        const Response huge{200, listPage({u"H1"_s}) + QByteArray(40 << 20, ' '), {}, 0, false, 1 << 20, 100};
        const Response atLimit{200, limit + QByteArray((16 << 20) - limit.size(), ' '), {}};
        const Response bomb{200, qCompress(QByteArray(64 << 20, '<'), 9).mid(4), {{deflate, "deflate"}}};
        const Response badDeflate{200, listPage({u"X"_s}), {{deflate, "deflate"}}};
        const Response drip{200, listPage({u"D1"_s}), {}, 0, false, 1, 50};
        const Response cut{200, listPage({u"C1"_s}), {}, 0, false, 0, 0, true};
        const Response binary{200, QByteArray("\xff\xfe\x00\x01<ul>\x80\x81</ul>", 15), {}};
        const Response moved{302, {}, {{"Location", "/a"}}};
        // The followed nodes → the first pass's batch (the interval is 100 s here: no other pass comes).
        const std::pair<Nodes, QStringList> scenarios[] = {
            {{{u"a"_s, ok({u"A1"_s, u"A2"_s}, 600)}, {u"b"_s, ok({u"B1"_s})}, {u"file:///etc/passwd"_s, ok({u"P"_s})}},
             {u"B1"_s, u"A1"_s, u"A2"_s}},
            {{{u"a"_s, ok({u"A1"_s})}, {u"hang"_s, hang}, {u"moved"_s, moved}}, {u"A1"_s}},
            {{{u"a"_s, ok({u"A1"_s})}, {u"huge"_s, huge}, {u"limit"_s, atLimit}}, {u"A1"_s, u"L1"_s}},
            {{{u"a"_s, ok({u"A1"_s}, 300)},
              {u"bomb"_s, bomb},
              {u"bad"_s, badDeflate},
              {u"drip"_s, drip},
              {u"cut"_s, cut},
              {u"binary"_s, binary}},
             {u"C1"_s, u"A1"_s}},
        };
        for (const auto &[nodes, batch] : scenarios) {
            Scan scan(nodes);
            // A page that never ends would hold this pass for a minute: only the size cap ends it.
            if (batch.contains(u"L1"_s))
                scan.sandbox.clock.setTiming({60000, 10, 300});
            scan.start();
            QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 1, 30000);
            QCOMPARE(taskTitles(scan.batches.first()), batch);
            QCOMPARE(scan.server.requests().size(), nodes.size() - batch.contains(u"B1"_s));
            scan.stop();
            QVERIFY(!UserDb().hasTasks(scan.batches.first()).contains(false));
            // Pages over the cap, also what the bomb unpacks to, are failed fetches, not answers without rows.
            QCOMPARE(rawColumn(scan.sandbox.userDbPath(), u"SELECT note_name FROM tb_node_status WHERE last_error = "
                                                          "'page over 16 MiB' ORDER BY note_name;"_s),
                     batch.contains(u"L1"_s)   ? QStringList{u"huge"_s}
                     : batch.contains(u"C1"_s) ? QStringList{u"bomb"_s}
                                               : QStringList());
        }
    }

    void stopWhilePassWaitsStoresButAnnouncesNothing()
    {
        Scan scan({{u"a"_s, ok({u"A1"_s, u"A2"_s})}, {u"hang"_s, hang}});
        scan.sandbox.clock.setTiming({60000, 10, 300});
        scan.start();
        QTRY_COMPARE_WITH_TIMEOUT(scan.server.requests().size(), 2, 10000);
        // The quick page is cut while the pass still waits for the other one; the stop does not wait for the cap.
        QTest::qWait(1000);
        scan.stop();
        QVERIFY(scan.batches.isEmpty());
        QVERIFY(UserDb().hasTask({u"站"_s, u"a"_s, u"A2"_s, u"9元"_s, scan.server.url(u"/t/4132"_s), {}, 0}));
    }

    void nodesTheCatalogueCannotGiveAreLeftOut()
    {
        // A followed node the catalogue lacks, or whose rule is over the size limit, is left out and failing at once;
        // the others are scanned.
        Scan scan({{u"a"_s, ok({u"A1"_s})}, {u"big"_s, ok({u"X"_s})}});
        QVERIFY(CatalogBuilder().raw(u"UPDATE tb_node SET row_end = zeroblob(20000000) WHERE rowid = 2;"_s));
        QVERIFY(UserDb().setAttention({{u"站"_s, u"a"_s}, {u"站"_s, u"gone"_s}, {u"站"_s, u"big"_s}}));
        QStringList problems;
        QObject::connect(&scan.thread, &TaskThread::scanProblem, &scan.thread,
                         [&](const QString &p) { problems << p; });
        scan.start();
        QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 1, 10000);
        QCOMPARE(taskTitles(scan.batches.first()), QStringList{u"A1"_s});
        QCOMPARE(scan.troubleBegan, (QStringList{u"gone"_s, u"big"_s}));
        QCOMPARE(scan.troubled.value(0).lastError, u"不在目录中"_s);
        QCOMPARE(problems, QStringList{QString()});
        scan.stop();
        // A catalogue that cannot be read at all: no node can be scanned, which is said once, not a node at a time.
        for (const QByteArray &catalog : {QByteArray(), QByteArray(4096, 'x')}) {
            QFile::remove(Sandbox::catalogPath());
            if (!catalog.isEmpty())
                QVERIFY(writeFile(Sandbox::catalogPath(), catalog));
            problems.clear(), scan.troubleBegan.clear();
            scan.start();
            QTRY_COMPARE(problems.size(), 1);
            QVERIFY(problems[0].contains(Sandbox::catalogPath()));
            QVERIFY(scan.troubleBegan.isEmpty() && scan.thread.task());
            scan.stop();
        }
        QCOMPARE(scan.server.requests().size(), 1);
    }

    void laterPassesAnnounceOnlyNewTasks()
    {
        // "0" would re-scan without pause: it waits the fallback 180 "seconds" (1.8 s here) like any invalid value.
        Scan scan({{u"a"_s, ok({u"A1"_s, u"A2"_s})}}, u"0"_s);
        scan.start();
        QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 1, 10000);
        QTest::qWait(1000);
        QCOMPARE(scan.server.requests().size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(scan.server.requests().size(), 2, 10000);
        // Further passes, now every 300 ms, find nothing new and emit nothing at all.
        setSetting(Key::ScanInterval, u"30"_s);
        QTRY_VERIFY_WITH_TIMEOUT(scan.server.requests().size() >= 4, 10000);
        QCOMPARE(scan.batches.size(), 1);
        // A new row, and an old one whose price changed, are new tasks.
        Response changed = ok({u"A0"_s, u"A1"_s, u"A2"_s});
        changed.body.replace("<b>A2</b></a><i>9 元</i>", "<b>A2</b></a><i>19 元</i>");
        scan.server.setResponse(u"/a"_s, changed);
        QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 2, 10000);
        QCOMPARE(taskTitles(scan.batches[1]), (QStringList{u"A0"_s, u"A2"_s}));
        QCOMPARE(scan.batches[1][1].task_price, u"19元"_s);
    }

    void feedNodesAreScannedLikePages()
    {
        // A feed node of the catalogue is fetched and read as a feed; known items are not announced again.
        const auto feed = [](const QStringList &titles) {
            QByteArray items;
            for (const QString &title : titles)
                items += "<item><title>" + title.toUtf8() + "</title><link>/t/" + title.toUtf8() + "</link></item>";
            return Response{200, "<rss version=\"2.0\"><channel>" + items + "</channel></rss>", {}};
        };
        Scan scan({{u"f"_s, feed({u"F1"_s, u"F2"_s})}}, u"10"_s);
        QVERIFY(CatalogBuilder().raw(u"DELETE FROM tb_node;"_s) &&
                CatalogBuilder().feed(u"站"_s, u"f"_s, scan.server.url(u"/f"_s)));
        scan.start();
        QTRY_VERIFY_WITH_TIMEOUT(scan.requestsFor(u"f"_s) >= 3, 10000);
        QCOMPARE(scan.batches.size(), 1);
        QCOMPARE(taskTitles(scan.batches[0]), (QStringList{u"F1"_s, u"F2"_s}));
        QCOMPARE(scan.batches[0][0].task_url, scan.server.url(u"/t/F1"_s));
        scan.server.setResponse(u"/f"_s, feed({u"F3"_s, u"F1"_s, u"F2"_s}));
        QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 2, 10000);
        QCOMPARE(taskTitles(scan.batches[1]), QStringList{u"F3"_s});
    }

    void tasksThatCouldNotBeStoredAreAnnouncedOnce()
    {
        // Storing fails (as on a full disk) for a few passes: what was announced is not announced again, and is
        // stored once storing works.
        Scan scan({{u"a"_s, ok({u"A1"_s})}}, u"10"_s);
        const QString path = scan.sandbox.userDbPath();
        QVERIFY(rawExec(path, u"CREATE TRIGGER full BEFORE INSERT ON tb_history_task BEGIN SELECT RAISE(ABORT, "
                              "'full'); END;"_s));
        scan.start();
        QTRY_VERIFY_WITH_TIMEOUT(scan.requestsFor(u"a"_s) >= 4, 10000);
        QCOMPARE(scan.batches.size(), 1);
        QVERIFY(rawExec(path, u"DROP TRIGGER full;"_s));
        QTRY_VERIFY_WITH_TIMEOUT(UserDb().hasTask(scan.batches[0][0]), 10000);
        scan.server.setResponse(u"/a"_s, ok({u"A1"_s, u"A2"_s}));
        QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 2, 10000);
        QCOMPARE(taskTitles(scan.batches[1]), QStringList{u"A2"_s});
    }

    void knownTasksAgreeWithTheDatabase()
    {
        Sandbox sandbox;
        UserDb scanDb, other; // the scan thread's connection, and another one (the purge's, a second window's)
        auto known = std::make_unique<KnownTasks>(scanDb);
        const AttentionData here{u"站"_s, u"节点"_s, u"http://127.0.0.1/a"_s, listMarkers};
        AttentionData elsewhere = here;
        elsewhere.note_name = u"其他"_s; // the same rows on another node are other tasks
        const QByteArray page = listPage({u"A"_s, u"B"_s});
        // The pages as the engine handles them; what is kept must be exactly what a fresh connection calls new.
        const auto pass = [&] {
            known->beginPass();
            QList<TaskData> fresh, all, expected;
            int rows = 0;
            for (const AttentionData &node : {here, elsewhere}) {
                rows += known->newTasks(page, node, fresh);
                parseBody(page, node, all);
            }
            UserDb check;
            std::copy_if(all.cbegin(), all.cend(), std::back_inserter(expected),
                         [&](const TaskData &task) { return !check.hasTask(task); });
            if (rows != 4 || fresh.size() != expected.size() ||
                !std::equal(fresh.cbegin(), fresh.cend(), expected.cbegin(), std::mem_fn(&TaskData::isSameTask)))
                QTest::qFail("the remembered answer differs from the database's", __FILE__, __LINE__);
            if (scanDb.addTasks(fresh))
                known->stored();
            return fresh.size();
        };
        QList<TaskData> first;
        parseBody(page, here, first);
        QVERIFY(other.addTasks({first.first()}));
        QCOMPARE(pass(), 3);
        QCOMPARE(pass(), 0);
        // Purged by another connection: every task is new again.
        sandbox.clock.setNow(Clock::now().addDays(4));
        QVERIFY(other.purgeTasks(3));
        QCOMPARE(pass(), 4);
        QCOMPARE(pass(), 0);
        known = std::make_unique<KnownTasks>(scanDb); // a restart remembers nothing but finds the history
        QCOMPARE(pass(), 0);
    }

    void healthAndBackOff()
    {
        // Failing and broken nodes and the doubling back-off are seen end to end in nodeHealthEndToEnd(); here the
        // rules that take longer. Per fetched pass: F failed, E answered without rows, R rows; interval → per pass: x
        // fetched, - left out; the health at the end; how often trouble began. Three failures make a node failing; from
        // then on each failure doubles the passes between tries, up to 30 minutes: at 10 minutes a pass, every third
        // pass.
        using Health = NodeStatus::Health;
        const std::tuple<QString, qint64, QString, Health, int> cases[] = {
            {u"FFFRFFF"_s, 180000, u"xxx-xxxx"_s, Health::Failing, 2},
            {u"FFFFFF"_s, 600000, u"xxx-x--x--x"_s, Health::Failing, 1},
            {u"EEEEFEE"_s, 180000, u"xxxxxxx"_s, Health::Broken, 1},
            {u"EEEEEER"_s, 180000, u"xxxxxxx"_s, Health::Ok, 1},
        };
        const QList<AttentionData> node{{u"站"_s, u"n"_s, u"http://h/"_s, {}}};
        for (const auto &[outcomes, intervalMs, passes, health, troubleBegan] : cases) {
            NodeHealth book(node, {}, NodeHealth::Limits{{3, 6}, intervalMs});
            QString seen;
            int began = 0;
            for (qsizetype next = 0; next < outcomes.size(); book.takeChanged()) {
                const qint64 now = 1000 * (seen.size() + 1);
                const QChar outcome = book.takesPart(0, now) ? outcomes[next++] : u'-';
                seen += outcome == u'-' ? u'-' : u'x';
                if (outcome != u'-')
                    outcome == u'F' ? book.failed(0, u"HTTP 500"_s, now)
                                    : book.answered(0, outcome == u'R' ? 3 : 0, now);
                began += int(book.takeNewTrouble().size());
            }
            QCOMPARE(seen, passes);
            QVERIFY(book.status(0).health({3, 6}) == health);
            QCOMPARE(began, troubleBegan);
        }
        // Stored only when a user would see the change, or a healthy node's last good time is ten minutes newer:
        // "s" a pass whose status is stored, "." one that writes nothing (R rows found, F failed, a pass a minute).
        {
            NodeHealth book(node, {}, NodeHealth::Limits{{3, 6}, 180000});
            QString stored;
            for (const auto &[outcome, minute] : {std::pair{u'R', 0},
                                                  {u'R', 3},
                                                  {u'R', 9},
                                                  {u'R', 12},
                                                  {u'F', 15},
                                                  {u'F', 18},
                                                  {u'R', 21},
                                                  {u'R', 24}}) {
                const qint64 now = 1796544000000 + minute * 60000;
                outcome == u'F' ? book.failed(0, u"HTTP 500"_s, now) : book.answered(0, 3, now);
                stored += book.takeChanged().isEmpty() ? u'.' : u's';
            }
            QCOMPARE(stored, u"s..ssss."_s);
        }
        // Retry-After in seconds or as an HTTP date; a host may ask for an hour at most.
        const qint64 now = QDateTime(QDate(2026, 12, 6), QTime(12, 0), Qt::UTC).toMSecsSinceEpoch();
        for (const auto &[value, ms] :
             {std::pair{"120", 120000}, {" 0 ", 0}, {"Sun, 06 Dec 2026 12:30:00 GMT", 1800000}})
            QCOMPARE(PageRequest::retryAfter(value, now), now + ms);
        for (const char *value : {"-5", "soon", "Sun, 06 Dec 2026 12:30:00 CET", ""})
            QCOMPARE(PageRequest::retryAfter(value, now), -1);
        // A hold longer than three passes makes the host's nodes failing at once, with the hold as the reason.
        for (const auto &[holdMs, health] : {std::pair{24 * 3600000, Health::Failing}, {8 * 60000, Health::Ok}}) {
            NodeHealth book({{u"站"_s, u"n"_s, u"http://H/"_s, {}}}, {}, NodeHealth::Limits());
            QCOMPARE(book.holdHost(u"h"_s, now + holdMs, now, u"held"_s), health == Health::Failing);
            const qint64 end = now + qMin(holdMs, 3600000);
            QVERIFY(!book.takesPart(0, end - 1) && book.takesPart(0, end));
            QVERIFY(book.status(0).health({3, 6}) == health);
            QCOMPARE(book.status(0).lastError, health == Health::Ok ? QString() : u"held"_s);
        }
    }

    void nodeHealthEndToEnd()
    {
        // A good node beside one answering 500 and one whose markup changed (it answers, but without rows); 100 ms a
        // pass.
        Scan scan({{u"good"_s, ok({u"G1"_s})},
                   {u"bad"_s, Response{500, listPage({}), {}}},
                   {u"changed"_s, Response{200, "<html><table><tr><td>新的页面</td></tr></table></html>", {}}}},
                  u"10"_s);
        scan.start();
        QTRY_VERIFY_WITH_TIMEOUT(scan.requestsFor(u"good"_s) >= 9, 20000);
        scan.stop();
        // The bad node is backed off after its third failure; each becomes troubled once; the good one is announced.
        QCOMPARE(scan.requestsFor(u"bad"_s), int(u"xxx-x---x-------x"_s.left(scan.requestsFor(u"good"_s)).count(u'x')));
        QCOMPARE(scan.troubleBegan, (QStringList{u"bad"_s, u"changed"_s}));
        QCOMPARE(taskTitles(scan.batches.value(0)), QStringList{u"G1"_s});
        QVERIFY(scan.troubled.size() == 2 && scan.troubled[0].lastError == u"HTTP 500"_s);
        // The statuses outlive the run: the next one starts out knowing them, and a good answer heals the bad node.
        scan.server.setResponse(u"/bad"_s, ok({u"B1"_s}));
        scan.batches.clear(), scan.troubleBegan.clear();
        scan.start();
        QTRY_VERIFY_WITH_TIMEOUT(!scan.batches.isEmpty(), 10000);
        QTRY_COMPARE(scan.troubled.size(), 1);
        QVERIFY(scan.troubled[0].note_name == u"changed"_s && scan.troubleBegan.isEmpty());
        QCOMPARE(rawColumn(scan.sandbox.userDbPath(), u"SELECT note_name || failures || (empty_passes > 0) FROM "
                                                      "tb_node_status ORDER BY note_name;"_s),
                 (QStringList{u"bad00"_s, u"changed01"_s, u"good00"_s}));
    }

    void conditionalRequests()
    {
        // One node's passes: what the server answers; what the request asked with (If-None-Match, If-Modified-Since);
        // the tasks announced; the node's empty passes after it. Before a pass where asked: a restart (R), a new
        // address for the node (U), storing fails (F), or works again (S).
        using Headers = QList<TestHttpServer::Header>;
        const QByteArray date = "Sun, 06 Dec 2026 12:00:00 GMT";
        const Headers etagA{{"ETag", "\"a\""}}, etagB{{"ETag", "W/\"b\""}}, dated{{"Last-Modified", date}};
        const auto answer = [](int status, const QStringList &titles, const Headers &headers = {}) {
            return Response{status, status == 304 ? QByteArray() : listPage(titles), headers};
        };
        const QStringList a12{u"A1"_s, u"A2"_s}, a3{u"A3"_s};
        const std::tuple<char, Response, QByteArray, QByteArray, QStringList, int> passes[] = {
            {' ', answer(200, {u"A1"_s}, etagA), "", "", {u"A1"_s}, 0},
            {' ', answer(304, {}), "\"a\"", "", {}, 0},                // unchanged: nothing cut or announced, healthy
            {'R', answer(304, {}), "\"a\"", "", {}, 0},                // kept across a restart
            {' ', answer(200, a12, etagB), "\"a\"", "", {u"A2"_s}, 0}, // a server that ignores them
            {' ', answer(500, {}, etagA), "W/\"b\"", "", {}, 0},       // a failure drops them
            {' ', answer(200, a12, dated + etagB), "", "", {}, 0},
            {' ', answer(304, {}), "W/\"b\"", date, {}, 0},
            {'U', answer(200, a12, etagA), "", "", {}, 0},      // given for another address
            {' ', answer(302, a12, etagA), "\"a\"", "", {}, 0}, // a redirection's body is not the page
            {' ', answer(200, a12, etagA), "", "", {}, 0},
            {' ', answer(200, {}, etagA), "\"a\"", "", {}, 1}, // a page without rows is fetched whole
            {' ', answer(304, {}), "", "", {}, 2},             // a 304 not asked for has no rows
            {' ', answer(200, a3, Headers{{"ETag", QByteArray(300, 'e')}} + dated), "", "", a3, 0}, // one too long
            {' ', answer(200, a3, etagA), "", date, {}, 0},
            {'F', answer(200, {u"A4"_s}, etagA), "\"a\"", "", {u"A4"_s}, 0}, // announced, not stored...
            {'S', answer(200, {u"A4"_s}, etagA), "", "", {}, 0},             // ...so the page is asked for whole
            {' ', answer(304, {}), "\"a\"", "", {}, 0},
        };
        Scan scan({{u"a"_s, Response()}});
        const QString userDb = scan.sandbox.userDbPath();
        QList<QList<TaskData>> batches;
        std::unique_ptr<ScanTask> engine;
        const auto restart = [&] {
            engine = std::make_unique<ScanTask>();
            QObject::connect(engine.get(), &ScanTask::newTask, [&](const auto &tasks) { batches << tasks; });
            return engine->init();
        };
        QVERIFY(restart());
        // Where a header stands in a request (its size when absent), and its value.
        const auto at = [](const TestHttpServer::Request &request, const QByteArray &name) {
            return std::find_if(request.headers.cbegin(), request.headers.cend(),
                                [&](const auto &field) { return field.first == name; }) -
                   request.headers.cbegin();
        };
        const auto header = [&at](const TestHttpServer::Request &request, const QByteArray &name) {
            const qsizetype field = at(request, name);
            return field < request.headers.size() ? request.headers[field].second : QByteArray();
        };
        const auto names = [](const TestHttpServer::Request &request) {
            QByteArrayList list;
            for (const auto &[key, value] : request.headers) {
                if (!key.startsWith("if-"))
                    list << key;
            }
            return list;
        };
        int pass = 0;
        for (const auto &[before, response, etag, modified, announced, emptyPasses] : passes) {
            ++pass;
            if (before == 'R' || before == 'U') {
                QVERIFY(before == 'R' ||
                        (CatalogBuilder().raw(u"DELETE FROM tb_node;"_s) &&
                         CatalogBuilder().node(u"站"_s, u"a"_s, scan.server.url(u"/a?2"_s), listMarkers)));
                QVERIFY(restart());
            }
            if (before == 'F' || before == 'S')
                QVERIFY(rawExec(userDb, before == 'F' ? u"CREATE TRIGGER full BEFORE INSERT ON tb_history_task BEGIN "
                                                        "SELECT RAISE(ABORT, 'full'); END;"_s
                                                      : u"DROP TRIGGER full;"_s));
            scan.server.setResponse(u"/a"_s, response);
            batches.clear();
            engine->scan();
            QCOMPARE(scan.server.requests().size(), pass);
            const TestHttpServer::Request request = scan.server.requests().constLast();
            QVERIFY2(header(request, "if-none-match") == etag && header(request, "if-modified-since") == modified,
                     qPrintable(QString::number(pass)));
            QCOMPARE(taskTitles(batches.value(0)), announced);
            QCOMPARE(rawColumn(userDb, u"SELECT empty_passes FROM tb_node_status;"_s),
                     QStringList{QString::number(emptyPasses)});
            // The other headers are exactly those of a request without validators, in their order, and before them.
            QCOMPARE(names(request), names(scan.server.requests().constFirst()));
            QVERIFY(etag.isEmpty() || at(request, "if-none-match") > at(request, "accept-language"));
            QVERIFY(modified.isEmpty() || at(request, "if-modified-since") > at(request, "accept-language"));
        }
        // A page that keeps coming back unchanged stays healthy, and passes that change nothing write nothing at all.
        QSignalSpy health(engine.get(), &ScanTask::nodeHealth);
        const QByteArray stored = readFile(userDb);
        for (int status : {304, 304, 304, 304, 304, 304, 304, 200})
            scan.server.setResponse(u"/a"_s, answer(status, a3, etagA)), engine->scan();
        QCOMPARE(health.size(), 8);
        for (const QList<QVariant> &troubled : std::as_const(health))
            QCOMPARE(troubled.constFirst().value<QList<NodeStatus>>(), QList<NodeStatus>());
        QCOMPARE(readFile(userDb), stored);
    }

    void retryAfterHoldsTheHost()
    {
        Scan scan({{u"busy"_s, Response{503, listPage({}), {{"Retry-After", "2"}}}}, {u"other"_s, ok({u"O1"_s})}},
                  u"10"_s);
        scan.start();
        QTRY_COMPARE_WITH_TIMEOUT(scan.batches.size(), 1, 10000);
        // Every node of the host rests until the time asked for, then both are fetched again.
        QTest::qWait(700);
        QCOMPARE(scan.server.requests().size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(scan.requestsFor(u"other"_s) >= 2 && scan.requestsFor(u"busy"_s) >= 2, 10000);
    }
};

QTEST_MAIN(TestScan)
#include "tst_scan.moc"
