#include "historywindow.h"
#include "kestrow.h"
#include "mainwindow.h"
#include "paths.h"
#include "scantask.h"
#include "settings.h"
#include "taskthread.h"
#include "taskwindow.h"
#include "testenv.h"
#include "testhttpserver.h"
#include "updatethread.h"
#include "userdb.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
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

TaskData task(const QString &title)
{
    return TaskData{u"站"_s, u"节点"_s, title, u"1元"_s, u"http://127.0.0.1/t/"_s + title, QString(), 0};
}

} // namespace

class TestKestrow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void singleClickToggles();
    void doubleClickNeverToggles();
    void batchesFeedOnePopup();
    void updateQuestionIsAskedOnce();
    void quitStopsScanBeforeUpdate();
    void closingTheAttentionWindowRestartsScanning();
    void modalWindowsRunOnce();

private:
    std::unique_ptr<TempDataDir> m_dir;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<Kestrow> m_kestrow;
    QString m_catalog;
};

void TestKestrow::initTestCase()
{
    ScanTask::setTiming(ScanTiming{2000, 10});
    m_catalog = appFilePath(u"sdb.dll"_s);
}

void TestKestrow::init()
{
    m_dir = std::make_unique<TempDataDir>();
    resetSettingsStore();
    loadSettings();
    // One followed node on a local server, so the scan thread keeps running between passes.
    m_server = std::make_unique<TestHttpServer>();
    TestHttpServer::Response empty;
    empty.body = "<ul></ul>";
    m_server->setResponse(u"/list"_s, empty);
    QFile::remove(m_catalog);
    QVERIFY(createCatalog(m_catalog));
    QVERIFY(addCatalogNode(m_catalog, u"站"_s, u"节点"_s, m_server->url(u"/list"_s),
                           {u"<ul>"_s, u"</ul>"_s, u"<li>"_s, u"</li>"_s, QString(), QString(), u"<b>"_s, u"</b>"_s,
                            QString(), QString()}));
    QVERIFY(UserDb().setAttention({{u"站"_s, u"节点"_s}}));
    m_kestrow = std::make_unique<Kestrow>();
}

void TestKestrow::cleanup()
{
    m_kestrow.reset();
    Kestrow::setQuestionHook({});
    m_server.reset();
    resetSettingsStore();
    m_dir.reset();
    QFile::remove(m_catalog);
}

void TestKestrow::singleClickToggles()
{
    m_kestrow->start();
    QVERIFY(m_kestrow->isScanning());
    QCOMPARE(m_kestrow->tray()->toolTip(), u"Kestrow"_s);
    // The welcome step records the version it greeted.
    QCOMPARE(setting(u"use_version"_s), appVersion());
    const QImage paused =
        QIcon(u":/MainWindow/Resources/pause.png"_s).pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!paused.isNull());

    // A single click pauses, but only once the double-click time has passed.
    m_kestrow->onTrayActivated(QSystemTrayIcon::Trigger);
    QVERIFY(m_kestrow->isScanning());
    QTRY_VERIFY_WITH_TIMEOUT(!m_kestrow->isScanning(), 10000);
    QCOMPARE(m_kestrow->tray()->toolTip(), u"Kestrow - 未运行"_s);
    QCOMPARE(iconImage(m_kestrow->tray()->icon()), paused);
    // The next resumes.
    m_kestrow->onTrayActivated(QSystemTrayIcon::Trigger);
    QTRY_VERIFY_WITH_TIMEOUT(m_kestrow->isScanning(), 10000);
    QCOMPARE(m_kestrow->tray()->toolTip(), u"Kestrow"_s);
    QVERIFY(iconImage(m_kestrow->tray()->icon()) != paused);
    // Other reasons (context menu, middle click) change nothing.
    m_kestrow->onTrayActivated(QSystemTrayIcon::Context);
    m_kestrow->onTrayActivated(QSystemTrayIcon::MiddleClick);
    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 200);
    QVERIFY(m_kestrow->isScanning());
}

void TestKestrow::doubleClickNeverToggles()
{
    m_kestrow->start();
    m_kestrow->onTrayActivated(QSystemTrayIcon::Trigger);
    m_kestrow->onTrayActivated(QSystemTrayIcon::DoubleClick);
    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() * 2 + 200);
    QVERIFY(m_kestrow->isScanning());
    QCOMPARE(m_kestrow->tray()->toolTip(), u"Kestrow"_s);
}

void TestKestrow::batchesFeedOnePopup()
{
    m_kestrow->onNewTask({});
    QVERIFY(!m_kestrow->popup());
    m_kestrow->onNewTask({task(u"一"_s), task(u"二"_s)});
    TaskWindow *popup = m_kestrow->popup();
    QVERIFY(popup && popup->isVisible());
    m_kestrow->onNewTask({task(u"三"_s)});
    QCOMPARE(m_kestrow->popup(), popup);
    QCOMPARE(popup->findChild<QLabel *>(u"pageLabel"_s)->text(), u"1 / 3"_s);
    // Closing the popup makes the controller forget it; the next batch opens a fresh one.
    popup->close();
    QTRY_VERIFY(!m_kestrow->popup());
    setSetting(u"enable_sound"_s, u"false"_s);
    m_kestrow->onNewTask({task(u"四"_s)});
    QCOMPARE(m_kestrow->popup()->findChild<QLabel *>(u"pageLabel"_s)->text(), u"1 / 1"_s);
}

void TestKestrow::updateQuestionIsAskedOnce()
{
    QSignalSpy download(m_kestrow.get(), &Kestrow::downloadNewVersion);
    int asked = 0;
    QString question;
    QMessageBox::StandardButton answer = QMessageBox::No;
    Kestrow::setQuestionHook([&](const QString &title, const QString &text) {
        ++asked;
        question = title + QLatin1Char('|') + text;
        // A second result arriving while the box is open is dropped.
        m_kestrow->onCheckNewVersionFinished(u"2.2.0"_s);
        return answer;
    });
    m_kestrow->onCheckNewVersionFinished(QString());
    QCOMPARE(asked, 0);
    m_kestrow->onCheckNewVersionFinished(u"2.1.0"_s);
    QCOMPARE(asked, 1);
    QCOMPARE(question,
             QStringLiteral("程序更新|发现新版本[Kestrow v2.1.0]是否现在进行更新?\nPS:程序将会在后台自动下载更新,"
                            "建议选择'是'."));
    QCOMPARE(download.size(), 0);
    // Asked again at the next check; a yes asks for the download.
    answer = QMessageBox::Yes;
    m_kestrow->onCheckNewVersionFinished(u"2.1.0"_s);
    QCOMPARE(asked, 2);
    QCOMPARE(download.size(), 1);
    // A failed download is ignored.
    m_kestrow->onDownloadNewVersionFinished(QString());
}

void TestKestrow::quitStopsScanBeforeUpdate()
{
    m_kestrow->start();
    QVERIFY(m_kestrow->isScanning());
    QVERIFY(m_kestrow->housekeepingThread()->isRunning());
    QStringList order;
    QMutex mutex;
    connect(
        m_kestrow->scanThread(), &QThread::finished, this,
        [&] {
            QMutexLocker l(&mutex);
            order << u"scan"_s;
        },
        Qt::DirectConnection);
    connect(
        m_kestrow->housekeepingThread(), &QThread::finished, this,
        [&] {
            QMutexLocker l(&mutex);
            order << u"update"_s;
        },
        Qt::DirectConnection);
    m_kestrow->onQuit();
    QCOMPARE(order, (QStringList{u"scan"_s, u"update"_s}));
    QVERIFY(!m_kestrow->isScanning());
    QVERIFY(!m_kestrow->housekeepingThread());
    // The repeated stops of aboutToQuit find nothing to do.
    m_kestrow->onAboutToQuit();
    QCOMPARE(order.size(), 2);
}

void TestKestrow::closingTheAttentionWindowRestartsScanning()
{
    m_kestrow->start();
    // Without a notification area (as here, offscreen) the attention window opens so the program is not invisible.
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    QPointer<MainWindow> window = m_kestrow->attentionWindow();
    QVERIFY(window && window->isVisible());
    QSignalSpy started(m_kestrow->scanThread(), &QThread::started);
    window->close();
    QTRY_VERIFY(!window);
    QVERIFY(!m_kestrow->attentionWindow());
    QCOMPARE(started.size(), 1);
    QVERIFY(m_kestrow->isScanning());
    // Paused, closing the window saves but leaves scanning off.
    m_kestrow->onTrayActivated(QSystemTrayIcon::Trigger);
    QTRY_VERIFY_WITH_TIMEOUT(!m_kestrow->isScanning(), 10000);
    m_kestrow->onOpenMainWindow();
    window = m_kestrow->attentionWindow();
    window->close();
    QTRY_VERIFY(!window);
    QCOMPARE(started.size(), 1);
    QVERIFY(!m_kestrow->isScanning());
    // The history window comes and goes the same way.
    m_kestrow->onOpenHistoryWindow();
    QPointer<HistoryWindow> history = m_kestrow->historyWindowShown();
    QVERIFY(history);
    history->close();
    QTRY_VERIFY(!m_kestrow->historyWindowShown());
}

void TestKestrow::modalWindowsRunOnce()
{
    const auto countOf = [](const char *className) {
        int count = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            count += widget->isVisible() && widget->inherits(className);
        return count;
    };
    int seen = -1;
    // While the settings window runs, asking for it again does nothing; Esc then ends it without saving.
    QTimer::singleShot(0, this, [&] {
        m_kestrow->onOpenConfigWindow();
        seen = countOf("ConfigWindow");
        QWidget *window = QApplication::activeModalWidget();
        QTest::keyClick(window, Qt::Key_Escape);
    });
    m_kestrow->onOpenConfigWindow();
    QCOMPARE(seen, 1);
    QCOMPARE(countOf("ConfigWindow"), 0);
    // The About window the same way, closed by its button.
    QTimer::singleShot(0, this, [&] {
        m_kestrow->onOpenAboutWindow();
        seen = countOf("AboutWindow");
        QApplication::activeModalWidget()->close();
    });
    m_kestrow->onOpenAboutWindow();
    QCOMPARE(seen, 1);
    QCOMPARE(countOf("AboutWindow"), 0);
}

QTEST_MAIN(TestKestrow)
#include "tst_kestrow.moc"
