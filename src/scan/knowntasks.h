#pragma once

#include "core/taskdata.h"

#include <QHash>
#include <QList>

class UserDb;

// Which of the tasks on the followed pages the history holds, remembered from pass to pass so that a page without
// news costs no lookup in the database. Whenever another connection has committed (the purge, another window of the
// program) it forgets everything, so its answer is always the database's own.
class KnownTasks
{
public:
    explicit KnownTasks(UserDb &db);

    // Starts a pass: tasks seen in neither this pass nor the last are forgotten, which bounds the memory to what the
    // followed pages show.
    void beginPass();
    // Removes from tasks, keeping their order, those the history holds.
    void dropKnown(QList<TaskData> &tasks);
    // tasks have just been stored through db's own connection, which the database's change count leaves out.
    void stored(const QList<TaskData> &tasks);

private:
    UserDb &m_db;
    // Each task's identity as one string (its five fields, each after its length), to the pass that last saw it: one
    // block of memory to hash and compare instead of five.
    QHash<QString, quint32> m_known;
    quint32 m_pass = 0;
    qint64 m_version = -1; // the database's change count the entries hold for; -1: unknown, remember nothing
};
