// shell_list_model.h - the rows and columns behind the folder view, with icons and details filled on first display.
#pragma once

#include "shellview/listshellinfo.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace zor {

class ShellListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    struct Row {
        QString caption;
        QStringList subItems;  // texts of columns 1, 2, ...
        QIcon icon;
        int imageIndex = -1;  // a shell row's index in the view's image list
        std::unique_ptr<TListShellInfo> info;  // none for rows the owner adds itself
        int ownerGroup = 0;  // owner rows sort by group first (folders before files), whatever the direction
    };
    struct Column {
        QString caption;
        Qt::Alignment alignment = Qt::AlignLeft;
    };
    // Fills a shell row's icon and details; called the first time the view asks for them.
    using RowFiller = std::function<void(int row)>;
    // Orders two rows: negative when the first comes first.
    using RowOrder = std::function<int(const Row&, const Row&)>;

    explicit ShellListModel(QObject* parent = nullptr);

    void SetRowFiller(RowFiller filler) { filler_ = std::move(filler); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void SetColumns(std::vector<Column> columns);
    void AddColumn(Column column);
    const Column& column(int index) const { return columns_[static_cast<size_t>(index)]; }

    Row& row(int index) { return rows_[static_cast<size_t>(index)]; }
    const Row& row(int index) const { return rows_[static_cast<size_t>(index)]; }
    // Replaces every row in one update.
    void ReplaceRows(std::vector<Row> rows);
    int AppendRow(Row row);
    // Re-orders the rows, keeping rows that compare equal in their order; selection and current row follow their rows.
    void SortRows(const RowOrder& order);

private:
    void FillIfNeeded(int row) const;

    std::vector<Row> rows_;
    std::vector<Column> columns_;
    RowFiller filler_;
};

}  // namespace zor
