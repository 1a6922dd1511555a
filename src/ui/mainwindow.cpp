#include "ui/mainwindow.h"

#include "core/paths.h"
#include "sites/sitedb.h"
#include "sites/usersites.h"
#include "store/userdb.h"
#include "ui/kit/tlinkbutton.h"
#include "ui/kit/ttabwidget.h"
#include "ui/siteview.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

MainWindow::MainWindow(const Catalog &catalog, QWidget *parent, Qt::WindowFlags flags)
    : TMainWindow(parent, flags), catalog(catalog)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Kestrow"));
    setFixedSize(600, 500);
    backgroundColor = QColor(255, 255, 255, 255);

    siteTabs = new TTabWidget(this);
    siteTabs->setGeometry(10, 50, 580, 420);
    hintLabel = new QLabel(tr("请选择想关注的任务类型:"), this);
    hintLabel->setGeometry(10, 28, 580, 21);
    hintLabel->setStyleSheet(QStringLiteral("color:blue"));
    hintLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    historyButton = new QPushButton(tr("历史任务"), this);
    historyButton->setGeometry(445, 473, 80, 23);
    connect(historyButton, &QPushButton::clicked, this, &MainWindow::openHistoryWindow);
    addSiteLink = new TLinkButton(this);
    addSiteLink->setObjectName(QStringLiteral("addSiteLink"));
    addSiteLink->setColor(qRgb(0, 0, 255), qRgb(204, 0, 51));
    addSiteLink->setText(tr("添加站点…"));
    addSiteLink->setGeometry(10, 474, addSiteLink->textWidth() + 4, 21);
    connect(addSiteLink, &TLinkButton::clicked, this, &MainWindow::addSite);
    quitButton = new QPushButton(tr("关闭"), this);
    quitButton->setGeometry(530, 473, 60, 23);
    connect(quitButton, &QPushButton::clicked, this, &MainWindow::close);
    exitButton = new QPushButton(tr("退出"), this);
    exitButton->setObjectName(QStringLiteral("exitButton"));
    exitButton->setGeometry(360, 473, 80, 23);
    exitButton->hide();
    // Saved first, as closing would: quitting ends the program before the window's close event.
    connect(exitButton, &QPushButton::clicked, this, [this] {
        saveAttention();
        emit quit();
    });

    // In place of the tabs while the catalogue has no site.
    emptyPage = new QWidget(this);
    emptyPage->setObjectName(QStringLiteral("emptyPage"));
    emptyPage->setGeometry(siteTabs->geometry());
    emptyLabel = new QLabel(emptyPage);
    emptyLabel->setGeometry(40, 110, 500, 120);
    emptyLabel->setAlignment(Qt::AlignCenter);
    emptyLabel->setWordWrap(true);
    auto *addButton = new QPushButton(tr("添加站点…"), emptyPage);
    addButton->setGeometry(230, 250, 120, 28);
    connect(addButton, &QPushButton::clicked, this, &MainWindow::addSite);

    loadSites();
}

MainWindow::~MainWindow()
{
    emit destructor();
    trimWorkingSet();
}

void MainWindow::setQuitOffered(bool offered)
{
    exitButton->setVisible(offered);
}

void MainWindow::loadSites()
{
    SiteDb db(catalog.path());
    QList<SiteData> sites;
    catalogRead = db.isOpen() && db.sites(sites);
    const bool empty = sites.isEmpty();
    siteTabs->setVisible(!empty);
    emptyPage->setVisible(empty);
    hintLabel->setVisible(!empty);
    emptyLabel->setText(catalogRead ? tr("还没有任何站点。\n\n点“添加站点…”, 贴入一个任务列表页的地址和页面上一个任务的"
                                         "标题, Kestrow会找出页面上的每个任务, 之后就像关注其他站点一样关注它。")
                                    : tr("站点目录无法读取。\n\n仍可以点“添加站点…”添加自己的站点。"));
    const QStringList own = UserSites::siteNames();
    for (const SiteData &site : std::as_const(sites)) {
        auto *view = new SiteView(this);
        view->setLogo(site.logo.isNull() ? SiteView::placeholderLogo(site.site_name) : site.logo);
        view->siteUrl = site.site_url;
        view->registerLink->setUrl(site.site_register_url);
        view->infoLabel->setText(QStringLiteral("    ") + site.site_info);
        view->setNodes(site.site_name, site.node_names);
        const QString name = site.site_name;
        for (auto tick = userTicks.cbegin(); tick != userTicks.cend(); ++tick) {
            if (tick.key().first == name)
                view->setNodeChecked(tick.key().second, tick.value());
        }
        connect(view, &SiteView::nodeClicked, this, [this, name](const QString &node, bool checked) {
            userTicks.insert({name, node}, checked);
        });
        if (own.contains(name)) {
            view->setOwnSite();
            // Queued: what they open may rebuild the pages, this one and its link among them.
            connect(
                view, &SiteView::editSite, this, [this, name] { emit editSite(name); }, Qt::QueuedConnection);
            connect(
                view, &SiteView::removeSite, this, [this, name] { emit removeSite(name); }, Qt::QueuedConnection);
        }
        siteTabs->addTab(view, site.favicon, site.site_name);
    }
}

void MainWindow::setCatalog(const Catalog &newCatalog)
{
    // Nothing is saved here: the stored state may have changed under the window (a node renamed, a site added and
    // followed), and what the user changed in it is shown again over it.
    const int current = siteTabs->currentIndex();
    while (siteTabs->count() > 0) {
        QWidget *page = siteTabs->widget(0);
        siteTabs->removeTab(0);
        delete page;
    }
    catalog = newCatalog;
    catalogRead = false;
    loadSites();
    siteTabs->setCurrentIndex(qMin(current, siteTabs->count() - 1));
}

void MainWindow::saveAttention()
{
    // Without the catalogue (or without any site in it) the window shows nothing to choose from: saving would
    // erase the followed list.
    if (!catalogRead || siteTabs->count() == 0)
        return;
    UserDb db;
    if (!db.isOpen())
        return;
    const QHash<QString, QSet<QString>> stored = db.attentionMap();
    QList<AttentionPair> pairs;
    for (int index = 0; index < siteTabs->count(); ++index) {
        const QString site = siteTabs->tabText(index);
        const auto *view = qobject_cast<SiteView *>(siteTabs->widget(index));
        // A page that could not show its boxes keeps the site's stored nodes as they were.
        const QStringList nodes = view->isComplete() ? view->selectedNodes() : stored.value(site).values();
        for (const QString &node : nodes)
            pairs.append({site, node});
    }
    // A site the window does not show (its nodes could not be read, or the catalogue no longer has it: a site of the
    // user's, removed) keeps its stored nodes as they were, to be shown again when it comes back.
    QSet<QString> shown;
    for (int index = 0; index < siteTabs->count(); ++index)
        shown.insert(siteTabs->tabText(index));
    for (auto site = stored.cbegin(); site != stored.cend(); ++site) {
        if (!shown.contains(site.key())) {
            for (const QString &node : site.value())
                pairs.append({site.key(), node});
        }
    }
    db.setAttention(pairs);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveAttention();
    event->accept();
}
