#include "ui/addsitewindow.h"

#include "core/webaddress.h"
#include "scan/feeds.h"
#include "scan/markerinference.h"
#include "scan/pagefetch.h"
#include "scan/pages.h"
#include "sites/catalog.h"
#include "sites/usersites.h"
#include "store/userdb.h"
#include "ui/kit/placed.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>

AddSiteWindow::AddSiteWindow(QWidget *parent) : TDialog(parent), fetch(new PageFetch(this))
{
    setObjectName(QStringLiteral("AddSiteWindow"));
    setWindowTitle(tr("Kestrow - 添加站点"));
    setFixedSize(560, 470);
    backgroundColor = QColor(255, 255, 255, 235);

    placed(new QLabel(tr("任务列表页地址:"), this), "urlLabel", 10, 35, 125, 21);
    urlEdit = placed(new QLineEdit(this), "urlEdit", 140, 35, 410, 21);
    urlEdit->setPlaceholderText(tr("https://… 任务列表页，或 RSS/Atom 订阅源"));
    feedLabel = placed(new QLabel(this), "feedLabel", 140, 60, 290, 21);
    feedLabel->setTextFormat(Qt::PlainText);
    feedButton = placed(new QPushButton(tr("使用订阅源"), this), "feedButton", 440, 60, 110, 21);
    feedButton->hide();
    placed(new QLabel(tr("示例任务标题:"), this), "titleLabel", 10, 85, 125, 21);
    titleEdit = placed(new QLineEdit(this), "titleEdit", 140, 85, 410, 21);
    titleEdit->setPlaceholderText(tr("照浏览器中看到的样子，填写页面上任意一个任务的标题"));
    placed(new QLabel(tr("示例价格(可选):"), this), "priceLabel", 10, 110, 125, 21);
    priceEdit = placed(new QLineEdit(this), "priceEdit", 140, 110, 150, 21);
    placed(new QLabel(tr("站点名称:"), this), "siteLabel", 10, 135, 125, 21);
    siteEdit = placed(new QLineEdit(this), "siteEdit", 140, 135, 150, 21);
    placed(new QLabel(tr("节点名称:"), this), "nodeLabel", 300, 135, 65, 21);
    nodeEdit = placed(new QLineEdit(this), "nodeEdit", 370, 135, 180, 21);

    previewButton = placed(new QPushButton(tr("预览"), this), "previewButton", 10, 165, 80, 23);
    statusLabel = placed(new QLabel(this), "statusLabel", 100, 160, 450, 33);
    statusLabel->setTextFormat(Qt::PlainText);
    statusLabel->setWordWrap(true);
    previewTable = placed(new QTableWidget(0, 3, this), "previewTable", 10, 198, 540, 235);
    previewTable->setHorizontalHeaderLabels({tr("任务"), tr("价格"), tr("地址")});
    previewTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    previewTable->verticalHeader()->hide();
    previewTable->setColumnWidth(0, 280);
    previewTable->setColumnWidth(1, 80);
    previewTable->horizontalHeader()->setStretchLastSection(true);
    saveButton = placed(new QPushButton(tr("保存"), this), "saveButton", 400, 440, 70, 23);
    saveButton->setEnabled(false);
    auto *cancelButton = placed(new QPushButton(tr("取消"), this), "cancelButton", 480, 440, 70, 23);

    connect(previewButton, &QPushButton::clicked, this, &AddSiteWindow::onPreview);
    connect(feedButton, &QPushButton::clicked, this, &AddSiteWindow::onUseFeed);
    connect(saveButton, &QPushButton::clicked, this, &AddSiteWindow::onSave);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(fetch, &PageFetch::finished, this, &AddSiteWindow::onFetched);
    // What the preview showed no longer holds once what it was made from changes.
    for (QLineEdit *edit : {urlEdit, titleEdit, priceEdit})
        connect(edit, &QLineEdit::textEdited, this, [this] { saveButton->setEnabled(false); });
}

AddSiteWindow::AddSiteWindow(const QString &siteName, QWidget *parent) : AddSiteWindow(parent)
{
    setWindowTitle(tr("Kestrow - 编辑站点"));
    if (!UserSites::find(siteName, editedSite) || editedSite.nodes.isEmpty()) {
        setStatus(tr("找不到站点 %1 的文件").arg(siteName));
        return;
    }
    const CatalogNode &node = editedSite.nodes.first();
    editedNode = node.name;
    urlEdit->setText(node.url);
    siteEdit->setText(editedSite.name);
    nodeEdit->setText(node.name);
    kind = node.kind;
    setStatus(kind == NodeKind::Feed ? tr("订阅源。修改后点“预览”。") : tr("填写一个示例任务标题后点“预览”。"));
}

void AddSiteWindow::setStatus(const QString &text, bool canSave)
{
    statusLabel->setText(text);
    saveButton->setEnabled(canSave);
}

void AddSiteWindow::onPreview()
{
    const QString url = urlEdit->text().trimmed();
    if (!isWebAddress(url)) {
        setStatus(tr("请填写以 http:// 或 https:// 开头的地址"));
        return;
    }
    previewTable->setRowCount(0);
    previewButton->setEnabled(false);
    setStatus(tr("正在获取页面…"));
    fetchingUrl = url;
    fetch->start(url);
}

void AddSiteWindow::onUseFeed()
{
    urlEdit->setText(offeredFeed);
    feedButton->hide();
    feedLabel->clear();
    onPreview();
}

void AddSiteWindow::onFetched()
{
    previewButton->setEnabled(true);
    const PageFetch::Result &result = fetch->result();
    // The address fetched, whatever the field says by now.
    const QString url = fetchingUrl;
    switch (result.failure) {
    case PageFetch::Failure::NotWebAddress:
        return setStatus(tr("请填写以 http:// 或 https:// 开头的地址"));
    case PageFetch::Failure::TooLarge:
        return setStatus(tr("页面超过 16 MiB，Kestrow 不会读取它"));
    case PageFetch::Failure::NoAnswerInTime:
        return setStatus(tr("网站没有及时回应，请稍后再试"));
    case PageFetch::Failure::None:
        break;
    }
    if (result.outcome.failed)
        return setStatus(tr("无法获取页面: %1").arg(result.outcome.reason));
    if (result.outcome.status >= 300)
        return setStatus(tr("页面被转到了另一个地址，请改用它: %1").arg(result.location));
    previewedUrl = url;
    const QUrl address(url);
    if (siteEdit->text().trimmed().isEmpty())
        siteEdit->setText(address.host());
    QList<TaskData> tasks;
    const AttentionData node{siteEdit->text(), nodeEdit->text(), url, {}, NodeKind::Feed};
    if (looksLikeFeed(result.contentType, result.body)) {
        kind = NodeKind::Feed;
        markers.clear();
        if (nodeEdit->text().trimmed().isEmpty())
            nodeEdit->setText(MarkerInference::pageTitle(QString::fromUtf8(result.body.left(64 * 1024))));
        parseFeed(result.body, node, tasks);
        showTasks(tasks);
        if (tasks.isEmpty())
            return setStatus(tr("这是一个订阅源，但其中没有任务"));
        return setStatus(tr("订阅源，共 %1 个任务。").arg(tasks.size()), true);
    }
    kind = NodeKind::Page;
    const QString page = decodePage(result.body);
    if (nodeEdit->text().trimmed().isEmpty())
        nodeEdit->setText(MarkerInference::pageTitle(page));
    offeredFeed = announcedFeed(page, url);
    feedLabel->setText(offeredFeed.isEmpty() ? QString() : tr("此页面提供订阅源: %1").arg(offeredFeed));
    feedButton->setVisible(!offeredFeed.isEmpty() && isWebAddress(offeredFeed));
    if (titleEdit->text().trimmed().isEmpty()) {
        showTasks({});
        return setStatus(offeredFeed.isEmpty() ? tr("请填写一个在页面上看到的任务标题")
                                               : tr("请填写一个在页面上看到的任务标题，或使用页面提供的订阅源"));
    }
    const MarkerInference::Result found =
        MarkerInference::infer(result.body, url, {titleEdit->text(), priceEdit->text().trimmed()});
    if (!found.found) {
        showTasks({});
        markers.clear();
        if (found.problem.contains(QLatin1String("example price")))
            return setStatus(tr("在示例任务那一行里找不到这个价格。请照页面上显示的样子填写，或者不填。"));
        if (found.problem.contains(QLatin1String("not on the page")))
            return setStatus(
                tr("页面上找不到这个标题。请照浏览器中显示的样子填写（网站可能要求登录，或任务由脚本载入）。"));
        return setStatus(tr("找到了这个标题，但找不到能同时切出它和其他任务的标记。请换一个示例试试。"));
    }
    markers = found.markers;
    showTasks(found.tasks);
    setStatus(tr("共 %1 个任务。").arg(found.tasks.size()), true);
}

void AddSiteWindow::showTasks(const QList<TaskData> &tasks)
{
    previewTable->setRowCount(int(tasks.size()));
    for (int row = 0; row < tasks.size(); ++row) {
        const TaskData &task = tasks[row];
        int column = 0;
        for (const QString &text : {task.task_name, task.task_price, task.task_url})
            previewTable->setItem(row, column++, new QTableWidgetItem(text));
    }
}

void AddSiteWindow::onSave()
{
    // Only what a preview cut is saved.
    if (!saveButton->isEnabled())
        return;
    const QString siteName = siteEdit->text().trimmed(), nodeName = nodeEdit->text().trimmed();
    if (siteName.isEmpty() || nodeName.isEmpty())
        return setStatus(tr("请填写站点名称和节点名称"), true);
    CatalogSite site = editedSite;
    site.name = siteName;
    if (site.url.isEmpty())
        site.url = siteHome(previewedUrl);
    CatalogNode node{nodeName, previewedUrl, markers, kind};
    if (kind == NodeKind::Feed)
        node.markers = QStringList(10);
    // Editing replaces the node edited; the site's other nodes stay.
    site.nodes.removeIf([this, &nodeName](const CatalogNode &n) { return n.name == editedNode || n.name == nodeName; });
    site.nodes.prepend(node);
    QString error;
    if (!UserSites::save(site, editedSite.name, Catalog().path(), &error))
        return setStatus(tr("无法保存: %1").arg(error), true);
    // The new node is followed at once; an edited one keeps being followed under its new name.
    UserDb db;
    QList<AttentionPair> followed;
    for (const AttentionData &pair : db.attentionList()) {
        if (!(pair.site_name == editedSite.name && pair.note_name == editedNode) &&
            !(pair.site_name == siteName && pair.note_name == nodeName))
            followed.append({pair.site_name, pair.note_name});
    }
    followed.append({siteName, nodeName});
    db.setAttention(followed);
    emit saved(siteName);
    accept();
}
