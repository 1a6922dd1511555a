#include "scan/knowntasks.h"

#include "store/userdb.h"

namespace {

// Exactly the fields of TaskData::isSameTask.
KnownTasks::Key keyOf(const TaskData &task)
{
    return {task.task_url, task.site_name, task.note_name, task.task_name, task.task_price};
}

} // namespace

bool KnownTasks::Key::operator==(const Key &other) const
{
    return url == other.url && site == other.site && node == other.node && title == other.title && price == other.price;
}

size_t qHash(const KnownTasks::Key &key, size_t seed)
{
    return qHashMulti(seed, key.url, key.title, key.price, key.node, key.site);
}

KnownTasks::KnownTasks(UserDb &db) : m_db(db) {}

void KnownTasks::beginPass()
{
    ++m_pass;
    m_known.removeIf([this](const QHash<Key, quint32>::iterator &entry) { return entry.value() + 1 < m_pass; });
}

void KnownTasks::dropKnown(QList<TaskData> &tasks)
{
    if (tasks.isEmpty())
        return;
    const qint64 version = m_db.dataVersion();
    if (version < 0 || version != m_version) {
        m_known.clear();
        m_version = version;
    }

    QList<bool> known(tasks.size(), false);
    QList<TaskData> unsure;
    QList<qsizetype> unsureAt;
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        const auto entry = m_known.find(keyOf(tasks[i]));
        if (entry != m_known.end()) {
            entry.value() = m_pass;
            known[i] = true;
        } else {
            unsure.append(tasks[i]);
            unsureAt.append(i);
        }
    }
    const QList<bool> inHistory = m_db.hasTasks(unsure);
    for (qsizetype j = 0; j < unsure.size(); ++j) {
        if (!inHistory[j])
            continue;
        known[unsureAt[j]] = true;
        if (m_version >= 0)
            m_known.insert(keyOf(unsure[j]), m_pass);
    }

    qsizetype kept = 0;
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        if (!known[i])
            tasks[kept++] = std::move(tasks[i]);
    }
    tasks.resize(kept);
}

void KnownTasks::stored(const QList<TaskData> &tasks)
{
    if (m_version < 0)
        return;
    for (const TaskData &task : tasks)
        m_known.insert(keyOf(task), m_pass);
}
