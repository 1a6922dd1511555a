#include "sites/usersites.h"

#include "core/paths.h"
#include "sites/catalogfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace UserSites {

namespace {

// Far beyond any real site file, marker or text; a file over them is refused rather than read into memory.
constexpr qint64 maxFileBytes = 4 * 1024 * 1024;
constexpr qsizetype maxTextLength = 64 * 1024;

QString fingerprint(const QFileInfo &file)
{
    return QStringLiteral("%1 %2 %3\n")
        .arg(file.fileName())
        .arg(file.size())
        .arg(file.lastModified().toMSecsSinceEpoch());
}

bool tooLong(const CatalogSite &site)
{
    QStringList texts{site.name, site.url, site.register_url, site.info, site.open_url_prefix, site.open_url_suffix};
    for (const CatalogNode &node : site.nodes)
        texts << node.name << node.url << node.markers;
    for (const QString &text : std::as_const(texts)) {
        if (text.size() > maxTextLength)
            return true;
    }
    return false;
}

bool parse(const QString &path, const QStringList &reservedNames, QList<CatalogSite> &sites, QString *error)
{
    QByteArray json;
    if (!CatalogFile::readSmallFile(path, maxFileBytes, json, error))
        return false;
    if (!CatalogFile::parseJson(json, QFileInfo(path).absolutePath(), sites, error))
        return false;
    for (const CatalogSite &site : std::as_const(sites)) {
        if (reservedNames.contains(site.name)) {
            *error = QStringLiteral("a site named \"%1\" exists already").arg(site.name);
            return false;
        }
        if (tooLong(site)) {
            *error =
                QStringLiteral("site \"%1\" has a text longer than %2 characters").arg(site.name).arg(maxTextLength);
            return false;
        }
    }
    return true;
}

} // namespace

QString folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/kestrow/sites");
}

bool validate(const QString &path, const QStringList &reservedNames, QStringList *siteNames, QString *error)
{
    QList<CatalogSite> sites;
    QString reason;
    if (!parse(path, reservedNames, sites, &reason)) {
        if (error)
            *error = reason;
        return false;
    }
    if (siteNames) {
        for (const CatalogSite &site : std::as_const(sites))
            siteNames->append(site.name);
    }
    return true;
}

Outcome prepare(const QString &programCatalog)
{
    Outcome outcome{programCatalog, {}};
    const QFileInfoList files =
        QDir(folder()).entryInfoList({QStringLiteral("*.json")}, QDir::Files | QDir::Readable, QDir::Name);
    const QString cache = dataFilePath(QStringLiteral("sites.dll"));
    if (files.isEmpty() || cache.isEmpty())
        return outcome;

    // The cache is current when the program's catalogue and every file are as they were when it was built.
    QString stamp = fingerprint(QFileInfo(programCatalog));
    for (const QFileInfo &file : files)
        stamp += fingerprint(file);
    const QString stampPath = cache + QStringLiteral(".stamp");
    QFile stampFile(stampPath);
    if (QFileInfo::exists(cache) && stampFile.open(QIODevice::ReadOnly)) {
        const QJsonObject stored = QJsonDocument::fromJson(stampFile.read(maxFileBytes)).object();
        stampFile.close();
        if (stored.value(QStringLiteral("stamp")).toString() == stamp) {
            for (const QJsonValue &line : stored.value(QStringLiteral("skipped")).toArray())
                outcome.skipped << line.toString();
            outcome.catalog = cache;
            return outcome;
        }
    }

    QList<CatalogSite> all;
    QString error;
    CatalogFile::read(programCatalog, all, &error); // without one, the user's sites alone
    QStringList names;
    for (const CatalogSite &site : std::as_const(all))
        names << site.name;
    const qsizetype programSites = all.size();
    for (const QFileInfo &file : files) {
        QList<CatalogSite> sites;
        if (!parse(file.absoluteFilePath(), names, sites, &error)) {
            outcome.skipped << file.fileName() + QStringLiteral(": ") + error;
            continue;
        }
        for (const CatalogSite &site : std::as_const(sites))
            names << site.name;
        all += sites;
    }
    if (all.size() == programSites || !CatalogFile::write(all, cache, &error)) {
        QFile::remove(cache);
        return outcome;
    }
    QSaveFile out(stampPath);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(QJsonDocument(QJsonObject{{QStringLiteral("stamp"), stamp},
                                            {QStringLiteral("skipped"), QJsonArray::fromStringList(outcome.skipped)}})
                      .toJson());
        out.commit();
    }
    outcome.catalog = cache;
    return outcome;
}

} // namespace UserSites
