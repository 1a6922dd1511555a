#include "taskwindow.h"
#include "tlinkbutton.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace {

TaskData task(const QString &title, const QString &price = QStringLiteral("500元"))
{
    return TaskData{QStringLiteral("鹰眼众包"),
                    QStringLiteral("平面设计"),
                    title,
                    price,
                    QStringLiteral("http://127.0.0.1:8731/t/") + title,
                    QStringLiteral("http://127.0.0.1:8731/l"),
                    0};
}

struct Popup
{
    QPointer<TaskWindow> window = new TaskWindow;
    QString text(const char *name) const { return window->findChild<QLabel *>(QLatin1String(name))->text(); }
    void click(const char *name) const
    {
        QTest::mouseClick(window->findChild<TLinkButton *>(QLatin1String(name)), Qt::LeftButton, {}, QPoint(3, 3));
    }
    ~Popup() { delete window; }
};

} // namespace

class TestTaskWindow : public QObject
{
    Q_OBJECT

private slots:
    void pagingWrapsAround();
    void laterBatchKeepsTheShownTask();
    void placedInTheCornerOnFirstShowOnly();
    void pageTextIsPlain();
    void closingDropsTheTasks();
};

void TestTaskWindow::pagingWrapsAround()
{
    Popup popup;
    popup.window->pushTasks(
        {task(QStringLiteral("一")), task(QStringLiteral("二"), QString()), task(QStringLiteral("三"))});
    popup.window->show();
    QCOMPARE(popup.text("pageLabel"), QStringLiteral("1 / 3"));
    QCOMPARE(popup.text("taskLink"), QStringLiteral("一"));
    QCOMPARE(popup.text("priceLabel"), QStringLiteral("价格 : 500元"));
    QCOMPARE(popup.window->windowTitle(), QStringLiteral("鹰眼众包 - 平面设计"));
    popup.click("prevLink");
    QCOMPARE(popup.text("pageLabel"), QStringLiteral("3 / 3"));
    QCOMPARE(popup.text("taskLink"), QStringLiteral("三"));
    popup.click("nextLink");
    popup.click("nextLink");
    QCOMPARE(popup.text("pageLabel"), QStringLiteral("2 / 3"));
    QCOMPARE(popup.text("priceLabel"), QStringLiteral("价格 : 无"));
    // One task: both directions keep showing it.
    Popup single;
    single.window->pushTasks({task(QStringLiteral("唯一"))});
    single.click("nextLink");
    single.click("prevLink");
    QCOMPARE(single.text("pageLabel"), QStringLiteral("1 / 1"));
}

void TestTaskWindow::laterBatchKeepsTheShownTask()
{
    Popup popup;
    popup.window->pushTasks({task(QStringLiteral("一")), task(QStringLiteral("二")), task(QStringLiteral("三"))});
    popup.window->show();
    popup.click("nextLink");
    popup.window->pushTasks({task(QStringLiteral("四")), task(QStringLiteral("五"))});
    popup.window->show();
    QCOMPARE(popup.text("pageLabel"), QStringLiteral("2 / 5"));
    QCOMPARE(popup.text("taskLink"), QStringLiteral("二"));
    popup.click("prevLink");
    popup.click("prevLink");
    QCOMPARE(popup.text("taskLink"), QStringLiteral("五"));
}

void TestTaskWindow::placedInTheCornerOnFirstShowOnly()
{
    Popup popup;
    popup.window->pushTasks({task(QStringLiteral("一"))});
    popup.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(popup.window));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = popup.window->frameGeometry();
    QCOMPARE(frame.x() + frame.width() + 2, area.x() + area.width());
    QCOMPARE(frame.y() + frame.height() + 2, area.y() + area.height());
    // The user drags it away; a later batch leaves it there.
    popup.window->move(40, 50);
    popup.window->pushTasks({task(QStringLiteral("二"))});
    popup.window->show();
    QCOMPARE(popup.window->pos(), QPoint(40, 50));
    popup.window->hide();
    popup.window->show();
    QCOMPARE(popup.window->pos(), QPoint(40, 50));
}

void TestTaskWindow::pageTextIsPlain()
{
    Popup popup;
    const QString hostile = QStringLiteral("<img src=x onerror=alert(1)><b>粗体</b>");
    popup.window->pushTasks({task(hostile, QStringLiteral("<i>9</i>"))});
    auto *link = popup.window->findChild<TLinkButton *>(QStringLiteral("taskLink"));
    QCOMPARE(link->textFormat(), Qt::PlainText);
    QCOMPARE(link->text(), hostile);
    QVERIFY(link->toolTip().contains(QStringLiteral("&lt;img src=x")));
    QVERIFY(!link->toolTip().contains(QStringLiteral("<img")));
    QCOMPARE(popup.window->findChild<QLabel *>(QStringLiteral("priceLabel"))->textFormat(), Qt::PlainText);
    QCOMPARE(popup.text("priceLabel"), QStringLiteral("价格 : <i>9</i>"));
}

void TestTaskWindow::closingDropsTheTasks()
{
    auto *window = new TaskWindow;
    QSignalSpy gone(window, &TaskWindow::destructor);
    window->pushTasks({task(QStringLiteral("一")), task(QStringLiteral("二"))});
    window->show();
    QVERIFY(window->close());
    // Delete-on-close: the window goes away and says so.
    QTRY_COMPARE(gone.size(), 1);
    // A new popup starts over with only its own batch.
    Popup fresh;
    fresh.window->pushTasks({task(QStringLiteral("三"))});
    QCOMPARE(fresh.text("pageLabel"), QStringLiteral("1 / 1"));
    QVERIFY(!TaskWindow::playSound(1));
}

QTEST_MAIN(TestTaskWindow)
#include "tst_taskwindow.moc"
