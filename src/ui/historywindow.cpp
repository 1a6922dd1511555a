#include "ui/historywindow.h"

#include "core/paths.h"
#include "sites/sitedb.h"
#include "store/settings.h"
#include "ui/historymodel.h"
#include "ui/kit/safeurl.h"
#include "ui/kit/tlineedit.h"
#include "ui/kit/ttableview.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QSaveFile>
#include <QScrollBar>
#include <QSizeGrip>

#include <iterator>

HistoryWindow::HistoryWindow(const Catalog &catalog, QWidget *parent) : TDialog(parent), catalog(catalog)
{
    taskModel = new HistoryModel(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Kestrow - 历史任务"));
    // Resizable from its corner, at the size the user left it.
    setMinimumSize(700, 500);
    resize(Key::HistoryWindowSize.value().expandedTo(minimumSize()));
    sizeGrip = new QSizeGrip(this);
    backgroundColor = QColor(255, 255, 255, 255);

    siteLabel = new QLabel(tr("网站:"), this);
    siteLabel->setGeometry(20, 40, 40, 21);
    siteCombo = new QComboBox(this);
    siteCombo->setObjectName(QStringLiteral("siteCombo"));
    siteCombo->setGeometry(60, 40, 160, 21);
    siteCombo->addItem(tr("所有网站"));
    SiteDb sites(catalog.path());
    siteCombo->addItems(sites.siteNames());
    sites.close();
    connect(siteCombo, &QComboBox::currentTextChanged, this, &HistoryWindow::onSiteComboChanged);

    exportButton = new QPushButton(tr("导出…"), this);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    exportButton->setGeometry(230, 40, 70, 21);
    connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::onExport);

    searchEdit = new TLineEdit(this);
    searchEdit->setObjectName(QStringLiteral("searchEdit"));
    searchEdit->resize(180, 21);
    searchEdit->setMaxLength(20);
    searchEdit->setPlaceholderText(tr("搜索任务"));
    connect(searchEdit, &TLineEdit::textEdited, this, &HistoryWindow::onSearchChanged);

    taskTable = new TTableView(this);
    taskTable->setObjectName(QStringLiteral("taskTable"));

    taskTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    taskTable->setSelectionMode(QAbstractItemView::SingleSelection);
    taskTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // No sort column until the user clicks a header: the history opens oldest first.
    taskTable->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    taskTable->setSortingEnabled(true);
    taskTable->setModel(taskModel);
    connect(taskTable, &TTableView::doubleClicked, this, &HistoryWindow::onTableDoubleClicked);

    refresh();
}

HistoryWindow::~HistoryWindow()
{
    // Remembered only once changed: an untouched window stays at the first size, whatever that becomes.
    const QSize stored = Key::HistoryWindowSize.value();
    if (size() != (stored.isValid() ? stored : minimumSize()))
        Key::HistoryWindowSize.setValue(size());
    taskModel->setTasks({});
    emit destructor();
    trimWorkingSet();
}

void HistoryWindow::resizeEvent(QResizeEvent *event)
{
    TDialog::resizeEvent(event);
    searchEdit->move(width() - 200, 40);
    taskTable->setGeometry(20, 70, width() - 40, height() - 80);
    sizeGrip->setGeometry(width() - 18, height() - 18, 16, 16);
}

void HistoryWindow::refresh()
{
    // New tasks arrive while the user reads: the selected task and the scroll position stay where they were.
    const QModelIndex selected = taskTable->currentIndex();
    const QString selectedUrl = selected.isValid() ? taskModel->cell(selected.row(), TaskRows::Url) : QString();
    const int scrolled = taskTable->verticalScrollBar()->value();
    for (int field = 0; field < TaskRows::fields; ++field)
        taskTable->setColumnHidden(field, true);
    for (const HistoryColumn &column : historyColumns) {
        taskTable->setColumnHidden(column.field, false);
        taskTable->setColumnWidth(column.field, column.width);
    }
    const QString site = siteCombo->currentIndex() <= 0 ? QString() : siteCombo->currentText();
    TaskRows tasks;
    db.searchTasks(site, searchEdit->text(), tasks);
    taskModel->setTasks(std::move(tasks));
    // Rows arrive oldest first; a sort column the user chose still applies.
    const QHeaderView *header = taskTable->horizontalHeader();
    taskModel->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
    if (!selectedUrl.isEmpty()) {
        const int row = taskModel->rowOf(selectedUrl);
        if (row >= 0)
            taskTable->setCurrentIndex(taskModel->index(row, selected.column()));
    }
    taskTable->verticalScrollBar()->setValue(scrolled);
}

void HistoryWindow::onSiteComboChanged(const QString &)
{
    refresh();
}

void HistoryWindow::onSearchChanged(const QString &)
{
    refresh();
}

void HistoryWindow::onTableDoubleClicked(const QModelIndex &index)
{
    if (!index.isValid() || index.model() != taskModel)
        return;
    const auto cell = [this, &index](int column) { return taskModel->cell(index.row(), column); };
    const TaskData task{cell(TaskRows::Site),
                        cell(TaskRows::Node),
                        cell(TaskRows::Title),
                        cell(TaskRows::Price),
                        cell(TaskRows::Url),
                        cell(TaskRows::NodeUrl),
                        0};
    openWebAddress(catalog.taskOpenUrl(task));
}

void HistoryWindow::onExport()
{
    const QString path = QFileDialog::getSaveFileName(
        this, tr("导出历史任务"), QDir::home().filePath(QStringLiteral("kestrow-history.csv")), tr("CSV 文件 (*.csv)"));
    if (!path.isEmpty() && !exportTo(path))
        QMessageBox::warning(this, tr("导出历史任务"), tr("无法写入 %1").arg(path));
}

bool HistoryWindow::exportTo(const QString &path) const
{
    QSaveFile file(path);
    const QByteArray csv = taskModel->toCsv();
    return file.open(QIODevice::WriteOnly) && file.write(csv) == csv.size() && file.commit();
}
