#include "sites/sitedb.h"

#include "core/paths.h"
#include "sites/catalogcodec.h"
#include "sites/catalogschema.h"
#include "store/query.h"

using CatalogCodec::decodeText;

namespace {

QString decodedColumn(const Query &query, int column)
{
    return decodeText(query.value(column).toByteArray());
}

} // namespace

SiteDb::SiteDb()
{
    openReadOnly(appFilePath(QStringLiteral("sdb.dll")));
}

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
}

QStringList SiteDb::siteNames()
{
    QStringList names;
    Query query(*this);
    if (!query.exec(QStringLiteral("SELECT site_name FROM tb_site;")))
        return names;
    while (query.next())
        names.append(decodedColumn(query, 0));
    return names;
}

bool SiteDb::nodeRule(const QString &siteName, const QString &nodeName, NodeRule &out)
{
    Query query(*this, QStringLiteral("SELECT %1 FROM tb_node WHERE node_name = ? AND site_name = ?;")
                           .arg(QLatin1String(CatalogSchema::ruleColumns)));
    // Keys are bound as BLOBs: only BLOB-stored keys match.
    query.bind(CatalogCodec::encodeText(nodeName));
    query.bind(CatalogCodec::encodeText(siteName));
    if (!query.exec() || !query.next())
        return false;
    out.node_url = decodedColumn(query, 0);
    for (int column = 1; column <= CatalogSchema::markerCount; ++column)
        out.rules.append(decodedColumn(query, column));
    return true;
}

bool SiteDb::openUrlParts(OpenUrlTable &out)
{
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
    out.clear();
    Query query(*this);
    if (!query.exec(QStringLiteral("SELECT site_name, site_url, site_register_url, site_favicon, site_logo, "
                                   "site_info FROM tb_site;")))
        return false;
    Query nodes(*this, QStringLiteral("SELECT node_name FROM tb_node WHERE site_name = ? ORDER BY rowid ASC;"));
    while (query.next()) {
        SiteData site;
        site.site_name = decodedColumn(query, 0);
        site.site_url = decodedColumn(query, 1);
        site.site_register_url = decodedColumn(query, 2);
        QPixmap favicon;
        favicon.loadFromData(query.value(3).toByteArray());
        site.favicon.addPixmap(favicon, QIcon::Normal, QIcon::Off);
        site.logo.loadFromData(query.value(4).toByteArray());
        site.site_info = decodedColumn(query, 5);

        // The stored key bytes, still encoded, as a BLOB.
        nodes.reset();
        nodes.bind(query.value(0).toByteArray());
        if (!nodes.exec())
            continue; // a site whose nodes cannot be read is left out
        while (nodes.next())
            site.node_names.append(decodedColumn(nodes, 0));
        out.append(site);
    }
    return true;
}
