#include "pages.h"

#include <QStringDecoder>

namespace {

enum Marker { TableBegin, TableEnd, RowBegin, RowEnd, UrlBegin, UrlEnd, TitleBegin, TitleEnd, PriceBegin, PriceEnd };

// The text between the first begin marker in text and the first end marker after it; false when either is missing.
bool enclosed(QStringView text, QStringView begin, QStringView end, QStringView &out)
{
    const qsizetype b = text.indexOf(begin);
    if (b < 0)
        return false;
    const QStringView rest = text.sliced(b + begin.size());
    const qsizetype e = rest.indexOf(end);
    if (e < 0)
        return false;
    out = rest.first(e);
    return true;
}

} // namespace

QString decodePage(const QByteArray &bytes)
{
    static const QByteArray charset("charset=");
    const qsizetype p = bytes.indexOf(charset);
    bool utf8 = true;
    if (p >= 0) {
        qsizetype q = p + charset.size();
        if (q < bytes.size() && bytes[q] == '"')
            ++q;
        utf8 = bytes.mid(q, 5).toUpper() == "UTF-8";
    }
    if (utf8)
        return QString::fromUtf8(bytes);
    QStringDecoder gbk("GBK");
    return gbk(bytes);
}

QString replaceEntities(QString text)
{
    static const std::pair<QString, QString> entities[] = {
        {QStringLiteral("&ensp;"), QStringLiteral(" ")},  {QStringLiteral("&emsp;"), QStringLiteral("\u3000")},
        {QStringLiteral("&nbsp;"), QStringLiteral(" ")},  {QStringLiteral("&lt;"), QStringLiteral("<")},
        {QStringLiteral("&gt;"), QStringLiteral(">")},    {QStringLiteral("&amp;"), QStringLiteral("&")},
        {QStringLiteral("&quot;"), QStringLiteral("\"")}, {QStringLiteral("&#160;"), QStringLiteral(" ")}};
    if (!text.contains(QLatin1Char('&')))
        return text;
    for (const auto &[entity, replacement] : entities)
        text.replace(entity, replacement);
    return text;
}

QString completeUrl(const QString &url, const QString &nodeUrl)
{
    static const QString separator = QStringLiteral("://");
    if (url.contains(separator))
        return url;
    const qsizetype s = nodeUrl.indexOf(separator);
    if (s < 0)
        return url;
    const qsizetype k = nodeUrl.indexOf(QLatin1Char('/'), s + separator.size());
    const QString prefix = k < 0 ? nodeUrl : nodeUrl.left(k);
    if (url.startsWith(QLatin1Char('/')))
        return prefix + url;
    return prefix + QLatin1Char('/') + url;
}

void parsePage(const QString &text, const AttentionData &node, const std::function<bool(const TaskData &)> &isKnown,
               QList<TaskData> &taskList)
{
    const QStringList &m = node.rules;
    if (m.size() != 10)
        return;
    // An empty row end would never consume any text: such a node yields nothing rather than spinning forever.
    if (m[RowEnd].isEmpty())
        return;

    // The table: from the first table_begin (or the start) to the first table_end at or after it (or the end).
    QStringView page(text);
    qsizetype start = 0;
    if (!m[TableBegin].isEmpty())
        start = qMax<qsizetype>(0, page.indexOf(m[TableBegin]));
    qsizetype end = page.size();
    if (!m[TableEnd].isEmpty()) {
        const qsizetype found = page.indexOf(m[TableEnd], start);
        if (found >= 0)
            end = found;
    }
    page = page.sliced(start, end - start);

    // Rows are consumed by moving through the page, never by copying what is left of it.
    const bool withPrice = !m[PriceBegin].isEmpty() && !m[PriceEnd].isEmpty();
    const bool withUrl = !m[UrlBegin].isEmpty() && !m[UrlEnd].isEmpty();
    qsizetype position = 0;
    for (;;) {
        const qsizetype rb = page.indexOf(m[RowBegin], position);
        if (rb < 0)
            break;
        const qsizetype re = page.indexOf(m[RowEnd], rb);
        if (re < 0)
            break;
        const QStringView row = page.sliced(rb, re - rb);
        position = re + m[RowEnd].size();

        QStringView title;
        if (!enclosed(row, m[TitleBegin], m[TitleEnd], title))
            continue;
        title = title.trimmed();
        if (title.isEmpty())
            continue;

        TaskData task;
        task.task_name = replaceEntities(title.toString()).trimmed();
        task.site_name = node.site_name;
        task.note_name = node.note_name;
        task.note_url = node.node_url;
        QStringView part;
        if (withPrice && enclosed(row, m[PriceBegin], m[PriceEnd], part)) {
            QString price = part.isEmpty() ? QString() : replaceEntities(part.toString());
            task.task_price = price.remove(QLatin1Char(' ')).trimmed();
        }
        if (withUrl && enclosed(row, m[UrlBegin], m[UrlEnd], part))
            task.task_url = completeUrl(part.trimmed().toString(), node.node_url);
        if (isKnown && isKnown(task))
            continue;
        task.attr_mark = 0;
        taskList.append(task);
    }
}
