#include "app/tray.h"

#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QStyleHints>

namespace {

const QString runningIcon = QStringLiteral(":/MainWindow/Resources/kestrow.png");
const QString pausedIcon = QStringLiteral(":/MainWindow/Resources/pause.png");

// The icon with a red warning mark in its lower right quarter.
QIcon withWarningMark(const QIcon &plain)
{
    QIcon marked;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        // The icons are drawn at 32 pixels; larger sizes are scaled up so that the mark keeps its place.
        QPixmap pixmap = plain.pixmap(size, size);
        if (pixmap.width() != size)
            pixmap = pixmap.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF mark(size * 0.45, size * 0.45, size * 0.55, size * 0.55);
        painter.setPen(QPen(Qt::white, qMax(1.0, size / 16.0)));
        painter.setBrush(QColor(0xd3, 0x2f, 0x2f));
        painter.drawEllipse(mark.adjusted(0.5, 0.5, -0.5, -0.5));
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(qMax(6, int(size * 0.42)));
        painter.setFont(font);
        painter.drawText(mark, Qt::AlignCenter, QStringLiteral("!"));
        painter.end();
        marked.addPixmap(pixmap);
    }
    return marked;
}

} // namespace

Tray::Tray(QObject *parent) : QObject(parent), menu(new QMenu), trayIcon(new QSystemTrayIcon(this))
{
    connect(menu, &QMenu::aboutToHide, this, &Tray::menuHidden);
    connect(menu->addAction(tr("关注任务")), &QAction::triggered, this, &Tray::openMainWindow);
    connect(menu->addAction(tr("历史任务")), &QAction::triggered, this, &Tray::openHistoryWindow);
    connect(menu->addAction(tr("设置")), &QAction::triggered, this, &Tray::openConfigWindow);
    connect(menu->addAction(tr("提醒设置")), &QAction::triggered, this, &Tray::openAlertWindow);
    connect(menu->addAction(tr("添加站点…")), &QAction::triggered, this, &Tray::openAddSiteWindow);
    connect(menu->addAction(tr("关于")), &QAction::triggered, this, &Tray::openAboutWindow);
    menu->addSeparator();
    pauseAction = menu->addAction(QString());
    pauseAction->setObjectName(QStringLiteral("pauseAction"));
    connect(pauseAction, &QAction::triggered, this, &Tray::clicked);
    connect(menu->addAction(tr("退出")), &QAction::triggered, this, &Tray::quit);

    trayIcon->setContextMenu(menu);
    setRunning(true);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &Tray::onActivated);
    clickTimer.setSingleShot(true);
    connect(&clickTimer, &QTimer::timeout, this, &Tray::clicked);
    connect(&areaWatch, &QTimer::timeout, this, &Tray::onAreaWatch);
}

Tray::~Tray()
{
    delete menu;
}

void Tray::setRunning(bool on)
{
    running = on;
    pauseAction->setText(running ? tr("暂停") : tr("继续"));
    QStringList tip{running ? tr("Kestrow") : tr("Kestrow - 未运行")};
    for (const QString &problem : std::as_const(problems))
        tip << problem;
    if (troubledNodes > 0)
        tip << tr("%1 个关注节点异常").arg(troubledNodes);
    trayIcon->setToolTip(tip.join(QLatin1Char('\n')));
    const QIcon plain(running ? runningIcon : pausedIcon);
    trayIcon->setIcon(troubledNodes > 0 ? withWarningMark(plain) : plain);
    trayIcon->setVisible(true);
}

void Tray::setNodeTrouble(int count)
{
    if (count == troubledNodes)
        return;
    troubledNodes = count;
    setRunning(running);
}

void Tray::setProblem(Problem which, const QString &text)
{
    if (text.isEmpty())
        problems.remove(which);
    else
        problems.insert(which, text);
    setRunning(running);
}

void Tray::showMessage(const QString &title, const QString &text)
{
    // Desktop notification services read the body as markup: a page's or a file's "<a href=…>" must stay text.
    const QString plainTitle = title.toHtmlEscaped(), plainText = text.toHtmlEscaped();
    if (QSystemTrayIcon::supportsMessages())
        trayIcon->showMessage(plainTitle, plainText, QSystemTrayIcon::NoIcon, 60000);
    emit messageShown(plainTitle, plainText);
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
    // A single click acts only once the double-click time has passed without a second one. StatusNotifierItem trays
    // report every click as a Trigger, so two within that time are the double click too; a tray that also reports the
    // double click itself (XEmbed) has it taken once.
    const int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    if (reason == QSystemTrayIcon::Trigger) {
        if (clickTimer.isActive()) {
            clickTimer.stop();
            doubleClickTaken.start();
            emit doubleClicked();
        } else {
            clickTimer.start(interval);
        }
    } else if (reason == QSystemTrayIcon::DoubleClick) {
        clickTimer.stop();
        if (!doubleClickTaken.isValid() || doubleClickTaken.hasExpired(interval))
            emit doubleClicked();
        doubleClickTaken.invalidate();
    }
}
