#include "scan/knowntasks.h"

#include "store/userdb.h"

namespace {

// Exactly the fields of TaskData::isSameTask; the lengths keep "ab" + "c" apart from "a" + "bc".
QString keyOf(const TaskData &task)
{
    const QString *fields[] = {&task.task_url, &task.site_name, &task.note_name, &task.task_name, &task.task_price};
    qsizetype size = 0;
    for (const QString *field : fields)
        size += 2 + field->size();
    QString key;
    key.reserve(size);
    for (const QString *field : fields) {
        const auto length = quint32(field->size());
        key.append(QChar(char16_t(length & 0xFFFF))).append(QChar(char16_t(length >> 16))).append(*field);
    }
    return key;
}

} // namespace

KnownTasks::KnownTasks(UserDb &db) : m_db(db) {}

void KnownTasks::beginPass()
{
    ++m_pass;
    m_known.removeIf([this](const QHash<QString, quint32>::iterator &entry) { return entry.value() + 1 < m_pass; });
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
    QStringList unsureKeys;
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        QString key = keyOf(tasks[i]);
        const auto entry = m_known.find(key);
        if (entry != m_known.end()) {
            entry.value() = m_pass;
            known[i] = true;
        } else {
            unsure.append(tasks[i]);
            unsureAt.append(i);
            unsureKeys.append(std::move(key));
        }
    }
    const QList<bool> inHistory = m_db.hasTasks(unsure);
    for (qsizetype j = 0; j < unsure.size(); ++j) {
        if (!inHistory[j])
            continue;
        known[unsureAt[j]] = true;
        if (m_version >= 0)
            m_known.insert(unsureKeys[j], m_pass);
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
