#include "kestrow.h"

#include "aboutwindow.h"
#include "applog.h"
#include "configwindow.h"
#include "historywindow.h"
#include "mainwindow.h"
#include "paths.h"
#include "settings.h"
#include "taskthread.h"
#include "taskwindow.h"
#include "updatetask.h"
#include "updatethread.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QStyleHints>
#include <QUrl>

namespace {

Kestrow::QuestionHook questionHook;

const QString runningIcon = QStringLiteral(":/MainWindow/Resources/kestrow.png");
const QString pausedIcon = QStringLiteral(":/MainWindow/Resources/pause.png");

} // namespace

Kestrow::Kestrow(QObject *parent) : QObject(parent)
{
    registerTaskListType();
    connect(qApp, &QCoreApplication::aboutToQuit, this, &Kestrow::onAboutToQuit);
    connect(&trayClickTimer, &QTimer::timeout, this, &Kestrow::onTrayClickedTimeOut);
    connect(&trayWatch, &QTimer::timeout, this, &Kestrow::watchForTray);
}

Kestrow::~Kestrow()
{
    stopScan();
    stopUpdate();
    // Top-level windows have no parent: the controller takes the open ones along, without their close-time saving.
    for (QWidget *window : std::initializer_list<QWidget *>{mainWindow, historyWindow, taskWindow}) {
        if (window) {
            disconnect(window, nullptr, this, nullptr);
            delete window;
        }
    }
    delete trayMenu;
}

void Kestrow::setQuestionHook(const QuestionHook &hook)
{
    questionHook = hook;
}

bool Kestrow::isScanning() const
{
    return taskThread && taskThread->isRunning();
}

void Kestrow::start()
{
    if (!updateThread) {
        updateThread = new UpdateThread(this);
        updateThread->start(QThread::IdlePriority);
    }
    createTray();
    startScan();
    if (UpdateTask *engine = updateThread->task()) {
        updateConnections = {
            connect(this, &Kestrow::checkNewVersion, engine, &UpdateTask::onCheckNewVersion, Qt::QueuedConnection),
            connect(engine, &UpdateTask::checkNewVersionFinished, this, &Kestrow::onCheckNewVersionFinished,
                    Qt::QueuedConnection),
            connect(this, &Kestrow::downloadNewVersion, engine, &UpdateTask::onDownloadNewVersion,
                    Qt::QueuedConnection),
            connect(engine, &UpdateTask::downloadNewVersionFinished, this, &Kestrow::onDownloadNewVersionFinished,
                    Qt::QueuedConnection)};
    }
    emit checkNewVersion();
    showWelcome();
    // Many desktops show no notification area unless an extension is installed: rather than leave the user with an
    // invisible program, open the attention window, and show the icon once a notification area appears.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        qCDebug(lcApp) << "no notification area: opening the attention window";
        onOpenMainWindow();
        trayWatch.start(3000);
    }
}

void Kestrow::watchForTray()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    trayWatch.stop();
    trayIcon->hide();
    trayIcon->show();
}

void Kestrow::createTray()
{
    delete trayMenu;
    delete trayIcon;
    trayMenu = new QMenu;
    connect(trayMenu, &QMenu::aboutToHide, this, &Kestrow::onTrayMenuHide);
    connect(trayMenu->addAction(tr("关注任务")), &QAction::triggered, this, &Kestrow::onOpenMainWindow);
    connect(trayMenu->addAction(tr("历史任务")), &QAction::triggered, this, &Kestrow::onOpenHistoryWindow);
    connect(trayMenu->addAction(tr("设置")), &QAction::triggered, this, &Kestrow::onOpenConfigWindow);
    connect(trayMenu->addAction(tr("关于")), &QAction::triggered, this, &Kestrow::onOpenAboutWindow);
    connect(trayMenu->addAction(tr("退出")), &QAction::triggered, this, &Kestrow::onQuit);

    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setToolTip(tr("Kestrow"));
    trayIcon->setContextMenu(trayMenu);
    trayIcon->setIcon(QIcon(runningIcon));
    trayIcon->setVisible(true);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &Kestrow::onTrayActivated);
    qCDebug(lcApp) << "tray icon shown";
}

void Kestrow::startScan()
{
    if (!taskThread)
        taskThread = new TaskThread(this);
    if (taskThread->isRunning())
        return;
    // Listening on the thread object: its batches never come from an engine the GUI thread could outlive.
    connect(taskThread, &TaskThread::newTask, this, &Kestrow::onNewTask, Qt::UniqueConnection);
    taskThread->start(QThread::LowPriority);
    taskThread->task();
}

void Kestrow::stopScan()
{
    if (!taskThread || !taskThread->isRunning())
        return;
    // Stop listening first: what the interrupted pass found is stored but not announced.
    disconnect(taskThread, &TaskThread::newTask, this, &Kestrow::onNewTask);
    taskThread->quit();
    taskThread->wait();
}

void Kestrow::stopUpdate()
{
    if (!updateThread)
        return;
    for (const QMetaObject::Connection &connection : std::as_const(updateConnections))
        disconnect(connection);
    updateConnections.clear();
    updateThread->quit();
    updateThread->wait();
    delete updateThread;
    updateThread = nullptr;
}

void Kestrow::updateTrayState()
{
    if (isScanning()) {
        trayIcon->setToolTip(tr("Kestrow"));
        trayIcon->setIcon(QIcon(runningIcon));
    } else {
        trayIcon->setToolTip(tr("Kestrow") + tr(" - 未运行"));
        trayIcon->setIcon(QIcon(pausedIcon));
    }
    trayIcon->setVisible(true);
}

void Kestrow::showWelcome()
{
    if (setting(QStringLiteral("use_version")) == appVersion())
        return;
    if (QSystemTrayIcon::supportsMessages()) {
        trayIcon->showMessage(tr("欢迎使用Kestrow"),
                              tr("单击此图标可以暂停和开始任务监控") + QLatin1Char('\n') +
                                  tr("更多问题及反馈请见程序关于窗口") + QLatin1Char('\n') + tr("祝您使用愉快!"),
                              QSystemTrayIcon::NoIcon, 60000);
    }
    setSetting(QStringLiteral("use_version"), appVersion());
}

void Kestrow::onTrayActivated(QSystemTrayIcon::ActivationReason actr)
{
    if (actr == QSystemTrayIcon::Trigger) {
        trayDoubleClicked = false;
        trayClickTimer.start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    } else if (actr == QSystemTrayIcon::DoubleClick) {
        trayDoubleClicked = true;
        onOpenMainWindow();
    }
}

void Kestrow::onTrayClickedTimeOut()
{
    trayClickTimer.stop();
    if (trayDoubleClicked) {
        onOpenMainWindow();
        trayDoubleClicked = false;
        return;
    }
    if (isScanning())
        stopScan();
    else
        startScan();
    updateTrayState();
}

void Kestrow::onTrayMenuHide()
{
    trimWorkingSet();
}

void Kestrow::onOpenMainWindow()
{
    if (!mainWindow) {
        mainWindow = new MainWindow;
        connect(mainWindow, &MainWindow::openHistoryWindow, this, &Kestrow::onOpenHistoryWindow);
        connect(mainWindow, &MainWindow::destructor, this, &Kestrow::onMainWindowDelete);
    }
    mainWindow->show();
}

void Kestrow::onOpenHistoryWindow()
{
    if (!historyWindow) {
        historyWindow = new HistoryWindow;
        connect(historyWindow, &HistoryWindow::destructor, this, &Kestrow::onHistoryWindowDelete);
    }
    historyWindow->show();
}

// Runs a modal window unless one of its kind already runs; window points at it while it does.
template <typename Window> static void runModal(Window *&window)
{
    if (window)
        return;
    window = new Window;
    window->exec();
    delete window;
    window = nullptr;
}

void Kestrow::onOpenConfigWindow()
{
    runModal(configWindow);
}

void Kestrow::onOpenAboutWindow()
{
    runModal(aboutWindow);
}

void Kestrow::onMainWindowDelete()
{
    mainWindow = nullptr;
    // The scan engine reads the followed nodes when it starts: restart it so the new choice takes effect.
    if (isScanning()) {
        stopScan();
        startScan();
    }
}

void Kestrow::onHistoryWindowDelete()
{
    historyWindow = nullptr;
}

void Kestrow::onNewTask(const QList<TaskData> &task_list)
{
    if (task_list.isEmpty())
        return;
    for (const TaskData &task : task_list)
        qCDebug(lcApp).noquote() << "new task:" << task.site_name << "|" << task.note_name << "|" << task.task_name
                                 << "|" << task.task_price << "|" << task.task_url;
    if (!taskWindow) {
        taskWindow = new TaskWindow;
        connect(taskWindow, &TaskWindow::destructor, this, &Kestrow::onTaskWindowDelete);
    }
    taskWindow->pushTasks(task_list);
    taskWindow->show();
    if (setting(QStringLiteral("enable_sound")) == QLatin1String("true"))
        TaskWindow::playSound(0);
}

void Kestrow::onTaskWindowDelete()
{
    taskWindow = nullptr;
}

void Kestrow::onCheckNewVersionFinished(const QString &var_str)
{
    if (var_str.isEmpty() || updatePromptOpen)
        return;
    updatePromptOpen = true;
    const QString title = tr("程序更新");
    const QString text = tr("发现新版本[Kestrow v") + var_str + tr("]是否现在进行更新?") + QLatin1Char('\n') +
                         tr("PS:程序将会在后台自动下载更新,建议选择'是'.");
    const QMessageBox::StandardButton answer =
        questionHook
            ? questionHook(title, text)
            : QMessageBox::question(nullptr, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    updatePromptOpen = false;
    if (answer == QMessageBox::Yes)
        emit downloadNewVersion();
}

void Kestrow::onDownloadNewVersionFinished(const QString &file_name)
{
    if (file_name.isEmpty())
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(file_name));
    onQuit();
}

void Kestrow::onQuit()
{
    stopScan();
    stopUpdate();
    QCoreApplication::quit();
}

void Kestrow::onAboutToQuit()
{
    stopScan();
    stopUpdate();
}
