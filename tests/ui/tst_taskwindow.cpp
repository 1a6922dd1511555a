#include "support/sandbox.h"
#include "ui/kit/safeurl.h"
#include "ui/kit/tbutton.h"
#include "ui/kit/tdialog.h"
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

// The popup and the widget kit it is made of.
class TestTaskWindow : public QObject
{
    Q_OBJECT

private slots:
    void paging()
    {
        Popup popup;
        popup.window->pushTasks({task(u"一"_s), task(u"二"_s, QString()), task(u"三"_s)});
        popup.window->show();
        QCOMPARE(popup.window->windowTitle(), u"鹰眼众包 - 平面设计"_s);
        QCOMPARE(popup.text("priceLabel"), u"价格 : 500元"_s);
        // Paging wraps around both ways; a later batch is appended and keeps the shown task.
        const QList<std::pair<const char *, QString>> steps = {
            {"prevLink", u"3 / 3 三"_s}, {"nextLink", u"1 / 3 一"_s}, {"nextLink", u"2 / 3 二"_s},
            {"", u"2 / 5 二"_s},         {"prevLink", u"1 / 5 一"_s}, {"prevLink", u"5 / 5 五"_s}};
        for (const auto &[link, shown] : steps) {
            if (*link)
                popup.click(link);
            else
                popup.window->pushTasks({task(u"四"_s), task(u"五"_s)});
            QCOMPARE(popup.text("pageLabel") + u' ' + popup.text("taskLink"), shown);
        }
        // It keeps the latest 1,000 tasks, the shown one among them while it can.
        QList<TaskData> many;
        for (int i = 0; i < 998; ++i)
            many << task(QString::number(i));
        popup.window->pushTasks(many);
        QCOMPARE(popup.text("pageLabel") + u' ' + popup.text("taskLink"), u"2 / 1000 五"_s);
        popup.window->pushTasks(many.mid(0, 2));
        QCOMPARE(popup.text("pageLabel") + u' ' + popup.text("taskLink"), u"1 / 1000 0"_s);
        // Closing drops the tasks (delete-on-close): a new popup starts over with its own batch.
        QSignalSpy gone(popup.window.data(), &TaskWindow::destructor);
        QVERIFY(popup.window->close());
        QTRY_COMPARE(gone.size(), 1);
        Popup fresh;
        fresh.window->pushTasks({task(u"唯一"_s)});
        fresh.click("nextLink");
        QCOMPARE(fresh.text("pageLabel"), u"1 / 1"_s);
    }

    void placedInTheCornerOnFirstShowOnly()
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

    void pageTextIsPlain()
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
        // A link without text shows its address.
        TLinkButton empty;
        empty.setUrl(u"http://example.invalid/b"_s);
        QCOMPARE(empty.text(), u"http://example.invalid/b"_s);
    }

    void notificationSoundLoads()
    {
        // The compiled-in clip is a wave the sound effect accepts.
        QVERIFY(TaskWindow::playSound(0));
        QSoundEffect probe;
        probe.setSource(QUrl(u"qrc:/MainWindow/Resources/notify.wav"_s));
        QTRY_VERIFY_WITH_TIMEOUT(probe.status() != QSoundEffect::Loading, 5000);
        QCOMPARE(probe.status(), QSoundEffect::Ready);
    }

    void clicksNeedPressAndReleaseInside()
    {
        QWidget parent;
        TButton glyph(&parent, 0);
        glyph.setGeometry(5, 5, 16, 16);
        TLinkButton link(&parent);
        link.setGeometry(30, 5, 100, 20);
        parent.resize(200, 40);
        parent.show();
        for (QWidget *button : {static_cast<QWidget *>(&glyph), static_cast<QWidget *>(&link)}) {
            QSignalSpy clicked(button, SIGNAL(clicked()));
            QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, 8));
            QCOMPARE(clicked.size(), 1);
            // A press released outside is no click.
            QTest::mousePress(button, Qt::LeftButton, {}, QPoint(8, 8));
            QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(150, 8));
            QCOMPARE(clicked.size(), 1);
        }
    }

    void dialogsOpenCentred()
    {
        // A dialog that was not placed opens in the middle of the screen, not at its top-left corner (Qt allows for a
        // window-manager frame of up to 10 by 40 pixels it cannot see on a frameless window).
        TDialog dialog;
        dialog.resize(250, 200);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QPoint offset = dialog.frameGeometry().center() - dialog.screen()->availableGeometry().center();
        QVERIFY2(qAbs(offset.x()) <= 10 && qAbs(offset.y()) <= 40,
                 qPrintable(u"%1,%2"_s.arg(offset.x()).arg(offset.y())));
    }

    void onlyWebAddressesAreOpened_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("web");
        QTest::newRow("http") << u"http://127.0.0.1:8731/t/1"_s << true;
        QTest::newRow("https upper case") << u"HTTPS://example.com/?q=%E4%B8%AD"_s << true;
        QTest::newRow("chinese path") << u"http://127.0.0.1:8731/任务/1?标题=网站 建设"_s << true;
        for (const char *bad : {"javascript:alert(1)", "file:///etc/passwd", "mailto:a@b", "/relative/path",
                                "ftp://example.com/", "http://", "data:text/html,<b>x</b>", ""})
            QTest::newRow(bad) << QString::fromLatin1(bad) << false;
    }

    void onlyWebAddressesAreOpened()
    {
        QFETCH(QString, address);
        QFETCH(bool, web);
        QCOMPARE(isWebAddress(address), web);
        if (!web)
            QVERIFY(!openWebAddress(address));
    }
};

QTEST_MAIN(TestTaskWindow)
#include "tst_taskwindow.moc"
