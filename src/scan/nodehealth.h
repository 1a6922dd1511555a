#pragma once

#include "core/attentiondata.h"
#include "core/nodestatus.h"

#include <QHash>
#include <QList>

// The health of the followed nodes from pass to pass: what each pass's fetch came to, which nodes are backed off
// because they keep failing, and which hosts asked (429/503 with Retry-After) to be left alone for a while.
class NodeHealth
{
public:
    struct Limits
    {
        HealthThresholds thresholds;
        qint64 intervalMs = 180000; // time between passes, for the longest back-off
        qint64 longestBackOffMs = 30 * 60 * 1000;
    };

    // Starts from the stored statuses of the followed nodes (nodes without one start healthy).
    NodeHealth(const QList<AttentionData> &nodes, const QList<NodeStatus> &stored, const Limits &limits);

    // Whether node (an index into the followed nodes) is fetched in the pass starting at nowMs; a node skipped by
    // its back-off counts down one pass.
    bool takesPart(int node, qint64 nowMs);
    // A failed fetch, or an answer that is not the page: the page's validators are dropped with it.
    void failed(int node, const QString &error, qint64 nowMs);
    void dropValidators(int node);
    void dropValidators(); // every node's
    // An answer that cut to rows; its validators are kept only when it had rows (a broken page is always fetched
    // whole).
    void answered(int node, int rows, qint64 nowMs, const PageValidators &validators = {});
    // A 304 to a request that carried the node's validators: the page is as the last answer had it, rows and all.
    void unchanged(int node, qint64 nowMs);
    // node cannot be scanned in this run (the catalogue lacks it or cannot give its rule): it takes no part and counts
    // as failing, for reason.
    void unavailable(int node, const QString &reason, qint64 nowMs);
    // Leaves every node of host alone until untilMs (at most an hour from nowMs). A hold longer than the failed passes
    // that make a node failing makes the host's nodes failing at once, for reason: then it returns true.
    bool holdHost(const QString &host, qint64 untilMs, qint64 nowMs, const QString &reason);

    // After a pass: the statuses it changed in what a user sees (failures, empty passes, the reason, when trouble
    // began), whose validators came or went, or whose last good time is ten minutes newer than stored: to be stored.
    // An unchanged pass of healthy nodes gives none, so it writes nothing. Then the nodes the pass made failing or
    // broken.
    QList<NodeStatus> takeChanged();
    QList<NodeStatus> takeNewTrouble();
    // The nodes that are failing or broken now.
    QList<NodeStatus> troubled() const;
    const NodeStatus &status(int node) const { return m_nodes[node].status; }

private:
    struct Node
    {
        NodeStatus status;
        NodeStatus stored; // as the user database holds it
        QString host;
        QByteArray page; // a digest of the address and markers, which validators are given for
        int skip = 0;    // passes still to be left out
        bool changed = false;
        bool unavailable = false;
        bool troubledBefore = false;
    };
    bool inTrouble(const NodeStatus &status) const;
    void noteChange(Node &node, qint64 nowMs);
    void markFailing(Node &node, const QString &reason, qint64 nowMs);

    QList<Node> m_nodes;
    QHash<QString, qint64> m_heldUntil;
    Limits m_limits;
};
