#include "scan/nodehealth.h"

#include <QCryptographicHash>
#include <QUrl>

namespace {

constexpr qint64 longestHoldMs = 60 * 60 * 1000;
// A healthy node's last good time is stored when it is this much newer: not on every pass.
constexpr qint64 lastGoodStepSeconds = 10 * 60;

QString key(const QString &site, const QString &node)
{
    return site + QLatin1Char('\n') + node;
}

QByteArray pageDigest(const AttentionData &node)
{
    const QStringList page = QStringList{node.node_url, QString::number(int(node.kind))} + node.rules;
    return QCryptographicHash::hash(page.join(QChar(0)).toUtf8(), QCryptographicHash::Sha1).toHex();
}

} // namespace

NodeHealth::NodeHealth(const QList<AttentionData> &nodes, const QList<NodeStatus> &stored, const Limits &limits)
    : m_limits(limits)
{
    QHash<QString, NodeStatus> byName;
    for (const NodeStatus &status : stored)
        byName.insert(key(status.site_name, status.note_name), status);
    for (const AttentionData &node : nodes) {
        Node entry;
        entry.status = byName.value(key(node.site_name, node.note_name));
        entry.status.site_name = node.site_name;
        entry.status.note_name = node.note_name;
        entry.host = QUrl(node.node_url).host().toLower();
        entry.page = pageDigest(node);
        entry.troubledBefore = inTrouble(entry.status);
        entry.stored = entry.status;
        // Given for another address or other markers: the page they describe is not this one.
        if (entry.status.validators.givenFor != entry.page)
            entry.status.validators = {};
        m_nodes.append(entry);
    }
}

bool NodeHealth::takesPart(int node, qint64 nowMs)
{
    Node &entry = m_nodes[node];
    if (entry.unavailable)
        return false;
    const auto held = m_heldUntil.constFind(entry.host);
    if (held != m_heldUntil.constEnd() && *held > nowMs)
        return false;
    if (entry.skip > 0) {
        --entry.skip;
        return false;
    }
    return true;
}

void NodeHealth::failed(int node, const QString &error, qint64 nowMs)
{
    Node &entry = m_nodes[node];
    ++entry.status.failures;
    entry.status.lastError = error;
    entry.status.validators = {};
    // Every failure past the threshold doubles the passes between tries, up to the longest back-off.
    const int over = entry.status.failures - m_limits.thresholds.failingAfter;
    if (over >= 0) {
        const qint64 longest = qMax<qint64>(1, m_limits.longestBackOffMs / qMax<qint64>(1, m_limits.intervalMs));
        entry.skip = int(qMin<qint64>(qint64(1) << qMin(over + 1, 30), longest)) - 1;
    }
    noteChange(entry, nowMs);
}

void NodeHealth::dropValidators(int node)
{
    m_nodes[node].status.validators = {};
}

void NodeHealth::dropValidators()
{
    for (Node &entry : m_nodes)
        entry.status.validators = {};
}

void NodeHealth::answered(int node, int rows, qint64 nowMs, const PageValidators &validators)
{
    Node &entry = m_nodes[node];
    entry.status.failures = 0;
    entry.skip = 0;
    entry.status.validators = {};
    if (rows > 0) {
        entry.status.emptyPasses = 0;
        entry.status.lastGood = nowMs / 1000;
        entry.status.lastError.clear();
        if (!validators.isEmpty()) {
            entry.status.validators = validators;
            entry.status.validators.givenFor = entry.page;
        }
    } else {
        ++entry.status.emptyPasses;
    }
    noteChange(entry, nowMs);
}

void NodeHealth::unchanged(int node, qint64 nowMs)
{
    const PageValidators validators = m_nodes[node].status.validators;
    answered(node, 1, nowMs, validators);
}

void NodeHealth::unavailable(int node, const QString &reason, qint64 nowMs)
{
    m_nodes[node].unavailable = true;
    markFailing(m_nodes[node], reason, nowMs);
}

bool NodeHealth::holdHost(const QString &host, qint64 untilMs, qint64 nowMs, const QString &reason)
{
    const QString name = host.toLower();
    const qint64 until = qMin(untilMs, nowMs + longestHoldMs);
    m_heldUntil.insert(name, until);
    // Otherwise the user would hear of it only after the hold and three more passes: hours after it began.
    if (until - nowMs <= m_limits.thresholds.failingAfter * m_limits.intervalMs)
        return false;
    for (Node &entry : m_nodes) {
        if (entry.host == name)
            markFailing(entry, reason, nowMs);
    }
    return true;
}

void NodeHealth::markFailing(Node &entry, const QString &reason, qint64 nowMs)
{
    entry.status.failures = qMax(entry.status.failures, m_limits.thresholds.failingAfter);
    entry.status.lastError = reason;
    noteChange(entry, nowMs);
}

void NodeHealth::noteChange(Node &entry, qint64 nowMs)
{
    const bool bad = entry.status.failures > 0 || entry.status.emptyPasses > 0;
    if (!bad)
        entry.status.since = 0;
    else if (entry.status.since == 0)
        entry.status.since = nowMs / 1000;
    entry.changed = true;
}

bool NodeHealth::inTrouble(const NodeStatus &status) const
{
    return status.health(m_limits.thresholds) != NodeStatus::Health::Ok;
}

QList<NodeStatus> NodeHealth::takeChanged()
{
    QList<NodeStatus> changed;
    for (Node &entry : m_nodes) {
        const NodeStatus &now = entry.status, &stored = entry.stored;
        const bool seen = now.failures != stored.failures || now.emptyPasses != stored.emptyPasses ||
                          now.lastError != stored.lastError || now.since != stored.since ||
                          qAbs(now.lastGood - stored.lastGood) >= lastGoodStepSeconds ||
                          now.validators.isEmpty() != stored.validators.isEmpty() ||
                          now.validators.givenFor != stored.validators.givenFor;
        if (entry.changed && seen) {
            changed.append(now);
            entry.stored = now;
        }
        entry.changed = false;
    }
    return changed;
}

QList<NodeStatus> NodeHealth::takeNewTrouble()
{
    QList<NodeStatus> fresh;
    for (Node &entry : m_nodes) {
        const bool now = inTrouble(entry.status);
        if (now && !entry.troubledBefore)
            fresh.append(entry.status);
        entry.troubledBefore = now;
    }
    return fresh;
}

QList<NodeStatus> NodeHealth::troubled() const
{
    QList<NodeStatus> list;
    for (const Node &entry : m_nodes) {
        if (inTrouble(entry.status))
            list.append(entry.status);
    }
    return list;
}
