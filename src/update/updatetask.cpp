#include "updatetask.h"

#include "settings.h"
#include "userdb.h"

#include <QThread>

#include <atomic>

namespace {

std::atomic<int> checkIntervalMs{3600000};

} // namespace

UpdateTask::UpdateTask(QObject *parent) : QObject(parent)
{
    connect(&checkTimer, &QTimer::timeout, this, &UpdateTask::onCheckNewVersion);
}

void UpdateTask::setCheckInterval(int ms)
{
    checkIntervalMs = ms;
}

void UpdateTask::onCheckNewVersion()
{
    checkTimer.stop();
    // The purge holds the user database's lock for its whole transaction and the compaction: it runs at normal
    // priority so the idle thread does not keep the scan engine waiting.
    QThread *thread = QThread::currentThread();
    const QThread::Priority priority = thread->priority();
    thread->setPriority(QThread::NormalPriority);
    {
        UserDb db;
        db.purgeTasks(setting(QStringLiteral("db_vacuum_interval"), QStringLiteral("3")).toInt());
    }
    thread->setPriority(priority);
    checkTimer.start(checkIntervalMs);
}

void UpdateTask::onDownloadNewVersion()
{
    emit downloadNewVersionFinished(QString());
}
