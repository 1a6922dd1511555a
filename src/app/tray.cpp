#include "app/tray.h"

#include <QGuiApplication>
#include <QMenu>
#include <QStyleHints>

namespace {

const QString runningIcon = QStringLiteral(":/MainWindow/Resources/kestrow.png");
const QString pausedIcon = QStringLiteral(":/MainWindow/Resources/pause.png");

} // namespace

Tray::Tray(QObject *parent) : QObject(parent), menu(new QMenu), trayIcon(new QSystemTrayIcon(this))
{
    connect(menu, &QMenu::aboutToHide, this, &Tray::menuHidden);
    connect(menu->addAction(tr("关注任务")), &QAction::triggered, this, &Tray::openMainWindow);
    connect(menu->addAction(tr("历史任务")), &QAction::triggered, this, &Tray::openHistoryWindow);
    connect(menu->addAction(tr("设置")), &QAction::triggered, this, &Tray::openConfigWindow);
    connect(menu->addAction(tr("关于")), &QAction::triggered, this, &Tray::openAboutWindow);
    connect(menu->addAction(tr("退出")), &QAction::triggered, this, &Tray::quit);

    trayIcon->setContextMenu(menu);
    setRunning(true);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &Tray::onActivated);
    clickTimer.setSingleShot(true);
    connect(&clickTimer, &QTimer::timeout, this, &Tray::onClickTimeOut);
    connect(&areaWatch, &QTimer::timeout, this, &Tray::onAreaWatch);
}

Tray::~Tray()
{
    delete menu;
}

void Tray::setRunning(bool on)
{
    running = on;
    const QString tip = running ? tr("Kestrow") : tr("Kestrow") + tr(" - 未运行");
    trayIcon->setToolTip(problem.isEmpty() ? tip : tip + QLatin1Char('\n') + problem);
    trayIcon->setIcon(QIcon(running ? runningIcon : pausedIcon));
    trayIcon->setVisible(true);
}

void Tray::setProblem(const QString &text)
{
    problem = text;
    setRunning(running);
}

void Tray::showMessage(const QString &title, const QString &text)
{
    if (QSystemTrayIcon::supportsMessages())
        trayIcon->showMessage(title, text, QSystemTrayIcon::NoIcon, 60000);
    emit messageShown(title, text);
}

void Tray::watchForArea()
{
    areaWatch.start(3000);
}

void Tray::onAreaWatch()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    areaWatch.stop();
    trayIcon->hide();
    trayIcon->show();
}

void Tray::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    // A single click acts only once the double-click time has passed without a second one.
    if (reason == QSystemTrayIcon::Trigger) {
        secondClick = false;
        clickTimer.start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    } else if (reason == QSystemTrayIcon::DoubleClick) {
        secondClick = true;
        emit doubleClicked();
    }
}

void Tray::onClickTimeOut()
{
    if (secondClick) {
        secondClick = false;
        emit doubleClicked();
        return;
    }
    emit clicked();
}
