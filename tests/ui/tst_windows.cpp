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

using namespace Qt::StringLiterals;

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

const QStringList listMarkers = {u"<ul>"_s, u"</ul>"_s, u"<li>"_s, u"</li>"_s, QString(),
                                 QString(), u"<b>"_s,   u"</b>"_s, QString(),  QString()};

TaskData task(const QString &site, const QString &title, const QString &price)
{
    return TaskData{site, u"节点"_s, title, price, u"http://127.0.0.1/t/"_s + title, u"http://127.0.0.1/list"_s, 0};
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
    m_catalog = appFilePath(u"sdb.dll"_s);
    QDesktopServices::setUrlHandler(u"http"_s, &m_urls, "open");
    QDesktopServices::setUrlHandler(u"https"_s, &m_urls, "open");
}

void TestWindows::init()
{
    m_dir = std::make_unique<TempDataDir>();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->root() + u"/config"_s));
    resetSettingsStore();
    loadSettings();
    QFile::remove(m_catalog);
    QVERIFY(createCatalog(m_catalog));
    // Site A with five nodes (and an address to open), site B with one, site C with none.
    QVERIFY(rawExec(m_catalog,
                    u"INSERT INTO tb_site(site_name, site_url, site_info) VALUES(%1, %2, %3);"_s.arg(
                        encodedBlob(u"甲站"_s), encodedText(u"http://a.example/"_s), encodedText(u"<b>介绍</b>"_s))));
    for (int n = 1; n <= 5; ++n)
        QVERIFY(addCatalogNode(m_catalog, u"甲站"_s, u"节点%1"_s.arg(n), u"http://a/"_s, listMarkers));
    QVERIFY(addCatalogNode(m_catalog, u"乙站"_s, u"唯一"_s, u"http://b/"_s, listMarkers));
    QVERIFY(rawExec(m_catalog, u"INSERT INTO tb_site(site_name) VALUES(%1);"_s.arg(encodedBlob(u"丙站"_s))));
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
    QVERIFY(UserDb().setAttention({{u"甲站"_s, u"节点2"_s}, {u"乙站"_s, u"唯一"_s}}));
    QPointer<MainWindow> window = new MainWindow;
    auto *tabs = window->findChild<TTabWidget *>();
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), u"甲站"_s);
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
    QCOMPARE(page->infoLabel->text(), u"    <b>介绍</b>"_s);
    page->onClickedLogo();
    QCOMPARE(m_urls.opened, QList<QUrl>{QUrl(u"http://a.example/"_s)});
    // A site without nodes has a page without boxes.
    QVERIFY(tabs->widget(2)->findChildren<QCheckBox *>().isEmpty());

    boxes[1]->setChecked(false);
    boxes[0]->setChecked(true);
    boxes[4]->setChecked(true);
    QVERIFY(window->close());
    QTRY_VERIFY(!window);
    QCOMPARE(followed(), (QSet<QString>{u"甲站/节点1"_s, u"甲站/节点5"_s, u"乙站/唯一"_s}));
}

void TestWindows::attentionSaveKeepsWhatItCouldNotShow()
{
    QVERIFY(UserDb().setAttention({{u"甲站"_s, u"节点3"_s}, {u"乙站"_s, u"唯一"_s}}));
    const QSet<QString> before = followed();
    // No catalogue: no pages, and closing must not erase the followed list.
    QFile::rename(m_catalog, m_catalog + u".away"_s);
    QPointer<MainWindow> empty = new MainWindow;
    QCOMPARE(empty->findChild<TTabWidget *>()->count(), 0);
    empty->close();
    QTRY_VERIFY(!empty);
    QCOMPARE(followed(), before);
    // Nor does a catalogue without sites.
    QVERIFY(createCatalog(m_catalog));
    QPointer<MainWindow> noSites = new MainWindow;
    noSites->close();
    QTRY_VERIFY(!noSites);
    QCOMPARE(followed(), before);
    QFile::remove(m_catalog);
    QFile::rename(m_catalog + u".away"_s, m_catalog);

    // The user database is unreadable while the pages are built (a broken file elsewhere), fine again at the save:
    // the pages without boxes keep their sites' stored nodes.
    const QByteArray goodHome = qgetenv("XDG_DATA_HOME");
    QTemporaryDir broken;
    QVERIFY(QDir(broken.path()).mkpath(u"Kestrow"_s));
    QFile garbage(broken.path() + u"/Kestrow/udb.dll"_s);
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
    QVERIFY(db.addTasks({task(u"甲站"_s, u"Logo 设计"_s, u"300元"_s), task(u"乙站"_s, u"网站开发"_s, QString()),
                         task(u"甲站"_s, u"LOGO 改版"_s, u"100元"_s)}));
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
    QCOMPARE(titles(), (QStringList{u"Logo 设计"_s, u"网站开发"_s, u"LOGO 改版"_s}));
    QVERIFY(table->isColumnHidden(4) && table->isColumnHidden(5) && !table->isColumnHidden(3));
    QCOMPARE(model->item(1, 3)->text(), u"无"_s);
    QCOMPARE(model->horizontalHeaderItem(0)->text(), u"网 站"_s);
    auto *combo = window->findChild<QComboBox *>(u"siteCombo"_s);
    QCOMPARE(combo->count(), 4);
    combo->setCurrentIndex(2);
    QCOMPARE(titles(), QStringList{u"网站开发"_s});
    combo->setCurrentIndex(0);
    QCOMPARE(titles().size(), 3);
    // User edits refresh; text set by program does not.
    auto *search = window->findChild<QLineEdit *>(u"searchEdit"_s);
    QTest::keyClicks(search, u"logo"_s);
    QCOMPARE(titles(), (QStringList{u"Logo 设计"_s, u"LOGO 改版"_s}));
    search->setText(u"网站"_s);
    QCOMPARE(titles().size(), 2);
    // A 21st character is refused; a broken search finds nothing and shows only the headers.
    search->clear();
    QTest::keyClicks(search, u"abcdefghijklmnopqrstuvwxyz"_s);
    QCOMPARE(search->text().size(), 20);
    search->clear();
    QTest::keyClicks(search, u"\""_s);
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->columnCount(), 6);
    delete window;
}

void TestWindows::historyDoubleClickOpensTheShownRow()
{
    QVERIFY(UserDb().addTasks({task(u"甲站"_s, u"贵"_s, u"900元"_s), task(u"甲站"_s, u"便宜"_s, u"100元"_s)}));
    auto *window = new HistoryWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto *table = window->findChild<QTableView *>();
    table->sortByColumn(3, Qt::AscendingOrder);
    const QModelIndex first = table->model()->index(0, 1);
    QCOMPARE(table->model()->index(0, 2).data().toString(), u"便宜"_s);
    // What the table's doubleClicked(index) delivers for the first row as shown.
    QVERIFY(QMetaObject::invokeMethod(window, "onTableDoubleClicked", Q_ARG(QModelIndex, first)));
    QCOMPARE(m_urls.opened, QList<QUrl>{QUrl(u"http://127.0.0.1/t/便宜"_s)});
    delete window;
}

void TestWindows::settingsRoundTrip()
{
    setSetting(u"enable_sound"_s, u"false"_s);
    setSetting(u"scan_interval"_s, u"60"_s);
    setSetting(u"db_vacuum_interval"_s, u"7"_s);
    {
        ConfigWindow window;
        QVERIFY(!window.findChild<QCheckBox *>(u"soundCheck"_s)->isChecked());
        QCOMPARE(window.findChild<QComboBox *>(u"intervalCombo"_s)->currentIndex(), 1);
        QCOMPARE(window.findChild<QSpinBox *>(u"retentionSpin"_s)->value(), 7);
        window.findChild<QCheckBox *>(u"soundCheck"_s)->setChecked(true);
        window.findChild<QComboBox *>(u"intervalCombo"_s)->setCurrentIndex(2);
        window.findChild<QSpinBox *>(u"retentionSpin"_s)->setValue(12);
        window.onClose();
    }
    QCOMPARE(setting(u"enable_sound"_s), u"true"_s);
    QCOMPARE(setting(u"scan_interval"_s), u"180"_s);
    QCOMPARE(setting(u"db_vacuum_interval"_s), u"12"_s);
    QCOMPARE(setting(u"current_font"_s), QApplication::font().family());
    // Values the window cannot show are stored as the nearest it can.
    setSetting(u"scan_interval"_s, u"45"_s);
    setSetting(u"db_vacuum_interval"_s, u"50"_s);
    {
        ConfigWindow window;
        QCOMPARE(window.findChild<QComboBox *>(u"intervalCombo"_s)->currentIndex(), 0);
        QCOMPARE(window.findChild<QSpinBox *>(u"retentionSpin"_s)->value(), 30);
        window.close();
    }
    QCOMPARE(setting(u"scan_interval"_s), u"30"_s);
    QCOMPARE(setting(u"db_vacuum_interval"_s), u"30"_s);
}

void TestWindows::settingsEscSavesNothing()
{
    setSetting(u"scan_interval"_s, u"60"_s);
    const QFont font = QApplication::font();
    ConfigWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QComboBox *>(u"intervalCombo"_s)->setCurrentIndex(0);
    window.findChild<QCheckBox *>(u"autostartCheck"_s)->setChecked(true);
    window.onDefaultFont();
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    QCOMPARE(setting(u"scan_interval"_s), u"60"_s);
    QVERIFY(!ConfigWindow::isAutostart());
    QCOMPARE(QApplication::font(), font);
}

void TestWindows::autostartEntry()
{
    const QString entry = m_dir->root() + u"/config/autostart/Kestrow.desktop"_s;
    {
        ConfigWindow window;
        QVERIFY(!window.findChild<QCheckBox *>(u"autostartCheck"_s)->isChecked());
        window.findChild<QCheckBox *>(u"autostartCheck"_s)->setChecked(true);
        window.close();
    }
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY2(text.contains(u"Exec=\"%1\"\n"_s.arg(QCoreApplication::applicationFilePath())), qPrintable(text));
    QVERIFY(text.startsWith(u"[Desktop Entry]\n"_s));
    QVERIFY(ConfigWindow::isAutostart());
    // An entry for a program elsewhere does not count.
    QVERIFY(!Platform::isAutostart(u"/opt/other/kestrow"_s));
    {
        ConfigWindow window;
        QVERIFY(window.findChild<QCheckBox *>(u"autostartCheck"_s)->isChecked());
        window.findChild<QCheckBox *>(u"autostartCheck"_s)->setChecked(false);
        window.close();
    }
    QVERIFY(!QFile::exists(entry));
    QVERIFY(!ConfigWindow::isAutostart());
}

void TestWindows::aboutMessage()
{
    {
        AboutWindow window;
        QCOMPARE(window.findChild<QPlainTextEdit *>(u"messageEdit"_s)->toPlainText(), QString());
        QVERIFY(window.findChild<QLabel *>(u"versionLabel"_s)->text().startsWith(u"Kestrow v2.0.0"_s));
        auto *site = window.findChild<TLinkButton *>(u"siteLink"_s);
        QCOMPARE(site->text(), site->url());
        QCOMPARE(site->width(), site->textWidth());
        auto *feedback = window.findChild<TLinkButton *>(u"feedbackLink"_s);
        QVERIFY(feedback->text() != feedback->url());
        QCOMPARE(feedback->width(), feedback->textWidth());
    }
    QFile message(dataFilePath(u"aboutmsg"_s));
    QVERIFY(message.open(QIODevice::WriteOnly));
    message.write("第一行\n<b>second</b> line\n");
    message.close();
    AboutWindow window;
    QCOMPARE(window.findChild<QPlainTextEdit *>(u"messageEdit"_s)->toPlainText(), u"第一行\n<b>second</b> line\n"_s);
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
