#pragma once

#include "core/taskdata.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Finding a node's ten markers from one task of its page as the user sees it in the browser: the markers that cut
// every task of the list holding the example, with addresses (and prices, given one), and nothing else.
namespace MarkerInference {

struct Example
{
    QString title; // as the browser shows it: entities decoded, white space as it falls
    QString price; // optional
};

struct Result
{
    bool found = false;
    QStringList markers;   // the ten, in catalogue order
    QList<TaskData> tasks; // what they cut from the page
    QString problem;       // why nothing was found, for the user
};

// Searches the page body (fetched from pageUrl) within about budgetMs of work.
Result infer(const QByteArray &body, const QString &pageUrl, const Example &example, int budgetMs = 4000);

// The text of the page's <title>, cut at its first separator ("任务大厅 - 某站" gives "任务大厅"); empty when none.
QString pageTitle(const QString &page);

} // namespace MarkerInference
