#pragma once

#include "core/attentiondata.h"
#include "core/taskdata.h"
#include "sites/catalogfile.h"
#include "ui/kit/tdialog.h"

class PageFetch;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// Adds a site of the user's own from one list page: its address and one task title seen on it (or the feed it offers),
// a preview of the tasks that would be cut, and saving as a site file whose node is then followed. Opened on an
// existing site of the user's, it edits that site's first node.
class AddSiteWindow : public TDialog
{
    Q_OBJECT

public:
    explicit AddSiteWindow(QWidget *parent = nullptr);
    // Edits the user's site siteName.
    AddSiteWindow(const QString &siteName, QWidget *parent);

public slots:
    void onPreview();
    void onUseFeed();
    void onSave();

signals:
    // A site file was written; the site is named siteName.
    void saved(const QString &siteName);

private:
    void onFetched();
    void showTasks(const QList<TaskData> &tasks);
    void setStatus(const QString &text, bool canSave = false);

    QLineEdit *urlEdit;
    QLineEdit *titleEdit;
    QLineEdit *priceEdit;
    QLineEdit *siteEdit;
    QLineEdit *nodeEdit;
    QLabel *feedLabel;
    QPushButton *feedButton;
    QPushButton *previewButton;
    QPushButton *saveButton;
    QLabel *statusLabel;
    QTableWidget *previewTable;
    PageFetch *fetch;

    NodeKind kind = NodeKind::Page;
    QStringList markers;  // of the last preview
    QString fetchingUrl;  // the address being fetched
    QString previewedUrl; // the address the preview cut
    QString offeredFeed;  // a feed the page links to
    // When editing: the site as its file holds it, and the node edited.
    CatalogSite editedSite;
    QString editedNode;
};
