#pragma once

#include <QString>
#include <QStringList>

// The user's own sites: catalogue files in JSON form (as kestrow-catalog builds them) in
// $XDG_CONFIG_HOME/kestrow/sites/, read after the program's catalogue in file-name order into a cached catalogue in
// the data folder, which is rebuilt only when one of the files changed.
namespace UserSites {

QString folder();

struct Outcome
{
    QString catalog;     // the catalogue to read: the cached one, or the program's own when there is nothing to add
    QStringList skipped; // "file: reason" for each file that was left out
};

// Brings the cached catalogue up to date with programCatalog and the user's files.
Outcome prepare(const QString &programCatalog);

// Checks a user site file; false with the reason when it would be skipped (reservedNames: sites that exist already).
bool validate(const QString &path, const QStringList &reservedNames, QStringList *siteNames, QString *error);

} // namespace UserSites
