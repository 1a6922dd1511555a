#include "app/commandline.h"
#include "app/instance.h"
#include "app/kestrow.h"
#include "app/startup.h"
#include "app/tray.h"
#include "core/appversion.h"
#include "scan/taskthread.h"
#include "sites/usersites.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"
#include "support/xdesktop.h"
#include "ui/aboutwindow.h"
#include "ui/addsitewindow.h"
#include "ui/configwindow.h"
#include "ui/historywindow.h"
#include "ui/kit/ttabwidget.h"
#include "ui/mainwindow.h"
#include "ui/siteview.h"
#include "ui/taskwindow.h"
#include "update/updatethread.h"

#include <QAbstractButton>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include <future>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Answers the next modal box with button, noting its title and text.
void answerNextBox(QMessageBox::StandardButton button, QString *text)
{
    QTimer::singleShot(0, [button, text] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            *text =
                box->windowTitle() + u'|' + box->text() + (box->textFormat() == Qt::PlainText ? u"|plain"_s : u""_s);
            box->button(button)->click();
        }
    });
}

int visibleDialogs()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += widget->isVisible() && widget->inherits("QDialog");
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

// A notification area of the StatusNotifierItem kind (KDE Plasma, GNOME's AppIndicator extension) as far as Qt asks
// for one: it names the items that register.
class FakeWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)

public:
    QStringList items;
    bool hostRegistered() const { return true; }
public slots:
    void RegisterStatusNotifierItem(const QString &service) { items << service; }
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

    void init()
    {
        m_sandbox = std::make_unique<Sandbox>();
        // One followed node on a local server, so the scan thread keeps running between passes.
        m_server = std::make_unique<TestHttpServer>();
        TestHttpServer::Response empty;
        empty.body = "<ul></ul>";
        m_server->setResponse(u"/list"_s, empty);
        QVERIFY(CatalogBuilder().node(u"站"_s, u"节点"_s, m_server->url(u"/list"_s), listMarkers));
        QVERIFY(UserDb().setAttention({{u"站"_s, u"节点"_s}}));
        m_kestrow = std::make_unique<Kestrow>();
    }

    void cleanup() { m_kestrow.reset(), m_server.reset(), m_sandbox.reset(); }
    void cleanupTestCase() { m_bus.kill(), m_bus.waitForFinished(); }

    void startTrayAndAttentionWindow()
    {
        // A site of the user's own is scanned and announced like any other.
        TestHttpServer::Response list;
        list.body = listPage({u"自有任务"_s});
        m_server->setResponse(u"/mine"_s, list);
        const QString json = u"{\"sites\": [{\"name\": \"我的站\", \"nodes\": [{\"name\": \"n\", \"url\": \"%1\", "
                             "\"markers\": {\"table\": [\"<ul>\", \"</ul>\"], \"row\": [\"<li>\", \"</li>\"], "
                             "\"title\": [\"<b>\", \"</b>\"]}}]}]}"_s.arg(m_server->url(u"/mine"_s));
        QVERIFY(writeFile(UserSites::folder() + u"/mine.json"_s, json.toUtf8()));
        QVERIFY(UserDb().setAttention({{u"我的站"_s, u"n"_s}}));
        m_kestrow->start();
        QTRY_VERIFY_WITH_TIMEOUT(m_kestrow->popup(), 10000);
        QCOMPARE(m_kestrow->popup()->windowTitle(), u"我的站 - n"_s);
        QCOMPARE(setting(Key::UseVersion), appVersion()); // the welcome step records the version it greeted
        // Without a notification area (as here, offscreen) the attention window opens so the program is not
        // invisible; closing it restarts scanning, so the nodes chosen take effect.
        QPointer<MainWindow> window = m_kestrow->attentionWindow();
        QVERIFY(window && window->isVisible());
        QSignalSpy started(m_kestrow->scanThread(), &QThread::started);
        window->close();
        QTRY_VERIFY(!window && !m_kestrow->attentionWindow());
        QVERIFY(m_kestrow->isScanning() && started.size() == 1);
        // A single click pauses once the double-click time has passed.
        QSystemTrayIcon *icon = m_kestrow->tray()->icon();
        m_kestrow->tray()->onActivated(QSystemTrayIcon::Trigger);
        QVERIFY(m_kestrow->isScanning());
        QTRY_VERIFY_WITH_TIMEOUT(!m_kestrow->isScanning(), 10000);
        QCOMPARE(icon->toolTip(), u"Kestrow - 未运行"_s);
        // Paused, closing the attention window saves but leaves scanning off.
        m_kestrow->onOpenMainWindow();
        window = m_kestrow->attentionWindow();
        window->close();
        QTRY_VERIFY(!window);
        QVERIFY(!m_kestrow->isScanning() && started.size() == 1);
        // A double click never toggles, nor do other reasons (context menu, middle click); the next click resumes.
        for (const auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context,
                                  QSystemTrayIcon::MiddleClick})
            m_kestrow->tray()->onActivated(reason);
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() * 2 + 200);
        QVERIFY(!m_kestrow->isScanning());
        m_kestrow->tray()->onActivated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY_WITH_TIMEOUT(m_kestrow->isScanning(), 10000);
        QCOMPARE(icon->toolTip(), u"Kestrow"_s);
        // Troubles are told in the tray.
        QSignalSpy told(m_kestrow->tray(), &Tray::messageShown);
        const QString plainTip = icon->toolTip();
        // Storing fails: one balloon naming the problem and the folder, a tool-tip line while it lasts, gone once
        // storing works.
        QVERIFY(rawExec(m_sandbox->userDbPath(), u"CREATE TRIGGER full BEFORE INSERT ON tb_history_task BEGIN SELECT "
                                                 "RAISE(ABORT, 'full'); END;"_s));
        for (int i = 0; i < 2; ++i)
            QVERIFY(!UserDb().addTasks({makeTask(u"t"_s)}));
        QTRY_VERIFY(icon->toolTip().contains(u"无法保存"_s));
        QCOMPARE(told.size(), 1);
        QVERIFY(told[0][1].toString().endsWith(QFileInfo(m_sandbox->userDbPath()).absolutePath()));
        QVERIFY(rawExec(m_sandbox->userDbPath(), u"DROP TRIGGER full;"_s) && UserDb().addTasks({makeTask(u"t"_s)}));
        QTRY_COMPARE(icon->toolTip(), plainTip);
        // A troubled node: a tool-tip line (and a warning mark) while any is, one balloon when one becomes so.
        const NodeStatus status{u"站"_s, u"节点"_s, 3, 0, 0, 1796544000, u"HTTP 503"_s};
        m_kestrow->onNodeHealth({status});
        QCOMPARE(icon->toolTip(), plainTip + u"\n1 个关注节点异常"_s);
        m_kestrow->onNodeTroubleBegan(status);
        QCOMPARE(told.size(), 2);
        QVERIFY(told[1][1].toString().contains(u"连续3次获取失败"_s) && told[1][1].toString().contains(u"HTTP 503"_s));
        m_kestrow->onNodeHealth({});
        QCOMPARE(icon->toolTip(), plainTip);
        // No followed node can be scanned: a tool-tip line while it lasts, one balloon however often the engine
        // restarts and says it again.
        const QString stuck = u"无法扫描任何关注节点: <sdb.dll>"_s;
        m_kestrow->onScanProblem(stuck);
        m_kestrow->onScanProblem(stuck);
        QCOMPARE(icon->toolTip(), plainTip + u'\n' + stuck);
        QVERIFY(told.size() == 3 && told[2][1].toString() == stuck.toHtmlEscaped());
        m_kestrow->onScanProblem({});
        QCOMPARE(icon->toolTip(), plainTip);
        // An open history follows each stored batch.
        m_kestrow->onOpenHistoryWindow();
        const QAbstractItemModel *history = m_kestrow->historyWindowShown()->findChild<QTableView *>()->model();
        const int rows = history->rowCount();
        const QList<TaskData> stored = {makeTask(u"刚存的"_s)};
        QVERIFY(UserDb().addTasks(stored));
        m_kestrow->onNewTask(stored);
        QCOMPARE(history->rowCount(), rows + 1);
        // Without a tray the attention window is the way out: "退出" saves the ticks and stops everything.
        m_kestrow->onOpenMainWindow();
        auto *quit = m_kestrow->attentionWindow()->findChild<QPushButton *>(u"exitButton"_s);
        QVERIFY(quit->isVisible());
        m_kestrow->attentionWindow()->findChild<SiteView *>()->setNodeChecked(u"n"_s, false);
        quit->click();
        QVERIFY(!m_kestrow->isScanning() && !m_kestrow->housekeepingThread() && !m_kestrow->pushingThread());
        QVERIFY(UserDb().attentionMap().isEmpty());
    }

    void addSiteAndLiveReload()
    {
        // A list page with a feed announced in its head, and the feed.
        TestHttpServer::Response page, feed;
        page.body = listPage({u"一号任务"_s, u"二号任务"_s, u"三号任务"_s})
                        .replace("<html>", "<html><head><title>任务大厅 - 某站</title><link rel=\"alternate\" "
                                           "type=\"application/rss+xml\" href=\"/feed.xml\"></head>");
        feed.body = "<rss><channel><title>某站订阅</title><item><title>源任务 $50</title><link>/s/1</link></item>"
                    "</channel></rss>";
        m_server->setResponse(u"/mine"_s, page);
        m_server->setResponse(u"/feed.xml"_s, feed);
        m_kestrow->start();
        QPointer<MainWindow> window = m_kestrow->attentionWindow();
        QVERIFY(window);
        auto *tabs = window->findChild<TTabWidget *>();
        const auto tabNames = [tabs] {
            QStringList names;
            for (int i = 0; i < tabs->count(); ++i)
                names << tabs->tabText(i);
            return names;
        };
        // The example cuts the list in the preview; saving writes the site file and follows its node.
        AddSiteWindow add;
        const auto field = [&add](const char *name) { return add.findChild<QLineEdit *>(QLatin1String(name)); };
        const auto shown = [&add] { return add.findChild<QTableWidget *>(u"previewTable"_s)->rowCount(); };
        const auto canSave = [&add] { return add.findChild<QPushButton *>(u"saveButton"_s)->isEnabled(); };
        field("urlEdit")->setText(m_server->url(u"/mine"_s));
        field("titleEdit")->setText(u"二号任务"_s);
        field("priceEdit")->setText(u"9 元"_s);
        add.onPreview();
        QTRY_VERIFY_WITH_TIMEOUT(canSave(), 10000);
        QCOMPARE(shown(), 3);
        QCOMPARE(field("siteEdit")->text() + u'/' + field("nodeEdit")->text(), u"127.0.0.1/任务大厅"_s);
        field("siteEdit")->setText(u"我的站"_s);
        add.onSave();
        QVERIFY(UserDb().isAttention(u"我的站"_s, u"任务大厅"_s));
        // Within seconds, without a restart: a tab of its own, and its tasks scanned into the history.
        QTRY_VERIFY_WITH_TIMEOUT(tabNames().contains(u"我的站"_s), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(
            UserDb().hasTask({u"我的站"_s,
                              u"任务大厅"_s,
                              u"三号任务"_s,
                              u"9元"_s,
                              m_server->url(u"/t/"_s + QString::fromLatin1(u"三号任务"_s.toUtf8().toHex())),
                              {},
                              0}),
            10000);
        // The feed the page announces, offered with one click, is a node of its own kind.
        AddSiteWindow second;
        second.findChild<QLineEdit *>(u"urlEdit"_s)->setText(m_server->url(u"/mine"_s));
        second.onPreview();
        QTRY_VERIFY_WITH_TIMEOUT(second.findChild<QPushButton *>(u"feedButton"_s)->isVisibleTo(&second), 10000);
        second.onUseFeed();
        QTRY_VERIFY_WITH_TIMEOUT(second.findChild<QPushButton *>(u"saveButton"_s)->isEnabled(), 10000);
        second.onSave();
        CatalogSite saved;
        QVERIFY(UserSites::find(u"127.0.0.1"_s, saved) && saved.nodes.value(0).kind == NodeKind::Feed);
        QTRY_VERIFY_WITH_TIMEOUT(tabNames().contains(u"127.0.0.1"_s), 10000);
        // Opened on a site of the user's, the window edits it.
        AddSiteWindow editing(u"我的站"_s, nullptr);
        QCOMPARE(editing.findChild<QLineEdit *>(u"urlEdit"_s)->text(), m_server->url(u"/mine"_s));
        QCOMPARE(editing.findChild<QLineEdit *>(u"nodeEdit"_s)->text(), u"任务大厅"_s);
        // A node renamed stays followed, also once the sites are read again under the open attention window.
        editing.findChild<QLineEdit *>(u"titleEdit"_s)->setText(u"一号任务"_s);
        editing.findChild<QLineEdit *>(u"nodeEdit"_s)->setText(u"改名"_s);
        editing.onPreview();
        QTRY_VERIFY_WITH_TIMEOUT(editing.findChild<QPushButton *>(u"saveButton"_s)->isEnabled(), 10000);
        editing.onSave();
        QTRY_VERIFY_WITH_TIMEOUT(tabs->count() > 0 && tabNames().contains(u"我的站"_s), 10000);
        QTest::qWait(1000);
        QVERIFY(UserDb().isAttention(u"我的站"_s, u"改名"_s) && !UserDb().isAttention(u"我的站"_s, u"任务大厅"_s));
        // A site file removed: its tab goes, its node is no longer fetched, and it stays followed for its return.
        QVERIFY(UserSites::remove(u"我的站"_s, nullptr));
        QTRY_VERIFY_WITH_TIMEOUT(!tabNames().contains(u"我的站"_s), 10000);
        QTest::qWait(500);
        const auto fetched = [this] {
            const QList<TestHttpServer::Request> requests = m_server->requests();
            return std::count_if(requests.cbegin(), requests.cend(), [](const auto &r) { return r.path == "/mine"; });
        };
        const auto before = fetched();
        QTest::qWait(2500); // past a pass
        QVERIFY(fetched() == before && UserDb().isAttention(u"我的站"_s, u"改名"_s));
        // Nor is it failing for being gone.
        for (const NodeStatus &status : UserDb().nodeStatuses())
            QVERIFY2(status.site_name != u"我的站"_s || status.failures == 0, qPrintable(status.note_name));
    }

    void popupBatchesFiltersAndQuietHours()
    {
        // Empty and filtered-out batches open nothing; later batches join the open popup.
        setSetting(Key::AlertExclude, u"广告"_s);
        m_kestrow->onNewTask({});
        m_kestrow->onNewTask({makeTask(u"广告"_s)});
        QVERIFY(!m_kestrow->popup());
        m_kestrow->onNewTask({makeTask(u"一"_s), makeTask(u"广告位"_s)});
        m_kestrow->onNewTask({makeTask(u"二"_s), makeTask(u"三"_s)});
        QCOMPARE(page(), u"1 / 3"_s);
        // Closing the popup makes the controller forget it.
        m_kestrow->popup()->close();
        QTRY_VERIFY(!m_kestrow->popup());
        // Found in quiet hours: no popup until they end, then one batch, brought by the controller's own timer.
        setSetting(Key::QuietStart, u"22:00"_s);
        setSetting(Key::QuietEnd, u"08:00"_s);
        m_sandbox->clock.setNow(QDateTime(QDate(2026, 12, 7), QTime(7, 59, 58)));
        m_kestrow->onNewTask({makeTask(u"四"_s)});
        m_kestrow->onNewTask({makeTask(u"五"_s), makeTask(u"广告"_s)});
        QTest::qWait(500);
        QVERIFY(!m_kestrow->popup());
        m_sandbox->clock.setNow(QDateTime(QDate(2026, 12, 7), QTime(8, 0, 1)));
        QTRY_COMPARE_WITH_TIMEOUT(page(), u"1 / 2"_s, 10000);
        m_kestrow->popup()->close();
        QTRY_VERIFY(!m_kestrow->popup());
        // While the active window is full screen (a film), batches wait; the sound follows "enable_sound" alone, and
        // comes once the popup shows.
        XDesktop desktop;
        QVERIFY(desktop.isRunning());
        desktop.setActive(true);
        desktop.setStates({"_NET_WM_STATE_FULLSCREEN"});
        QList<bool> sounds;
        connect(m_kestrow.get(), &Kestrow::announced, this, [&](const QList<TaskData> &, bool withSound) {
            sounds << (withSound && m_kestrow->popup() && m_kestrow->popup()->isVisible());
        });
        const std::pair<QString, bool> soundSettings[] = {{u"true"_s, true}, {u"True"_s, false}, {u"1"_s, false}};
        for (const auto &[stored, sound] : soundSettings) {
            setSetting(Key::EnableSound, stored);
            const qsizetype before = sounds.size();
            m_kestrow->onNewTask({makeTask(stored)});
            if (before == 0) {
                QTest::qWait(300);
                QVERIFY(sounds.isEmpty() && !m_kestrow->popup());
                desktop.setStates({});
                m_kestrow->onQuietEnd(); // the full-screen check comes every 30 s; here without waiting for it
            }
            QCOMPARE(sounds.size(), before + 1);
            QCOMPARE(sounds.last(), sound);
        }
    }

    void pushesToPhones()
    {
        // Two webhooks: one keeps quiet hours, one does not. A batch found at night goes to the second at once and to
        // the first when quiet hours end; never twice.
        PushChannel keeps, ignores;
        keeps.url = m_server->url(u"/keeps"_s), ignores.url = m_server->url(u"/ignores"_s), ignores.ignoreQuiet = true;
        for (const char *path : {"/keeps", "/ignores"})
            m_server->setResponse(QString::fromLatin1(path), {});
        Key::PushChannels.setValue({keeps, ignores});
        setSetting(Key::QuietStart, u"22:00"_s);
        setSetting(Key::QuietEnd, u"08:00"_s);
        m_sandbox->clock.setNow(QDateTime(QDate(2026, 12, 7), QTime(23, 0)));
        m_kestrow->start();
        const auto asked = [this](const char *path) {
            QByteArrayList bodies;
            for (const TestHttpServer::Request &request : m_server->requests()) {
                if (request.path == path)
                    bodies << request.body;
            }
            return bodies;
        };
        // A task without an address of its own goes out with the one the desktop would open: its node's page.
        TaskData night = makeTask(u"深夜任务"_s);
        night.task_url.clear();
        night.note_url = m_server->url(u"/list"_s);
        m_kestrow->onNewTask({night});
        QTRY_COMPARE(asked("/ignores").size(), 1);
        QTest::qWait(300);
        QVERIFY(asked("/keeps").isEmpty());
        m_sandbox->clock.setNow(QDateTime(QDate(2026, 12, 8), QTime(8, 0, 1)));
        m_kestrow->onQuietEnd();
        QTRY_COMPARE(asked("/keeps").size(), 1);
        QVERIFY(asked("/keeps")[0].contains("深夜任务") && asked("/keeps")[0].contains(night.note_url.toUtf8()));
        QCOMPARE(asked("/ignores").size(), 1);
        // Pushes that keep failing: one balloon and a tool-tip line, until one goes through again.
        QSignalSpy told(m_kestrow->tray(), &Tray::messageShown);
        const QString failing = u"推送失败 (webhook): HTTP 500"_s;
        m_kestrow->onPushProblem(failing);
        m_kestrow->onPushProblem(failing);
        QCOMPARE(told.size(), 1);
        QVERIFY(m_kestrow->tray()->icon()->toolTip().endsWith(failing));
        m_kestrow->onPushProblem({});
        QVERIFY(!m_kestrow->tray()->icon()->toolTip().contains(failing));
    }

    void desktopNotifications()
    {
        setSetting(Key::NotifyVia, u"desktop"_s);
        // Without a notification service the popup announces the batch.
        m_kestrow->onNewTask({makeTask(u"一"_s)});
        QCOMPARE(page(), u"1 / 1"_s);
        // With one: a notification per batch, titles as text; its default action opens the first task.
        QDBusConnection service = QDBusConnection::connectToBus(m_busAddress, u"fake"_s);
        FakeNotifications fake;
        QVERIFY(service.registerService(u"org.freedesktop.Notifications"_s));
        QVERIFY(service.registerObject(u"/org/freedesktop/Notifications"_s, &fake, QDBusConnection::ExportAllSlots));
        UrlCatcher opener;
        const QList<TaskData> batch = {makeTask(u"<b>一</b>"_s), makeTask(u"二"_s), makeTask(u"三"_s),
                                       makeTask(u"四"_s)};
        m_kestrow->onNewTask(batch);
        QTRY_COMPARE(fake.received.size(), 1);
        QCOMPARE(fake.received[0],
                 u"4 个新任务|&lt;b&gt;一&lt;/b&gt; (100元)\n二 (100元)\n三 (100元)\n…共 4 个新任务|default,打开"_s);
        QCOMPARE(page(), u"1 / 1"_s);
        QTest::qWait(100); // the reply with the notification's id
        service.send(QDBusMessage::createSignal(u"/org/freedesktop/Notifications"_s, u"org.freedesktop.Notifications"_s,
                                                u"ActionInvoked"_s)
                     << uint(7) << u"default"_s);
        QTRY_COMPARE(opener.opened, QList<QUrl>{QUrl(batch[0].task_url)});
        // A service that refuses the notification: the popup shows the batch instead.
        fake.refuse = true;
        m_kestrow->onNewTask({makeTask(u"五"_s)});
        QTRY_COMPARE(page(), u"1 / 2"_s);
        QDBusConnection::disconnectFromBus(u"fake"_s);
    }

    void windowsAndTrayMenu()
    {
        // A new version asks whether to download it.
        QSignalSpy download(m_kestrow.get(), &Kestrow::downloadNewVersion);
        QString asked;
        answerNextBox(QMessageBox::No, &asked);
        m_kestrow->onCheckNewVersionFinished(u"2.1.0<a href=\"file:///etc/passwd\">"_s);
        QVERIFY(asked.startsWith(u"程序更新|"_s) && asked.contains(u"[Kestrow v2.1.0<a href"_s) &&
                asked.endsWith(u"|plain"_s));
        // Asked again at the next check; a second result while the box is open is dropped; yes asks for the download.
        asked.clear();
        QTimer::singleShot(0, this, [this] { m_kestrow->onCheckNewVersionFinished(u"2.2.0"_s); });
        answerNextBox(QMessageBox::Yes, &asked);
        m_kestrow->onCheckNewVersionFinished(u"2.1.0"_s);
        QVERIFY(asked.contains(u"2.1.0"_s));
        QCOMPARE(download.size(), 1); // for the yes only
        QCOMPARE(visibleDialogs(), 0);
        // Each window entry of the tray menu opens its window, none of them modal, so the menu still works; asked
        // again (the settings' link to the alert rules among them), the one open comes to the front.
        m_kestrow->start();
        QMenu *menu = m_kestrow->tray()->icon()->contextMenu();
        const QList<QAction *> actions = menu->actions();
        const auto shown = [] {
            QStringList names;
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (widget->isVisible() && !widget->inherits("QMenu"))
                    names << QString::fromLatin1(widget->metaObject()->className());
            }
            names.sort();
            return names;
        };
        for (int round = 0; round < 2; ++round) {
            for (QAction *action : actions.mid(0, 6))
                action->trigger();
            QVERIFY(!QApplication::activeModalWidget());
        }
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *settings = qobject_cast<ConfigWindow *>(widget))
                emit settings->openAlertWindow();
        }
        QCOMPARE(shown(), (QStringList{u"AboutWindow"_s, u"AddSiteWindow"_s, u"AlertWindow"_s, u"ConfigWindow"_s,
                                       u"HistoryWindow"_s, u"MainWindow"_s}));
        // Esc ends a dialog, which is then gone: the next request makes a fresh one.
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<AboutWindow *>(widget))
                QTest::keyClick(widget, Qt::Key_Escape);
        }
        QTRY_VERIFY(!shown().contains(u"AboutWindow"_s));
        actions.at(5)->trigger();
        QVERIFY(shown().contains(u"AboutWindow"_s));
        // The menu's pause entry says what it will do, and does what a click on the icon does.
        QAction *pause = menu->findChild<QAction *>(u"pauseAction"_s);
        QVERIFY(pause && m_kestrow->isScanning());
        for (const auto &[scanning, text] : {std::pair{false, u"继续"_s}, std::pair{true, u"暂停"_s}}) {
            pause->trigger();
            QCOMPARE(m_kestrow->isScanning(), scanning);
            QCOMPARE(pause->text(), text);
        }
    }

    void quitsWhenThePackageWasOpened()
    {
        m_kestrow->start();
        // Nothing here opens files: the program keeps running.
        const QString package = m_sandbox->root() + u"/KestrowSetup.deb"_s;
        QSignalSpy told(m_kestrow->tray(), &Tray::messageShown);
        m_kestrow->onDownloadNewVersionFinished(package);
        QVERIFY(m_kestrow->isScanning() && m_kestrow->housekeepingThread()->isRunning());
        QVERIFY(!told.isEmpty() && told.last().value(1).toString().contains(package));
        // Once something takes the package it quits, stopping the scan while the update thread still runs.
        bool updateRan = false;
        connect(
            m_kestrow->scanThread(), &QThread::finished, this,
            [&updateRan, update = QPointer<QThread>(m_kestrow->housekeepingThread())] {
                updateRan = update && update->isRunning();
            },
            Qt::DirectConnection);
        UrlCatcher opener({u"file"_s});
        m_kestrow->onDownloadNewVersionFinished(package);
        QCOMPARE(opener.opened, QList<QUrl>{QUrl::fromLocalFile(package)});
        QVERIFY(updateRan && !m_kestrow->isScanning() && !m_kestrow->housekeepingThread());
        m_kestrow->onAboutToQuit(); // the repeated stops find nothing to do
    }

    void commandLine()
    {
        // "arguments => start, show, or the exit code and a piece of the text printed".
        for (const QString &row : {u" => start"_s, u"show => show"_s, u"SHOW => 2 unknown argument \"SHOW\""_s,
                                   u"show x => 2 Usage:"_s, u"--frobnicate => 2 frobnicate"_s, u"--help => 0 [show]"_s,
                                   u"-v => 0 Kestrow "_s + appVersion() + u'\n'}) {
            const CommandLine line =
                CommandLine::parse(u"kestrow "_s.append(row.section(u" => "_s, 0, 0)).split(u' ', Qt::SkipEmptyParts));
            const QString outcome = row.section(u" => "_s, 1),
                          got = line.start ? (line.openMainWindow ? u"show"_s : u"start"_s) + line.text
                                           : QString::number(line.exitCode) + u' ' + line.text;
            QVERIFY2(line.start ? got == outcome : got.startsWith(outcome.left(2)) && got.contains(outcome.mid(2)),
                     qPrintable(got));
        }
        // A start just after the running one took its lock, before that one listens, still reaches it.
        const QString socket = m_sandbox->root() + u"/early.socket"_s;
        std::future<Instance::Answer> asked =
            std::async(std::launch::async, [&] { return Instance::askToShow(socket); });
        QTest::qWait(300);
        const InstanceServer late(socket, [] { return true; });
        QTRY_VERIFY(asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
        QCOMPARE(asked.get(), Instance::Answer::Shown);
        // Installed, the program is a link in bin to the real one in a private folder, whose catalogue it must find.
        const QString link = m_sandbox->root() + u"/bin/kestrow"_s;
        QVERIFY(QDir().mkpath(m_sandbox->root() + u"/bin"_s) && QFile::link(QStringLiteral(KESTROW_PROGRAM), link));
        // It runs with a file size limit that its first database writes pass: they fail as a full disk would.
        QProcess program, second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(); // the sandbox's data and settings
        environment.insert(u"XDG_RUNTIME_DIR"_s, m_sandbox->root());
        environment.insert(u"QT_LOGGING_RULES"_s, u"kestrow.app.debug=true"_s);
        environment.insert(u"LANGUAGE"_s, u"zh_CN"_s);
        for (QProcess *process : {&program, &second}) {
            process->setProcessEnvironment(environment);
            process->setProcessChannelMode(QProcess::MergedChannels);
        }
        QFile::remove(m_sandbox->userDbPath());
        program.start(u"bash"_s, {u"-c"_s, u"ulimit -f 8 && exec \"$0\""_s, link});
        const QString catalog = QFileInfo(QStringLiteral(KESTROW_PROGRAM)).absolutePath() + u"/sdb.dll"_s;
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT(
            (output += program.readAll()).contains("site catalogue: " + catalog.toUtf8() + " found\n"), 20000);
        // Running without a tray (offscreen), a second start has it open its attention window, exits 0, tells nothing
        // and starts nothing.
        second.start(link, {u"show"_s});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        const QByteArray said = second.readAll();
        QVERIFY2(!said.contains("Kestrow已运行") && !said.contains("site catalogue"), said.constData());
        QTRY_VERIFY_WITH_TIMEOUT((output += program.readAll()).contains("shown for a later start"), 10000);
        QVERIFY(output.contains("interface language: zh\n"));
        // One with a data folder of its own (the demo's) is another instance: it runs beside the first, here in the
        // language its environment asks for.
        environment.insert(u"XDG_DATA_HOME"_s, m_sandbox->root() + u"/demo-data"_s);
        environment.insert(u"LANGUAGE"_s, u"en"_s);
        second.setProcessEnvironment(environment);
        second.start(link);
        QVERIFY(second.waitForStarted());
        QByteArray demoOutput;
        QTRY_VERIFY_WITH_TIMEOUT((demoOutput += second.readAll()).contains("site catalogue: "), 20000);
        QVERIFY(demoOutput.contains("interface language: en\n"));
        QCOMPARE(program.state(), QProcess::Running);
        for (QProcess *process : {&program, &second})
            process->kill(), process->waitForFinished();
    }

    void statusNotifierClicks()
    {
        // The program on an X display with a StatusNotifierItem tray on the test's session bus: Qt reports each of
        // the tray's activations as a single click.
        XDesktop desktop;
        QVERIFY(desktop.isRunning());
        QDBusConnection bus = QDBusConnection::connectToBus(m_busAddress, u"watcher"_s);
        FakeWatcher watcher;
        QVERIFY(bus.registerService(u"org.kde.StatusNotifierWatcher"_s));
        QVERIFY(bus.registerObject(u"/StatusNotifierWatcher"_s, &watcher,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        environment.insert(u"XDG_RUNTIME_DIR"_s, m_sandbox->root());
        environment.insert(u"QT_LOGGING_RULES"_s, u"kestrow.app.debug=true"_s);
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(KESTROW_PROGRAM));
        QTRY_COMPARE_WITH_TIMEOUT(watcher.items.size(), 1, 20000);
        const auto activate = [&] {
            bus.call(QDBusMessage::createMethodCall(watcher.items[0], u"/StatusNotifierItem"_s,
                                                    u"org.kde.StatusNotifierItem"_s, u"Activate"_s)
                         << 0 << 0,
                     QDBus::NoBlock);
        };
        QByteArray output;
        const auto said = [&](const char *line) { return (output += program.readAll()).count(line); };
        // Two within the double-click time: the double click, which opens the window and does not pause.
        activate(), activate();
        QTRY_COMPARE_WITH_TIMEOUT(said("attention window shown"), 1, 10000);
        QTest::qWait(2 * QGuiApplication::styleHints()->mouseDoubleClickInterval());
        QCOMPARE(said("watching paused"), 0);
        // A lone one, once that time has passed: the click, which pauses.
        activate();
        QTRY_COMPARE_WITH_TIMEOUT(said("watching paused"), 1, 10000);
        QCOMPARE(said("attention window shown"), 1);
        program.kill();
        program.waitForFinished();
        QDBusConnection::disconnectFromBus(u"watcher"_s);
    }

    void purgeRunsInTheNormalClass()
    {
        // Between checks the update thread is idle; while its purge waits for the database, the scheduler must see it
        // in the normal class, or it would hold the lock starved.
        UpdateThread thread;
        thread.start();
        UpdateTask *engine = thread.task();
        std::atomic<pid_t> tid{0};
        QMetaObject::invokeMethod(
            engine, [&tid] { tid = gettid(); }, Qt::BlockingQueuedConnection);
        if (sched_getscheduler(tid) != SCHED_IDLE)
            QSKIP("this account may not leave the idle class, so the thread is never put into it");
        {
            std::unique_lock hold(userDbLock);
            QMetaObject::invokeMethod(engine, &UpdateTask::onCheckNewVersion, Qt::QueuedConnection);
            QTest::qWait(300);
            QCOMPARE(sched_getscheduler(tid), SCHED_OTHER);
        }
        QTRY_COMPARE_WITH_TIMEOUT(sched_getscheduler(tid), SCHED_IDLE, 10000);
    }

    // The scan thread storing batches, the GUI thread searching and reading and writing settings, the update thread
    // purging and compacting at checks it re-arms itself: no race, no deadlock, no lost task, no old row left.
    void threeThreadsShareTheDatabase()
    {
        CatalogBuilder catalog;
        constexpr int nodes = 8;
        QList<AttentionPair> followed;
        int serial = 0;
        // Each node's page gains two new tasks whenever the GUI thread turns it over.
        const auto turnPages = [&] {
            for (int n = 0; n < nodes; ++n, serial += 2) {
                TestHttpServer::Response page;
                page.body = listPage({u"任务 %1"_s.arg(serial), u"任务 %1"_s.arg(serial + 1)});
                m_server->setResponse(u"/n%1"_s.arg(n), page);
            }
        };
        for (int n = 0; n < nodes; ++n) {
            QVERIFY(catalog.node(u"站"_s, u"n%1"_s.arg(n), m_server->url(u"/n%1"_s.arg(n)), listMarkers));
            followed.append({u"站"_s, u"n%1"_s.arg(n)});
        }
        QVERIFY(UserDb().setAttention(followed));
        turnPages();
        setSetting(Key::ScanInterval, u"10"_s); // 100 ms here
        TaskThread scan;
        QList<TaskData> announced;
        connect(&scan, &TaskThread::newTask, this, [&](const QList<TaskData> &tasks) { announced += tasks; });
        UpdateThread update;
        update.start();
        QMetaObject::invokeMethod(update.task(), &UpdateTask::onCheckNewVersion, Qt::QueuedConnection);
        scan.start();
        QElapsedTimer running;
        running.start();
        UserDb gui;
        for (int round = 1; running.elapsed() < 20000; ++round) {
            TaskRows found;
            QVERIFY(gui.searchTasks(u"站"_s, u"任务"_s, found));
            setSetting(u"round"_s, QString::number(round));
            QCOMPARE(setting(u"round"_s), QString::number(round));
            if (round % 20 == 0) {
                turnPages();
                // Old rows for the purge to remove, so that it also compacts now and then.
                QVERIFY(rawExec(m_sandbox->userDbPath(),
                                u"WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r "
                                "LIMIT 300) INSERT INTO tb_history_task(task_time, site_name, "
                                "task_name) SELECT 1, 'old', hex(randomblob(200)) FROM r;"_s));
            }
            QTest::qWait(10);
        }
        QTRY_COMPARE_WITH_TIMEOUT(
            rawColumn(m_sandbox->userDbPath(), u"SELECT count(*) FROM tb_history_task WHERE task_time = 1;"_s),
            QStringList{u"0"_s}, 10000);
        scan.quit();
        update.quit();
        QVERIFY(scan.wait(QDeadlineTimer(30000)) && update.wait(QDeadlineTimer(30000)));
        QTest::qWait(50); // batches still queued to this thread
        // Every announced task was stored, and none twice.
        QVERIFY(announced.size() >= 2 * nodes);
        const QStringList titles = taskTitles(announced);
        QCOMPARE(QSet<QString>(titles.begin(), titles.end()).size(), titles.size());
        for (const TaskData &task : std::as_const(announced))
            QVERIFY2(gui.hasTask(task), qPrintable(task.task_name));
    }

    // Last: it leaves the translations of the last row installed.
    void interfaceLanguage()
    {
        // The setting, the desktop's languages → the language shown: Chinese for a Chinese desktop, English for any
        // other, the setting over both.
        for (const auto &[chosen, desktop, shown] : {std::tuple{u""_s, QStringList{u"zh-CN"_s}, u"zh"_s},
                                                     {u""_s, {u"zh-TW"_s, u"en"_s}, u"zh"_s},
                                                     {u""_s, {u"de-DE"_s, u"zh-CN"_s}, u"en"_s},
                                                     {u""_s, {}, u"en"_s},
                                                     {u"zh"_s, {u"en-US"_s}, u"zh"_s},
                                                     {u"en"_s, {u"zh-CN"_s}, u"en"_s}})
            QCOMPARE(Startup::interfaceLanguage(chosen, desktop), shown);
        // Installed, a window's title and the tray menu's first entry read in it; Qt's own texts too.
        const QString chinese = u"Kestrow - 历史任务|关注任务|取消"_s,
                      english = u"Kestrow - History|Follow tasks|Cancel"_s;
        for (const auto &[chosen, desktop, expected] : {std::tuple{u""_s, QStringList{u"en-US"_s}, english},
                                                        {u""_s, {u"zh-CN"_s}, chinese},
                                                        {u"zh"_s, {u"en-US"_s}, chinese},
                                                        {u"en"_s, {u"zh-CN"_s}, english}}) {
            setSetting(Key::Language, chosen);
            Startup::loadTranslations(desktop);
            const Tray tray;
            QCOMPARE(HistoryWindow().windowTitle() + u'|' + tray.icon()->contextMenu()->actions().value(0)->text() +
                         u'|' + QDialogButtonBox(QDialogButtonBox::Cancel).buttons().value(0)->text(),
                     expected);
        }
    }

private:
    QString page() const
    {
        return m_kestrow->popup() ? m_kestrow->popup()->findChild<QLabel *>(u"pageLabel"_s)->text() : QString();
    }

    QProcess m_bus;
    QString m_busAddress;
    std::unique_ptr<Sandbox> m_sandbox;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<Kestrow> m_kestrow;
};

QTEST_MAIN(TestKestrow)
#include "tst_kestrow.moc"
