#pragma once

#include "appversion.h"
#include "taskdata.h"

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>

class AboutWindow;
class ConfigWindow;
class HistoryWindow;
class MainWindow;
class QMenu;
class TaskThread;
class TaskWindow;
class UpdateThread;

// The controller of the running program: owns the tray icon and menu, starts and stops the scan and update
// threads, shows new tasks in the popup and asks about updates.
class Kestrow : public QObject
{
    Q_OBJECT

public:
    explicit Kestrow(QObject *parent = nullptr);
    ~Kestrow() override;

    void start();

    // Answers the update question in place of the modal box (for tests); an empty hook restores the box.
    using QuestionHook = std::function<QMessageBox::StandardButton(const QString &title, const QString &text)>;
    static void setQuestionHook(const QuestionHook &hook);

    bool isScanning() const;
    QSystemTrayIcon *tray() const { return trayIcon; }
    TaskWindow *popup() const { return taskWindow; }
    MainWindow *attentionWindow() const { return mainWindow; }
    HistoryWindow *historyWindowShown() const { return historyWindow; }
    TaskThread *scanThread() const { return taskThread; }
    UpdateThread *housekeepingThread() const { return updateThread; }

signals:
    void checkNewVersion();
    void downloadNewVersion();

public slots:
    void onCheckNewVersionFinished(const QString &var_str);
    void onDownloadNewVersionFinished(const QString &file_name);
    void onOpenMainWindow();
    void onOpenHistoryWindow();
    void onOpenConfigWindow();
    void onOpenAboutWindow();
    void onQuit();
    void onAboutToQuit();
    void onTrayActivated(QSystemTrayIcon::ActivationReason actr);
    void onTrayClickedTimeOut();
    void onTrayMenuHide();
    void onMainWindowDelete();
    void onHistoryWindowDelete();
    void onNewTask(const QList<TaskData> &task_list);
    void onTaskWindowDelete();

private:
    void createTray();
    void startScan();
    void stopScan();
    void stopUpdate();
    void updateTrayState();
    void showWelcome();
    void watchForTray();

    MainWindow *mainWindow = nullptr;
    HistoryWindow *historyWindow = nullptr;
    ConfigWindow *configWindow = nullptr;
    AboutWindow *aboutWindow = nullptr;
    TaskWindow *taskWindow = nullptr;
    TaskThread *taskThread = nullptr;
    UpdateThread *updateThread = nullptr;
    QSystemTrayIcon *trayIcon = nullptr;
    QMenu *trayMenu = nullptr;
    bool updatePromptOpen = false;
    bool trayDoubleClicked = false;
    QTimer trayClickTimer{this};
    QList<QMetaObject::Connection> updateConnections;
    QTimer trayWatch{this}; // looks for a notification area that was missing at start
};
