#pragma once

#include "core/sitedata.h"
#include "core/taskdata.h"

#include <QString>

// The site catalogue the program runs on: the program's sdb.dll, or the cached catalogue that merges the user's own
// sites into it. The program makes one at start and hands it to the engines and windows that read the catalogue.
class Catalog
{
public:
    // The catalogue at path; by default sdb.dll beside the program.
    explicit Catalog(const QString &path = QString());

    const QString &path() const { return m_path; }

    // The address a task opens in the browser: the site's prefix, the task's address (or its node page when it has
    // none) and the site's suffix. The parts are read from the catalogue once, when first asked for (again while
    // it has none). GUI thread only.
    QString taskOpenUrl(const TaskData &task) const;

private:
    QString m_path;
    mutable OpenUrlTable m_openUrlParts;
};
