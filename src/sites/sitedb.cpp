#include "sites/sitedb.h"

#include "sites/catalogcodec.h"
#include "sites/catalogschema.h"
#include "store/query.h"

#include <QBuffer>
#include <QImageReader>

#include <sqlite3.h>

using CatalogCodec::decodeText;

namespace {

constexpr int maxValueBytes = 1024 * 1024;
constexpr qsizetype maxSites = 1000;
// Far more than a catalogue of thousands of sites needs, far less than a hostile query could take.
constexpr qint64 stepAllowance = 50000;

int countSteps(void *stepsLeft)
{
    return --*static_cast<qint64 *>(stepsLeft) < 0 ? 1 : 0;
}

// An image of the catalogue, read only when it declares a size an icon or logo may have: a forged header can
// announce a picture of gigapixels that would take seconds and hundreds of megabytes to decode.
QPixmap boundedPixmap(const QByteArray &bytes, int maxSide)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > maxSide || size.height() > maxSide)
        return QPixmap();
    return QPixmap::fromImage(reader.read());
}

QString decodedColumn(const Query &query, int column)
{
    return decodeText(query.value(column).toByteArray());
}

} // namespace

SiteDb::SiteDb(const QString &path)
{
    openReadOnly(path);
}

void SiteDb::openReadOnly(const QString &path)
{
    if (!open(path, false, false))
        return;
    // The catalogue comes from elsewhere: views and triggers in it may not call functions with side effects.
    execute(QStringLiteral("PRAGMA trusted_schema=OFF;"));
    sqlite3_limit(handle(), SQLITE_LIMIT_LENGTH, maxValueBytes);
    sqlite3_progress_handler(handle(), 1000, countSteps, &stepsLeft);
    // A view (say over an endless recursive query) in place of a table is no catalogue.
    beginRead();
    // SQLite's names ignore case: "TB_SITE" answers for tb_site, and so must be checked with it.
    Query types(*this, QStringLiteral("SELECT type FROM sqlite_schema WHERE lower(name) IN ('tb_site', 'tb_node', "
                                      "'tb_node_kind');"));
    bool tablesOnly = types.exec();
    while (tablesOnly && types.next())
        tablesOnly = types.value(0).toString() == QLatin1String("table");
    types.finalize();
    if (!tablesOnly)
        close();
}

void SiteDb::beginRead()
{
    stepsLeft = stepAllowance;
}

QStringList SiteDb::siteNames()
{
    beginRead();
    QStringList names;
    Query query(*this);
    if (!query.exec(QStringLiteral("SELECT site_name FROM tb_site;")))
        return names;
    while (query.next())
        names.append(decodedColumn(query, 0));
    return names;
}

namespace {

// The rule in the current row of query, read from its first column on.
NodeRule ruleAt(const Query &query)
{
    NodeRule rule;
    rule.node_url = decodedColumn(query, 0);
    for (int column = 1; column <= CatalogSchema::markerCount; ++column)
        rule.rules.append(decodedColumn(query, column));
    return rule;
}

} // namespace

const QSet<SiteDb::NodeKey> &SiteDb::feedKeys()
{
    if (m_feedKeysRead)
        return m_feedKeys;
    m_feedKeysRead = true;
    beginRead();
    // Most catalogues have no such table: then every node is a page.
    Query query(*this);
    if (!query.exec(QStringLiteral("SELECT site_name, node_name FROM tb_node_kind WHERE kind = '%1';")
                        .arg(QLatin1String(CatalogSchema::feedKind))))
        return m_feedKeys;
    while (query.next())
        m_feedKeys.insert({query.value(0).toByteArray(), query.value(1).toByteArray()});
    return m_feedKeys;
}

NodeKind SiteDb::kindOf(const NodeKey &key)
{
    return feedKeys().contains(key) ? NodeKind::Feed : NodeKind::Page;
}

NodeKind SiteDb::nodeKind(const QString &siteName, const QString &nodeName)
{
    return kindOf({CatalogCodec::encodeText(siteName), CatalogCodec::encodeText(nodeName)});
}

bool SiteDb::nodeRule(const QString &siteName, const QString &nodeName, NodeRule &out)
{
    beginRead();
    Query query(*this, QStringLiteral("SELECT %1 FROM tb_node WHERE node_name = ? AND site_name = ?;")
                           .arg(QLatin1String(CatalogSchema::ruleColumns)));
    // Keys are bound as BLOBs: only BLOB-stored keys match.
    query.bind(CatalogCodec::encodeText(nodeName));
    query.bind(CatalogCodec::encodeText(siteName));
    if (!query.exec() || !query.next())
        return false;
    out = ruleAt(query);
    query.finalize();
    out.kind = nodeKind(siteName, nodeName);
    return true;
}

QHash<AttentionPair, NodeRule> SiteDb::nodeRules(const QList<AttentionPair> &wanted, QSet<AttentionPair> &unreadable)
{
    QHash<AttentionPair, NodeRule> rules;
    // The catalogue has no index on its keys: a lookup a node would read the whole table for each one. The keys are
    // read once instead, as stored (BLOBs; other types are no keys), and each node's rule then by its rowid.
    QHash<NodeKey, qint64> rowids;
    beginRead();
    Query keys(*this);
    const bool read = keys.exec(QStringLiteral("SELECT rowid, site_name, node_name FROM tb_node WHERE "
                                               "typeof(site_name) = 'blob' AND typeof(node_name) = 'blob' ORDER BY "
                                               "rowid ASC;"));
    while (read && keys.next()) {
        const NodeKey key{keys.value(1).toByteArray(), keys.value(2).toByteArray()};
        if (!rowids.contains(key))
            rowids.insert(key, keys.value(0).toLongLong());
    }
    const bool allKeys = read && !keys.failed();
    keys.finalize();
    Query query(
        *this,
        QStringLiteral("SELECT %1 FROM tb_node WHERE rowid = ?;").arg(QLatin1String(CatalogSchema::ruleColumns)));
    for (const AttentionPair &node : wanted) {
        // The first node of that name counts, as for a single lookup.
        const auto key = qMakePair(CatalogCodec::encodeText(node.first), CatalogCodec::encodeText(node.second));
        const auto rowid = rowids.constFind(key);
        if (rowid == rowids.constEnd()) {
            // A key list that broke off may lack it: look it up alone.
            NodeRule rule;
            if (!allKeys && nodeRule(node.first, node.second, rule))
                rules.insert(node, rule);
            continue;
        }
        beginRead();
        query.reset();
        query.bind(*rowid);
        if (query.exec() && query.next())
            rules.insert(node, ruleAt(query))->kind = kindOf(key);
        else
            unreadable.insert(node);
    }
    return rules;
}

bool SiteDb::openUrlParts(OpenUrlTable &out)
{
    beginRead();
    out.clear();
    Query query(*this);
    if (!query.exec(QStringLiteral("SELECT site_name, open_url_prefix, open_url_suffix FROM tb_site;")))
        return false;
    while (query.next())
        out.insert(decodedColumn(query, 0), OpenUrlParts{decodedColumn(query, 1), decodedColumn(query, 2)});
    return true;
}

bool SiteDb::sites(QList<SiteData> &out)
{
    beginRead();
    out.clear();
    // The sites are read whole before their nodes: a damaged file can make a cursor that another statement ran
    // between its steps start over, for ever.
    QList<QPair<QByteArray, SiteData>> read;
    {
        // Row by row: a value over the size limit fails the statement that reads it, and must cost its own site only.
        QList<qint64> rowids;
        Query list(*this);
        if (!list.exec(QStringLiteral("SELECT rowid FROM tb_site;")))
            return false;
        while (list.next()) {
            // No catalogue has this many sites; a file that claims to is not read any further.
            if (rowids.size() == maxSites)
                return false;
            rowids.append(list.value(0).toLongLong());
        }
        // A list that broke off is no list of the sites: callers must not take it for one.
        if (list.failed())
            return false;
        list.finalize();
        Query query(*this, QStringLiteral("SELECT site_name, site_url, site_register_url, site_favicon, site_logo, "
                                          "site_info FROM tb_site WHERE rowid = ?;"));
        for (const qint64 rowid : std::as_const(rowids)) {
            query.reset();
            query.bind(rowid);
            if (!query.exec() || !query.next())
                continue;
            SiteData site;
            site.site_name = decodedColumn(query, 0);
            site.site_url = decodedColumn(query, 1);
            site.site_register_url = decodedColumn(query, 2);
            const QPixmap favicon = boundedPixmap(query.value(3).toByteArray(), 256);
            if (!favicon.isNull())
                site.favicon.addPixmap(favicon, QIcon::Normal, QIcon::Off);
            site.logo = boundedPixmap(query.value(4).toByteArray(), 1024);
            site.site_info = decodedColumn(query, 5);
            // The stored key bytes, still encoded, as a BLOB.
            read.append({query.value(0).toByteArray(), site});
        }
    }
    Query nodes(*this, QStringLiteral("SELECT node_name FROM tb_node WHERE site_name = ? ORDER BY rowid ASC;"));
    for (auto &[key, site] : read) {
        nodes.reset();
        nodes.bind(key);
        if (!nodes.exec())
            continue; // a site whose nodes cannot be read is left out
        while (nodes.next())
            site.node_names.append(decodedColumn(nodes, 0));
        // So is one whose list broke off: a page with part of its nodes would save only those as followed.
        if (!nodes.failed())
            out.append(site);
    }
    return true;
}
