#pragma once

#include "core/taskdata.h"

#include <QList>
#include <QString>
#include <QStringList>

// kestrow-catalog try: one node's page fetched and cut exactly as the scan engine does, without any history.
namespace TryNode {

// What trying a node came to.
struct Outcome
{
    QList<TaskData> tasks;
    QString summary;       // HTTP status, the page's size and charset
    QString note;          // a failed or redirected request (whose body is still cut)
    QStringList diagnosis; // why nothing was cut, and warnings about what was
    bool fetchFailed = false;
};

// Fetches the page of (site, node) from the catalogue at catalogPath, or reads pageFile instead when it is not
// empty, and cuts it into tasks. False with a message for the author when that cannot be done.
bool run(const QString &catalogPath, const QString &site, const QString &node, const QString &pageFile,
         Outcome &outcome, QString *error);

// Fetches url as the engine would (same request, no redirections, the same size cap and wait) into body, noting
// the status in outcome; false with a message when no whole answer came.
bool fetch(const QString &url, QByteArray &body, Outcome &outcome, QString *error);

// One task as a single line of JSON with the six text fields.
QByteArray jsonLine(const TaskData &task);

} // namespace TryNode
