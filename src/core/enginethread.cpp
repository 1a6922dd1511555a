#include "core/enginethread.h"

#include <QEventLoop>

EngineThread::EngineThread(QObject *parent) : QThread(parent) {}

EngineThread::~EngineThread()
{
    stop();
}

void EngineThread::stop()
{
    stopping.store(true);
    // Blocking waits on the thread (a report exchange) look for this, so that stopping never waits on the network.
    requestInterruption();
    quit();
    wait();
    worker.load();
    stopping.store(false);
}

void EngineThread::setEngine(QObject *engine)
{
    if (!engine)
        stopping.load();
    worker = engine;
}

QObject *EngineThread::engineObject()
{
    if (QObject *current = worker.load())
        return current;
    QEventLoop loop(this);
    // A run that failed to start may have emitted initDone() before we listened; it then ends soon after, so the
    // end of the run releases the wait too.
    const auto ready = connect(this, &EngineThread::initDone, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    const auto ended = connect(this, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    // Checked again after connecting: either signal may have come in between.
    if (!worker.load() && isRunning())
        loop.exec();
    disconnect(ready);
    disconnect(ended);
    return worker.load();
}
