#include "ui/historymodel.h"

#include <algorithm>
#include <numeric>

void HistoryModel::setTasks(TaskRows tasks)
{
    beginResetModel();
    m_tasks = std::move(tasks);
    m_order.resize(m_tasks.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    endResetModel();
}

QString HistoryModel::cell(int row, int column) const
{
    const QString text = m_tasks.text(m_order[row], column);
    return column == TaskRows::Price && text.isEmpty() ? tr("无") : text;
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : TaskRows::fields;
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_order.size() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return cell(index.row(), index.column());
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        for (const HistoryColumn &column : historyColumns) {
            if (column.field == section)
                return tr(column.header);
        }
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

void HistoryModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= TaskRows::fields)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QList<qsizetype> before = m_order;
    QStringList texts(m_order.size());
    for (int row = 0; row < m_order.size(); ++row)
        texts[row] = cell(row, column);
    QList<int> sorted(m_order.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    std::stable_sort(sorted.begin(), sorted.end(), [&texts, order](int a, int b) {
        return order == Qt::AscendingOrder ? texts[a] < texts[b] : texts[b] < texts[a];
    });
    QList<int> rowNow(m_order.size());
    for (int row = 0; row < sorted.size(); ++row) {
        m_order[row] = before[sorted[row]];
        rowNow[sorted[row]] = row;
    }
    // The selection and the current row follow their tasks.
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    for (const QModelIndex &index : from)
        to.append(this->index(rowNow[index.row()], index.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
