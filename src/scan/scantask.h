#pragma once

#include "core/attentiondata.h"
#include "core/taskdata.h"
#include "store/userdb.h"

#include <QHash>
#include <QList>
#include <QObject>

class QNetworkReply;
class QTimer;

// The scan engine of one run, living on the scan thread: fetches every followed node's page once per pass, keeps
// the tasks the history has not seen, announces them in one batch and stores them.
class ScanTask : public QObject
{
    Q_OBJECT

public:
    explicit ScanTask(QObject *parent = nullptr);
    ~ScanTask() override;

    // Loads the followed nodes with their pages and markers from the catalogue and arms the timer; false when the
    // engine cannot scan (no user database, no catalogue, or a followed node the catalogue does not hold).
    bool init();
    // Starts the timer with the current "scan_interval".
    void restartTimer();

signals:
    void continueTimer();
    void newTask(const QList<TaskData> &tasks);

public slots:
    void scan();
    void onDownloadFinished(QNetworkReply *reply);

private slots:
    void onReadyRead();

private:
    void dropReply(QNetworkReply *reply);

    QList<AttentionData> nodes;
    QTimer *timer;
    QHash<QNetworkReply *, const AttentionData *> replies;
    QList<TaskData> task_list;
    UserDb userDb;
};
