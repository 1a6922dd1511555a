#pragma once

#include "core/nodestatus.h"
#include "core/taskdata.h"
#include "sites/catalog.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QTimer;

class AboutWindow;
class AddSiteWindow;
class AlertWindow;
class DesktopNotifier;
class ConfigWindow;
class HistoryWindow;
class PushSender;
class QThread;
class MainWindow;
class PushWindow;
class TaskThread;
class TaskWindow;
class Tray;
class UpdateThread;
namespace UserSites {
class Watcher;
}

// The controller of the running program: starts and stops the scan and update threads, answers the tray, shows new
// tasks in the popup and asks about updates.
class Kestrow : public QObject
{
    Q_OBJECT

public:
    explicit Kestrow(QObject *parent = nullptr);
    ~Kestrow() override;

    void start();

    bool isScanning() const;
    Tray *tray() const { return trayIcon; }
    TaskWindow *popup() const { return taskWindow; }
    MainWindow *attentionWindow() const { return mainWindow; }
    HistoryWindow *historyWindowShown() const { return historyWindow; }
    TaskThread *scanThread() const { return taskThread; }
    UpdateThread *housekeepingThread() const { return updateThread; }
    QThread *pushingThread() const { return pushThread; }

signals:
    // A batch was announced (in the popup or the desktop's notifications), with the sound or without.
    void announced(const QList<TaskData> &tasks, bool withSound);
    void checkNewVersion();
    void downloadNewVersion();

public slots:
    void onCheckNewVersionFinished(const QString &var_str);
    void onDownloadNewVersionFinished(const QString &file_name);
    void onOpenMainWindow();
    // A later start of the program asks to be shown: without a tray icon the attention window opens (true); with
    // one, nothing happens here (false) and the later start tells the user the program runs.
    bool onLaterStart();
    void onOpenHistoryWindow();
    void onOpenConfigWindow();
    void onOpenAlertWindow();
    void onOpenPushWindow();
    // Opens the window that adds a site, or edits the user's site siteName.
    void onOpenAddSiteWindow(const QString &siteName = QString());
    // Asks, then takes the user's site siteName out of their sites.
    void onRemoveSite(const QString &siteName);
    // Reads the user's sites again; the scan engine and the attention window follow.
    void onUserSitesChanged();
    // Announces what was held back, unless it is still quiet time or a full-screen window is active.
    void onQuietEnd();
    void onOpenAboutWindow();
    void onQuit();
    void onAboutToQuit();
    void onTrayClicked();
    void onTrayMenuHide();
    void onMainWindowDelete();
    void onHistoryWindowDelete();
    void onNewTask(const QList<TaskData> &task_list);
    void onTaskWindowDelete();
    void onStoreProblem(const QString &problem);
    void onScanProblem(const QString &problem);
    void onNodeHealth(const QList<NodeStatus> &troubled);
    void onNodeTroubleBegan(const NodeStatus &status);
    void onPushProblem(const QString &problem);

private:
    // Notes the primary screen's size for the reports, now and whenever it changes.
    void watchScreen();
    void startScan();
    void stopScan();
    void stopUpdate();
    void stopPush();
    // Hands tasks to the push thread for the channels audience (a PushAudience) names.
    void push(const QList<TaskData> &tasks, int audience);
    void showWelcome();
    // Brings the user's own sites in beside the program's catalogue, telling of the files left out; false when they
    // are as they were at the last load.
    bool loadUserSites();
    void announce(const QList<TaskData> &tasks);
    void showPopup(const QList<TaskData> &tasks);

    MainWindow *mainWindow = nullptr;
    HistoryWindow *historyWindow = nullptr;
    QPointer<ConfigWindow> configWindow;
    QPointer<AboutWindow> aboutWindow;
    QPointer<AlertWindow> alertWindow;
    QPointer<AddSiteWindow> addSiteWindow;
    QPointer<PushWindow> pushWindow;
    Catalog catalog;            // the program's sites merged with the user's
    QList<TaskData> quietTasks; // found while quiet or full screen, announced when that ends
    QList<TaskData> heldPushes; // found while quiet, for the channels that keep quiet hours
    QTimer *quietTimer;
    DesktopNotifier *notifier;
    TaskWindow *taskWindow = nullptr;
    TaskThread *taskThread = nullptr;
    UpdateThread *updateThread = nullptr;
    Tray *trayIcon = nullptr;
    bool updatePromptOpen = false;
    QString announcedProblem;     // the storage problem the user was told of
    QString announcedScanProblem; // and the scanning one
    QString announcedPushProblem; // and the pushing one
    QThread *pushThread = nullptr;
    PushSender *pushSender = nullptr; // lives on pushThread
    QList<QMetaObject::Connection> updateConnections;
    QMetaObject::Connection screenWatch;
    UserSites::Watcher *sitesWatcher = nullptr;
    QString sitesStamp; // of the user's sites as last loaded
};
