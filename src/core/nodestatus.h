#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// When a node counts as failing (failed passes in a row) and as broken (answered passes in a row without rows).
struct HealthThresholds
{
    int failingAfter = 3;
    int brokenAfter = 6;
};

// What the scan engine has learnt of one followed node over its passes; kept in the user database across starts.
struct NodeStatus
{
    enum class Health { Ok, Failing, Broken };

    QString site_name;
    QString note_name;
    int failures = 0;    // passes in a row whose fetch failed
    int emptyPasses = 0; // passes in a row that were answered but yielded no rows
    qint64 lastGood = 0; // seconds since the epoch of the last pass that yielded rows; 0: never
    qint64 since = 0;    // seconds since the epoch when the present run of failed or empty passes began
    QString lastError;

    Health health(const HealthThresholds &thresholds) const
    {
        if (failures >= thresholds.failingAfter)
            return Health::Failing;
        return emptyPasses >= thresholds.brokenAfter ? Health::Broken : Health::Ok;
    }
    // What the user reads of a failing or broken node: the reason, the last error and since when, a line each.
    QString describe(const HealthThresholds &thresholds) const;
    bool operator==(const NodeStatus &other) const
    {
        return site_name == other.site_name && note_name == other.note_name && failures == other.failures &&
               emptyPasses == other.emptyPasses && lastGood == other.lastGood && since == other.since &&
               lastError == other.lastError;
    }
};

Q_DECLARE_METATYPE(NodeStatus)

// Makes NodeStatus and QList<NodeStatus> known for queued signals; call before the first queued delivery.
void registerNodeStatusTypes();
