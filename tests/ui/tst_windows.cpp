#include "core/paths.h"
#include "store/settings.h"
#include "support/sandbox.h"
#include "ui/aboutwindow.h"
#include "ui/alertwindow.h"
#include "ui/configwindow.h"
#include "ui/historywindow.h"
#include "ui/kit/safeurl.h"
#include "ui/kit/tbutton.h"
#include "ui/kit/tlinkbutton.h"
#include "ui/kit/ttabwidget.h"
#include "ui/mainwindow.h"
#include "ui/siteview.h"
#include "ui/taskwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSoundEffect>
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

// The windows, the new-task popup, and the widget kit they are made of.
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

    void cleanup() { m_catalog.reset(), m_sandbox.reset(); }

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
        // No catalogue, then one without sites: no pages but the offer to add a site, saying why there is none, and
        // closing must not erase the followed list.
        const auto offer = [](const QString &says) {
            return [says](TTabWidget *tabs) {
                QWidget *window = tabs->window();
                auto *empty = window->findChild<QWidget *>(u"emptyPage"_s);
                QVERIFY(tabs->count() == 0 && !tabs->isVisibleTo(window) && empty->isVisibleTo(window));
                QVERIFY2(empty->findChild<QLabel *>()->text().startsWith(says), qPrintable(says));
                QSignalSpy add(window, SIGNAL(addSite()));
                empty->findChild<QPushButton *>()->click();
                QCOMPARE(add.size(), 1);
            };
        };
        QFile::rename(Sandbox::catalogPath(), Sandbox::catalogPath() + u".away"_s);
        QVERIFY(openAndClose(offer(u"站点目录无法读取"_s)));
        CatalogBuilder{};
        QVERIFY(openAndClose(offer(u"还没有任何站点"_s)));
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
                result << table->model()->index(r, TaskRows::Title).data().toString() + u' ' +
                              table->model()->index(r, TaskRows::Price).data().toString();
            return result.join(u", "_s);
        };
        // All tasks, oldest first, "无" for a missing price; a site chosen shows only its tasks.
        QCOMPARE(titles(), u"Logo 设计 300元, 网站开发 无, LOGO 改版 100元"_s);
        auto *combo = window.findChild<QComboBox *>(u"siteCombo"_s);
        combo->setCurrentIndex(2);
        QCOMPARE(titles(), u"网站开发 无"_s);
        combo->setCurrentIndex(0);
        // User edits refresh; a broken search shows only the headers.
        auto *search = window.findChild<QLineEdit *>(u"searchEdit"_s);
        QTest::keyClicks(search, u"\""_s);
        QVERIFY(table->model()->rowCount() == 0 && table->model()->columnCount() == TaskRows::fields);
        search->clear();
        QTest::keyClicks(search, u"logo"_s);
        QCOMPARE(titles(), u"Logo 设计 300元, LOGO 改版 100元"_s);
        // A double click opens the row as shown, after sorting; the selection moves with its row.
        table->selectRow(1);
        table->sortByColumn(TaskRows::Price, Qt::AscendingOrder);
        QCOMPARE(titles(), u"LOGO 改版 100元, Logo 设计 300元"_s);
        QCOMPARE(table->selectionModel()->selectedRows().value(0).row(), 0);
        QVERIFY(QMetaObject::invokeMethod(&window, "onTableDoubleClicked",
                                          Q_ARG(QModelIndex, table->model()->index(0, TaskRows::Node))));
        QCOMPARE(m_urls.opened, QList<QUrl>{QUrl(u"http://127.0.0.1/t/LOGO 改版"_s)});
    }

    void historyAmountsTimesAndExport()
    {
        // Prices sort by their amount as the filters read it, none first; the time found shows and sorts by when.
        const QStringList prices = {u"1.5万"_s, u"面议"_s, u"300元"_s, u"¥2,000"_s, u"500-2000元"_s, QString()};
        for (int i = 0; i < prices.size(); ++i) {
            m_sandbox->clock.setNow(QDateTime(QDate(2026, 12, 7), QTime(9, 0)).addSecs(-3600 * i));
            QVERIFY(UserDb().addTasks({makeTask(u"任务%1"_s.arg(i), prices[i], u"甲站"_s)}));
        }
        HistoryWindow window;
        auto *table = window.findChild<QTableView *>();
        const auto column = [table](int field) {
            QStringList cells;
            for (int r = 0; r < table->model()->rowCount(); ++r)
                cells << table->model()->index(r, field).data().toString();
            return cells;
        };
        table->sortByColumn(TaskRows::Price, Qt::AscendingOrder);
        QCOMPARE(column(TaskRows::Price),
                 (QStringList{u"面议"_s, u"无"_s, u"300元"_s, u"500-2000元"_s, u"¥2,000"_s, u"1.5万"_s}));
        table->sortByColumn(TaskRows::Time, Qt::AscendingOrder);
        QCOMPARE(column(TaskRows::Title).first(), u"任务5"_s);
        QCOMPARE(column(TaskRows::Time).last(), u"2026-12-07 09:00"_s);
        // What is shown exports as a spreadsheet reads it: a byte order mark, a header, quotes where a field needs
        // them.
        const QString path = m_sandbox->root() + u"/history.csv"_s;
        QVERIFY(window.exportTo(path));
        const QByteArray csv = readFile(path);
        QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
        const QStringList lines = QString::fromUtf8(csv.mid(3)).split(u"\r\n"_s, Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[0], u"网 站,任务类型,任 务,价 格,发现时间,地址"_s);
        QCOMPARE(lines[3], u"甲站,节点,任务3,\"¥2,000\",2026-12-07 06:00,http://127.0.0.1/t/任务3"_s);
    }

    void historyFollowsNewTasksAndRemembersItsSize()
    {
        QList<TaskData> tasks;
        for (int i = 0; i < 60; ++i)
            tasks << makeTask(u"任务%1"_s.arg(i, 2, 10, QChar(u'0')));
        QVERIFY(UserDb().addTasks(tasks));
        {
            HistoryWindow window;
            window.show();
            auto *table = window.findChild<QTableView *>();
            const auto selectedTitle = [table] {
                return table->model()->index(table->currentIndex().row(), TaskRows::Title).data().toString();
            };
            // New tasks while the user reads, sorted so that they come above the selection: the selected task and
            // the scroll position stay.
            for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                table->sortByColumn(TaskRows::Title, order);
                const QModelIndexList found = table->model()->match(table->model()->index(0, TaskRows::Title),
                                                                    Qt::DisplayRole, u"任务40"_s, 1, Qt::MatchExactly);
                QCOMPARE(found.size(), 1);
                table->selectRow(found[0].row());
                table->verticalScrollBar()->setValue(7);
                QCOMPARE(selectedTitle(), u"任务40"_s);
                QVERIFY(UserDb().addTasks({makeTask(u"新任务%1"_s.arg(int(order)))}));
                window.refresh();
                QCOMPARE(selectedTitle(), u"任务40"_s);
                QCOMPARE(table->verticalScrollBar()->value(), 7);
            }
            QCOMPARE(table->model()->rowCount(), 62);
            // Resized, the table takes the room; the size is remembered.
            window.resize(900, 640);
            QCOMPARE(table->width(), 860);
        }
        // Stored size → the size it opens at: never below its first size, and a text that is no size is none.
        for (const auto &[stored, opens] : {std::pair{u""_s, QSize(900, 640)}, std::pair{u"300x200"_s, QSize(700, 500)},
                                            std::pair{u"wide"_s, QSize(700, 500)}}) {
            if (!stored.isEmpty())
                setSetting(Key::HistoryWindowSize, stored);
            QCOMPARE(HistoryWindow().size(), opens);
        }
    }

    void settingsAlertAndAboutWindows()
    {
        const auto stored = [] {
            return setting(Key::EnableSound) + u' ' + setting(Key::ScanInterval) + u' ' + setting(Key::HistoryDays);
        };
        // Stored sound, interval and days → what closing the window stores: values it cannot show become the nearest
        // it can. An interface font outside its Chinese list (Debian's "Sans Serif") is kept, stored and in use.
        const QFont original = QApplication::font();
        QApplication::setFont(QFont(u"Sans Serif"_s, original.pointSize()));
        for (const auto &[before, after] :
             QList<QPair<QString, QString>>{{u"false 60 7"_s, u"false 60 7"_s}, {u"true 45 50"_s, u"true 30 30"_s}}) {
            setSetting(Key::EnableSound, before.section(u' ', 0, 0));
            setSetting(Key::ScanInterval, before.section(u' ', 1, 1));
            setSetting(Key::HistoryDays, before.section(u' ', 2, 2));
            ConfigWindow().close();
            QCOMPARE(stored(), after);
            QCOMPARE(setting(Key::CurrentFont) + u'/' + QApplication::font().family(), u"Sans Serif/Sans Serif"_s);
        }
        QApplication::setFont(original);
        // What the user changes is stored; Esc leaves without saving.
        for (const bool escape : {true, false}) {
            ConfigWindow window;
            window.show();
            window.findChild<QCheckBox *>(u"soundCheck"_s)->setChecked(false);
            window.findChild<QComboBox *>(u"intervalCombo"_s)->setCurrentIndex(2);
            window.findChild<QSpinBox *>(u"retentionSpin"_s)->setValue(12);
            window.findChild<QCheckBox *>(u"autostartCheck"_s)->setChecked(true);
            escape ? QTest::keyClick(&window, Qt::Key_Escape) : window.onClose();
            QCOMPARE(stored(), escape ? u"true 30 30"_s : u"false 180 12"_s);
            QCOMPARE(ConfigWindow::isAutostart(), !escape);
        }
        ConfigWindow::setAutostart(false);
        // The vendor's message is shown as it is.
        QVERIFY(writeFile(dataFilePath(u"aboutmsg"_s), "第一行\n<b>second</b> line\n"));
        AboutWindow window;
        QCOMPARE(window.findChild<QPlainTextEdit *>(u"messageEdit"_s)->toPlainText(),
                 u"第一行\n<b>second</b> line\n"_s);
        // The alert window: what it shows and stores.
        setSetting(Key::AlertRequire, u"logo 网站"_s);
        setSetting(Key::QuietStart, u"23:00"_s);
        setSetting(Key::QuietEnd, u"07:30"_s);
        // Words are stored one space apart; quiet hours switched off store none; Esc stores nothing.
        for (const bool escape : {true, false}) {
            AlertWindow window;
            window.show();
            QCOMPARE(window.findChild<QLineEdit *>(u"requireEdit"_s)->text(), u"logo 网站"_s);
            QCOMPARE(window.findChild<QTimeEdit *>(u"quietEndEdit"_s)->time(), QTime(7, 30));
            window.findChild<QLineEdit *>(u"excludeEdit"_s)->setText(u" 急，刷单 "_s);
            window.findChild<QSpinBox *>(u"minPriceSpin"_s)->setValue(500);
            window.findChild<QCheckBox *>(u"quietCheck"_s)->setChecked(false);
            escape ? QTest::keyClick(&window, Qt::Key_Escape) : window.onClose();
            const QStringList stored{setting(Key::AlertExclude), setting(Key::AlertMinPrice), setting(Key::QuietStart)};
            QCOMPARE(stored, escape ? (QStringList{QString(), u"0"_s, u"23:00"_s})
                                    : (QStringList{u"急 刷单"_s, u"500"_s, QString()}));
        }
    }

    void popup()
    {
        Popup popup;
        popup.window->pushTasks({makeTask(u"一"_s), makeTask(u"二"_s, QString()), makeTask(u"三"_s)});
        popup.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(popup.window));
        // It opens in the screen's corner; once the user drags it away, later batches and showing leave it there.
        QCOMPARE(popup.window->frameGeometry().bottomRight() + QPoint(2, 2),
                 popup.window->screen()->availableGeometry().bottomRight());
        popup.window->move(40, 50);
        // Paging wraps around both ways; a later batch is appended and keeps the shown task.
        const QList<std::pair<const char *, QString>> steps = {
            {"prevLink", u"3 / 3 三"_s}, {"nextLink", u"1 / 3 一"_s}, {"nextLink", u"2 / 3 二"_s},
            {"", u"2 / 5 二"_s},         {"prevLink", u"1 / 5 一"_s}, {"prevLink", u"5 / 5 五"_s}};
        for (const auto &[link, shown] : steps) {
            if (*link)
                popup.click(link);
            else
                popup.window->pushTasks({makeTask(u"四"_s), makeTask(u"五"_s)});
            QCOMPARE(popup.shown(), shown);
        }
        popup.window->hide();
        popup.window->show();
        QCOMPARE(popup.window->pos(), QPoint(40, 50));
        // It keeps the latest 1,000 tasks, the shown one among them while it can.
        QList<TaskData> many;
        for (int i = 0; i < 998; ++i)
            many << makeTask(QString::number(i));
        popup.window->pushTasks(many);
        QCOMPARE(popup.shown(), u"2 / 1000 五"_s);
        popup.window->pushTasks(many.mid(0, 2));
        QCOMPARE(popup.shown(), u"1 / 1000 0"_s);
        // Titles and prices are plain text.
        Popup plain;
        const QString hostile = u"<img src=x onerror=alert(1)><b>粗体</b>"_s;
        plain.window->pushTasks({makeTask(hostile, u"<i>9</i>"_s)});
        auto *link = plain.window->findChild<TLinkButton *>(u"taskLink"_s);
        QVERIFY(link->textFormat() == Qt::PlainText && link->text() == hostile);
        QVERIFY(link->toolTip().contains(u"&lt;img src=x"_s) && !link->toolTip().contains(u"<img"_s));
        QVERIFY(plain.window->findChild<QLabel *>(u"priceLabel"_s)->textFormat() == Qt::PlainText);
        // The compiled-in notification clip is a wave the sound effect accepts.
        QSoundEffect probe;
        probe.setSource(QUrl(u"qrc:/MainWindow/Resources/notify.wav"_s));
        QTRY_COMPARE_WITH_TIMEOUT(probe.status(), QSoundEffect::Ready, 5000);
    }

    void kit()
    {
        // Glyph and link buttons click on a press and release inside.
        TButton glyph(nullptr, 0);
        TLinkButton link;
        for (QWidget *button : std::initializer_list<QWidget *>{&glyph, &link}) {
            button->resize(20, 20);
            QSignalSpy clicked(button, SIGNAL(clicked()));
            QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, 8));
            QCOMPARE(clicked.size(), 1);
            QTest::mousePress(button, Qt::LeftButton, {}, QPoint(8, 8));
            QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(150, 8)); // released outside: no click
            QCOMPARE(clicked.size(), 1);
        }
        // A dialog that was not placed opens in the middle of the screen, not at its top-left corner (Qt allows for a
        // window-manager frame of up to 10 by 40 pixels it cannot see on a frameless window).
        TDialog dialog;
        dialog.resize(250, 200);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QPoint offset = dialog.frameGeometry().center() - dialog.screen()->availableGeometry().center();
        QVERIFY(qAbs(offset.x()) <= 10 && qAbs(offset.y()) <= 40);
        // Only web addresses are opened.
        QVERIFY(isWebAddress(u"HTTPS://127.0.0.1:8731/任务/1?标题=网站 建设&q=%E4%B8%AD"_s));
        for (const char *bad : {"javascript:alert(1)", "file:///etc/passwd", "mailto:a@b", "/relative/path",
                                "ftp://example.com/", "http://", "data:text/html,<b>x</b>", ""})
            QVERIFY2(!isWebAddress(QString::fromLatin1(bad)) && !openWebAddress(QString::fromLatin1(bad)), bad);
    }

private:
    std::unique_ptr<Sandbox> m_sandbox;
    std::unique_ptr<CatalogBuilder> m_catalog;
    UrlCatcher m_urls;
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
