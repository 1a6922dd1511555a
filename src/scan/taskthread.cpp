#include "scan/taskthread.h"

#include "scan/scantask.h"

TaskThread::TaskThread(QObject *parent, const QString &catalogPath) : EngineThread(parent), catalogPath(catalogPath) {}

ScanTask *TaskThread::task()
{
    return static_cast<ScanTask *>(engineObject());
}

void TaskThread::run()
{
    auto *engine = new ScanTask(Catalog(catalogPath));
    connect(engine, &ScanTask::newTask, this, &TaskThread::newTask, Qt::DirectConnection);
    connect(engine, &ScanTask::nodeHealth, this, &TaskThread::nodeHealth, Qt::DirectConnection);
    connect(engine, &ScanTask::nodeTroubleBegan, this, &TaskThread::nodeTroubleBegan, Qt::DirectConnection);
    connect(engine, &ScanTask::scanProblem, this, &TaskThread::scanProblem, Qt::DirectConnection);
    setEngine(engine);
    // A run that cannot scan sends no request at all: it ends as soon as whoever waits in task() is released.
    const bool ready = engine->init();
    if (!ready)
        quit();
    emit initDone();
    if (ready)
        engine->scan();
    exec();
    setEngine(nullptr);
    delete engine;
}
