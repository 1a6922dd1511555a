#include "app/kestrow.h"
#include "app/tray.h"
#include "core/appversion.h"
#include "scan/taskthread.h"
#include "sites/usersites.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"
#include "ui/mainwindow.h"
#include "ui/taskwindow.h"
#include "update/updatethread.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Answers the next modal box with button, noting its text.
void answerNextBox(QMessageBox::StandardButton button, QString *text)
{
    QTimer::singleShot(0, [button, text] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        *text = box->windowTitle() + u'|' + box->text();
        box->button(button)->click();
    });
}

int visibleWindows(const char *className)
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += widget->isVisible() && widget->inherits(className);
    return count;
}

// The desktop's notification service as far as Kestrow uses it, on the test's private session bus.
class FakeNotifications : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList received; // summary | body | actions
    bool refuse = false;
public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &, int)
    {
        received << summary + u'|' + body + u'|' + actions.join(u',');
        if (refuse)
            sendErrorReply(QDBusError::Failed, u"refused"_s);
        return 7;
    }
};

} // namespace

class TestKestrow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A session bus of our own, before anything connects to one.
        m_bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
        QVERIFY(m_bus.waitForReadyRead(10000));
        m_busAddress = QString::fromLatin1(m_bus.readLine().trimmed());
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_busAddress.toLatin1());
    }

    void cleanupTestCase()
    {
        m_bus.kill();
        m_bus.waitForFinished();
    }

    void init()
    {
        m_sandbox = std::make_unique<Sandbox>();
        // One followed node on a local server, so the scan thread keeps running between passes.
        m_server = std::make_unique<TestHttpServer>();
        m_server->setResponse(u"/list"_s, TestHttpServer::Response{200, "<ul></ul>", {}, 0, false, 0, 0});
        QVERIFY(CatalogBuilder().node(u"站"_s, u"节点"_s, m_server->url(u"/list"_s), listMarkers));
        QVERIFY(UserDb().setAttention({{u"站"_s, u"节点"_s}}));
        m_kestrow = std::make_unique<Kestrow>();
    }

    void cleanup()
    {
        m_kestrow.reset();
        m_server.reset();
        m_sandbox.reset();
    }

    void trayClicks()
    {
        m_kestrow->start();
        QSystemTrayIcon *icon = m_kestrow->tray()->icon();
        const QImage paused = iconImage(QIcon(u":/MainWindow/Resources/pause.png"_s));
        // The welcome step records the version it greeted.
        QCOMPARE(setting(Key::UseVersion), appVersion());
        // A single click pauses once the double-click time has passed, the next resumes; a double click never toggles,
        // nor do other reasons (context menu, middle click).
        for (const bool running : {false, true}) {
            m_kestrow->tray()->onActivated(QSystemTrayIcon::Trigger);
            QVERIFY(m_kestrow->isScanning() != running);
            QTRY_COMPARE_WITH_TIMEOUT(m_kestrow->isScanning(), running, 10000);
            QCOMPARE(icon->toolTip(), running ? u"Kestrow"_s : u"Kestrow - 未运行"_s);
            QCOMPARE(iconImage(icon->icon()) == paused, !running);
        }
        for (const auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context,
                                  QSystemTrayIcon::MiddleClick})
            m_kestrow->tray()->onActivated(reason);
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() * 2 + 200);
        QVERIFY(m_kestrow->isScanning());
    }

    void batchesFeedOnePopup()
    {
        m_kestrow->onNewTask({});
        QVERIFY(!m_kestrow->popup());
        m_kestrow->onNewTask({makeTask(u"一"_s), makeTask(u"二"_s)});
        TaskWindow *popup = m_kestrow->popup();
        QVERIFY(popup && popup->isVisible());
        m_kestrow->onNewTask({makeTask(u"三"_s)});
        QCOMPARE(m_kestrow->popup(), popup);
        QCOMPARE(popup->findChild<QLabel *>(u"pageLabel"_s)->text(), u"1 / 3"_s);
        // Closing the popup makes the controller forget it; the next batch opens a fresh one.
        popup->close();
        QTRY_VERIFY(!m_kestrow->popup());
        setSetting(Key::EnableSound, u"false"_s);
        m_kestrow->onNewTask({makeTask(u"四"_s)});
        QCOMPARE(m_kestrow->popup()->findChild<QLabel *>(u"pageLabel"_s)->text(), u"1 / 1"_s);
    }

    void updateQuestion()
    {
        QSignalSpy download(m_kestrow.get(), &Kestrow::downloadNewVersion);
        QString asked;
        m_kestrow->onCheckNewVersionFinished(QString());
        QVERIFY(asked.isEmpty());
        answerNextBox(QMessageBox::No, &asked);
        m_kestrow->onCheckNewVersionFinished(u"2.1.0"_s);
        QCOMPARE(
            asked,
            u"程序更新|发现新版本[Kestrow v2.1.0]是否现在进行更新?\nPS:程序将会在后台自动下载更新,建议选择'是'."_s);
        QCOMPARE(download.size(), 0);
        // Asked again at the next check; a second result while the box is open is dropped; yes asks for the download.
        asked.clear();
        QTimer::singleShot(0, this, [this] { m_kestrow->onCheckNewVersionFinished(u"2.2.0"_s); });
        answerNextBox(QMessageBox::Yes, &asked);
        m_kestrow->onCheckNewVersionFinished(u"2.1.0"_s);
        QVERIFY(asked.contains(u"2.1.0"_s));
        QCOMPARE(download.size(), 1);
        QCOMPARE(visibleWindows("QMessageBox"), 0);
    }

    void quitStopsScanBeforeUpdate()
    {
        m_kestrow->start();
        QVERIFY(m_kestrow->isScanning() && m_kestrow->housekeepingThread()->isRunning());
        QStringList order;
        QMutex mutex;
        const auto note = [&](const QString &what) {
            QMutexLocker locker(&mutex);
            order << what;
        };
        connect(
            m_kestrow->scanThread(), &QThread::finished, this, [&] { note(u"scan"_s); }, Qt::DirectConnection);
        connect(
            m_kestrow->housekeepingThread(), &QThread::finished, this, [&] { note(u"update"_s); },
            Qt::DirectConnection);
        m_kestrow->onQuit();
        QCOMPARE(order, (QStringList{u"scan"_s, u"update"_s}));
        QVERIFY(!m_kestrow->isScanning() && !m_kestrow->housekeepingThread());
        // The repeated stops of aboutToQuit find nothing to do.
        m_kestrow->onAboutToQuit();
        QCOMPARE(order.size(), 2);
    }

    void quitsOnlyWhenThePackageWasOpened()
    {
        m_kestrow->start();
        // Nothing here opens files: the program keeps running. Once something takes the package, it quits.
        m_kestrow->onDownloadNewVersionFinished(m_sandbox->root() + u"/KestrowSetup.deb"_s);
        QVERIFY(m_kestrow->housekeepingThread());
        UrlCatcher opener({u"file"_s});
        m_kestrow->onDownloadNewVersionFinished(m_sandbox->root() + u"/KestrowSetup.deb"_s);
        QCOMPARE(opener.opened, QList<QUrl>{QUrl::fromLocalFile(m_sandbox->root() + u"/KestrowSetup.deb"_s)});
        QVERIFY(!m_kestrow->housekeepingThread() && !m_kestrow->isScanning());
    }

    void storageProblemsAreToldOnce()
    {
        m_kestrow->start();
        QSignalSpy told(m_kestrow->tray(), &Tray::messageShown);
        const QString welcome = m_kestrow->tray()->icon()->toolTip();
        QVERIFY(rawExec(m_sandbox->userDbPath(), u"CREATE TRIGGER full BEFORE INSERT ON tb_history_task BEGIN SELECT "
                                                 "RAISE(ABORT, 'full'); END;"_s));
        for (int i = 0; i < 2; ++i)
            QVERIFY(!UserDb().addTasks({makeTask(u"t"_s)}));
        // One balloon naming the problem and the folder; a tool-tip line while it lasts; gone once storing works.
        QTRY_VERIFY(m_kestrow->tray()->icon()->toolTip().contains(u"无法保存"_s));
        QCOMPARE(told.size(), 1);
        QVERIFY(told.first().at(1).toString().endsWith(QFileInfo(m_sandbox->userDbPath()).absolutePath()));
        QVERIFY(rawExec(m_sandbox->userDbPath(), u"DROP TRIGGER full;"_s));
        QVERIFY(UserDb().addTasks({makeTask(u"t"_s)}));
        QTRY_COMPARE(m_kestrow->tray()->icon()->toolTip(), welcome);
        QCOMPARE(told.size(), 1);
    }

    void troubledNodesAreShown()
    {
        m_kestrow->start();
        QSystemTrayIcon *icon = m_kestrow->tray()->icon();
        QSignalSpy told(m_kestrow->tray(), &Tray::messageShown);
        const QString plainTip = icon->toolTip();
        const QImage plainIcon = iconImage(icon->icon());
        NodeStatus status{u"站"_s, u"节点"_s, 3, 0, 0, 1796544000, u"HTTP 503"_s};
        // A tool-tip line and a warning mark while any node is troubled; one balloon when a node becomes so.
        m_kestrow->onNodeHealth({status});
        QCOMPARE(icon->toolTip(), plainTip + u"\n1 个关注节点异常"_s);
        QVERIFY(iconImage(icon->icon()) != plainIcon);
        m_kestrow->onNodeTroubleBegan(status);
        QCOMPARE(told.size(), 1);
        QVERIFY(told[0][1].toString().contains(u"连续3次获取失败"_s) && told[0][1].toString().contains(u"HTTP 503"_s));
        // Both clear by themselves once the engine reports no troubled node.
        m_kestrow->onNodeHealth({});
        QCOMPARE(icon->toolTip(), plainTip);
        QCOMPARE(iconImage(icon->icon()), plainIcon);
    }

    void filtersAndQuietHours()
    {
        // A filtered-out task is stored in the history all the same, but not announced.
        setSetting(Key::AlertExclude, u"广告"_s);
        TestHttpServer::Response list;
        list.body = listPage({u"Logo 设计"_s, u"广告推广"_s});
        m_server->setResponse(u"/list"_s, list);
        m_kestrow->start();
        QTRY_VERIFY_WITH_TIMEOUT(m_kestrow->popup(), 10000);
        QCOMPARE(m_kestrow->popup()->findChild<QLabel *>(u"pageLabel"_s)->text(), u"1 / 1"_s);
        TaskRows history;
        QVERIFY(UserDb().searchTasks(QString(), u"广告"_s, history));
        QCOMPARE(history.size(), 1);
        m_kestrow->popup()->close();
        QTRY_VERIFY(!m_kestrow->popup());
        // Found in quiet hours: no popup until they end, then one batch.
        setSetting(Key::QuietStart, u"22:00"_s);
        setSetting(Key::QuietEnd, u"08:00"_s);
        Clock::setOverride(QDateTime(QDate(2026, 12, 6), QTime(23, 0)));
        m_kestrow->onNewTask({makeTask(u"一"_s)});
        m_kestrow->onNewTask({makeTask(u"二"_s), makeTask(u"广告"_s)});
        QVERIFY(!m_kestrow->popup());
        m_kestrow->onQuietEnd(); // still quiet: nothing yet
        QVERIFY(!m_kestrow->popup());
        Clock::setOverride(QDateTime(QDate(2026, 12, 7), QTime(8, 0)));
        m_kestrow->onQuietEnd();
        QVERIFY(m_kestrow->popup());
        QCOMPARE(m_kestrow->popup()->findChild<QLabel *>(u"pageLabel"_s)->text(), u"1 / 2"_s);
    }

    void desktopNotifications()
    {
        setSetting(Key::NotifyVia, u"desktop"_s);
        // Without a notification service the popup announces the batch.
        m_kestrow->onNewTask({makeTask(u"一"_s)});
        QVERIFY(m_kestrow->popup());
        m_kestrow->popup()->close();
        QTRY_VERIFY(!m_kestrow->popup());
        // With one: a notification per batch, titles as text; its default action opens the first task.
        QDBusConnection service = QDBusConnection::connectToBus(m_busAddress, u"fake"_s);
        FakeNotifications fake;
        QVERIFY(service.registerService(u"org.freedesktop.Notifications"_s));
        QVERIFY(service.registerObject(u"/org/freedesktop/Notifications"_s, &fake, QDBusConnection::ExportAllSlots));
        UrlCatcher opener;
        QList<TaskData> batch;
        for (const char *title : {"<b>一</b>", "二", "三", "四"})
            batch << makeTask(QString::fromUtf8(title));
        m_kestrow->onNewTask(batch);
        QTRY_COMPARE(fake.received.size(), 1);
        QCOMPARE(fake.received[0],
                 u"4 个新任务|&lt;b&gt;一&lt;/b&gt; (100元)\n二 (100元)\n三 (100元)\n…共 4 个新任务|default,打开"_s);
        QVERIFY(!m_kestrow->popup());
        QTest::qWait(100); // the reply with the notification's id
        service.send(QDBusMessage::createSignal(u"/org/freedesktop/Notifications"_s, u"org.freedesktop.Notifications"_s,
                                                u"ActionInvoked"_s)
                     << uint(7) << u"default"_s);
        QTRY_COMPARE(opener.opened, QList<QUrl>{QUrl(batch[0].task_url)});
        // A service that refuses the notification: the popup shows the batch instead.
        fake.refuse = true;
        m_kestrow->onNewTask({makeTask(u"五"_s)});
        QTRY_VERIFY(m_kestrow->popup());
        service.unregisterService(u"org.freedesktop.Notifications"_s);
        QDBusConnection::disconnectFromBus(u"fake"_s);
    }

    void userSiteIsScanned()
    {
        // A site of the user's own is scanned and announced like any other; a broken file beside it keeps nothing from
        // loading.
        TestHttpServer::Response list;
        list.body = listPage({u"自有任务"_s});
        m_server->setResponse(u"/mine"_s, list);
        const QString json = u"{\"sites\": [{\"name\": \"我的站\", \"nodes\": [{\"name\": \"n\", \"url\": \"%1\", "
                             "\"markers\": {\"table\": [\"<ul>\", \"</ul>\"], \"row\": [\"<li>\", \"</li>\"], "
                             "\"title\": [\"<b>\", \"</b>\"]}}]}]}"_s.arg(m_server->url(u"/mine"_s));
        QVERIFY(writeFile(UserSites::folder() + u"/mine.json"_s, json.toUtf8()));
        QVERIFY(writeFile(UserSites::folder() + u"/bad.json"_s, "{"));
        QVERIFY(UserDb().setAttention({{u"我的站"_s, u"n"_s}}));
        m_kestrow = std::make_unique<Kestrow>();
        m_kestrow->start();
        QTRY_VERIFY_WITH_TIMEOUT(m_kestrow->popup(), 10000);
        QCOMPARE(m_kestrow->popup()->windowTitle(), u"我的站 - n"_s);
    }

    void closingTheAttentionWindowRestartsScanning()
    {
        m_kestrow->start();
        // Without a notification area (as here, offscreen) the attention window opens so the program is not invisible.
        QPointer<MainWindow> window = m_kestrow->attentionWindow();
        QVERIFY(window && window->isVisible());
        QSignalSpy started(m_kestrow->scanThread(), &QThread::started);
        window->close();
        QTRY_VERIFY(!window && !m_kestrow->attentionWindow());
        QCOMPARE(started.size(), 1);
        QVERIFY(m_kestrow->isScanning());
        // Paused, closing the window saves but leaves scanning off.
        m_kestrow->onTrayClicked();
        QVERIFY(!m_kestrow->isScanning());
        m_kestrow->onOpenMainWindow();
        window = m_kestrow->attentionWindow();
        window->close();
        QTRY_VERIFY(!window);
        QCOMPARE(started.size(), 1);
        QVERIFY(!m_kestrow->isScanning());
    }

    void modalWindowsRunOnce()
    {
        // While a modal window runs, asking for it again does nothing.
        for (const char *kind : {"ConfigWindow", "AboutWindow"}) {
            const auto open = [this, kind] {
                qstrcmp(kind, "ConfigWindow") == 0 ? m_kestrow->onOpenConfigWindow() : m_kestrow->onOpenAboutWindow();
            };
            int seen = -1;
            QTimer::singleShot(0, this, [&] {
                open();
                seen = visibleWindows(kind);
                QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
            });
            open();
            QCOMPARE(seen, 1);
            QCOMPARE(visibleWindows(kind), 0);
        }
    }

private:
    QProcess m_bus;
    QString m_busAddress;
    std::unique_ptr<Sandbox> m_sandbox;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<Kestrow> m_kestrow;
};

QTEST_MAIN(TestKestrow)
#include "tst_kestrow.moc"
