#include "enginethread.h"

#include <QEventLoop>

EngineThread::EngineThread(QObject *parent) : QThread(parent) {}

EngineThread::~EngineThread()
{
    quit();
    wait();
}

QObject *EngineThread::engineObject()
{
    if (QObject *current = worker.load())
        return current;
    QEventLoop loop(this);
    const auto connection = connect(this, &EngineThread::initDone, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    // Checked again after connecting: initDone() may have been emitted in between.
    if (!worker.load() && isRunning())
        loop.exec();
    disconnect(connection);
    return worker.load();
}
