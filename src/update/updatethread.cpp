#include "update/updatethread.h"

#include "platform/platform.h"
#include "update/updatetask.h"

UpdateThread::UpdateThread(QObject *parent, const UsageReports &reports) : EngineThread(parent), reports(reports) {}

UpdateTask *UpdateThread::task()
{
    return static_cast<UpdateTask *>(engineObject());
}

void UpdateThread::run()
{
    // Housekeeping runs when nothing else wants the processor; its purge raises itself while it holds the database.
    Platform::lowerCurrentThread();
    auto *engine = new UpdateTask(reports);
    setEngine(engine);
    emit initDone();
    exec();
    setEngine(nullptr);
    delete engine;
}
