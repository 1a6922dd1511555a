#include "support/sandbox.h"
#include "ui/kit/safeurl.h"
#include "ui/kit/tbutton.h"
#include "ui/kit/tdialog.h"
#include "ui/kit/tlinkbutton.h"
#include "ui/taskwindow.h"

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
    QString shown() const { return text("pageLabel") + u' ' + text("taskLink"); }
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
            QCOMPARE(popup.shown(), shown);
        }
        // It keeps the latest 1,000 tasks, the shown one among them while it can.
        QList<TaskData> many;
        for (int i = 0; i < 998; ++i)
            many << task(QString::number(i));
        popup.window->pushTasks(many);
        QCOMPARE(popup.shown(), u"2 / 1000 五"_s);
        popup.window->pushTasks(many.mid(0, 2));
        QCOMPARE(popup.shown(), u"1 / 1000 0"_s);
        // Closing drops the tasks (delete-on-close): a new popup starts over with its own batch.
        QVERIFY(popup.window->close());
        QTRY_VERIFY(!popup.window);
        Popup fresh;
        fresh.window->pushTasks({task(u"唯一"_s)});
        fresh.click("nextLink");
        QCOMPARE(fresh.shown(), u"1 / 1 唯一"_s);
    }

    void placedInTheCornerOnFirstShowOnly()
    {
        Popup popup;
        popup.window->pushTasks({task(u"一"_s)});
        popup.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(popup.window));
        QCOMPARE(popup.window->frameGeometry().bottomRight() + QPoint(2, 2),
                 popup.window->screen()->availableGeometry().bottomRight());
        // The user drags it away; a later batch, or hiding and showing, leaves it there.
        popup.window->move(40, 50);
        popup.window->pushTasks({task(u"二"_s)});
        popup.window->show();
        popup.window->hide();
        popup.window->show();
        QCOMPARE(popup.window->pos(), QPoint(40, 50));
    }

    void textsArePlain()
    {
        Popup popup;
        const QString hostile = u"<img src=x onerror=alert(1)><b>粗体</b>"_s;
        popup.window->pushTasks({task(hostile, u"<i>9</i>"_s)});
        auto *link = popup.window->findChild<TLinkButton *>(u"taskLink"_s);
        QVERIFY(link->textFormat() == Qt::PlainText && link->text() == hostile);
        QVERIFY(link->toolTip().contains(u"&lt;img src=x"_s) && !link->toolTip().contains(u"<img"_s));
        QCOMPARE(popup.window->findChild<QLabel *>(u"priceLabel"_s)->textFormat(), Qt::PlainText);
        QCOMPARE(popup.text("priceLabel"), u"价格 : <i>9</i>"_s);
    }

    void notificationSoundLoads()
    {
        // The compiled-in clip is a wave the sound effect accepts.
        QSoundEffect probe;
        probe.setSource(QUrl(u"qrc:/MainWindow/Resources/notify.wav"_s));
        QTRY_VERIFY_WITH_TIMEOUT(probe.status() != QSoundEffect::Loading, 5000);
        QCOMPARE(probe.status(), QSoundEffect::Ready);
    }

    void clicksNeedPressAndReleaseInside()
    {
        QWidget parent;
        TButton glyph(&parent, 0);
        TLinkButton link(&parent);
        glyph.setGeometry(5, 5, 16, 16);
        link.setGeometry(30, 5, 100, 20);
        parent.resize(200, 40);
        parent.show();
        for (QWidget *button : std::initializer_list<QWidget *>{&glyph, &link}) {
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

    void onlyWebAddressesAreOpened()
    {
        for (const char *web : {"http://127.0.0.1:8731/t/1", "HTTPS://example.com/?q=%E4%B8%AD"})
            QVERIFY2(isWebAddress(QString::fromLatin1(web)), web);
        QVERIFY(isWebAddress(u"http://127.0.0.1:8731/任务/1?标题=网站 建设"_s));
        for (const char *bad : {"javascript:alert(1)", "file:///etc/passwd", "mailto:a@b", "/relative/path",
                                "ftp://example.com/", "http://", "data:text/html,<b>x</b>", ""})
            QVERIFY2(!isWebAddress(QString::fromLatin1(bad)) && !openWebAddress(QString::fromLatin1(bad)), bad);
    }
};

QTEST_MAIN(TestTaskWindow)
#include "tst_taskwindow.moc"
