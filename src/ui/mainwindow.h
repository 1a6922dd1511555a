#pragma once

#include "sites/catalog.h"
#include "ui/kit/tmainwindow.h"

class QLabel;
class QPushButton;
class TTabWidget;

// The attention window: one tab per catalogue site with a check box per node; closing it stores the ticked
// nodes as the followed list.
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

signals:
    void openHistoryWindow();
    void destructor();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    const Catalog catalog;
    QLabel *hintLabel;
    TTabWidget *siteTabs;
    QPushButton *historyButton;
    QPushButton *quitButton;
    bool catalogRead = false;
    QStringList unreadSites; // in the catalogue, but without a page: their node lists could not be read
};
