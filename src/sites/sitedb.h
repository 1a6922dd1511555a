#pragma once

#include "core/sitedata.h"
#include "store/database.h"

#include <QList>
#include <QStringList>

// A read-only connection to the site catalogue sdb.dll.
class SiteDb : public Database
{
public:
    // Opens sdb.dll in the program directory.
    SiteDb();
    // Opens the catalogue at path.
    explicit SiteDb(const QString &path);

    // Every site's name in table order; empty when the catalogue cannot be read.
    QStringList siteNames();
    // Fills out (passed empty) with the first node of that name on that site; false when there is none.
    bool nodeRule(const QString &siteName, const QString &nodeName, NodeRule &out);
    // Replaces out with every site's open-address parts; false only when the catalogue cannot be read.
    bool openUrlParts(OpenUrlTable &out);
    // Replaces out with every site and its nodes; false only when the catalogue cannot be read.
    bool sites(QList<SiteData> &out);

private:
    void openReadOnly(const QString &path);
};
