#include "taskthread.h"

#include "scantask.h"

#include <QEventLoop>

TaskThread::TaskThread(QObject *parent) : QThread(parent) {}

TaskThread::~TaskThread()
{
    quit();
    wait();
}

ScanTask *TaskThread::task()
{
    if (ScanTask *current = worker.load())
        return current;
    QEventLoop loop(this);
    const auto connection = connect(this, &TaskThread::initDone, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    // Checked again after connecting: initDone() may have been emitted in between.
    if (!worker.load() && isRunning())
        loop.exec();
    disconnect(connection);
    return worker.load();
}

void TaskThread::run()
{
    delete worker.exchange(nullptr);
    auto *engine = new ScanTask;
    connect(engine, &ScanTask::newTask, this, &TaskThread::newTask, Qt::DirectConnection);
    worker = engine;
    // A run that cannot scan sends no request at all: it ends as soon as whoever waits in task() is released.
    const bool ready = engine->init();
    if (!ready)
        quit();
    emit initDone();
    if (ready)
        engine->scan();
    exec();
    worker = nullptr;
    delete engine;
}
