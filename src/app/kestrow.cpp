#include "app/kestrow.h"

#include "app/applog.h"
#include "app/desktopnotifier.h"
#include "app/tray.h"
#include "core/alertrules.h"
#include "core/appversion.h"
#include "core/clock.h"
#include "core/paths.h"
#include "platform/platform.h"
#include "push/pushsender.h"
#include "report/reports.h"
#include "report/systemdescription.h"
#include "scan/taskthread.h"
#include "sites/sitedb.h"
#include "sites/usersites.h"
#include "store/settings.h"
#include "store/storehealth.h"
#include "store/userdb.h"
#include "ui/aboutwindow.h"
#include "ui/addsitewindow.h"
#include "ui/alertwindow.h"
#include "ui/configwindow.h"
#include "ui/historywindow.h"
#include "ui/kit/safeurl.h"
#include "ui/mainwindow.h"
#include "ui/pushwindow.h"
#include "ui/taskwindow.h"
#include "update/updatetask.h"
#include "update/updatethread.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>

Kestrow::Kestrow(QObject *parent) : QObject(parent), quietTimer(new QTimer(this)), notifier(new DesktopNotifier(this))
{
    registerTaskListType();
    registerNodeStatusTypes();
    quietTimer->setSingleShot(true);
    connect(notifier, &DesktopNotifier::refused, this, &Kestrow::showPopup);
    connect(notifier, &DesktopNotifier::openTask, this,
            [this](const TaskData &task) { openWebAddress(catalog.taskOpenUrl(task)); });
    connect(quietTimer, &QTimer::timeout, this, &Kestrow::onQuietEnd);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &Kestrow::onAboutToQuit);
}

Kestrow::~Kestrow()
{
    stopScan();
    stopUpdate();
    stopPush();
    // Top-level windows have no parent: the controller takes the open ones along, without their close-time saving.
    for (QWidget *window : std::initializer_list<QWidget *>{mainWindow, historyWindow, taskWindow, configWindow,
                                                            alertWindow, aboutWindow, addSiteWindow, pushWindow}) {
        if (window) {
            disconnect(window, nullptr, this, nullptr);
            delete window;
        }
    }
}

bool Kestrow::isScanning() const
{
    return taskThread && taskThread->isRunning();
}

bool Kestrow::loadUserSites()
{
    const QString program = Catalog().path();
    qCDebug(lcApp).noquote() << "site catalogue:" << program << (QFile::exists(program) ? "found" : "missing");
    const UserSites::Outcome sites = UserSites::prepare(program);
    if (sites.stamp == std::exchange(sitesStamp, sites.stamp) && !sitesStamp.isEmpty())
        return false;
    catalog = Catalog(sites.catalog);
    for (const QString &skipped : sites.skipped)
        qCDebug(lcApp).noquote() << "user site file skipped:" << skipped;
    // The reasons are the catalogue tool's, in English: the balloon names the files, whole in the interface's language.
    QStringList files;
    for (const QString &skipped : sites.skipped)
        files << skipped.section(QStringLiteral(": "), 0, 0);
    if (!files.isEmpty())
        trayIcon->showMessage(
            tr("自定义站点未载入"),
            tr("这些站点文件有错误, 未载入: %1\n“kestrow-catalog add 文件”会说明原因").arg(files.join(u", ")));
    return true;
}

void Kestrow::start()
{
    if (!pushThread) {
        pushThread = new QThread(this);
        pushSender = new PushSender;
        pushSender->moveToThread(pushThread);
        connect(pushThread, &QThread::finished, pushSender, &QObject::deleteLater);
        connect(pushSender, &PushSender::problem, this, &Kestrow::onPushProblem, Qt::QueuedConnection);
        pushThread->start(QThread::LowPriority);
    }
    if (!updateThread) {
        updateThread = new UpdateThread(this, UsageReports{sendInstallReport, sendDailyRunReport});
        // The thread lowers itself to the idle class where it can be raised again for its purge.
        updateThread->start();
    }
    if (!trayIcon) {
        trayIcon = new Tray(this);
        connect(trayIcon, &Tray::clicked, this, &Kestrow::onTrayClicked);
        connect(trayIcon, &Tray::doubleClicked, this, &Kestrow::onOpenMainWindow);
        connect(trayIcon, &Tray::openMainWindow, this, &Kestrow::onOpenMainWindow);
        connect(trayIcon, &Tray::openHistoryWindow, this, &Kestrow::onOpenHistoryWindow);
        connect(trayIcon, &Tray::openConfigWindow, this, &Kestrow::onOpenConfigWindow);
        connect(trayIcon, &Tray::openAlertWindow, this, &Kestrow::onOpenAlertWindow);
        connect(trayIcon, &Tray::openAddSiteWindow, this, [this] { onOpenAddSiteWindow(); });
        connect(trayIcon, &Tray::openAboutWindow, this, &Kestrow::onOpenAboutWindow);
        connect(trayIcon, &Tray::quit, this, &Kestrow::onQuit);
        connect(trayIcon, &Tray::menuHidden, this, &Kestrow::onTrayMenuHide);
        qCDebug(lcApp) << "tray icon shown";
        connect(StoreHealth::instance(), &StoreHealth::problemChanged, this, &Kestrow::onStoreProblem,
                Qt::QueuedConnection);
        onStoreProblem(StoreHealth::instance()->problem());
        watchScreen();
    }
    loadUserSites();
    // A site file added, edited or removed (here, with kestrow-catalog add or in an editor) takes effect at once.
    if (!sitesWatcher) {
        sitesWatcher = new UserSites::Watcher(this);
        connect(sitesWatcher, &UserSites::Watcher::changed, this, &Kestrow::onUserSitesChanged);
    }
    // Read now into the settings cache: read first when a batch comes, they would wait for the scan thread to store it.
    alertRules();
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
        trayIcon->watchForArea();
    }
}

void Kestrow::watchScreen()
{
    // The reports describe the screen from the update thread, where Qt's screens may not be asked.
    const auto note = [] {
        const QScreen *screen = QGuiApplication::primaryScreen();
        noteScreenSize(screen ? screen->size() : QSize());
    };
    note();
    const auto follow = [this, note](QScreen *screen) {
        disconnect(screenWatch);
        if (screen)
            screenWatch = connect(screen, &QScreen::geometryChanged, this, note);
        note();
    };
    follow(QGuiApplication::primaryScreen());
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, follow);
}

void Kestrow::startScan()
{
    if (!taskThread)
        taskThread = new TaskThread(this, catalog.path());
    if (taskThread->isRunning())
        return;
    // Listening on the thread object: its batches never come from an engine the GUI thread could outlive.
    connect(taskThread, &TaskThread::newTask, this, &Kestrow::onNewTask, Qt::UniqueConnection);
    connect(taskThread, &TaskThread::nodeHealth, this, &Kestrow::onNodeHealth, Qt::UniqueConnection);
    connect(taskThread, &TaskThread::nodeTroubleBegan, this, &Kestrow::onNodeTroubleBegan, Qt::UniqueConnection);
    connect(taskThread, &TaskThread::scanProblem, this, &Kestrow::onScanProblem, Qt::UniqueConnection);
    taskThread->start(QThread::LowPriority);
    taskThread->task();
}

void Kestrow::stopScan()
{
    if (!taskThread || !taskThread->isRunning())
        return;
    // Stop listening first: what the interrupted pass found is stored but not announced.
    disconnect(taskThread, &TaskThread::newTask, this, &Kestrow::onNewTask);
    taskThread->stop();
}

void Kestrow::stopUpdate()
{
    if (!updateThread)
        return;
    for (const QMetaObject::Connection &connection : std::as_const(updateConnections))
        disconnect(connection);
    updateConnections.clear();
    updateThread->stop();
    delete updateThread;
    updateThread = nullptr;
}

void Kestrow::stopPush()
{
    // A retry waiting for its time is given up: the thread ends at once, and with it the sender.
    if (!pushThread)
        return;
    pushThread->quit();
    pushThread->wait();
    delete pushThread;
    pushThread = nullptr;
    pushSender = nullptr;
}

void Kestrow::push(const QList<TaskData> &tasks, int audience)
{
    if (!pushSender || tasks.isEmpty())
        return;
    // The phone opens what the desktop would: the site's address parts, the node's page for a task without one.
    QList<TaskData> linked = tasks;
    for (TaskData &task : linked)
        task.task_url = catalog.taskOpenUrl(task);
    QMetaObject::invokeMethod(
        pushSender, [sender = pushSender, linked, audience] { sender->send(linked, PushAudience(audience)); });
}

void Kestrow::showWelcome()
{
    if (Key::UseVersion.value() == appVersion())
        return;
    QStringList lines{tr("单击此图标可以暂停和开始任务监控"), tr("更多问题及反馈请见程序关于窗口"),
                      tr("祝您使用愉快!")};
    // A first start that would watch nothing says what to do about it.
    QList<SiteData> sites;
    if (!SiteDb(catalog.path()).sites(sites) || sites.isEmpty())
        lines.prepend(tr("还没有任何站点: 在“关注任务”窗口中点“添加站点…”, 贴入任务列表页的地址和其中一个任务的标题"));
    else if (UserDb().attentionMap().isEmpty())
        lines.prepend(tr("还没有关注任何节点: 双击此图标打开“关注任务”, 勾选想关注的任务类型后关闭窗口"));
    trayIcon->showMessage(tr("欢迎使用Kestrow"), lines.join(QLatin1Char('\n')));
    Key::UseVersion.setValue(appVersion());
}

void Kestrow::onTrayClicked()
{
    if (isScanning())
        stopScan();
    else
        startScan();
    trayIcon->setRunning(isScanning());
    qCDebug(lcApp) << (isScanning() ? "watching resumed" : "watching paused");
}

void Kestrow::onTrayMenuHide()
{
    trimWorkingSet();
}

void Kestrow::onOpenMainWindow()
{
    if (!mainWindow) {
        mainWindow = new MainWindow(catalog);
        connect(mainWindow, &MainWindow::openHistoryWindow, this, &Kestrow::onOpenHistoryWindow);
        connect(mainWindow, &MainWindow::addSite, this, [this] { onOpenAddSiteWindow(); });
        connect(mainWindow, &MainWindow::editSite, this, &Kestrow::onOpenAddSiteWindow);
        connect(mainWindow, &MainWindow::removeSite, this, &Kestrow::onRemoveSite);
        connect(mainWindow, &MainWindow::quit, this, &Kestrow::onQuit);
        connect(mainWindow, &MainWindow::destructor, this, &Kestrow::onMainWindowDelete);
    }
    // Without a tray icon the window is the only way to reach the program, and so the way out of it too.
    mainWindow->setQuitOffered(!QSystemTrayIcon::isSystemTrayAvailable());
    mainWindow->show();
    qCDebug(lcApp) << "attention window shown";
}

bool Kestrow::onLaterStart()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    onOpenMainWindow();
    mainWindow->raise();
    mainWindow->activateWindow();
    qCDebug(lcApp) << "attention window shown for a later start";
    return true;
}

void Kestrow::onOpenHistoryWindow()
{
    if (!historyWindow) {
        historyWindow = new HistoryWindow(catalog);
        connect(historyWindow, &HistoryWindow::destructor, this, &Kestrow::onHistoryWindowDelete);
    }
    historyWindow->show();
}

// Shows the window of its kind, made by make unless one is open already (then brought to the front). Not modal: the
// tray menu and the other windows stay usable; window points at it until it is gone.
template <typename Window, typename Make> static Window *showWindow(QPointer<Window> &window, Make make)
{
    // A hidden one is on its way out (ended, its deletion queued).
    if (window && window->isVisible()) {
        window->raise();
        window->activateWindow();
        return window;
    }
    window = make();
    window->setAttribute(Qt::WA_DeleteOnClose);
    // Esc and the dialog's own buttons end it without a close event: gone as well.
    QObject::connect(window, &QDialog::finished, window, &QObject::deleteLater);
    window->show();
    return window;
}

void Kestrow::onOpenConfigWindow()
{
    showWindow(configWindow, [this] {
        auto *window = new ConfigWindow;
        connect(window, &ConfigWindow::openAlertWindow, this, &Kestrow::onOpenAlertWindow);
        return window;
    });
}

void Kestrow::onOpenAlertWindow()
{
    showWindow(alertWindow, [this] {
        auto *window = new AlertWindow;
        connect(window, &AlertWindow::openPushWindow, this, &Kestrow::onOpenPushWindow);
        return window;
    });
}

void Kestrow::onOpenPushWindow()
{
    showWindow(pushWindow, [] { return new PushWindow; });
}

void Kestrow::onOpenAboutWindow()
{
    showWindow(aboutWindow, [] { return new AboutWindow; });
}

void Kestrow::onOpenAddSiteWindow(const QString &siteName)
{
    // One at a time: a second request (another site's edit link) shows the one open.
    showWindow(addSiteWindow,
               [&siteName] { return siteName.isEmpty() ? new AddSiteWindow : new AddSiteWindow(siteName, nullptr); });
}

void Kestrow::onRemoveSite(const QString &siteName)
{
    const auto answer = QMessageBox::question(
        mainWindow, tr("删除站点"), tr("删除站点“%1”？\n已关注的节点会被记住，站点再次添加时继续关注。").arg(siteName));
    QString error;
    if (answer == QMessageBox::Yes && !UserSites::remove(siteName, &error))
        QMessageBox::warning(mainWindow, tr("删除站点"), error);
}

void Kestrow::onUserSitesChanged()
{
    // An editor's backup file, a file saved unchanged: nothing to do.
    if (!loadUserSites())
        return;
    if (mainWindow)
        mainWindow->setCatalog(catalog);
    if (!taskThread)
        return;
    // The engine reads the catalogue when it starts. Stopped without deafening it: what it still reports is
    // announced as always.
    const bool scanning = isScanning();
    taskThread->stop();
    taskThread->setCatalogPath(catalog.path());
    if (scanning)
        startScan();
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

namespace {

// Appends the latest of tasks to list, which keeps no more than the popup shows: the room of a first pass's thousands
// of tasks is not kept either.
void keepLatest(QList<TaskData> &list, const QList<TaskData> &tasks)
{
    list += tasks.mid(qMax<qsizetype>(0, tasks.size() - TaskWindow::maxTasks));
    if (list.size() > TaskWindow::maxTasks)
        list.remove(0, list.size() - TaskWindow::maxTasks);
}

} // namespace

void Kestrow::onNewTask(const QList<TaskData> &task_list)
{
    // Every task is in the history already; the filters decide which are announced, quiet hours when.
    const AlertRules rules = alertRules();
    QList<TaskData> wanted;
    for (const TaskData &task : task_list) {
        if (rules.wants(task))
            wanted.append(task);
    }
    // Every batch was stored first: an open history shows it.
    if (historyWindow && !task_list.isEmpty())
        historyWindow->refresh();
    if (wanted.isEmpty())
        return;
    // To the phone at once, whatever the screen shows; in quiet hours only where a channel asks for it, the others
    // when quiet hours end.
    if (alertRules().msToQuietEnd(Clock::now().time()) > 0) {
        push(wanted, int(PushAudience::IgnoringQuiet));
        keepLatest(heldPushes, wanted);
    } else {
        push(wanted, int(PushAudience::All));
    }
    keepLatest(quietTasks, wanted);
    onQuietEnd();
}

void Kestrow::onQuietEnd()
{
    const qint64 quietMs = alertRules().msToQuietEnd(Clock::now().time());
    if (quietMs <= 0)
        push(std::exchange(heldPushes, {}), int(PushAudience::RespectingQuiet));
    if (quietTasks.isEmpty())
        return;
    // Held through quiet hours, and while a full-screen window (a film, a presentation) is active.
    if (quietMs > 0 || Platform::activeWindowIsFullScreen()) {
        quietTimer->start(quietMs > 0 ? int(quietMs) + 1000 : 30000);
        return;
    }
    announce(std::exchange(quietTasks, {}));
}

void Kestrow::announce(const QList<TaskData> &task_list)
{
    for (const TaskData &task : task_list)
        qCDebug(lcApp).noquote() << "new task:" << task.site_name << "|" << task.note_name << "|" << task.task_name
                                 << "|" << task.task_price << "|" << task.task_url;
    // The desktop's notifications when the user chose them and a service runs; the corner popup otherwise. The sound
    // comes once the batch shows, and only for "true": any other stored text is silence.
    if (alertRules().channel != NotifyChannel::Desktop || !notifier->notify(task_list))
        showPopup(task_list);
    const bool withSound = Key::EnableSound.value();
    if (withSound)
        TaskWindow::playSound(0);
    emit announced(task_list, withSound);
}

void Kestrow::showPopup(const QList<TaskData> &task_list)
{
    if (!taskWindow) {
        taskWindow = new TaskWindow(catalog);
        connect(taskWindow, &TaskWindow::destructor, this, &Kestrow::onTaskWindowDelete);
    }
    taskWindow->pushTasks(task_list);
    taskWindow->show();
}

void Kestrow::onNodeHealth(const QList<NodeStatus> &troubled)
{
    trayIcon->setNodeTrouble(int(troubled.size()));
}

void Kestrow::onNodeTroubleBegan(const NodeStatus &status)
{
    const QString reason = status.describe(healthThresholds());
    trayIcon->showMessage(tr("关注节点异常"),
                          status.site_name + QStringLiteral(" / ") + status.note_name + QLatin1Char('\n') + reason);
}

void Kestrow::onPushProblem(const QString &problem)
{
    trayIcon->setProblem(Tray::Problem::Push, problem);
    if (!problem.isEmpty() && problem != announcedPushProblem)
        trayIcon->showMessage(tr("无法推送到手机"), problem);
    announcedPushProblem = problem;
}

void Kestrow::onStoreProblem(const QString &problem)
{
    // Told once per problem, in a balloon; the tool tip names it while it lasts.
    trayIcon->setProblem(Tray::Problem::Store, problem);
    if (!problem.isEmpty() && problem != announcedProblem)
        trayIcon->showMessage(tr("数据无法保存"), problem);
    announcedProblem = problem;
}

void Kestrow::onScanProblem(const QString &problem)
{
    // Every start of the scan engine says it again: one balloon while the same problem lasts.
    trayIcon->setProblem(Tray::Problem::Scan, problem);
    if (!problem.isEmpty() && problem != announcedScanProblem)
        trayIcon->showMessage(tr("无法监控任务"), problem);
    announcedScanProblem = problem;
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
    const QString text =
        tr("发现新版本[Kestrow v%1]是否现在进行更新?\nPS:程序将会在后台自动下载更新,建议选择'是'.").arg(var_str);
    // The version text comes from the vendor's server over plain HTTP: shown as text, never as a link to follow.
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setTextFormat(Qt::PlainText);
    const int answer = box.exec();
    updatePromptOpen = false;
    if (answer == QMessageBox::Yes)
        emit downloadNewVersion();
}

void Kestrow::onDownloadNewVersionFinished(const QString &file_name)
{
    // Quit only once the desktop took the package: a package nothing opened would leave the user with neither.
    if (file_name.isEmpty())
        return;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file_name))) {
        trayIcon->showMessage(tr("程序更新"), tr("更新包已下载, 但没有程序能打开它, 请手动安装: %1").arg(file_name));
        return;
    }
    onQuit();
}

void Kestrow::onQuit()
{
    stopScan();
    stopUpdate();
    stopPush();
    QCoreApplication::quit();
}

void Kestrow::onAboutToQuit()
{
    stopScan();
    stopUpdate();
    stopPush();
}
