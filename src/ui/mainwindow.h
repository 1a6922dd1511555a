#pragma once

#include "core/attentiondata.h"
#include "sites/catalog.h"

#include "ui/kit/tmainwindow.h"
#include <QHash>

class QLabel;
class QPushButton;
class TLinkButton;
class TTabWidget;

// The attention window: one tab per catalogue site with a check box per node (or, with no site, an offer to add
// one); closing it stores the ticked nodes as the followed list.
class MainWindow : public TMainWindow
{
    Q_OBJECT

public:
    // A page for every site of catalog.
    explicit MainWindow(const Catalog &catalog = Catalog(), QWidget *parent = nullptr,
                        Qt::WindowFlags flags = Qt::WindowFlags());
    ~MainWindow() override;

    void loadSites();
    void saveAttention();
    // Shows the sites of catalog instead, keeping the ticks made so far.
    void setCatalog(const Catalog &catalog);
    // Offers "退出" beside "关闭": for a program that has no tray icon to quit from.
    void setQuitOffered(bool offered);

signals:
    void openHistoryWindow();
    void addSite();
    void editSite(const QString &siteName);
    void removeSite(const QString &siteName);
    // "退出" was clicked, the ticks saved.
    void quit();
    void destructor();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Catalog catalog;
    QLabel *hintLabel;
    TTabWidget *siteTabs;
    QPushButton *historyButton;
    QPushButton *quitButton;
    QPushButton *exitButton;
    QWidget *emptyPage; // in place of the tabs while there is no site
    QLabel *emptyLabel;
    TLinkButton *addSiteLink;
    bool catalogRead = false;
    // What the user ticked and cleared since the window opened: shown again over the stored state when the
    // catalogue changes under the window.
    QHash<AttentionPair, bool> userTicks;
};
