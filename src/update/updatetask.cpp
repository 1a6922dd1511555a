#include "update/updatetask.h"

#include "core/clock.h"
#include "platform/platform.h"
#include "store/settings.h"
#include "store/userdb.h"

UpdateTask::UpdateTask(QObject *parent) : QObject(parent)
{
    connect(&checkTimer, &QTimer::timeout, this, &UpdateTask::onCheckNewVersion);
}

void UpdateTask::onCheckNewVersion()
{
    checkTimer.stop();
    {
        // The purge holds the user database's lock for its whole transaction and the compaction: it runs in the
        // normal scheduling class so that the idle thread does not keep the scan engine waiting.
        Platform::NormalScheduling normal;
        UserDb db;
        db.purgeTasks(setting(Key::HistoryDays).toInt());
    }
    checkTimer.start(Clock::timing().checkIntervalMs);
}

void UpdateTask::onDownloadNewVersion()
{
    emit downloadNewVersionFinished(QString());
}
