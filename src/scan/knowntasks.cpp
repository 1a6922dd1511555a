#include "scan/knowntasks.h"

#include "scan/pages.h"
#include "store/userdb.h"

#include <QRandomGenerator>

namespace {

// The node's part of a task's identity; the lengths keep "ab" + "c" apart from "a" + "bc".
QString nodeKey(const AttentionData &node)
{
    QString key;
    for (const QString *field : {&node.site_name, &node.note_name, &node.node_url})
        key.append(QString::number(field->size())).append(QLatin1Char(':')).append(*field);
    return key;
}

} // namespace

// Answers the cut from one node's remembered rows and collects the digests of the rows that became tasks.
class NodeRows : public RowMemory
{
public:
    NodeRows(const KnownTasks &tasks, QHash<KnownTasks::RowDigest, quint32> &known, quint32 pass)
        : m_tasks(tasks), m_known(known), m_pass(pass)
    {
    }

    bool known(const QByteArray &rowKey) override
    {
        const auto entry = m_known.find(m_tasks.digest(rowKey));
        if (entry == m_known.end())
            return false;
        entry.value() = m_pass;
        return true;
    }
    void made(const QByteArray &rowKey) override { keys.append(m_tasks.digest(rowKey)); }

    QList<KnownTasks::RowDigest> keys; // one a task the cut appended, in order

private:
    const KnownTasks &m_tasks;
    QHash<KnownTasks::RowDigest, quint32> &m_known;
    quint32 m_pass;
};

KnownTasks::KnownTasks(UserDb &db)
    : m_db(db), m_seeds{size_t(QRandomGenerator::system()->generate64()),
                        size_t(QRandomGenerator::system()->generate64())}
{
}

KnownTasks::RowDigest KnownTasks::digest(const QByteArray &rowKey) const
{
    return {quint64(qHashBits(rowKey.constData(), size_t(rowKey.size()), m_seeds[0])),
            quint64(qHashBits(rowKey.constData(), size_t(rowKey.size()), m_seeds[1]))};
}

void KnownTasks::beginPass()
{
    ++m_pass;
    m_new = {};
    for (auto node = m_known.begin(); node != m_known.end();) {
        node->removeIf([this](const QHash<RowDigest, quint32>::iterator &row) { return row.value() + 1 < m_pass; });
        node = node->isEmpty() ? m_known.erase(node) : std::next(node);
    }
}

int KnownTasks::newTasks(const QByteArray &body, const AttentionData &node, QList<TaskData> &tasks)
{
    const qint64 version = m_db.dataVersion();
    if (version < 0 || version != m_version) {
        m_known.clear();
        m_version = version;
    }

    const QString nodeId = nodeKey(node);
    QHash<RowDigest, quint32> &known = m_known[nodeId];
    NodeRows rows(*this, known, m_pass);
    QList<TaskData> found;
    const int titled = parseBody(body, node, found, &rows);
    const QList<bool> inHistory = m_db.hasTasks(found);
    for (qsizetype i = 0; i < found.size(); ++i) {
        if (!inHistory[i]) {
            tasks.append(std::move(found[i]));
            m_new.append({nodeId, rows.keys[i]});
        } else if (m_version >= 0) {
            known.insert(rows.keys[i], m_pass);
        }
    }
    if (known.isEmpty())
        m_known.remove(nodeId);
    return titled;
}

void KnownTasks::unchanged(const AttentionData &node)
{
    const auto rows = m_known.find(nodeKey(node));
    if (rows != m_known.end()) {
        for (quint32 &pass : *rows)
            pass = m_pass;
    }
}

void KnownTasks::stored()
{
    if (m_version >= 0) {
        for (const auto &[node, row] : std::as_const(m_new))
            m_known[node].insert(row, m_pass);
    }
    m_new = {}; // not cleared: a first pass of thousands of tasks would keep their room
}
