#pragma once

#include <QByteArray>
#include <QStringList>

// Generated task-list pages for the benchmarks: rows of about rowBytes bytes with a title, a price and an address
// between the markers of benchMarkers.
inline const QStringList benchMarkers = {
    QStringLiteral("<table class=\"tasks\">"), QStringLiteral("</table>"), QStringLiteral("<tr class=\"task\">"),
    QStringLiteral("</tr>"),                   QStringLiteral("href=\""),  QStringLiteral("\""),
    QStringLiteral("<span class=\"title\">"),  QStringLiteral("</span>"),  QStringLiteral("<td class=\"price\">"),
    QStringLiteral("</td>")};

inline QByteArray benchRow(int serial, int rowBytes)
{
    QByteArray row = "<tr class=\"task\"><td><a href=\"/task/" + QByteArray::number(serial) +
                     "\"><span class=\"title\">企业网站建设 &amp; Logo 设计 #" + QByteArray::number(serial) +
                     "</span></a></td><td class=\"price\">&yen; " + QByteArray::number(100 + serial % 9000) +
                     " 元</td><td class=\"desc\">";
    // Mostly markup, as real task lists are, with a little Chinese text.
    static const QByteArray filler = "<div class=\"task-meta\"><span class=\"tag\">品牌设计</span><span "
                                     "class=\"time\" data-ts=\"1796544000\">2026-12-06</span></div>\n";
    while (row.size() + filler.size() + 10 < rowBytes)
        row += filler;
    return row + "</td></tr>\n";
}

inline QByteArray benchPage(qsizetype bodyBytes, int rowBytes = 1024, int firstSerial = 0)
{
    QByteArray page = "<html><head><meta charset=\"utf-8\"></head><body><table class=\"tasks\">\n";
    page.reserve(bodyBytes + rowBytes);
    for (int serial = firstSerial; page.size() < bodyBytes - 32; ++serial)
        page += benchRow(serial, rowBytes);
    return page + "</table></body></html>";
}
