#pragma once

#include "core/taskdata.h"
#include "sites/catalog.h"
#include "ui/kit/tdialog.h"

#include <QList>

class QLabel;
class TLinkButton;

// The new-task popup in the corner of the work area: one task at a time with its price, a counter and paging;
// a click on the title opens the task in the browser. Closing it drops its tasks.
class TaskWindow : public TDialog
{
    Q_OBJECT

public:
    // A click opens a task at the address catalog gives it.
    explicit TaskWindow(const Catalog &catalog = Catalog(), QWidget *parent = nullptr);
    ~TaskWindow() override;

    // The most tasks the popup holds; older ones give way to newer.
    static constexpr int maxTasks = 1000;

    // Takes a batch: a fresh popup shows its first task; an open one appends it and keeps the task in view.
    void pushTasks(const QList<TaskData> &list);

    // Kind 0 plays the notification sound asynchronously; true when it could be started.
    static bool playSound(int kind);

signals:
    void destructor();

private slots:
    void onTaskLinkClicked();
    void onPrevLinkClicked();
    void onNextLinkClicked();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void showTask();

    const Catalog catalog;
    TLinkButton *taskLink;
    TLinkButton *prevLink;
    TLinkButton *nextLink;
    QLabel *priceLabel;
    QLabel *pageLabel;
    int currentIndex = 0; // 1-based
    int taskCount = 0;
    QList<TaskData> tasks;
    bool repositionOnShow = true;
};
