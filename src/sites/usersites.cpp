#include "sites/usersites.h"

#include "core/paths.h"
#include "sites/catalogfile.h"

#include <QCoreApplication>
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

// The site files in name order, as they are read.
QFileInfoList siteFiles()
{
    return QDir(folder()).entryInfoList({QStringLiteral("*.json")}, QDir::Files | QDir::Readable, QDir::Name);
}

// Every file of the user's that reads, with its sites, in name order.
QList<std::pair<QString, QList<CatalogSite>>> readableFiles()
{
    QList<std::pair<QString, QList<CatalogSite>>> files;
    for (const QFileInfo &info : siteFiles()) {
        QList<CatalogSite> sites;
        QString ignored;
        if (parse(info.absoluteFilePath(), {}, sites, &ignored))
            files.append({info.absoluteFilePath(), sites});
    }
    return files;
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// Writes sites as the JSON file at path, replacing it only once it is whole.
bool writeFile(const QString &path, const QList<CatalogSite> &sites, QString *error)
{
    const QByteArray json = CatalogFile::toJson(sites);
    // Larger, it would be skipped when read.
    if (json.size() > maxFileBytes)
        return fail(error, QStringLiteral("with its images the file would be larger than %1 bytes").arg(maxFileBytes));
    QSaveFile out(path);
    if (!QDir().mkpath(folder()) || !out.open(QIODevice::WriteOnly) || out.write(json) < 0 || !out.commit())
        return fail(error, QStringLiteral("cannot write %1").arg(path));
    return true;
}

// A file name of the user's sites folder for a new site: its name with only letters and digits kept.
QString newFileFor(const QString &siteName)
{
    QString base;
    for (const QChar c : siteName)
        base += c.isLetterOrNumber() ? c : QLatin1Char('-');
    base = base.left(40);
    if (base.isEmpty())
        base = QStringLiteral("site");
    QString path = folder() + QLatin1Char('/') + base + QStringLiteral(".json");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder() + QLatin1Char('/') + base + QStringLiteral("-%1.json").arg(n);
    return path;
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
    Outcome outcome{programCatalog, {}, {}};
    const QFileInfoList files = siteFiles();
    const QString cache = dataFilePath(QStringLiteral("sites.dll"));
    // The cache is current when the program's catalogue and every file are as they were when it was built.
    QString stamp = fingerprint(QFileInfo(programCatalog));
    for (const QFileInfo &file : files)
        stamp += fingerprint(file);
    outcome.stamp = stamp;
    if (files.isEmpty() || cache.isEmpty())
        return outcome;

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

QStringList siteNames()
{
    QStringList names;
    for (const auto &[file, sites] : readableFiles()) {
        for (const CatalogSite &site : sites)
            names << site.name;
    }
    return names;
}

bool find(const QString &siteName, CatalogSite &site, QString *file)
{
    for (const auto &[path, sites] : readableFiles()) {
        for (const CatalogSite &candidate : sites) {
            if (candidate.name == siteName) {
                site = candidate;
                if (file)
                    *file = path;
                return true;
            }
        }
    }
    return false;
}

bool save(const CatalogSite &site, const QString &replacing, const QString &programCatalog, QString *error)
{
    QList<CatalogSite> program;
    CatalogFile::read(programCatalog, program, nullptr);
    QStringList taken;
    for (const CatalogSite &other : std::as_const(program))
        taken << other.name;
    // The file that holds the site replaced keeps its other sites.
    QString file;
    QList<CatalogSite> inFile, kept;
    CatalogSite old;
    if (!replacing.isEmpty() && find(replacing, old, &file)) {
        QString reason;
        if (!parse(file, {}, inFile, &reason))
            return fail(error, QStringLiteral("%1: %2").arg(file, reason));
        kept = inFile;
    }
    for (const auto &[path, sites] : readableFiles()) {
        if (path != file)
            kept += sites;
    }
    for (const CatalogSite &other : std::as_const(kept)) {
        if (other.name != replacing)
            taken << other.name;
    }
    // Told in the window that adds the site, in its language.
    if (taken.contains(site.name))
        return fail(error, QCoreApplication::translate("UserSites", "已有名为“%1”的站点").arg(site.name));
    if (tooLong(site))
        return fail(error, QCoreApplication::translate("UserSites", "有文字超过 %1 个字符").arg(maxTextLength));
    QList<CatalogSite> sites = inFile;
    if (!file.isEmpty()) {
        std::replace_if(
            sites.begin(), sites.end(), [&replacing](const CatalogSite &s) { return s.name == replacing; }, site);
    } else {
        sites = {site};
    }
    // What the file will hold must read back as it is, or it would be skipped when read.
    QList<CatalogSite> check;
    const QString target = file.isEmpty() ? newFileFor(site.name) : file;
    if (!CatalogFile::parseJson(CatalogFile::toJson(sites), folder(), check, nullptr) ||
        !writeFile(target, sites, nullptr))
        return fail(error, QCoreApplication::translate("UserSites", "无法写入 %1").arg(target));
    return true;
}

QString add(const QString &path, QStringList *siteNames, QString *error)
{
    QList<CatalogSite> sites;
    if (!parse(path, {}, sites, error))
        return QString();
    // Written in the JSON form with the images inside: their paths were relative to the file's old place.
    const QString target = folder() + QLatin1Char('/') + QFileInfo(path).fileName();
    if (!writeFile(target, sites, error))
        return QString();
    for (const CatalogSite &site : std::as_const(sites))
        siteNames->append(site.name);
    return target;
}

bool remove(const QString &siteName, QString *error)
{
    CatalogSite site;
    QString file, reason;
    QList<CatalogSite> sites;
    if (!find(siteName, site, &file))
        return fail(error, QStringLiteral("no site file of yours holds \"%1\"").arg(siteName));
    if (!parse(file, {}, sites, &reason))
        return fail(error, QStringLiteral("%1: %2").arg(file, reason));
    sites.removeIf([&siteName](const CatalogSite &s) { return s.name == siteName; });
    if (sites.isEmpty())
        return QFile::remove(file) || fail(error, QStringLiteral("cannot remove %1").arg(file));
    return writeFile(file, sites, error);
}

Watcher::Watcher(QObject *parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(300);
    connect(&m_settle, &QTimer::timeout, this, &Watcher::changed);
    QDir().mkpath(folder());
    m_watcher.addPath(folder());
    watchFiles();
    // A new or removed file changes the folder; a file rewritten in place changes only itself.
    const auto noted = [this] {
        watchFiles();
        m_settle.start();
    };
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, noted);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, noted);
}

void Watcher::watchFiles()
{
    QStringList paths;
    for (const QFileInfo &file : siteFiles())
        paths << file.absoluteFilePath();
    const QStringList watched = m_watcher.files();
    for (const QString &path : watched) {
        if (!paths.contains(path))
            m_watcher.removePath(path);
    }
    for (const QString &path : std::as_const(paths)) {
        if (!watched.contains(path))
            m_watcher.addPath(path);
    }
}

} // namespace UserSites
