#include "core/paths.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"
#include "ui/aboutwindow.h"
#include "ui/alertwindow.h"
#include "ui/configwindow.h"
#include "ui/historywindow.h"
#include "ui/kit/ttabwidget.h"
#include "ui/mainwindow.h"
#include "ui/siteview.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>

using namespace Qt::StringLiterals;

namespace {

QSet<QString> followed()
{
    QSet<QString> pairs;
    for (const AttentionData &a : UserDb().attentionList())
        pairs.insert(a.site_name + u'/' + a.note_name);
    return pairs;
}

// Opens the attention window, lets check() look at its pages, and closes it, which saves.
bool openAndClose(const std::function<void(TTabWidget *)> &check)
{
    QPointer<MainWindow> window = new MainWindow;
    check(window->findChild<TTabWidget *>());
    window->close();
    return QTest::qWaitFor([&] { return !window; });
}

template <typename Child> Child *child(QWidget *window, const char *name)
{
    return window->findChild<Child *>(QLatin1String(name));
}

// Shows window, lets the user change it, and leaves with Esc (nothing saved) or the close button.
template <typename Window> void editAndLeave(bool escape, const std::function<void(Window &)> &edit)
{
    Window window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    edit(window);
    if (escape)
        QTest::keyClick(&window, Qt::Key_Escape);
    else
        window.onClose();
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_sandbox = std::make_unique<Sandbox>();
        m_catalog = std::make_unique<CatalogBuilder>();
        // Site 甲站 with five nodes (and an address to open), 乙站 with one, 丙站 with none.
        QVERIFY(m_catalog->site(u"甲站"_s, {u"http://a.example/"_s, u"<b>介绍</b>"_s}));
        for (int n = 1; n <= 5; ++n)
            QVERIFY(m_catalog->node(u"甲站"_s, u"节点%1"_s.arg(n), u"http://a/"_s, listMarkers));
        QVERIFY(m_catalog->node(u"乙站"_s, u"唯一"_s, u"http://b/"_s, listMarkers) && m_catalog->site(u"丙站"_s));
        m_urls.opened.clear();
    }

    void cleanup()
    {
        m_catalog.reset();
        m_sandbox.reset();
    }

    void attentionPagesAndSaving()
    {
        QVERIFY(UserDb().setAttention({{u"甲站"_s, u"节点2"_s}, {u"乙站"_s, u"唯一"_s}}));
        // A failing followed node is marked with its reason; a broken node nobody follows any more is not.
        QVERIFY(UserDb().storePass({}, {NodeStatus{u"甲站"_s, u"节点2"_s, 4, 0, 0, 1796544000, u"HTTP 500"_s},
                                        NodeStatus{u"甲站"_s, u"节点3"_s, 0, 9, 0, 1796544000, QString()}}));
        QVERIFY(openAndClose([this](TTabWidget *tabs) {
            QCOMPARE(tabs->count(), 3);
            QVERIFY(tabs->widget(2)->findChildren<QCheckBox *>().isEmpty());
            auto *page = qobject_cast<SiteView *>(tabs->widget(0));
            const QList<QCheckBox *> boxes = page->findChildren<QCheckBox *>();
            QCOMPARE(boxes.size(), 5);
            QVERIFY(!boxes[0]->isChecked() && boxes[1]->isChecked());
            QVERIFY(boxes[1]->toolTip().startsWith(u"连续4次获取失败\n最后错误: HTTP 500"_s));
            QVERIFY(boxes[0]->toolTip().isEmpty() && boxes[2]->toolTip().isEmpty());
            // Catalogue texts are plain text; the logo opens the site.
            QCOMPARE(page->infoLabel->textFormat(), Qt::PlainText);
            page->onClickedLogo();
            QCOMPARE(m_urls.opened, QList<QUrl>{QUrl(u"http://a.example/"_s)});
            boxes[1]->setChecked(false);
            boxes[0]->setChecked(true);
        }));
        QCOMPARE(followed(), (QSet<QString>{u"甲站/节点1"_s, u"乙站/唯一"_s}));
    }

    void attentionSaveKeepsWhatItCouldNotShow()
    {
        QVERIFY(UserDb().setAttention({{u"甲站"_s, u"节点3"_s}, {u"乙站"_s, u"唯一"_s}}));
        const QSet<QString> before = followed();
        const auto pages = [](int expected) {
            return [expected](TTabWidget *tabs) { QCOMPARE(tabs->count(), expected); };
        };
        // No catalogue, then one without sites: no pages, and closing must not erase the followed list.
        QFile::rename(Sandbox::catalogPath(), Sandbox::catalogPath() + u".away"_s);
        QVERIFY(openAndClose(pages(0)));
        CatalogBuilder{};
        QVERIFY(openAndClose(pages(0)));
        QCOMPARE(followed(), before);
        // A site whose node list cannot be read (a node name over the catalogue's 1 MiB) gets no page but keeps its
        // nodes.
        QVERIFY(QFile::remove(Sandbox::catalogPath()));
        QFile::rename(Sandbox::catalogPath() + u".away"_s, Sandbox::catalogPath());
        QVERIFY(m_catalog->raw(u"INSERT INTO tb_node(site_name, node_name) VALUES(%1, zeroblob(2000000));"_s.arg(
            CatalogBuilder::blob(u"乙站"_s))));
        QVERIFY(openAndClose(pages(2)));
        QCOMPARE(followed(), before);
        // The user database is unreadable while the pages are built, fine again at the save: pages without boxes keep
        // their sites' stored nodes.
        QTemporaryDir broken;
        QVERIFY(writeFile(broken.path() + u"/Kestrow/udb.dll"_s, QByteArray(4096, 'x')));
        const QByteArray goodHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(broken.path()));
        QVERIFY(openAndClose([&goodHome](TTabWidget *tabs) {
            qputenv("XDG_DATA_HOME", goodHome);
            QVERIFY(tabs->widget(0)->findChildren<QCheckBox *>().isEmpty());
        }));
        QCOMPARE(followed(), before);
    }

    void historyFilters()
    {
        QVERIFY(UserDb().addTasks({makeTask(u"Logo 设计"_s, u"300元"_s, u"甲站"_s),
                                   makeTask(u"网站开发"_s, QString(), u"乙站"_s),
                                   makeTask(u"LOGO 改版"_s, u"100元"_s, u"甲站"_s)}));
        HistoryWindow window;
        window.show();
        auto *table = window.findChild<QTableView *>();
        const auto titles = [table] {
            QStringList result;
            for (int r = 0; r < table->model()->rowCount(); ++r)
                result << table->model()->index(r, 2).data().toString() + u' ' +
                              table->model()->index(r, 3).data().toString();
            return result.join(u", "_s);
        };
        // All tasks, oldest first, "无" for a missing price; a site chosen shows only its tasks.
        QCOMPARE(titles(), u"Logo 设计 300元, 网站开发 无, LOGO 改版 100元"_s);
        auto *combo = child<QComboBox>(&window, "siteCombo");
        QCOMPARE(combo->count(), 4);
        combo->setCurrentIndex(2);
        QCOMPARE(titles(), u"网站开发 无"_s);
        combo->setCurrentIndex(0);
        // User edits refresh; a 21st character is refused; a broken search shows only the headers.
        auto *search = child<QLineEdit>(&window, "searchEdit");
        QTest::keyClicks(search, u"abcdefghijklmnopqrstuvwxyz"_s);
        QCOMPARE(search->text().size(), 20);
        search->clear();
        QTest::keyClicks(search, u"\""_s);
        QVERIFY(table->model()->rowCount() == 0 && table->model()->columnCount() == 6);
        search->clear();
        QTest::keyClicks(search, u"logo"_s);
        QCOMPARE(titles(), u"Logo 设计 300元, LOGO 改版 100元"_s);
        // A double click opens the row as shown, after sorting; the selection moves with its row.
        table->selectRow(1);
        table->sortByColumn(3, Qt::AscendingOrder);
        QCOMPARE(titles(), u"LOGO 改版 100元, Logo 设计 300元"_s);
        QCOMPARE(table->selectionModel()->selectedRows().value(0).row(), 0);
        QVERIFY(QMetaObject::invokeMethod(&window, "onTableDoubleClicked",
                                          Q_ARG(QModelIndex, table->model()->index(0, 1))));
        QCOMPARE(m_urls.opened, QList<QUrl>{QUrl(u"http://127.0.0.1/t/LOGO 改版"_s)});
    }

    void settingsRoundTrip()
    {
        const auto stored = [] {
            return QStringList{setting(Key::EnableSound), setting(Key::ScanInterval), setting(Key::HistoryDays),
                               QApplication::font().family()};
        };
        // Stored sound, interval, days and interface font → what closing the window stores: values it cannot show
        // become the nearest it can, and a font outside its Chinese list (Debian's "Sans Serif") is kept.
        const QList<QPair<QStringList, QStringList>> rounds = {
            {{u"false"_s, u"60"_s, u"7"_s, u"Sans Serif"_s}, {u"false"_s, u"60"_s, u"7"_s, u"Sans Serif"_s}},
            {{u"true"_s, u"45"_s, u"50"_s, u"Sans Serif"_s}, {u"true"_s, u"30"_s, u"30"_s, u"Sans Serif"_s}}};
        const QFont original = QApplication::font();
        for (const auto &[before, after] : rounds) {
            setSetting(Key::EnableSound, before[0]);
            setSetting(Key::ScanInterval, before[1]);
            setSetting(Key::HistoryDays, before[2]);
            QFont font = original;
            font.setFamily(before[3]);
            QApplication::setFont(font);
            ConfigWindow().close();
            QCOMPARE(stored(), after);
            QCOMPARE(setting(Key::CurrentFont), after[3]);
        }
        QApplication::setFont(original);
        // What the user changes is stored; Esc leaves without saving.
        for (const bool escape : {true, false}) {
            editAndLeave<ConfigWindow>(escape, [](ConfigWindow &window) {
                child<QCheckBox>(&window, "soundCheck")->setChecked(false);
                child<QComboBox>(&window, "intervalCombo")->setCurrentIndex(2);
                child<QSpinBox>(&window, "retentionSpin")->setValue(12);
                child<QCheckBox>(&window, "autostartCheck")->setChecked(true);
            });
            QCOMPARE(stored().mid(0, 3),
                     (escape ? rounds[1].second.mid(0, 3) : QStringList{u"false"_s, u"180"_s, u"12"_s}));
            QCOMPARE(ConfigWindow::isAutostart(), !escape);
        }
        ConfigWindow::setAutostart(false);
    }

    void aboutMessageIsShownAsItIs()
    {
        QVERIFY(writeFile(dataFilePath(u"aboutmsg"_s), "第一行\n<b>second</b> line\n"));
        AboutWindow window;
        QCOMPARE(child<QPlainTextEdit>(&window, "messageEdit")->toPlainText(), u"第一行\n<b>second</b> line\n"_s);
    }

    void alertSettings()
    {
        setSetting(Key::AlertRequire, u"logo 网站"_s);
        setSetting(Key::QuietStart, u"23:00"_s);
        setSetting(Key::QuietEnd, u"07:30"_s);
        // Words are stored one space apart; quiet hours switched off store none; Esc stores nothing.
        for (const bool escape : {true, false}) {
            editAndLeave<AlertWindow>(escape, [](AlertWindow &window) {
                QCOMPARE(child<QLineEdit>(&window, "requireEdit")->text(), u"logo 网站"_s);
                QCOMPARE(child<QTimeEdit>(&window, "quietEndEdit")->time(), QTime(7, 30));
                child<QLineEdit>(&window, "excludeEdit")->setText(u" 急，刷单 "_s);
                child<QSpinBox>(&window, "minPriceSpin")->setValue(500);
                child<QCheckBox>(&window, "quietCheck")->setChecked(false);
            });
            const QStringList stored{setting(Key::AlertExclude), setting(Key::AlertMinPrice), setting(Key::QuietStart)};
            QCOMPARE(stored, escape ? (QStringList{QString(), u"0"_s, u"23:00"_s})
                                    : (QStringList{u"急 刷单"_s, u"500"_s, QString()}));
        }
    }

private:
    std::unique_ptr<Sandbox> m_sandbox;
    std::unique_ptr<CatalogBuilder> m_catalog;
    UrlCatcher m_urls;
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
