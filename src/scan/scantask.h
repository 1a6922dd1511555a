#pragma once

#include "core/attentiondata.h"
#include "core/nodestatus.h"
#include "core/taskdata.h"
#include "scan/knowntasks.h"
#include "sites/catalog.h"
#include "store/userdb.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <memory>

class NodeHealth;
class QNetworkReply;
class QTimer;

// The scan engine of one run, living on the scan thread: fetches every followed node's page once per pass, keeps
// the tasks the history has not seen, announces them in one batch and stores them with what the pass learnt of each
// node's health.
class ScanTask : public QObject
{
    Q_OBJECT

public:
    // An engine for the nodes of catalog.
    explicit ScanTask(const Catalog &catalog = Catalog(), QObject *parent = nullptr);
    ~ScanTask() override;

    // Loads the followed nodes with their pages and markers from the catalogue and arms the timer; a node the
    // catalogue cannot give is left out and counts as failing. False only without a user database.
    bool init();
    // Starts the timer with the current "scan_interval".
    void restartTimer();

signals:
    void continueTimer();
    void newTask(const QList<TaskData> &tasks);
    // The followed nodes that are failing or broken, after init() and after every pass.
    void nodeHealth(const QList<NodeStatus> &troubled);
    // A node has just become failing or broken.
    void nodeTroubleBegan(const NodeStatus &status);
    // After init(): why no followed node at all can be scanned, or empty when some can (or none is followed).
    void scanProblem(const QString &problem);

public slots:
    void scan();
    void onDownloadFinished(QNetworkReply *reply);

private slots:
    void onReadyRead();

private:
    // One pass over the followed nodes; returns how many new tasks it found.
    qsizetype pass();
    void dropReply(QNetworkReply *reply);
    void nodeFailed(int node, const QString &error);
    qint64 intervalMs() const;

    const QString catalogPath;
    QList<AttentionData> nodes;
    std::unique_ptr<NodeHealth> health;
    QTimer *timer;
    QHash<QNetworkReply *, int> replies; // to the index of the node in nodes
    QList<TaskData> task_list;
    QList<TaskData> unstored; // announced, but not stored yet (a full disk): stored with the next pass, not announced
    QSet<QString> unstoredKeys;
    UserDb userDb;
    KnownTasks known{userDb};
    bool trimDue = false; // the last pass found thousands of tasks
};
