#pragma once

#include "sites/catalogfile.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

// The user's own sites: catalogue files in JSON form (as kestrow-catalog builds them) in
// $XDG_CONFIG_HOME/kestrow/sites/, read after the program's catalogue in file-name order into a cached catalogue in
// the data folder, which is rebuilt only when one of the files changed.
namespace UserSites {

QString folder();

struct Outcome
{
    QString catalog;     // the catalogue to read: the cached one, or the program's own when there is nothing to add
    QStringList skipped; // "file: reason" for each file that was left out
    QString stamp;       // the program's catalogue and the user's files as read: equal stamps, equal catalogues
};

// Brings the cached catalogue up to date with programCatalog and the user's files.
Outcome prepare(const QString &programCatalog);

// Checks a user site file; false with the reason when it would be skipped (reservedNames: sites that exist already).
bool validate(const QString &path, const QStringList &reservedNames, QStringList *siteNames, QString *error);

// Adds the site file at path (images and all) among the user's sites, under its file name; the file written, or empty
// with the reason.
QString add(const QString &path, QStringList *siteNames, QString *error);

// The names of the user's sites, file by file.
QStringList siteNames();
// The user's site named siteName and the file holding it; false when no user file has it.
bool find(const QString &siteName, CatalogSite &site, QString *file = nullptr);
// Writes site among the user's sites: in place of their site named replacing, in the file that holds it (whose other
// sites stay), or else as a new file named after it. False with the reason when it would be skipped: a name the
// program's catalogue (at programCatalog) or another of the user's sites already has, or a text Kestrow refuses.
bool save(const CatalogSite &site, const QString &replacing, const QString &programCatalog, QString *error);
// Takes the user's site named siteName out of its file, removing the file when nothing else is in it.
bool remove(const QString &siteName, QString *error);

// Tells, a moment after the last of a burst of changes, that a file in the user's sites folder was added, removed or
// rewritten (by the program, kestrow-catalog add or an editor). Makes the folder so that it can be watched.
class Watcher : public QObject
{
    Q_OBJECT

public:
    explicit Watcher(QObject *parent = nullptr);

signals:
    void changed();

private:
    void watchFiles();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};

} // namespace UserSites
