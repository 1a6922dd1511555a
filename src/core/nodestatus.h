#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

// When a node counts as failing (failed passes in a row) and as broken (answered passes in a row without rows).
struct HealthThresholds
{
    int failingAfter = 3;
    int brokenAfter = 6;
};

// What a page's last answer gave to ask for it again only if it changed (ETag, Last-Modified), and the address and
// markers it was given for: an answer for other ones says nothing of this page.
struct PageValidators
{
    QByteArray etag;
    QByteArray lastModified;
    QByteArray givenFor; // a digest of the address and markers

    bool isEmpty() const { return etag.isEmpty() && lastModified.isEmpty(); }
    bool operator==(const PageValidators &other) const
    {
        return etag == other.etag && lastModified == other.lastModified && givenFor == other.givenFor;
    }
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
    PageValidators validators{}; // kept with the status, though a change of them alone is not stored at once

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
               lastError == other.lastError && validators == other.validators;
    }
};

Q_DECLARE_METATYPE(NodeStatus)

// Makes NodeStatus and QList<NodeStatus> known for queued signals; call before the first queued delivery.
void registerNodeStatusTypes();
