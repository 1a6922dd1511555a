#pragma once

#include "core/taskrows.h"

#include <QAbstractTableModel>

// The rows of the history window: the tasks a search found (site, node, title, price, address, node address),
// read-only, sorted by the text a column shows. Texts are decoded only when shown or sorted by, so that a window over
// a large history opens at once.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void setTasks(TaskRows tasks);
    // The text row shows in column, as data() gives it.
    QString cell(int row, int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // A stable sort: rows that show the same text keep their order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    TaskRows m_tasks;
    QList<qsizetype> m_order; // the stored row each shown row is
};
