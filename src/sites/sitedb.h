#pragma once

#include "core/attentiondata.h"
#include "core/sitedata.h"
#include "store/database.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

// A read-only connection to the site catalogue sdb.dll. The file comes from elsewhere, so every read is bounded: its
// tables must be real tables, a value longer than 1 MiB fails the statement that reads it, and a read that takes
// too many steps is stopped.
class SiteDb : public Database
{
public:
    // Opens the catalogue at path.
    explicit SiteDb(const QString &path);

    // Every site's name in table order; empty when the catalogue cannot be read.
    QStringList siteNames();
    // Fills out (passed empty) with the first node of that name on that site; false when there is none.
    bool nodeRule(const QString &siteName, const QString &nodeName, NodeRule &out);
    // The rules of the nodes named in wanted (site, node), in one read of the catalogue's keys: an entry for each node
    // found. A node the catalogue holds but whose rule cannot be read (a value over the limit) is in unreadable.
    QHash<AttentionPair, NodeRule> nodeRules(const QList<AttentionPair> &wanted, QSet<AttentionPair> &unreadable);
    // Whether that node is a marker page or a feed (a page unless the catalogue says otherwise).
    NodeKind nodeKind(const QString &siteName, const QString &nodeName);
    // Replaces out with every site's open-address parts; false only when the catalogue cannot be read.
    bool openUrlParts(OpenUrlTable &out);
    // Replaces out with every site and its nodes (a site whose nodes cannot all be read is left out); false when the
    // catalogue or its site list cannot be read to the end.
    bool sites(QList<SiteData> &out);

private:
    using NodeKey = QPair<QByteArray, QByteArray>; // site and node name as stored
    void openReadOnly(const QString &path);
    // Gives the next read its own allowance of steps.
    void beginRead();

    // The keys of the feed nodes, read once.
    const QSet<NodeKey> &feedKeys();
    NodeKind kindOf(const NodeKey &key);

    qint64 stepsLeft = 0; // in thousands of virtual machine steps
    QSet<NodeKey> m_feedKeys;
    bool m_feedKeysRead = false;
};
