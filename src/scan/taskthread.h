#pragma once

#include "core/enginethread.h"
#include "core/nodestatus.h"
#include "core/taskdata.h"

#include <QList>

class ScanTask;

// The scan thread: each run builds a fresh ScanTask inside the thread, scans at once and then on its timer until
// the thread is asked to quit.
class TaskThread : public EngineThread
{
    Q_OBJECT

public:
    // Runs scan the nodes of the catalogue at catalogPath (by default the program's own).
    explicit TaskThread(QObject *parent = nullptr, const QString &catalogPath = QString());

    // The catalogue the next run reads; call it while no run is under way.
    void setCatalogPath(const QString &path) { catalogPath = path; }
    // The engine of the current run (see EngineThread); null when the run has already ended.
    ScanTask *task();

signals:
    // The engine's batches, forwarded: receivers connect here, never to an engine that may be gone.
    void newTask(const QList<TaskData> &tasks);
    void nodeHealth(const QList<NodeStatus> &troubled);
    void nodeTroubleBegan(const NodeStatus &status);
    void scanProblem(const QString &problem);

protected:
    void run() override;

private:
    QString catalogPath;
};
