#include "ui/taskwindow.h"

#include "core/paths.h"
#include "ui/kit/safeurl.h"
#include "ui/kit/tlinkbutton.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSoundEffect>

namespace {

QLabel *plainLabel(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText); // prices come from web pages
    label->setGeometry(geometry);
    return label;
}

TLinkButton *pagingLink(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    auto *link = new TLinkButton(parent);
    link->setObjectName(name);
    link->setColor(qRgb(0, 0, 0));
    link->setText(text);
    link->setGeometry(geometry);
    return link;
}

} // namespace

TaskWindow::TaskWindow(const Catalog &catalog, QWidget *parent) : TDialog(parent), catalog(catalog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(windowFlags() | Qt::Tool | Qt::WindowStaysOnTopHint);
    setFixedSize(230, 130);
    showMinButton = false;
    backgroundColor = QColor(255, 255, 255, 225);
    showIcon = false;

    taskLink = new TLinkButton(this);
    taskLink->setObjectName(QStringLiteral("taskLink"));
    taskLink->setColor(qRgb(19, 113, 232), qRgb(204, 0, 51));
    taskLink->setGeometry(10, 30, 215, 53);
    taskLink->setFixedSize(215, 53);
    taskLink->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    taskLink->setWordWrap(true);
    connect(taskLink, &TLinkButton::clicked, this, &TaskWindow::onTaskLinkClicked);

    prevLink = pagingLink(this, QStringLiteral("prevLink"), tr("上一页"), QRect(125, 110, 35, 15));
    connect(prevLink, &TLinkButton::clicked, this, &TaskWindow::onPrevLinkClicked);
    nextLink = pagingLink(this, QStringLiteral("nextLink"), tr("下一页"), QRect(175, 110, 35, 15));
    connect(nextLink, &TLinkButton::clicked, this, &TaskWindow::onNextLinkClicked);

    priceLabel = plainLabel(this, QStringLiteral("priceLabel"), QRect(10, 90, 215, 15));
    pageLabel = plainLabel(this, QStringLiteral("pageLabel"), QRect(20, 110, 80, 15));
}

TaskWindow::~TaskWindow()
{
    tasks.clear();
    emit destructor();
    trimWorkingSet();
}

void TaskWindow::pushTasks(const QList<TaskData> &list)
{
    if (!isVisible()) {
        tasks = list;
        currentIndex = 1;
        repositionOnShow = true;
    } else {
        tasks += list;
        repositionOnShow = false;
    }
    // The popup keeps the latest tasks only (the rest are in the history), so that weeks of batches never pile up.
    const qsizetype dropped = tasks.size() - maxTasks;
    if (dropped > 0) {
        tasks.remove(0, dropped);
        currentIndex = int(qMax<qsizetype>(1, currentIndex - dropped));
    }
    taskCount = int(tasks.size());
    showTask();
}

void TaskWindow::showTask()
{
    if (tasks.isEmpty())
        return;
    const TaskData &task = tasks.at(currentIndex - 1);
    setTitle(task.site_name + QStringLiteral(" - ") + task.note_name);
    taskLink->setText(task.task_name);
    // Titles come from web pages: the tool tip shows them escaped, never as markup.
    taskLink->setToolTip(QStringLiteral("<qt>%1</qt>").arg(task.task_name.toHtmlEscaped()));
    priceLabel->setText(task.task_price.isEmpty() ? tr("价格 : 无") : tr("价格 : %1").arg(task.task_price));
    pageLabel->setText(tr("%1 / %2").arg(currentIndex).arg(taskCount));
}

void TaskWindow::onPrevLinkClicked()
{
    currentIndex = currentIndex == 1 ? taskCount : currentIndex - 1;
    showTask();
}

void TaskWindow::onNextLinkClicked()
{
    currentIndex = currentIndex == taskCount ? 1 : currentIndex + 1;
    showTask();
}

void TaskWindow::onTaskLinkClicked()
{
    if (currentIndex >= 1 && currentIndex <= tasks.size())
        openWebAddress(catalog.taskOpenUrl(tasks.at(currentIndex - 1)));
}

void TaskWindow::closeEvent(QCloseEvent *event)
{
    tasks.clear();
    event->accept();
}

void TaskWindow::showEvent(QShowEvent *)
{
    // Only a fresh popup goes to the corner; one the user dragged away stays where it is.
    if (!repositionOnShow)
        return;
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const int right = area.x() + area.width();
    const int bottom = area.y() + area.height();
    move(right - frameGeometry().width() - 2, bottom - frameGeometry().height() - 2);
}

bool TaskWindow::playSound(int kind)
{
    if (kind != 0)
        return false;
    static QSoundEffect *effect = [] {
        auto *sound = new QSoundEffect(QCoreApplication::instance());
        sound->setSource(QUrl(QStringLiteral("qrc:/MainWindow/Resources/notify.wav")));
        return sound;
    }();
    effect->play();
    return effect->status() != QSoundEffect::Error;
}
