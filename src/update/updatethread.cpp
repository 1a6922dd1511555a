#include "updatethread.h"

#include "updatetask.h"

UpdateThread::UpdateThread(QObject *parent) : EngineThread(parent) {}

UpdateTask *UpdateThread::task()
{
    return static_cast<UpdateTask *>(engineObject());
}

void UpdateThread::run()
{
    auto *engine = new UpdateTask;
    setEngine(engine);
    emit initDone();
    exec();
    setEngine(nullptr);
    delete engine;
}
