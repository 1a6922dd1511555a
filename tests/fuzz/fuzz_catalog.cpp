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
    QFile file(dir.filePath(QStringLiteral("sdb.dll")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        return 0;
    file.close();
    SiteDb db(file.fileName());
    QList<SiteData> sites;
    OpenUrlTable parts;
    NodeRule rule;
    db.openUrlParts(parts), db.siteNames();
    if (db.sites(sites) && !sites.isEmpty() && !sites.first().node_names.isEmpty())
        db.nodeRule(sites.first().site_name, sites.first().node_names.first(), rule);
    return 0;
}
