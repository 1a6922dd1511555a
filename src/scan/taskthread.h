#pragma once

#include "taskdata.h"

#include <QList>
#include <QThread>

#include <atomic>

class ScanTask;

// The scan thread: each run builds a fresh ScanTask inside the thread, scans at once and then on its timer until
// the thread is asked to quit.
class TaskThread : public QThread
{
    Q_OBJECT

public:
    explicit TaskThread(QObject *parent = nullptr);
    ~TaskThread() override;

    // The engine of the current run, waiting (without blocking the GUI) until the run has made it; null when the
    // run has already ended.
    ScanTask *task();

signals:
    // Emitted once per run, when the engine exists and its initialisation has been tried.
    void initDone();
    // The engine's batches, forwarded: receivers connect here, never to an engine that may be gone.
    void newTask(const QList<TaskData> &tasks);

protected:
    void run() override;

private:
    std::atomic<ScanTask *> worker{nullptr};
};
