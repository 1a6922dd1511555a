#pragma once

#include "core/taskrows.h"

#include <QAbstractTableModel>

// A column the history window shows: the task's text it holds, its header and its width in pixels.
struct HistoryColumn
{
    TaskRows::Field field;
    const char *header; // translated in the context "HistoryModel"
    int width;
};
// The shown columns (model column n holds field n); the addresses stay hidden.
inline constexpr HistoryColumn historyColumns[] = {
    {TaskRows::Site, QT_TRANSLATE_NOOP("HistoryModel", "网 站"), 90},
    {TaskRows::Node, QT_TRANSLATE_NOOP("HistoryModel", "任务类型"), 100},
    {TaskRows::Title, QT_TRANSLATE_NOOP("HistoryModel", "任 务"), 240},
    {TaskRows::Price, QT_TRANSLATE_NOOP("HistoryModel", "价 格"), 80},
    {TaskRows::Time, QT_TRANSLATE_NOOP("HistoryModel", "发现时间"), 125}};

// The rows of the history window: the tasks a search found (site, node, title, price, address, node address, time
// found), read-only, sorted by the text a column shows, the price by its amount and the time by when. Texts are decoded
// only when shown or sorted by, so that a window over a large history opens at once.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void setTasks(TaskRows tasks);
    // The text row shows in column (a TaskRows::Field), as data() gives it.
    QString cell(int row, int column) const;
    // The shown row of the task at url; -1 when none is shown.
    int rowOf(const QString &url) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // A stable sort: rows that show the same text keep their order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The rows as shown, with the shown columns and the address, as CSV in UTF-8 with a byte order mark (which
    // spreadsheet programs need to read Chinese).
    QByteArray toCsv() const;

private:
    TaskRows m_tasks;
    QList<qsizetype> m_order; // the stored row each shown row is
};
