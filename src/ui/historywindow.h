#pragma once

#include "sites/catalog.h"
#include "store/userdb.h"
#include "ui/kit/tdialog.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSizeGrip;
class QModelIndex;
class HistoryModel;
class TLineEdit;
class TTableView;

// The history window: every stored task, filtered by site and by a search inside titles on every keystroke; a
// double click opens the task in the browser. Resizable; it remembers its size.
class HistoryWindow : public TDialog
{
    Q_OBJECT

public:
    // A double click opens a task at the address catalog gives it.
    explicit HistoryWindow(const Catalog &catalog = Catalog(), QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // Reads the shown tasks again, keeping the selected task and the scroll position.
    void refresh();
    // Writes what is shown (the site chosen, the search) to a CSV file the user picks.
    void onExport();
    // Writes what is shown to path; false when it cannot be written.
    bool exportTo(const QString &path) const;

signals:
    void destructor();

protected:
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void onSiteComboChanged(const QString &text);
    void onSearchChanged(const QString &text);
    void onTableDoubleClicked(const QModelIndex &index);

private:
    UserDb db;
    const Catalog catalog;
    QLabel *siteLabel;
    QComboBox *siteCombo;
    QPushButton *exportButton;
    TLineEdit *searchEdit;
    TTableView *taskTable;
    HistoryModel *taskModel;
    QSizeGrip *sizeGrip;
};
