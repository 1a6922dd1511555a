#include "ui/historymodel.h"

#include "core/alertrules.h"

#include <QDateTime>
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
    if (column == TaskRows::Time)
        return QDateTime::fromSecsSinceEpoch(text.toLongLong()).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return column == TaskRows::Price && text.isEmpty() ? tr("无") : text;
}

int HistoryModel::rowOf(const QString &url) const
{
    for (qsizetype row = 0; row < m_order.size(); ++row) {
        if (m_tasks.text(m_order[row], TaskRows::Url) == url)
            return int(row);
    }
    return -1;
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
    // Prices by their amount as the filters read it (none first), times by when; the rest by the text shown.
    QStringList texts(m_order.size());
    QList<double> amounts(m_order.size());
    const bool byAmount = column == TaskRows::Price || column == TaskRows::Time;
    for (int row = 0; row < m_order.size(); ++row) {
        if (column == TaskRows::Price) {
            bool found = false;
            const double value = priceValue(m_tasks.text(m_order[row], column), &found);
            amounts[row] = found ? value : -1;
        } else if (column == TaskRows::Time) {
            amounts[row] = double(m_tasks.text(m_order[row], column).toLongLong());
        } else {
            texts[row] = cell(row, column);
        }
    }
    QList<int> sorted(m_order.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    std::stable_sort(sorted.begin(), sorted.end(), [&](int a, int b) {
        if (order == Qt::DescendingOrder)
            std::swap(a, b);
        return byAmount ? amounts[a] < amounts[b] : texts[a] < texts[b];
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

QByteArray HistoryModel::toCsv() const
{
    const auto field = [](QString text) {
        return text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\n'))
                   ? QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"')
                   : text;
    };
    QStringList columns;
    QList<int> fields;
    for (const HistoryColumn &column : historyColumns)
        columns << field(tr(column.header)), fields << column.field;
    columns << field(tr("地址"));
    fields << TaskRows::Url;
    QString csv = columns.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (int row = 0; row < m_order.size(); ++row) {
        QStringList line;
        for (int column : std::as_const(fields))
            line << field(cell(row, column));
        csv += line.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return "\xEF\xBB\xBF" + csv.toUtf8();
}
