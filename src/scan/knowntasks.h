#pragma once

#include "core/attentiondata.h"
#include "core/taskdata.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <utility>

class UserDb;

// Which of the rows on the followed pages hold tasks the history has, remembered from pass to pass so that a page
// without news costs no decoding and no lookup in the database. Whenever another connection has committed (the
// purge, another window of the program) it forgets everything, so its answer is always the database's own.
class KnownTasks
{
public:
    explicit KnownTasks(UserDb &db);

    // Starts a pass: rows seen in neither this pass nor the last are forgotten, which bounds the memory to what the
    // followed pages show.
    void beginPass();
    // Cuts body into node's tasks as parseBody does and appends, in page order, those the history does not hold.
    // Returns how many rows had a title, known or not.
    int newTasks(const QByteArray &body, const AttentionData &node, QList<TaskData> &tasks);
    // node's page came back unchanged (304): its known rows stay remembered as if seen in this pass.
    void unchanged(const AttentionData &node);
    // This pass's new tasks have just been stored through db's own connection, which the database's change count
    // leaves out.
    void stored();

private:
    // A row's key (what the page writes) as two 64-bit hashes under seeds of this run's own: a tenth of the key's
    // memory, and no page can know which rows would collide.
    struct RowDigest
    {
        quint64 first, second;
        bool operator==(const RowDigest &other) const { return first == other.first && second == other.second; }
        friend size_t qHash(const RowDigest &digest, size_t seed) { return size_t(digest.first) ^ seed; }
    };
    RowDigest digest(const QByteArray &rowKey) const;
    friend class NodeRows;

    UserDb &m_db;
    const size_t m_seeds[2];
    // Per node (its names and address), the digest of each row whose task the history holds, to the pass that last
    // saw it. A known row is never decoded.
    QHash<QString, QHash<RowDigest, quint32>> m_known;
    // The rows whose tasks this pass found new, to be remembered once they are stored.
    QList<std::pair<QString, RowDigest>> m_new;
    quint32 m_pass = 0;
    qint64 m_version = -1; // the database's change count the entries hold for; -1: unknown, remember nothing
};
