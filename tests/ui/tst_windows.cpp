#include "aboutwindow.h"
#include "configwindow.h"
#include "historywindow.h"
#include "mainwindow.h"
#include "paths.h"
#include "platform.h"
#include "settings.h"
#include "siteview.h"
#include "testenv.h"
#include "tlinkbutton.h"
#include "ttabwidget.h"
#include "userdb.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include <memory>

namespace {

// Receives the addresses handed to the desktop's URL opener.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

const QStringList listMarkers = {QStringLiteral("<ul>"),
                                 QStringLiteral("</ul>"),
                                 QStringLiteral("<li>"),
                                 QStringLiteral("</li>"),
                                 QString(),
                                 QString(),
                                 QStringLiteral("<b>"),
                                 QStringLiteral("</b>"),
                                 QString(),
                                 QString()};

TaskData task(const QString &site, const QString &title, const QString &price)
{
    return TaskData{site,
                    QStringLiteral("节点"),
                    title,
                    price,
                    QStringLiteral("http://127.0.0.1/t/") + title,
                    QStringLiteral("http://127.0.0.1/list"),
                    0};
}

QSet<QString> followed()
{
    QSet<QString> pairs;
    for (const AttentionData &a : UserDb().attentionList())
        pairs.insert(a.site_name + QLatin1Char('/') + a.note_name);
    return pairs;
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void attentionPagesAndSaving();
    void attentionSaveKeepsWhatItCouldNotShow();
    void historyFilters();
    void historyDoubleClickOpensTheShownRow();
    void settingsRoundTrip();
    void settingsEscSavesNothing();
    void autostartEntry();
    void aboutMessage();

private:
    std::unique_ptr<TempDataDir> m_dir;
    QString m_catalog;
    UrlCatcher m_urls;
};

void TestWindows::initTestCase()
{
    m_catalog = appFilePath(QStringLiteral("sdb.dll"));
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_urls, "open");
}

void TestWindows::init()
{
    m_dir = std::make_unique<TempDataDir>();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->root() + QStringLiteral("/config")));
    resetSettingsStore();
    loadSettings();
    QFile::remove(m_catalog);
    QVERIFY(createCatalog(m_catalog));
    // Site A with five nodes (and an address to open), site B with one, site C with none.
    QVERIFY(rawExec(m_catalog,
                    QStringLiteral("INSERT INTO tb_site(site_name, site_url, site_info) VALUES(%1, %2, %3);")
                        .arg(encodedBlob(QStringLiteral("甲站")), encodedText(QStringLiteral("http://a.example/")),
                             encodedText(QStringLiteral("<b>介绍</b>")))));
    for (int n = 1; n <= 5; ++n)
        QVERIFY(addCatalogNode(m_catalog, QStringLiteral("甲站"), QStringLiteral("节点%1").arg(n),
                               QStringLiteral("http://a/"), listMarkers));
    QVERIFY(addCatalogNode(m_catalog, QStringLiteral("乙站"), QStringLiteral("唯一"), QStringLiteral("http://b/"),
                           listMarkers));
    QVERIFY(
        rawExec(m_catalog,
                QStringLiteral("INSERT INTO tb_site(site_name) VALUES(%1);").arg(encodedBlob(QStringLiteral("丙站")))));
    m_urls.opened.clear();
}

void TestWindows::cleanup()
{
    resetSettingsStore();
    m_dir.reset();
    QFile::remove(m_catalog);
}

void TestWindows::attentionPagesAndSaving()
{
    QVERIFY(UserDb().setAttention(
        {{QStringLiteral("甲站"), QStringLiteral("节点2")}, {QStringLiteral("乙站"), QStringLiteral("唯一")}}));
    QPointer<MainWindow> window = new MainWindow;
    auto *tabs = window->findChild<TTabWidget *>();
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("甲站"));
    auto *page = qobject_cast<SiteView *>(tabs->widget(0));
    const QList<QCheckBox *> boxes = page->findChildren<QCheckBox *>();
    QCOMPARE(boxes.size(), 5);
    QList<QPoint> places;
    for (QCheckBox *box : boxes)
        places << box->pos();
    QCOMPARE(places, (QList<QPoint>{{10, 135}, {155, 135}, {300, 135}, {445, 135}, {10, 156}}));
    QVERIFY(!boxes[0]->isChecked() && boxes[1]->isChecked());
    // Catalogue texts are shown as plain text; the logo opens the site.
    QCOMPARE(page->infoLabel->textFormat(), Qt::PlainText);
    QCOMPARE(page->infoLabel->text(), QStringLiteral("    <b>介绍</b>"));
    page->onClickedLogo();
    QCOMPARE(m_urls.opened, QList<QUrl>{QUrl(QStringLiteral("http://a.example/"))});
    // A site without nodes has a page without boxes.
    QVERIFY(tabs->widget(2)->findChildren<QCheckBox *>().isEmpty());

    boxes[1]->setChecked(false);
    boxes[0]->setChecked(true);
    boxes[4]->setChecked(true);
    QVERIFY(window->close());
    QTRY_VERIFY(!window);
    QCOMPARE(followed(),
             (QSet<QString>{QStringLiteral("甲站/节点1"), QStringLiteral("甲站/节点5"), QStringLiteral("乙站/唯一")}));
}

void TestWindows::attentionSaveKeepsWhatItCouldNotShow()
{
    QVERIFY(UserDb().setAttention(
        {{QStringLiteral("甲站"), QStringLiteral("节点3")}, {QStringLiteral("乙站"), QStringLiteral("唯一")}}));
    const QSet<QString> before = followed();
    // No catalogue: no pages, and closing must not erase the followed list.
    QFile::rename(m_catalog, m_catalog + QStringLiteral(".away"));
    QPointer<MainWindow> empty = new MainWindow;
    QCOMPARE(empty->findChild<TTabWidget *>()->count(), 0);
    empty->close();
    QTRY_VERIFY(!empty);
    QCOMPARE(followed(), before);
    QFile::rename(m_catalog + QStringLiteral(".away"), m_catalog);

    // The user database is unreadable while the pages are built (a broken file elsewhere), fine again at the save:
    // the pages without boxes keep their sites' stored nodes.
    const QByteArray goodHome = qgetenv("XDG_DATA_HOME");
    QTemporaryDir broken;
    QVERIFY(QDir(broken.path()).mkpath(QStringLiteral("Kestrow")));
    QFile garbage(broken.path() + QStringLiteral("/Kestrow/udb.dll"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(broken.path()));
    QPointer<MainWindow> window = new MainWindow;
    qputenv("XDG_DATA_HOME", goodHome);
    auto *tabs = window->findChild<TTabWidget *>();
    QCOMPARE(tabs->count(), 3);
    QVERIFY(tabs->widget(0)->findChildren<QCheckBox *>().isEmpty());
    window->close();
    QTRY_VERIFY(!window);
    QCOMPARE(followed(), before);
}

void TestWindows::historyFilters()
{
    UserDb db;
    QVERIFY(db.addTasks({task(QStringLiteral("甲站"), QStringLiteral("Logo 设计"), QStringLiteral("300元")),
                         task(QStringLiteral("乙站"), QStringLiteral("网站开发"), QString()),
                         task(QStringLiteral("甲站"), QStringLiteral("LOGO 改版"), QStringLiteral("100元"))}));
    QPointer<HistoryWindow> window = new HistoryWindow;
    auto *model = qobject_cast<QStandardItemModel *>(window->findChild<QTableView *>()->model());
    auto *table = window->findChild<QTableView *>();
    const auto titles = [model] {
        QStringList result;
        for (int r = 0; r < model->rowCount(); ++r)
            result << model->item(r, 2)->text();
        return result;
    };
    // All tasks, oldest first, with the hidden address columns and "无" for a missing price.
    QCOMPARE(titles(),
             (QStringList{QStringLiteral("Logo 设计"), QStringLiteral("网站开发"), QStringLiteral("LOGO 改版")}));
    QVERIFY(table->isColumnHidden(4) && table->isColumnHidden(5) && !table->isColumnHidden(3));
    QCOMPARE(model->item(1, 3)->text(), QStringLiteral("无"));
    QCOMPARE(model->horizontalHeaderItem(0)->text(), QStringLiteral("网 站"));
    auto *combo = window->findChild<QComboBox *>(QStringLiteral("siteCombo"));
    QCOMPARE(combo->count(), 4);
    combo->setCurrentIndex(2);
    QCOMPARE(titles(), QStringList{QStringLiteral("网站开发")});
    combo->setCurrentIndex(0);
    QCOMPARE(titles().size(), 3);
    // User edits refresh; text set by program does not.
    auto *search = window->findChild<QLineEdit *>(QStringLiteral("searchEdit"));
    QTest::keyClicks(search, QStringLiteral("logo"));
    QCOMPARE(titles(), (QStringList{QStringLiteral("Logo 设计"), QStringLiteral("LOGO 改版")}));
    search->setText(QStringLiteral("网站"));
    QCOMPARE(titles().size(), 2);
    // A 21st character is refused; a broken search finds nothing and shows only the headers.
    search->clear();
    QTest::keyClicks(search, QStringLiteral("abcdefghijklmnopqrstuvwxyz"));
    QCOMPARE(search->text().size(), 20);
    search->clear();
    QTest::keyClicks(search, QStringLiteral("\""));
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->columnCount(), 6);
    delete window;
}

void TestWindows::historyDoubleClickOpensTheShownRow()
{
    QVERIFY(UserDb().addTasks({task(QStringLiteral("甲站"), QStringLiteral("贵"), QStringLiteral("900元")),
                               task(QStringLiteral("甲站"), QStringLiteral("便宜"), QStringLiteral("100元"))}));
    auto *window = new HistoryWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto *table = window->findChild<QTableView *>();
    table->sortByColumn(3, Qt::AscendingOrder);
    const QModelIndex first = table->model()->index(0, 1);
    QCOMPARE(table->model()->index(0, 2).data().toString(), QStringLiteral("便宜"));
    // What the table's doubleClicked(index) delivers for the first row as shown.
    QVERIFY(QMetaObject::invokeMethod(window, "onTableDoubleClicked", Q_ARG(QModelIndex, first)));
    QCOMPARE(m_urls.opened, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1/t/便宜"))});
    delete window;
}

void TestWindows::settingsRoundTrip()
{
    setSetting(QStringLiteral("enable_sound"), QStringLiteral("false"));
    setSetting(QStringLiteral("scan_interval"), QStringLiteral("60"));
    setSetting(QStringLiteral("db_vacuum_interval"), QStringLiteral("7"));
    {
        ConfigWindow window;
        QVERIFY(!window.findChild<QCheckBox *>(QStringLiteral("soundCheck"))->isChecked());
        QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("intervalCombo"))->currentIndex(), 1);
        QCOMPARE(window.findChild<QSpinBox *>(QStringLiteral("retentionSpin"))->value(), 7);
        window.findChild<QCheckBox *>(QStringLiteral("soundCheck"))->setChecked(true);
        window.findChild<QComboBox *>(QStringLiteral("intervalCombo"))->setCurrentIndex(2);
        window.findChild<QSpinBox *>(QStringLiteral("retentionSpin"))->setValue(12);
        window.onClose();
    }
    QCOMPARE(setting(QStringLiteral("enable_sound")), QStringLiteral("true"));
    QCOMPARE(setting(QStringLiteral("scan_interval")), QStringLiteral("180"));
    QCOMPARE(setting(QStringLiteral("db_vacuum_interval")), QStringLiteral("12"));
    QCOMPARE(setting(QStringLiteral("current_font")), QApplication::font().family());
    // Values the window cannot show are stored as the nearest it can.
    setSetting(QStringLiteral("scan_interval"), QStringLiteral("45"));
    setSetting(QStringLiteral("db_vacuum_interval"), QStringLiteral("50"));
    {
        ConfigWindow window;
        QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("intervalCombo"))->currentIndex(), 0);
        QCOMPARE(window.findChild<QSpinBox *>(QStringLiteral("retentionSpin"))->value(), 30);
        window.close();
    }
    QCOMPARE(setting(QStringLiteral("scan_interval")), QStringLiteral("30"));
    QCOMPARE(setting(QStringLiteral("db_vacuum_interval")), QStringLiteral("30"));
}

void TestWindows::settingsEscSavesNothing()
{
    setSetting(QStringLiteral("scan_interval"), QStringLiteral("60"));
    const QFont font = QApplication::font();
    ConfigWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QComboBox *>(QStringLiteral("intervalCombo"))->setCurrentIndex(0);
    window.findChild<QCheckBox *>(QStringLiteral("autostartCheck"))->setChecked(true);
    window.onDefaultFont();
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    QCOMPARE(setting(QStringLiteral("scan_interval")), QStringLiteral("60"));
    QVERIFY(!ConfigWindow::isAutostart());
    QCOMPARE(QApplication::font(), font);
}

void TestWindows::autostartEntry()
{
    const QString entry = m_dir->root() + QStringLiteral("/config/autostart/Kestrow.desktop");
    {
        ConfigWindow window;
        QVERIFY(!window.findChild<QCheckBox *>(QStringLiteral("autostartCheck"))->isChecked());
        window.findChild<QCheckBox *>(QStringLiteral("autostartCheck"))->setChecked(true);
        window.close();
    }
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY2(text.contains(QStringLiteral("Exec=\"%1\"\n").arg(QCoreApplication::applicationFilePath())),
             qPrintable(text));
    QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    QVERIFY(ConfigWindow::isAutostart());
    // An entry for a program elsewhere does not count.
    QVERIFY(!Platform::isAutostart(QStringLiteral("/opt/other/kestrow")));
    {
        ConfigWindow window;
        QVERIFY(window.findChild<QCheckBox *>(QStringLiteral("autostartCheck"))->isChecked());
        window.findChild<QCheckBox *>(QStringLiteral("autostartCheck"))->setChecked(false);
        window.close();
    }
    QVERIFY(!QFile::exists(entry));
    QVERIFY(!ConfigWindow::isAutostart());
}

void TestWindows::aboutMessage()
{
    {
        AboutWindow window;
        QCOMPARE(window.findChild<QPlainTextEdit *>(QStringLiteral("messageEdit"))->toPlainText(), QString());
        QVERIFY(window.findChild<QLabel *>(QStringLiteral("versionLabel"))
                    ->text()
                    .startsWith(QStringLiteral("Kestrow v2.0.0")));
        auto *site = window.findChild<TLinkButton *>(QStringLiteral("siteLink"));
        QCOMPARE(site->text(), site->url());
        QCOMPARE(site->width(), site->textWidth());
        auto *feedback = window.findChild<TLinkButton *>(QStringLiteral("feedbackLink"));
        QVERIFY(feedback->text() != feedback->url());
        QCOMPARE(feedback->width(), feedback->textWidth());
    }
    QFile message(dataFilePath(QStringLiteral("aboutmsg")));
    QVERIFY(message.open(QIODevice::WriteOnly));
    message.write("第一行\n<b>second</b> line\n");
    message.close();
    AboutWindow window;
    QCOMPARE(window.findChild<QPlainTextEdit *>(QStringLiteral("messageEdit"))->toPlainText(),
             QStringLiteral("第一行\n<b>second</b> line\n"));
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
