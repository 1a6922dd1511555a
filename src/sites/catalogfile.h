#pragma once

#include "core/attentiondata.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A catalogue in the authors' terms: sites with their texts and images, nodes with their page and markers.
struct CatalogNode
{
    QString name;
    QString url;
    QStringList markers; // ten: table, row, url, title, price; each begin then end (all empty for a feed)
    NodeKind kind = NodeKind::Page;
};

struct CatalogSite
{
    QString name;
    QString url;
    QString register_url;
    QString info;
    QString open_url_prefix;
    QString open_url_suffix;
    QByteArray favicon; // raw image file bytes, empty when none
    QByteArray logo;
    QList<CatalogNode> nodes;
};

// Reading, writing and checking catalogues for kestrow-catalog. Every function reports a failure as false plus a
// message for the author in *error.
namespace CatalogFile {

// Reads a file an author names (a site file, an image, a saved page) into out: only a regular file of at most maxBytes,
// without blocking; false with the reason in *error ("<path> is larger than … bytes").
bool readSmallFile(const QString &path, qint64 maxBytes, QByteArray &out, QString *error);
// The JSON form; image paths are relative to baseDir. A node is a marker page unless its "kind" is "feed" (which has
// no markers). Refuses malformed JSON, missing or mistyped fields, an empty row end marker, duplicate site names or
// node names within a site, and images that cannot be read.
bool parseJson(const QByteArray &json, const QString &baseDir, QList<CatalogSite> &sites, QString *error);
// The JSON form of sites, images embedded as base64 ("favicon_base64", "logo_base64").
QByteArray toJson(const QList<CatalogSite> &sites);

// Writes sites as an sdb.dll at path, replacing it only when the whole catalogue was written.
bool write(const QList<CatalogSite> &sites, const QString &path, QString *error);
// Reads an sdb.dll the way the program decodes it. Nodes whose site is not in tb_site are left out.
bool read(const QString &path, QList<CatalogSite> &sites, QString *error);
// What the program would silently skip or never find in the catalogue at path, one line each.
bool check(const QString &path, QStringList &problems, QString *error);

} // namespace CatalogFile
