#pragma once

#include "core/attentiondata.h"
#include "core/taskdata.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

class RowMemory;

// Turning a fetched RSS (0.9x, 1.0, 2.0) or Atom (0.3, 1.0) feed into tasks: an item a task.

// Appends, in feed order, the task of every item that has a title (at most maxRowsPerPage items are read) and
// returns how many had one. With memory, the items it knows are left out (still counted). A body that is no XML, or
// that breaks off, gives the items read before the fault.
int parseFeed(const QByteArray &body, const AttentionData &node, QList<TaskData> &taskList,
              RowMemory *memory = nullptr);
// For catalogue authors: why body gives no task (one line, empty when it gives some).
QStringList diagnoseFeed(const QByteArray &body);
// Whether an answer is a feed rather than a page: by its content type, else by how it begins.
bool looksLikeFeed(const QByteArray &contentType, const QByteArray &body);
// The address of the RSS or Atom feed a page announces (<link rel="alternate" type="application/rss+xml" …>),
// resolved against pageUrl; empty when it announces none.
QString announcedFeed(const QString &page, const QString &pageUrl);
// The first amount with a currency mark in text ("¥1,500", "$500", "300元"), spaces left out; empty when none.
QString priceIn(const QString &text);
