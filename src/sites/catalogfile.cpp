#include "sites/catalogfile.h"

#include "core/webaddress.h"
#include "platform/platform.h"
#include "sites/catalogcodec.h"
#include "sites/catalogschema.h"
#include "sites/sitedb.h"
#include "store/query.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cstdio>

namespace CatalogFile {

namespace {

using namespace CatalogSchema;

// As large as an image of the program's catalogue may be.
constexpr qint64 maxImageBytes = 1024 * 1024;

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// Refuses keys the form does not know: a misspelt "prise" would otherwise just leave every price out.
template <typename Keys>
bool onlyKnownKeys(const QJsonObject &object, const Keys &keys, const QString &where, QString *error)
{
    for (const QString &key : object.keys()) {
        if (std::none_of(std::begin(keys), std::end(keys),
                         [&key](const char *known) { return key == QLatin1String(known); }))
            return fail(error, QStringLiteral("%1: unknown key \"%2\"").arg(where, key));
    }
    return true;
}

// Reads the text at key of object; absent is fine unless required, anything but a string is not.
bool readString(const QJsonObject &object, const char *key, const QString &where, bool required, QString &out,
                QString *error)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined()) {
        if (required)
            return fail(error, QStringLiteral("%1: \"%2\" is missing").arg(where, QLatin1String(key)));
        return true;
    }
    if (!value.isString())
        return fail(error, QStringLiteral("%1: \"%2\" must be a text").arg(where, QLatin1String(key)));
    out = value.toString();
    if (required && out.isEmpty())
        return fail(error, QStringLiteral("%1: \"%2\" is empty").arg(where, QLatin1String(key)));
    return true;
}

// An image given either as a path relative to the JSON file ("favicon") or embedded ("favicon_base64").
bool readImage(const QJsonObject &object, const char *key, const QString &where, const QString &baseDir,
               QByteArray &out, QString *error)
{
    QString path;
    QString embedded;
    const QString embeddedKey = QLatin1String(key) + QStringLiteral("_base64");
    if (!readString(object, key, where, false, path, error) ||
        !readString(object, embeddedKey.toLatin1().constData(), where, false, embedded, error))
        return false;
    if (!path.isEmpty()) {
        // A path may name anything: a device, a FIFO, a huge file. Only a regular file of icon size is read.
        QString problem;
        if (!readSmallFile(QDir(baseDir).filePath(path), maxImageBytes, out, &problem))
            return fail(error, QStringLiteral("%1: %2 image: %3").arg(where, QLatin1String(key), problem));
    } else if (!embedded.isEmpty()) {
        const auto decoded =
            QByteArray::fromBase64Encoding(embedded.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return fail(error, QStringLiteral("%1: \"%2\" is not base64").arg(where, embeddedKey));
        out = *decoded;
    }
    return true;
}

bool readMarkers(const QJsonObject &node, const QString &where, QStringList &markers, QString *error)
{
    const QJsonValue value = node.value(QLatin1String("markers"));
    if (!value.isObject())
        return fail(error, QStringLiteral("%1: \"markers\" is missing or not an object").arg(where));
    const QJsonObject object = value.toObject();
    if (!onlyKnownKeys(object, markerPairs, where + QStringLiteral(" markers"), error))
        return false;
    for (const char *name : markerPairs) {
        const QJsonValue pair = object.value(QLatin1String(name));
        const bool required = qstrcmp(name, "row") == 0 || qstrcmp(name, "title") == 0;
        if (pair.isUndefined() && !required) {
            markers << QString() << QString();
            continue;
        }
        const QJsonArray array = pair.toArray();
        if (!pair.isArray() || array.size() != 2 || !array[0].isString() || !array[1].isString())
            return fail(error, QStringLiteral("%1: marker \"%2\" must be a pair of texts [begin, end]")
                                   .arg(where, QLatin1String(name)));
        markers << array[0].toString() << array[1].toString();
    }
    if (markers[RowEnd].isEmpty())
        return fail(error, QStringLiteral("%1: the row end marker is empty, so no row could ever be cut").arg(where));
    return true;
}

bool readNode(const QJsonValue &value, const QString &where, CatalogNode &node, QString *error)
{
    if (!value.isObject())
        return fail(error, QStringLiteral("%1 is not an object").arg(where));
    const QJsonObject object = value.toObject();
    const char *const keys[] = {"name", "url", "kind", "markers"};
    QString kind;
    if (!onlyKnownKeys(object, keys, where, error) || !readString(object, "name", where, true, node.name, error) ||
        !readString(object, "url", where, true, node.url, error) ||
        !readString(object, "kind", where, false, kind, error))
        return false;
    const QString named = where + QStringLiteral(" (") + node.name + QLatin1Char(')');
    if (kind == QLatin1String(feedKind)) {
        if (object.contains(QLatin1String("markers")))
            return fail(error, QStringLiteral("%1: a feed has no markers").arg(named));
        node.kind = NodeKind::Feed;
        node.markers = QStringList(markerCount, QString());
        return true;
    }
    if (!kind.isEmpty() && kind != QLatin1String("page"))
        return fail(error, QStringLiteral("%1: \"kind\" must be \"page\" or \"feed\"").arg(named));
    return readMarkers(object, named, node.markers, error);
}

bool readSite(const QJsonValue &value, const QString &where, const QString &baseDir, CatalogSite &site, QString *error)
{
    if (!value.isObject())
        return fail(error, QStringLiteral("%1 is not an object").arg(where));
    const QJsonObject object = value.toObject();
    if (!readString(object, "name", where, true, site.name, error))
        return false;
    const QString named = where + QStringLiteral(" (") + site.name + QLatin1Char(')');
    const char *const keys[] = {"name",
                                "url",
                                "register_url",
                                "info",
                                "open_url_prefix",
                                "open_url_suffix",
                                "favicon",
                                "logo",
                                "favicon_base64",
                                "logo_base64",
                                "nodes"};
    if (!onlyKnownKeys(object, keys, named, error))
        return false;
    if (!readString(object, "url", named, false, site.url, error) ||
        !readString(object, "register_url", named, false, site.register_url, error) ||
        !readString(object, "info", named, false, site.info, error) ||
        !readString(object, "open_url_prefix", named, false, site.open_url_prefix, error) ||
        !readString(object, "open_url_suffix", named, false, site.open_url_suffix, error) ||
        !readImage(object, "favicon", named, baseDir, site.favicon, error) ||
        !readImage(object, "logo", named, baseDir, site.logo, error))
        return false;
    const QJsonValue nodes = object.value(QLatin1String("nodes"));
    if (!nodes.isUndefined() && !nodes.isArray())
        return fail(error, QStringLiteral("%1: \"nodes\" must be a list").arg(named));
    QSet<QString> nodeNames;
    const QJsonArray array = nodes.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
        CatalogNode node;
        if (!readNode(array[i], QStringLiteral("%1 node %2").arg(named).arg(i + 1), node, error))
            return false;
        if (nodeNames.contains(node.name))
            return fail(error, QStringLiteral("%1: two nodes are named \"%2\"").arg(named, node.name));
        nodeNames.insert(node.name);
        site.nodes.append(node);
    }
    return true;
}

int lineOf(const QByteArray &text, int offset)
{
    return int(text.left(offset).count('\n')) + 1;
}

bool hasTables(Database &db)
{
    Query query(db, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name IN ('tb_site', 'tb_node');"));
    return query.exec() && query.next() && query.value(0).toLongLong() == 2;
}

bool openCatalog(SiteDb &db, const QString &path, QString *error)
{
    if (!QFile::exists(path))
        return fail(error, QStringLiteral("%1 does not exist").arg(path));
    if (!db.isOpen() || !hasTables(db))
        return fail(error, QStringLiteral("%1 is not a catalogue (no tb_site and tb_node tables)").arg(path));
    return true;
}

// Why the stored value of an encoded text field would read as empty or garbled; empty when it reads fine.
QString textProblem(const QVariant &stored)
{
    const QByteArray raw = stored.toByteArray();
    if (raw.isEmpty())
        return QString();
    const QByteArray bytes = CatalogCodec::decodeBase64(raw);
    if (bytes.isEmpty())
        return QStringLiteral("is not valid base64 and reads as empty");
    QStringDecoder utf8(QStringDecoder::Utf8);
    [[maybe_unused]] const QString text = utf8(bytes);
    if (utf8.hasError())
        return QStringLiteral("is not UTF-8 text");
    return QString();
}

// Why a stored image would not show; empty when it loads or there is none.
QString imageProblem(const QVariant &stored)
{
    const QByteArray image = stored.toByteArray();
    if (!image.isEmpty() && QImage::fromData(image).isNull())
        return QStringLiteral("is not a loadable image");
    return QString();
}

} // namespace

bool readSmallFile(const QString &path, qint64 maxBytes, QByteArray &out, QString *error)
{
    switch (Platform::readSmallFile(path, maxBytes, out)) {
    case Platform::FileRead::Ok:
        return true;
    case Platform::FileRead::TooLarge:
        return fail(error, QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxBytes));
    case Platform::FileRead::NotAFile:
        return fail(error, QStringLiteral("%1 is not a regular file").arg(path));
    case Platform::FileRead::Unreadable:
        break;
    }
    return fail(error, QStringLiteral("%1 cannot be read").arg(path));
}

bool parseJson(const QByteArray &json, const QString &baseDir, QList<CatalogSite> &sites, QString *error)
{
    sites.clear();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(error, QStringLiteral("malformed JSON at line %1: %2")
                               .arg(lineOf(json, parseError.offset))
                               .arg(parseError.errorString()));
    const QJsonValue list = document.object().value(QLatin1String("sites"));
    if (!document.isObject() || !list.isArray())
        return fail(error, QStringLiteral("the catalogue must be an object with a \"sites\" list"));
    const char *const keys[] = {"sites"};
    if (!onlyKnownKeys(document.object(), keys, QStringLiteral("the catalogue"), error))
        return false;
    QSet<QString> siteNames;
    const QJsonArray array = list.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
        CatalogSite site;
        if (!readSite(array[i], QStringLiteral("site %1").arg(i + 1), baseDir, site, error))
            return false;
        if (siteNames.contains(site.name))
            return fail(error, QStringLiteral("two sites are named \"%1\"").arg(site.name));
        siteNames.insert(site.name);
        sites.append(site);
    }
    return true;
}

QByteArray toJson(const QList<CatalogSite> &sites)
{
    QJsonArray siteArray;
    for (const CatalogSite &site : sites) {
        QJsonObject object{{QStringLiteral("name"), site.name},
                           {QStringLiteral("url"), site.url},
                           {QStringLiteral("register_url"), site.register_url},
                           {QStringLiteral("info"), site.info},
                           {QStringLiteral("open_url_prefix"), site.open_url_prefix},
                           {QStringLiteral("open_url_suffix"), site.open_url_suffix}};
        if (!site.favicon.isEmpty())
            object.insert(QStringLiteral("favicon_base64"), QString::fromLatin1(site.favicon.toBase64()));
        if (!site.logo.isEmpty())
            object.insert(QStringLiteral("logo_base64"), QString::fromLatin1(site.logo.toBase64()));
        QJsonArray nodeArray;
        for (const CatalogNode &node : site.nodes) {
            QJsonObject object{{QStringLiteral("name"), node.name}, {QStringLiteral("url"), node.url}};
            if (node.kind == NodeKind::Feed) {
                object.insert(QStringLiteral("kind"), QLatin1String(feedKind));
            } else {
                QJsonObject markers;
                for (int i = 0; i < markerCount / 2; ++i)
                    markers.insert(QLatin1String(markerPairs[i]),
                                   QJsonArray{node.markers.value(2 * i), node.markers.value(2 * i + 1)});
                object.insert(QStringLiteral("markers"), markers);
            }
            nodeArray.append(object);
        }
        object.insert(QStringLiteral("nodes"), nodeArray);
        siteArray.append(object);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("sites"), siteArray}}).toJson(QJsonDocument::Indented);
}

bool write(const QList<CatalogSite> &sites, const QString &path, QString *error)
{
    using CatalogCodec::encodeText;
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);
    bool ok = false;
    {
        Database db;
        ok = db.open(partial, true, true) && db.execute(QStringLiteral("BEGIN TRANSACTION;")) &&
             db.execute(QLatin1String(createSiteTable)) && db.execute(QLatin1String(createNodeTable));
        // Only a catalogue with feeds has the kind table.
        const bool feeds = std::any_of(sites.cbegin(), sites.cend(), [](const CatalogSite &s) {
            return std::any_of(s.nodes.cbegin(), s.nodes.cend(),
                               [](const CatalogNode &n) { return n.kind == NodeKind::Feed; });
        });
        ok = ok && (!feeds || db.execute(QLatin1String(createNodeKindTable)));
        Query site(db, QStringLiteral("INSERT INTO tb_site VALUES(?, ?, ?, ?, ?, ?, ?, ?);"));
        Query kind(db, QStringLiteral("INSERT INTO tb_node_kind VALUES(?, ?, '%1');").arg(QLatin1String(feedKind)));
        Query node(db, QStringLiteral("INSERT INTO tb_node VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);"));
        // Keys are BLOBs (lookups bind BLOBs), other texts are base64 TEXT, images raw BLOBs.
        const auto text = [](const QString &value) { return QString::fromLatin1(encodeText(value)); };
        for (const CatalogSite &s : sites) {
            if (!ok)
                break;
            site.reset();
            for (const QVariant &value :
                 {QVariant(encodeText(s.name)), QVariant(text(s.url)), QVariant(text(s.register_url)),
                  QVariant(s.favicon), QVariant(s.logo), QVariant(text(s.info)), QVariant(text(s.open_url_prefix)),
                  QVariant(text(s.open_url_suffix))})
                site.bind(value);
            ok = site.exec();
            for (const CatalogNode &n : s.nodes) {
                node.reset();
                node.bind(encodeText(s.name));
                node.bind(encodeText(n.name));
                node.bind(text(n.url));
                for (int m = 0; m < markerCount; ++m)
                    node.bind(text(n.markers.value(m)));
                ok = ok && node.exec();
                if (n.kind == NodeKind::Feed) {
                    kind.reset();
                    kind.bind(encodeText(s.name));
                    kind.bind(encodeText(n.name));
                    ok = ok && kind.exec();
                }
            }
        }
        site.finalize();
        node.finalize();
        kind.finalize();
        ok = ok && db.execute(QStringLiteral("COMMIT TRANSACTION;"));
    }
    // Replaced in one step: a reader opening it (the running program, as its sites change) finds the old catalogue or
    // the new one, never none.
    ok = ok && std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        QFile::remove(partial);
        return fail(error, QStringLiteral("cannot write %1").arg(path));
    }
    return true;
}

bool read(const QString &path, QList<CatalogSite> &sites, QString *error)
{
    using CatalogCodec::decodeText;
    sites.clear();
    SiteDb db(path);
    if (!openCatalog(db, path, error))
        return false;
    Query site(db, QStringLiteral("SELECT %1 FROM tb_site ORDER BY rowid;").arg(QLatin1String(siteColumnList)));
    Query node(db, QStringLiteral("SELECT node_name, %1 FROM tb_node WHERE site_name = ? ORDER BY rowid;")
                       .arg(QLatin1String(ruleColumns)));
    if (!site.exec())
        return fail(error, QStringLiteral("%1: tb_site cannot be read").arg(path));
    const auto decoded = [](const Query &q, int column) { return decodeText(q.value(column).toByteArray()); };
    while (site.next()) {
        CatalogSite s{decoded(site, SiteName),
                      decoded(site, SiteUrl),
                      decoded(site, SiteRegisterUrl),
                      decoded(site, SiteInfo),
                      decoded(site, OpenUrlPrefix),
                      decoded(site, OpenUrlSuffix),
                      site.value(SiteFavicon).toByteArray(),
                      site.value(SiteLogo).toByteArray(),
                      {}};
        node.reset();
        node.bind(site.value(SiteName).toByteArray());
        if (!node.exec())
            return fail(error, QStringLiteral("%1: tb_node cannot be read").arg(path));
        while (node.next()) {
            CatalogNode n{decoded(node, 0), decoded(node, 1), {}};
            for (int column = 2; column < 2 + markerCount; ++column)
                n.markers.append(decoded(node, column));
            n.kind = db.nodeKind(s.name, n.name);
            s.nodes.append(n);
        }
        sites.append(s);
    }
    return true;
}

bool check(const QString &path, QStringList &problems, QString *error)
{
    problems.clear();
    SiteDb db(path);
    if (!openCatalog(db, path, error))
        return false;

    QSet<QByteArray> siteKeys;
    Query sites(db, QStringLiteral("SELECT rowid, %1 FROM tb_site ORDER BY rowid;").arg(QLatin1String(siteColumnList)));
    if (!sites.exec())
        return fail(error, QStringLiteral("%1: tb_site cannot be read").arg(path));
    // Column c of tb_site is value c + 1 of this query.
    const auto column = [&sites](int c) { return sites.value(c + 1); };
    while (sites.next()) {
        const QByteArray key = column(SiteName).toByteArray();
        const QString name = CatalogCodec::decodeText(key);
        const QString where = QStringLiteral("tb_site row %1 (%2)").arg(sites.value(0).toLongLong()).arg(name);
        if (name.isEmpty())
            problems << where + QStringLiteral(": the site has no name");
        else if (siteKeys.contains(key))
            problems << where + QStringLiteral(": a second site of this name; only the last one's open-address "
                                               "parts are used");
        siteKeys.insert(key);
        for (int c = SiteName; c <= OpenUrlSuffix; ++c) {
            const bool image = c == SiteFavicon || c == SiteLogo;
            const QString problem = image ? imageProblem(column(c)) : textProblem(column(c));
            if (!problem.isEmpty())
                problems << QStringLiteral("%1: %2 %3").arg(where, QLatin1String(siteColumns[c]), problem);
        }
    }

    QSet<QPair<QByteArray, QByteArray>> nodeKeys;
    Query nodes(db, QStringLiteral("SELECT rowid, typeof(site_name), typeof(node_name), site_name, node_name, %1 FROM "
                                   "tb_node ORDER BY rowid;")
                        .arg(QLatin1String(ruleColumns)));
    if (!nodes.exec())
        return fail(error, QStringLiteral("%1: tb_node cannot be read").arg(path));
    while (nodes.next()) {
        const QByteArray siteKey = nodes.value(3).toByteArray();
        const QByteArray nodeKey = nodes.value(4).toByteArray();
        const QString where = QStringLiteral("tb_node row %1 (%2 / %3)")
                                  .arg(nodes.value(0).toLongLong())
                                  .arg(CatalogCodec::decodeText(siteKey), CatalogCodec::decodeText(nodeKey));
        for (int column : {1, 2}) {
            if (nodes.value(column).toString() != QStringLiteral("blob"))
                problems << QStringLiteral("%1: %2 is stored as %3, not as a BLOB, so lookups never find the node")
                                .arg(where, column == 1 ? QStringLiteral("site_name") : QStringLiteral("node_name"),
                                     nodes.value(column).toString().toUpper());
        }
        if (!siteKeys.contains(siteKey))
            problems << where + QStringLiteral(": no site in tb_site has this site_name");
        if (nodeKeys.contains({siteKey, nodeKey}))
            problems << where + QStringLiteral(": a second node of this name on the site; only the first is used");
        nodeKeys.insert({siteKey, nodeKey});
        for (int i = 0; i < 3 + markerCount; ++i) {
            const QString problem = textProblem(nodes.value(i + 3));
            const QLatin1String name(i < 3 ? nodeKeyColumns[i] : markerColumns[i - 3]);
            if (!problem.isEmpty())
                problems << QStringLiteral("%1: %2 %3").arg(where, name, problem);
        }
        if (!isWebAddress(CatalogCodec::decodeText(nodes.value(5).toByteArray())))
            problems << where + QStringLiteral(": node_url is not an http or https address, so it is never fetched");
        const bool feed =
            db.nodeKind(CatalogCodec::decodeText(siteKey), CatalogCodec::decodeText(nodeKey)) == NodeKind::Feed;
        if (!feed && CatalogCodec::decodeText(nodes.value(6 + RowEnd).toByteArray()).isEmpty())
            problems << where + QStringLiteral(": row_end is empty, so the node never yields a task");
    }
    return true;
}

} // namespace CatalogFile
