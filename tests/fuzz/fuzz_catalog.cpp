// Reads fuzzed files as the site catalogue: every read ends, nothing crashes, no sanitizer report.
#include "sites/sitedb.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv); // site logos are pixmaps
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sdb.dll"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();
    SiteDb db(path);
    QList<SiteData> sites;
    db.sites(sites);
    OpenUrlTable parts;
    db.openUrlParts(parts);
    const QStringList names = db.siteNames();
    NodeRule rule;
    if (!sites.isEmpty() && !sites.first().node_names.isEmpty())
        db.nodeRule(sites.first().site_name, sites.first().node_names.first(), rule);
    return names.size() > 1000000 ? 1 : 0;
}
