#pragma once

#include "core/attentiondata.h"
#include "core/taskdata.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Turning a fetched task-list page into tasks: plain substring cuts by the node's ten markers.

// The page's text: UTF-8 when its first "charset=" names UTF-8 (or when it names nothing), GBK otherwise.
QString decodePage(const QByteArray &bytes);
// The encoding decodePage reads bytes in: "UTF-8" or "GBK".
QString pageCharset(const QByteArray &bytes);

// The most rows one page is cut into: a hostile page of tiny rows must not flood the history and the popup.
constexpr int maxRowsPerPage = 2000;

// Cuts page into rows with node's markers and appends, in page order, the task of every row that has a title to
// taskList. Rows after the first maxRowsPerPage are not read. Returns how many rows had a title.
int parsePage(const QString &page, const AttentionData &node, QList<TaskData> &taskList);
// A caller's memory of rows, consulted by parseBody before a row is decoded. A row's key is its title, price and
// address exactly as the page writes them: on one node, rows with equal keys always give equal tasks.
class RowMemory
{
public:
    virtual ~RowMemory() = default;
    // Whether the row with this key needs no task; it is then not decoded, but still counts as a row with a title.
    virtual bool known(const QByteArray &rowKey) = 0;
    // The row with this key has just become the last task of the list.
    virtual void made(const QByteArray &rowKey) = 0;
};

// parsePage(decodePage(body), node, taskList), with the same result, but a UTF-8 page is cut in its bytes
// and only the parts that become tasks are decoded. With memory, the rows it knows are left out. A feed node's body
// is read as a feed (see parseFeed).
int parseBody(const QByteArray &body, const AttentionData &node, QList<TaskData> &taskList,
              RowMemory *memory = nullptr);

// For catalogue authors: why node's markers cut page into no task (one line, empty when they cut some), followed by
// warnings about what the tasks they do cut will look like (addresses completed from the host root, entities left
// in titles).
QStringList diagnosePage(const QString &page, const AttentionData &node);

// diagnosePage for a page, diagnoseFeed for a feed.
QStringList diagnoseBody(const QByteArray &body, const AttentionData &node);

// url made absolute against the scheme and host of nodeUrl; a relative url always counts from the host's root.
QString completeUrl(const QString &url, const QString &nodeUrl);

// A row's title and price as its task holds them, from the text between their markers: the fixed entity
// replacements, the title trimmed, every space left out of the price.
QString cutTitle(const QString &raw);
QString cutPrice(const QString &raw);

// The entity replacements applied to titles and prices, in their fixed order.
QString replaceEntities(QString text);
