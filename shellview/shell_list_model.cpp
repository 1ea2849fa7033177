// shell_list_model.cpp - rows and columns of the folder view.
#include "shellview/shell_list_model.h"

#include <algorithm>
#include <numeric>

namespace zor {

ShellListModel::ShellListModel(QObject* parent) : QAbstractTableModel(parent) {}

int ShellListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ShellListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

void ShellListModel::FillIfNeeded(int row) const {
    const TListShellInfo* info = rows_[static_cast<size_t>(row)].info.get();
    if (info && !info->filled && filler_) filler_(row);
}

QVariant ShellListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole: {
        if (column == 0) return rows_[static_cast<size_t>(index.row())].caption;
        FillIfNeeded(index.row());
        const QStringList& subItems = rows_[static_cast<size_t>(index.row())].subItems;
        return column - 1 < subItems.size() ? subItems[column - 1] : QString();
    }
    case Qt::DecorationRole:
        if (column != 0) return {};
        FillIfNeeded(index.row());
        return rows_[static_cast<size_t>(index.row())].icon;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columns_[static_cast<size_t>(column)].alignment | Qt::AlignVCenter);
    default: return {};
    }
}

QVariant ShellListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    const Column& heading = columns_[static_cast<size_t>(section)];
    if (role == Qt::DisplayRole) return heading.caption;
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(heading.alignment | Qt::AlignVCenter);
    return {};
}

void ShellListModel::SetColumns(std::vector<Column> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    endResetModel();
}

void ShellListModel::AddColumn(Column column) {
    const int at = columnCount();
    beginInsertColumns(QModelIndex(), at, at);
    columns_.push_back(std::move(column));
    endInsertColumns();
}

void ShellListModel::ReplaceRows(std::vector<Row> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int ShellListModel::AppendRow(Row row) {
    const int at = rowCount();
    beginInsertRows(QModelIndex(), at, at);
    rows_.push_back(std::move(row));
    endInsertRows();
    return at;
}

void ShellListModel::SortRows(const RowOrder& order) {
    std::vector<int> newOrder(rows_.size());
    std::iota(newOrder.begin(), newOrder.end(), 0);
    std::stable_sort(newOrder.begin(), newOrder.end(), [&](int a, int b) {
        return order(rows_[static_cast<size_t>(a)], rows_[static_cast<size_t>(b)]) < 0;
    });

    emit layoutAboutToBeChanged();
    std::vector<int> newPosition(rows_.size());
    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    for (size_t position = 0; position < newOrder.size(); ++position) {
        newPosition[static_cast<size_t>(newOrder[position])] = static_cast<int>(position);
        sorted.push_back(std::move(rows_[static_cast<size_t>(newOrder[position])]));
    }
    rows_ = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) {
        after.push_back(index(newPosition[static_cast<size_t>(old.row())], old.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

}  // namespace zor
