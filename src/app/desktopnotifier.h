#pragma once

#include "core/taskdata.h"

#include <QHash>
#include <QList>
#include <QObject>

// Announces a batch through the desktop's notification service (org.freedesktop.Notifications on the session bus):
// one notification with the first titles and the count, whose default action opens the first task.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    explicit DesktopNotifier(QObject *parent = nullptr);

    // Sends the notification; false when no notification service runs (the caller then shows the popup).
    bool notify(const QList<TaskData> &tasks);

signals:
    // The service refused a batch notify() had sent: it must be shown another way.
    void refused(const QList<TaskData> &tasks);
    // A notification's default action was invoked: the task it stands for is to be opened.
    void openTask(const TaskData &task);

private slots:
    void onActionInvoked(uint id, const QString &action);
    void onClosed(uint id, uint reason);

private:
    QHash<uint, TaskData> shown; // notification id → the task its default action opens
    bool listening = false;
};
