#include "scan/feeds.h"

#include "scan/htmltext.h"
#include "scan/pages.h"

#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

// Real feeds nest a few levels; a hostile one nesting thousands deep is no feed.
constexpr int maxDepth = 64;
// What an item's description is searched for a price: its start, where budgets stand.
constexpr qsizetype maxDescription = 64 * 1024;

bool named(const QXmlStreamReader &xml, const char *name)
{
    return xml.name() == QLatin1String(name);
}

// An item's parts as the feed gives them.
struct Item
{
    QString title;
    bool hasTitle = false;
    QString link;      // RSS: the text of <link>
    QString alternate; // Atom: the link with rel="alternate" or without rel
    QString firstLink; // Atom: the first link of any rel
    QString guid;      // RSS: a guid that is a permalink
    QString description;

    QString address() const
    {
        for (const QString *candidate : {&link, &alternate, &firstLink, &guid}) {
            if (!candidate->isEmpty())
                return *candidate;
        }
        return QString();
    }
};

// The title as plain text: markup given as text (Atom type="html", Atom 0.3 mode="escaped") is stripped and its
// references decoded; inline markup (type="xhtml", child elements) gives its text; anything else is taken as it is.
QString readTitle(QXmlStreamReader &xml)
{
    const QString type = xml.attributes().value(QLatin1String("type")).toString().toLower();
    const QString mode = xml.attributes().value(QLatin1String("mode")).toString().toLower();
    const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
    const bool html =
        type == QLatin1String("html") || type == QLatin1String("text/html") || mode == QLatin1String("escaped");
    return html ? HtmlText::toPlainText(text) : text.simplified();
}

void readLink(QXmlStreamReader &xml, Item &item)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    if (attributes.hasAttribute(QLatin1String("href"))) {
        const QString href = attributes.value(QLatin1String("href")).toString().trimmed();
        const QStringView rel = attributes.value(QLatin1String("rel"));
        if (item.alternate.isEmpty() && (rel.isEmpty() || rel == QLatin1String("alternate")))
            item.alternate = href;
        if (item.firstLink.isEmpty())
            item.firstLink = href;
        xml.skipCurrentElement();
        return;
    }
    const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
    if (item.link.isEmpty())
        item.link = text;
}

// Reads the item whose start element xml is at, up to its end.
Item readItem(QXmlStreamReader &xml)
{
    Item item;
    while (xml.readNextStartElement()) {
        if (named(xml, "title") && !item.hasTitle) {
            item.title = readTitle(xml);
            item.hasTitle = true;
        } else if (named(xml, "link")) {
            readLink(xml, item);
        } else if (named(xml, "guid")) {
            const bool permalink = xml.attributes().value(QLatin1String("isPermaLink")) != QLatin1String("false");
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            if (permalink && item.guid.isEmpty())
                item.guid = text;
        } else if ((named(xml, "description") || named(xml, "summary") || named(xml, "content")) &&
                   item.description.isEmpty()) {
            item.description = xml.readElementText(QXmlStreamReader::IncludeChildElements).left(maxDescription);
        } else {
            xml.skipCurrentElement();
        }
    }
    return item;
}

// Walks body's items, calling use(item) for each until it returns false; what the walk came to.
struct Walk
{
    int items = 0;
    bool isXml = true;
    QString error;
};

template <typename Use> Walk walkItems(const QByteArray &body, Use use)
{
    Walk walk;
    QXmlStreamReader xml(body);
    int depth = 0;
    while (!xml.atEnd() && walk.items < maxRowsPerPage) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token == QXmlStreamReader::StartElement) {
            if (named(xml, "item") || named(xml, "entry")) {
                ++walk.items;
                const Item item = readItem(xml);
                // An item the feed breaks off in is no item.
                if (xml.hasError() || !use(item))
                    break;
            } else if (++depth > maxDepth) {
                xml.raiseError(QStringLiteral("elements nested more than %1 deep").arg(maxDepth));
            }
        }
    }
    if (xml.hasError()) {
        walk.isXml = false;
        walk.error = QStringLiteral("%1 at line %2").arg(xml.errorString()).arg(xml.lineNumber());
    }
    return walk;
}

} // namespace

QString priceIn(const QString &text)
{
    // An amount after a currency sign, or before 元; a range whole ("300-500元"), 万 and 千 with it. After a sign,
    // digits may be grouped by spaces ("¥1 500", as many sites write it); before 元 a space may as well part two
    // numbers ("iOS 17 500元"), so there only commas group.
    const auto range = [](const QString &number) {
        return number + QStringLiteral("(?:\\s?[-~～至]\\s?") + number + QStringLiteral(")?");
    };
    static const QString plain = QStringLiteral("\\d[\\d,]*(?:\\.\\d+)?");
    static const QString grouped = QStringLiteral("\\d[\\d,]*(?:[ \\x{00a0}]\\d{3}(?!\\d))*(?:\\.\\d+)?");
    static const QRegularExpression amount(QStringLiteral("[¥￥$€£]\\s?") + range(grouped) +
                                           QStringLiteral("(?:\\s?[万千kK])?|") + range(plain) +
                                           QStringLiteral("\\s?[万千]?元"));
    // Most titles have no currency mark at all: no pattern for them.
    static const QString marks = QStringLiteral("¥￥$€£元");
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return marks.contains(c); }))
        return QString();
    QString found = amount.match(text).captured();
    return found.remove(QRegularExpression(QStringLiteral("\\s")));
}

int parseFeed(const QByteArray &body, const AttentionData &node, QList<TaskData> &taskList, RowMemory *memory)
{
    int titled = 0;
    QByteArray key;
    walkItems(body, [&](const Item &item) {
        if (!item.hasTitle || item.title.isEmpty())
            return true;
        ++titled;
        const QString url = item.address().isEmpty() ? QString() : completeUrl(item.address(), node.node_url);
        QString price = priceIn(item.title);
        if (price.isEmpty())
            price = priceIn(HtmlText::toPlainText(item.description));
        if (memory) {
            const QString parts = item.title + QChar(0) + url + QChar(0) + price;
            key = QByteArray("F") + QByteArray(reinterpret_cast<const char *>(parts.constData()), parts.size() * 2);
            if (memory->known(key))
                return true;
        }
        taskList.append(TaskData{node.site_name, node.note_name, item.title, price, url, node.node_url, 0});
        if (memory)
            memory->made(key);
        return true;
    });
    return titled;
}

QStringList diagnoseFeed(const QByteArray &body)
{
    int titled = 0;
    const Walk walk = walkItems(body, [&titled](const Item &item) {
        titled += item.hasTitle && !item.title.isEmpty();
        return true;
    });
    if (titled > 0)
        return {};
    if (!walk.isXml && walk.items == 0)
        return {QStringLiteral("the feed is not readable XML: %1").arg(walk.error)};
    if (walk.items == 0)
        return {QStringLiteral("the feed has no <item> or <entry>")};
    return {QStringLiteral("none of the feed's %1 items has a title").arg(walk.items)};
}

bool looksLikeFeed(const QByteArray &contentType, const QByteArray &body)
{
    const QByteArray type = contentType.toLower();
    if (type.contains("rss") || type.contains("atom"))
        return true;
    if (type.contains("html"))
        return false;
    // Served as XML or as anything else: a feed names its root element near the start.
    const QByteArray head = body.left(2048);
    return head.contains("<rss") || head.contains("<feed") || head.contains("<rdf:RDF");
}

QString announcedFeed(const QString &page, const QString &pageUrl)
{
    static const QRegularExpression feedType(QStringLiteral("type\\s*=\\s*[\"']application/(rss|atom)\\+xml[\"']"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression href(QStringLiteral("href\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)')"),
                                         QRegularExpression::CaseInsensitiveOption);
    // Tag by tag with plain searches; the patterns only ever see one tag.
    for (qsizetype at = page.indexOf(QLatin1String("<link"), 0, Qt::CaseInsensitive); at >= 0;) {
        const qsizetype end = page.indexOf(QLatin1Char('>'), at);
        if (end < 0)
            break;
        const QString tag = page.mid(at, qMin<qsizetype>(end + 1 - at, 2048));
        if (tag.contains(feedType)) {
            const QRegularExpressionMatch address = href.match(tag);
            const QString value = HtmlText::decodeEntities(address.captured(1) + address.captured(2)).trimmed();
            if (!value.isEmpty())
                return QUrl(pageUrl).resolved(QUrl(value)).toString();
        }
        at = page.indexOf(QLatin1String("<link"), end, Qt::CaseInsensitive);
    }
    return QString();
}
