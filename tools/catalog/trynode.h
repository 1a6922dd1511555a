#pragma once

#include "core/taskdata.h"

#include <QList>
#include <QString>

// kestrow-catalog try: one node's page fetched and cut exactly as the scan engine does, without any history.
namespace TryNode {

// Fetches the page of (site, node) from the catalogue at catalogPath, or reads pageFile instead when it is not
// empty, and cuts it into tasks. *note tells of a failed or redirected request (whose body is still cut). False with
// a message for the author when that cannot be done.
bool run(const QString &catalogPath, const QString &site, const QString &node, const QString &pageFile,
         QList<TaskData> &tasks, QString *note, QString *error);

// One task as a single line of JSON with the six text fields.
QByteArray jsonLine(const TaskData &task);

} // namespace TryNode
