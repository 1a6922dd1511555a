#include "support/sandbox.h"
#include "ui/kit/tlinkbutton.h"
#include "ui/taskwindow.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QSoundEffect>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

TaskData task(const QString &title, const QString &price = u"500元"_s)
{
    TaskData t = makeTask(title, price, u"鹰眼众包"_s);
    t.note_name = u"平面设计"_s;
    return t;
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
    void notificationSoundLoads();
};

void TestTaskWindow::pagingWrapsAround()
{
    Popup popup;
    popup.window->pushTasks({task(u"一"_s), task(u"二"_s, QString()), task(u"三"_s)});
    popup.window->show();
    QCOMPARE(popup.text("pageLabel"), u"1 / 3"_s);
    QCOMPARE(popup.text("taskLink"), u"一"_s);
    QCOMPARE(popup.text("priceLabel"), u"价格 : 500元"_s);
    QCOMPARE(popup.window->windowTitle(), u"鹰眼众包 - 平面设计"_s);
    popup.click("prevLink");
    QCOMPARE(popup.text("pageLabel"), u"3 / 3"_s);
    QCOMPARE(popup.text("taskLink"), u"三"_s);
    popup.click("nextLink");
    popup.click("nextLink");
    QCOMPARE(popup.text("pageLabel"), u"2 / 3"_s);
    QCOMPARE(popup.text("priceLabel"), u"价格 : 无"_s);
    // One task: both directions keep showing it.
    Popup single;
    single.window->pushTasks({task(u"唯一"_s)});
    single.click("nextLink");
    single.click("prevLink");
    QCOMPARE(single.text("pageLabel"), u"1 / 1"_s);
}

void TestTaskWindow::laterBatchKeepsTheShownTask()
{
    Popup popup;
    popup.window->pushTasks({task(u"一"_s), task(u"二"_s), task(u"三"_s)});
    popup.window->show();
    popup.click("nextLink");
    popup.window->pushTasks({task(u"四"_s), task(u"五"_s)});
    popup.window->show();
    QCOMPARE(popup.text("pageLabel"), u"2 / 5"_s);
    QCOMPARE(popup.text("taskLink"), u"二"_s);
    popup.click("prevLink");
    popup.click("prevLink");
    QCOMPARE(popup.text("taskLink"), u"五"_s);
}

void TestTaskWindow::placedInTheCornerOnFirstShowOnly()
{
    Popup popup;
    popup.window->pushTasks({task(u"一"_s)});
    popup.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(popup.window));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = popup.window->frameGeometry();
    QCOMPARE(frame.x() + frame.width() + 2, area.x() + area.width());
    QCOMPARE(frame.y() + frame.height() + 2, area.y() + area.height());
    // The user drags it away; a later batch leaves it there.
    popup.window->move(40, 50);
    popup.window->pushTasks({task(u"二"_s)});
    popup.window->show();
    QCOMPARE(popup.window->pos(), QPoint(40, 50));
    popup.window->hide();
    popup.window->show();
    QCOMPARE(popup.window->pos(), QPoint(40, 50));
}

void TestTaskWindow::pageTextIsPlain()
{
    Popup popup;
    const QString hostile = u"<img src=x onerror=alert(1)><b>粗体</b>"_s;
    popup.window->pushTasks({task(hostile, u"<i>9</i>"_s)});
    auto *link = popup.window->findChild<TLinkButton *>(u"taskLink"_s);
    QCOMPARE(link->textFormat(), Qt::PlainText);
    QCOMPARE(link->text(), hostile);
    QVERIFY(link->toolTip().contains(u"&lt;img src=x"_s));
    QVERIFY(!link->toolTip().contains(u"<img"_s));
    QCOMPARE(popup.window->findChild<QLabel *>(u"priceLabel"_s)->textFormat(), Qt::PlainText);
    QCOMPARE(popup.text("priceLabel"), u"价格 : <i>9</i>"_s);
}

void TestTaskWindow::closingDropsTheTasks()
{
    auto *window = new TaskWindow;
    QSignalSpy gone(window, &TaskWindow::destructor);
    window->pushTasks({task(u"一"_s), task(u"二"_s)});
    window->show();
    QVERIFY(window->close());
    // Delete-on-close: the window goes away and says so.
    QTRY_COMPARE(gone.size(), 1);
    // A new popup starts over with only its own batch.
    Popup fresh;
    fresh.window->pushTasks({task(u"三"_s)});
    QCOMPARE(fresh.text("pageLabel"), u"1 / 1"_s);
}

void TestTaskWindow::notificationSoundLoads()
{
    // The compiled-in clip is a wave the sound effect accepts.
    QVERIFY(TaskWindow::playSound(0));
    QVERIFY(!TaskWindow::playSound(1));
    QSoundEffect probe;
    probe.setSource(QUrl(u"qrc:/MainWindow/Resources/notify.wav"_s));
    QTRY_VERIFY_WITH_TIMEOUT(probe.status() != QSoundEffect::Loading, 5000);
    QCOMPARE(probe.status(), QSoundEffect::Ready);
}

QTEST_MAIN(TestTaskWindow)
#include "tst_taskwindow.moc"
