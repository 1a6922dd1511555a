#include "demosite.h"

#include <QRegularExpression>
#include <QStringEncoder>
#include <QTcpSocket>
#include <QTextStream>

#include <cstdio>

namespace {

const char *const subjects[] = {"企业官网", "品牌Logo",   "微信小程序", "电商详情页", "产品画册",     "App界面",
                                "宣传视频", "公众号文章", "包装盒",     "年会海报",   "数据采集脚本", "英文说明书"};
const char *const actions[] = {"设计", "开发", "制作", "改版", "翻译", "优化", "剪辑", "撰写"};
const char *const extras[] = {"",           "（加急）",     " &amp; 售后维护",
                              "，预算可谈", "（长期合作）", " - 需要&quot;原创&quot;"};

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QByteArray html(const QString &s)
{
    return s.toUtf8();
}

// A list that answers twice and then only "503 Service Unavailable", so that the demo shows a failing node.
const char failingList[] = "/spark/overseas";
constexpr int failingListAnswers = 2;
// The site to add in the program, and its feed.
const char dawnList[] = "/dawn/jobs";
const char dawnFeedPath[] = "/dawn/feed.xml";

} // namespace

DemoSite::DemoSite(QObject *parent) : QObject(parent)
{
    const struct
    {
        const char *path;
        const char *site;
        const char *title;
    } lists[] = {{"/eagle/design.html", "eagle", "平面设计"}, {"/eagle/web.html", "eagle", "网站开发"},
                 {"/eagle/copy.html", "eagle", "文案写作"},   {"/hive/list/logo", "hive", "Logo设计"},
                 {"/hive/list/code", "hive", "程序开发"},     {"/spark/app", "spark", "移动应用"},
                 {"/spark/translate", "spark", "翻译"},       {"/spark/video", "spark", "视频制作"},
                 {failingList, "spark", "海外任务"},          {dawnList, "dawn", "最新需求"}};
    for (const auto &list : lists) {
        List entry{text(list.site), text(list.title), {}};
        for (int i = 0; i < 5; ++i)
            entry.tasks.prepend(makeTask());
        m_lists.insert(text(list.path), entry);
    }
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_requests.remove(socket);
                socket->deleteLater();
            });
        }
    });
    connect(&m_timer, &QTimer::timeout, this, &DemoSite::addTasks);
}

bool DemoSite::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

void DemoSite::startNewTasks(int intervalMs)
{
    m_timer.start(intervalMs);
}

DemoSite::Task DemoSite::makeTask()
{
    Task task;
    task.id = m_nextId++;
    task.title = text(subjects[m_random.bounded(int(std::size(subjects)))]) +
                 text(actions[m_random.bounded(int(std::size(actions)))]) +
                 text(extras[m_random.bounded(int(std::size(extras)))]);
    // One task in five has no price ("无" in the popup); prices are written with spaces, as sites do, and each site
    // adds one currency mark of its own (鹰眼 "¥ 1 500", the others "1 500 元").
    if (m_random.bounded(5) != 0)
        task.price = QStringLiteral("%1 %2")
                         .arg(m_random.bounded(1, 20))
                         .arg(m_random.bounded(10) * 100, 3, 10, QLatin1Char('0'));
    m_titles.insert(task.id, task.title);
    return task;
}

int DemoSite::addTasks()
{
    int added = 0;
    const QStringList paths = m_lists.keys();
    const int lists = 1 + m_random.bounded(3);
    for (int i = 0; i < lists; ++i) {
        List &list = m_lists[paths[m_random.bounded(int(paths.size()))]];
        const int count = 1 + m_random.bounded(2);
        for (int n = 0; n < count; ++n) {
            const Task task = makeTask();
            list.tasks.prepend(task);
            ++added;
            std::printf("demo site: new task on %s/%s: %s\n", qUtf8Printable(list.site), qUtf8Printable(list.title),
                        qUtf8Printable(task.title));
        }
        // Lists keep their newest twenty.
        while (list.tasks.size() > 20)
            list.tasks.removeLast();
    }
    std::fflush(stdout);
    return added;
}

QByteArray DemoSite::eaglePage(const List &list) const
{
    QByteArray body = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>鹰眼众包 - " + html(list.title) +
                      "</title></head>\n<body><h1>" + html(list.title) + "</h1>\n<ul class=\"task-list\">\n";
    for (const Task &task : list.tasks) {
        body += "<li class=\"task\"><a href=\"/eagle/task/" + QByteArray::number(task.id) +
                "\"><span class=\"title\">" + html(task.title) + "</span></a>";
        if (!task.price.isEmpty())
            body += " <em class=\"price\">¥ " + html(task.price) + "</em>";
        body += "</li>\n";
    }
    return body + "</ul>\n<p>© 鹰眼众包 演示站</p></body></html>\n";
}

QByteArray DemoSite::hivePage(const List &list) const
{
    QString body = QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
                                  "<title>蜂巢威客</title></head>\n<body><table id=\"tasks\">\n"
                                  "<tr><th>任务</th><th>赏金</th></tr>\n");
    for (const Task &task : list.tasks) {
        body += QStringLiteral(
                    "<tr class=\"row\"><td><a href='task.php?id=%1'>%2</a></td><td class=\"money\">%3</td></tr>\n")
                    .arg(task.id)
                    .arg(task.title, task.price.isEmpty() ? QString() : task.price + QStringLiteral(" 元"));
    }
    body += QStringLiteral("</table></body></html>\n");
    QStringEncoder gbk("GBK");
    return gbk(body);
}

QByteArray DemoSite::sparkPage(const List &list) const
{
    QByteArray body = "<html><head><meta charset=utf-8></head><body><h2>星火任务网 · " + html(list.title) +
                      "</h2>\n<div class=\"list\">\n";
    for (const Task &task : list.tasks) {
        body += "<div class=\"item\" data-url=\"/spark/detail/" + QByteArray::number(task.id) + "\"><h3>" +
                html(task.title) + "</h3>";
        if (!task.price.isEmpty())
            body += "<b>" + html(task.price) + " 元</b>";
        body += "</div><hr>\n";
    }
    return body + "<div class=\"footer\">星火任务网 演示</div></body></html>\n";
}

QByteArray DemoSite::dawnPage(const List &list) const
{
    QByteArray body = "<!DOCTYPE html>\n<html lang=\"zh\"><head><meta charset=\"utf-8\"><title>" + html(list.title) +
                      " - 晨光外包</title>\n<link rel=\"alternate\" type=\"application/rss+xml\" title=\"晨光外包\" "
                      "href=\"" +
                      dawnFeedPath +
                      "\"></head>\n<body>\n<div class=\"nav\"><a href=\"/dawn/\">首页</a> "
                      "<a href=\"/dawn/jobs\">找需求</a></div>\n<div class=\"main\">\n<ul class=\"jobs\">\n";
    const auto row = [&body](const Task &task, int index) {
        body += "  <li class=\"job " + QByteArray(index % 2 ? "even" : "odd") +
                "\">\n    <a class=\"job-title\" href=\"/dawn/job/" + QByteArray::number(task.id) +
                "\" target=\"_blank\">" + html(task.title) + "</a>\n";
        if (!task.price.isEmpty())
            body += "    <span class=\"budget\">¥ " + html(task.price) + "</span>\n";
        body += "  </li>\n";
    };
    for (int i = 0; i < list.tasks.size(); ++i)
        row(list.tasks[i], i);
    body += "</ul>\n</div>\n<div class=\"side\"><h3>热门需求</h3>\n<ul class=\"jobs\">\n";
    for (int i = 0; i < qMin<qsizetype>(3, list.tasks.size()); ++i)
        row(list.tasks[list.tasks.size() - 1 - i], i);
    return body + "</ul>\n</div>\n<p class=\"foot\">© 晨光外包 演示站</p></body></html>\n";
}

QByteArray DemoSite::dawnFeed(const List &list) const
{
    QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel><title>晨光外包 "
                      "最新需求</title><link>/dawn/jobs</link>\n";
    for (const Task &task : list.tasks) {
        // The page's titles are HTML; the feed's are plain text.
        const QString title = QString(task.title)
                                  .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
                                  .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        body += "<item><title>" + html(title.toHtmlEscaped()) + "</title><link>/dawn/job/" +
                QByteArray::number(task.id) + "</link><description>" +
                (task.price.isEmpty() ? QByteArray("预算面议") : "预算 ¥" + html(task.price)) +
                "</description></item>\n";
    }
    return body + "</channel></rss>\n";
}

QByteArray DemoSite::page(const QString &path, QByteArray *contentType, int *status) const
{
    const auto found = m_lists.constFind(path);
    QByteArray type = "text/html; charset=utf-8";
    int code = 200;
    QByteArray body;
    if (path == QLatin1String(dawnFeedPath)) {
        body = dawnFeed(m_lists.value(QLatin1String(dawnList)));
        type = "application/rss+xml; charset=utf-8";
    } else if (found != m_lists.constEnd()) {
        if (found->site == QLatin1String("dawn")) {
            body = dawnPage(*found);
        } else if (found->site == QLatin1String("hive")) {
            body = hivePage(*found);
            type = "text/html; charset=gbk";
        } else {
            body = found->site == QLatin1String("eagle") ? eaglePage(*found) : sparkPage(*found);
        }
    } else {
        // Task pages: /eagle/task/ID, /task.php?id=ID, /spark/detail/ID; anything else is a site's home page.
        const QString id = path.section(QRegularExpression(QStringLiteral("[/=]")), -1).section(QLatin1Char('?'), 0, 0);
        const QString title = m_titles.value(id.toInt());
        if (!title.isEmpty()) {
            body = "<html><head><meta charset=utf-8><title>" + html(title) + "</title></head><body><h1>" + html(title) +
                   "</h1><p>这是 Kestrow 演示站的任务页面。</p></body></html>\n";
        } else if (path == QLatin1String("/") || path.startsWith(QLatin1String("/eagle")) ||
                   path.startsWith(QLatin1String("/hive")) || path.startsWith(QLatin1String("/spark")) ||
                   path.startsWith(QLatin1String("/dawn"))) {
            body = "<html><head><meta charset=utf-8></head><body><h1>Kestrow 演示站</h1></body></html>\n";
        } else {
            code = 404;
            body = "<html><body>404</body></html>\n";
        }
    }
    if (contentType)
        *contentType = type;
    if (status)
        *status = code;
    return body;
}

void DemoSite::answer(QTcpSocket *socket)
{
    // The whole request first: a push's body comes after its head.
    QByteArray &received = m_requests[socket];
    received += socket->readAll();
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    qsizetype length = 0;
    for (const QByteArray &line : received.left(end).split('\n')) {
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    }
    if (received.size() < end + 4 + length)
        return;
    const QList<QByteArray> request = received.left(received.indexOf("\r\n")).split(' ');
    const QByteArray posted = received.mid(end + 4, length);
    m_requests.remove(socket);
    const QString path = QString::fromUtf8(request.value(1));
    QByteArray type;
    int status = 200;
    QByteArray body = page(path, &type, &status);
    if (request.value(0) == "POST" && path == QLatin1String("/push")) {
        emit pushed(posted);
        status = 200, type = "application/json", body = "{}";
    }
    if (path == QLatin1String(failingList) && ++m_failingListRequests > failingListAnswers) {
        status = 503;
        body = "<html><body>服务暂时不可用</body></html>\n";
    }
    const QByteArray reason = status == 200 ? " OK" : status == 503 ? " Service Unavailable" : " Not Found";
    socket->write("HTTP/1.1 " + QByteArray::number(status) + reason + "\r\nContent-Type: " + type +
                  "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}
