// explistview.cpp - the folder view: reading a folder, filling rows on demand, sorting, following, watching.
#include "shellview/explistview.h"

#include "shellview/modified_column_format.h"
#include "shellview/shell_actions.h"
#include "shellview/shell_context_menu.h"
#include "shellview/size_column_format.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSet>
#include <QStyle>
#include <algorithm>

namespace zor {

namespace {

enum StandardColumn { kSizeColumn = 1, kTypeColumn = 2, kModifiedColumn = 3 };

std::vector<ShellListModel::Column> StandardColumns() {
    return {{QStringLiteral("Name"), Qt::AlignLeft},
            {QStringLiteral("Size"), Qt::AlignRight},
            {QStringLiteral("Type"), Qt::AlignLeft},
            {QStringLiteral("Modified"), Qt::AlignLeft}};
}

}  // namespace

TExpListView::TExpListView(QWidget* parent) : QTreeView(parent) {
    // Owners rename it after its role ("DirList", "BrowsePackTo").
    setObjectName(QStringLiteral("ExpListView"));
    setModel(&model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(smallImages_.pixelSize(), smallImages_.pixelSize()));
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(sortBy_, Qt::AscendingOrder);
    connect(header(), &QHeaderView::sectionClicked, this, &TExpListView::ColumnClick);
    model_.SetRowFiller([this](int row) { FillRow(row); });
}

TExpListView::~TExpListView() { StopWatcher(); }

// --- properties --------------------------------------------------------------

void TExpListView::SetActive(bool active) {
    if (active == active_) return;
    active_ = active;
    if (!active) {
        iconsAttached_ = false;
        ClearRows();
        ownerSortColumn_ = -1;
        ShowSortIndicator();
        return;
    }
    ShowSortIndicator();
    DoInitialize();
    if (folderSet_) {
        Rescan();
    } else {
        SetPIDL(ItemIdList::Desktop());
    }
}

bool TExpListView::SetFolder(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isDir()) return false;
    const ItemIdList place = ItemIdList::FromPath(path);
    if (place == pidl_) return true;
    SetPIDL(place);
    return true;
}

void TExpListView::SetCSIDL(int csidl) {
    if (csidl == csidl_) return;
    SetPIDL(ItemIdList::FromSpecialFolder(csidl));
}

void TExpListView::SetFoldersOnly(bool on) {
    if (on == foldersOnly_) return;
    foldersOnly_ = on;
    if (active_) Rescan();
}

void TExpListView::SetShowHidden(bool on) {
    if (on == showHidden_) return;
    showHidden_ = on;
    if (active_) Rescan();
}

void TExpListView::SetAcceptFileDrops(bool on) {
    acceptFileDrops_ = on;
    setAcceptDrops(on);
    viewport()->setAcceptDrops(on);
    setDragDropMode(on ? QAbstractItemView::DropOnly : QAbstractItemView::NoDragDrop);
}

void TExpListView::SetMonitorDirectory(bool on) {
    if (on == monitorDirectory_) return;
    monitorDirectory_ = on;
    DoUpdateDirectoryMonitor();
}

void TExpListView::SetSortBy(int column) {
    if (column == sortBy_) return;
    sortBy_ = column;
    DoCustomSort();
}

void TExpListView::SetSortForward(bool forward) {
    if (forward == sortForward_) return;
    sortForward_ = forward;
    DoCustomSort();
}

// --- showing a place ---------------------------------------------------------

void TExpListView::SetPIDL(const ItemIdList& pidl) {
    if (&pidl == &pidl_) return;
    pidl_ = pidl;
    folderSet_ = true;
    csidl_ = pidl_.specialFolder();
    DoUpdateDirectoryMonitor();
    if (active_) DoRescan();
    emit OnChangeFolder();
}

void TExpListView::Up() { SetPIDL(pidl_.parent()); }

void TExpListView::Rescan() { DoRescan(); }

void TExpListView::DoInitialize() { iconsAttached_ = true; }

void TExpListView::DoRescan() {
    folder_ = std::make_unique<ShellFolder>(pidl_, smallImages_);
    setUpdatesEnabled(false);
    ClearRows();
    if (!DoHandleShellDetails(*folder_)) model_.SetColumns(StandardColumns());
    DoFillListEx(*folder_);
    DoResizeColumns();
    sortBy_ = 0;
    DoCustomSort();
    setUpdatesEnabled(true);
    emit RowsRefilled();
}

bool TExpListView::DoHandleShellDetails(const ShellFolder& folder) {
    if (!folder.HasShellDetails()) return false;
    std::vector<ShellListModel::Column> columns;
    for (const ShellColumn& column : folder.DetailColumns()) columns.push_back({column.caption, column.alignment});
    model_.SetColumns(std::move(columns));
    return true;
}

void TExpListView::DoFillListEx(const ShellFolder& folder) {
    std::vector<ShellListModel::Row> rows;
    for (TListShellInfo& item : folder.Enumerate(foldersOnly_, showHidden_)) {
        bool accept = true;
        emit OnEnumeration(item, &accept);
        if (!accept) continue;
        ShellListModel::Row row;
        row.caption = item.relativeId;
        row.info = std::make_unique<TListShellInfo>(std::move(item));
        rows.push_back(std::move(row));
    }
    ++rowsGeneration_;
    model_.ReplaceRows(std::move(rows));
}

void TExpListView::DoResizeColumns() {
    const int columns = ColumnCount();
    if (columns == 0) return;
    int available = width() - 2 * frameWidth();
    // Measuring a real row would fill it; a row is as high as its icon or its text.
    const int rowHeight = qMax(iconSize().height(), fontMetrics().height()) + 2;
    if (RowCount() * rowHeight > viewport()->height()) {
        available -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    }
    const int each = qMax(0, available) / columns;
    for (int column = 0; column < columns; ++column) setColumnWidth(column, each);
}

// --- filling rows on demand ---------------------------------------------------

void TExpListView::FillRow(int row) {
    TListShellInfo* info = model_.row(row).info.get();
    if (!info || info->filled) return;
    info->filled = true;
    DoFillShellInfoIcon(row);
    DoFillShellInfoDetails(row);
    DoFillShellExtraInfo(row);
}

void TExpListView::DoFillShellInfoIcon(int row) {
    ShellListModel::Row& entry = model_.row(row);
    if (!iconsAttached_) return;
    entry.imageIndex = smallImages_.ItemInfo(*entry.info).iconIndex;
    entry.icon = smallImages_.Icon(entry.imageIndex);
}

void TExpListView::DoFillShellInfoDetails(int row) {
    ShellListModel::Row& entry = model_.row(row);
    const TListShellInfo& item = *entry.info;
    QStringList texts;
    if (folder_ && folder_->HasShellDetails()) {
        for (int column = 1; column < ColumnCount(); ++column) texts << folder_->DetailText(item, column);
    } else {
        const bool onDisk = !item.notFileSystem;
        texts << (onDisk && !item.folder ? FormatSizeColumn(item.size) : QString());
        texts << smallImages_.ItemTypeName(item);
        texts << (onDisk ? FormatModifiedColumn(item.modified) : QString());
    }
    entry.subItems = texts;
}

void TExpListView::DoFillShellExtraInfo(int row) {
    ShellListModel::Row& entry = model_.row(row);
    const TListShellInfo& item = *entry.info;
    if (!iconsAttached_ || (!item.link && !item.ghosted && !item.shared)) return;
    entry.icon = smallImages_.DecoratedIcon(entry.imageIndex, item.link, item.ghosted);
}

// --- sorting -----------------------------------------------------------------

void TExpListView::ShowSortIndicator() {
    if (active_) {
        header()->setSortIndicatorShown(true);
        header()->setSortIndicator(sortBy_, sortForward_ ? Qt::AscendingOrder : Qt::DescendingOrder);
        return;
    }
    header()->setSortIndicatorShown(ownerSortColumn_ >= 0);
    if (ownerSortColumn_ >= 0)
        header()->setSortIndicator(ownerSortColumn_, ownerSortForward_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TExpListView::DoCustomSort() {
    if (active_) ShowSortIndicator();
    if (!folder_ || !active_) return;
    model_.SortRows([this](const ShellListModel::Row& a, const ShellListModel::Row& b) {
        if (!a.info || !b.info) return 0;
        const int order = folder_->CompareIDs(sortBy_, *a.info, *b.info);
        return sortForward_ ? order : -order;
    });
}

void TExpListView::ColumnClick(int column) {
    if (!active_) {
        OwnerColumnClick(column);
        return;
    }
    if (column == sortBy_) {
        SetSortForward(!sortForward_);
    } else {
        SetSortBy(column);
    }
}

void TExpListView::OwnerColumnClick(int column) {
    if (column == ownerSortColumn_) {
        ownerSortForward_ = !ownerSortForward_;
    } else {
        ownerSortColumn_ = column;
        ownerSortForward_ = true;
    }
    SortOwnerRows();
    // The header may have turned its own arrow on the click.
    ShowSortIndicator();
}

void TExpListView::SortOwnerRows() {
    if (active_ || ownerSortColumn_ < 0) return;
    const int column = ownerSortColumn_;
    const auto text = [column](const ShellListModel::Row& row) {
        if (column == 0) return row.caption;
        return column - 1 < row.subItems.size() ? row.subItems.at(column - 1) : QString();
    };
    model_.SortRows([&](const ShellListModel::Row& a, const ShellListModel::Row& b) {
        if (a.ownerGroup != b.ownerGroup) return a.ownerGroup < b.ownerGroup ? -1 : 1;
        const QString first = text(a);
        const QString second = text(b);
        bool firstIsNumber = false;
        bool secondIsNumber = false;
        const qlonglong firstNumber = first.toLongLong(&firstIsNumber);
        const qlonglong secondNumber = second.toLongLong(&secondIsNumber);
        int order;
        if (firstIsNumber && secondIsNumber) order = int(firstNumber > secondNumber) - int(firstNumber < secondNumber);
        else order = first.compare(second, Qt::CaseInsensitive);
        return ownerSortForward_ ? order : -order;
    });
}

// --- rows and columns for the owner --------------------------------------------

const TListShellInfo* TExpListView::GetShellInfo(int row) const {
    if (row < 0 || row >= RowCount()) return nullptr;
    return model_.row(row).info.get();
}

QString TExpListView::ItemPath(int row) const {
    const TListShellInfo* info = GetShellInfo(row);
    return info ? info->absoluteId.path() : QString();
}

int TExpListView::RowCount() const { return model_.rowCount(); }

int TExpListView::ColumnCount() const { return model_.columnCount(); }

QString TExpListView::ColumnCaption(int column) const {
    return model_.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

QString TExpListView::Caption(int row) const { return model_.row(row).caption; }

QString TExpListView::SubItem(int row, int column) const {
    return model_.data(model_.index(row, column), Qt::DisplayRole).toString();
}

QIcon TExpListView::RowIcon(int row) const {
    return model_.data(model_.index(row, 0), Qt::DecorationRole).value<QIcon>();
}

void TExpListView::ClearRows() {
    for (int row = 0; row < RowCount(); ++row) {
        if (const TListShellInfo* info = model_.row(row).info.get()) emit OnDeleteShellInfo(*info);
    }
    ++rowsGeneration_;
    model_.ReplaceRows({});
}

void TExpListView::ClearColumns() { model_.SetColumns({}); }

void TExpListView::AddColumn(const QString& caption, int width, Qt::Alignment alignment) {
    model_.AddColumn({caption, alignment});
    setColumnWidth(ColumnCount() - 1, width);
}

int TExpListView::AddRow(const QString& caption, const QStringList& subItems, const QIcon& icon, int group) {
    ShellListModel::Row row;
    row.ownerGroup = group;
    row.caption = caption;
    row.subItems = subItems;
    row.icon = icon;
    return model_.AppendRow(std::move(row));
}

std::vector<int> TExpListView::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TExpListView::SetRowSelected(int row, bool selected) {
    const auto flags = (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                       QItemSelectionModel::Rows;
    selectionModel()->select(model_.index(row, 0), flags);
}

// --- activation ---------------------------------------------------------------

void TExpListView::ActivateItem(int row, Qt::KeyboardModifiers modifiers) {
    if (!GetShellInfo(row)) return;
    emit OnItemActivate(row);
    // The handler may have changed the list; act only on the row it left.
    const TListShellInfo* found = GetShellInfo(row);
    if (!found) return;
    const TListShellInfo item = *found;

    if (modifiers.testFlag(Qt::AltModifier) && autoLaunch_) {
        DoLaunchItem(item, kPropertiesVerb);
        return;
    }
    if (item.folder && followFolders_) {
        DoFollowFolder(item);
        return;
    }
    if (item.link && followLinks_ && DoFollowLink(item)) return;
    if (autoLaunch_) emit OnAutoLaunch(row, DoLaunchItem(item, QString()));
}

void TExpListView::DoFollowFolder(const TListShellInfo& item) { SetPIDL(item.absoluteId); }

bool TExpListView::DoFollowLink(const TListShellInfo& item) {
    const QString target = QFileInfo(item.absoluteId.path()).symLinkTarget();
    if (target.isEmpty() || !QFileInfo(target).isDir()) return false;
    return SetFolder(target);
}

bool TExpListView::DoLaunchItem(const TListShellInfo& item, const QString& verb) {
    if (verb == kPropertiesVerb) {
        ShowItemProperties(this, item, smallImages_);
        return true;
    }
    return OpenWithAssociatedProgram(item);
}

void TExpListView::ActivateAfterOwner(int row, Qt::KeyboardModifiers modifiers,
                                      const std::function<void()>& ownerEvent) {
    const unsigned generation = rowsGeneration_;
    ownerEvent();
    if (row >= 0 && active_ && generation == rowsGeneration_) ActivateItem(row, modifiers);
}

void TExpListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) emit Click();
    emit MouseUp(event->button());
}

void TExpListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex hit = indexAt(event->position().toPoint());
    QTreeView::mouseDoubleClickEvent(event);
    const int row = (event->button() == Qt::LeftButton && hit.isValid()) ? hit.row() : -1;
    ActivateAfterOwner(row, event->modifiers(), [this] { emit DblClick(); });
}

void TExpListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter opens the current row when it is selected; otherwise (none
        // chosen, as after a folder was entered, or only the focus frame on
        // a row) it goes on to the window, where a dialog's default button
        // takes it.
        const QModelIndex current = currentIndex();
        if (!current.isValid() || !selectionModel()->isSelected(current)) {
            event->ignore();
            return;
        }
        const int row = current.row();
        ActivateAfterOwner(row, event->modifiers(), [this] { emit KeyPress(13); });
        return;
    }
    QTreeView::keyPressEvent(event);
    if (!event->text().isEmpty()) emit KeyPress(event->text().at(0).unicode());
}

// --- files dropped from elsewhere -------------------------------------------------

namespace {

// The local paths a drag carries; empty when it carries anything else too.
QStringList droppedPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        paths << QFileInfo(url.toLocalFile()).absoluteFilePath();
    }
    return paths;
}

// The only action a drop on the list takes is a copy: a file manager told
// "move" would delete what it dragged once the drop is done.
bool takeAsCopy(QDropEvent* event, bool accepting) {
    if (!accepting || !(event->possibleActions() & Qt::CopyAction) || droppedPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

}  // namespace

void TExpListView::dragEnterEvent(QDragEnterEvent* event) { takeAsCopy(event, acceptFileDrops_); }

void TExpListView::dragMoveEvent(QDragMoveEvent* event) { takeAsCopy(event, acceptFileDrops_); }

void TExpListView::dropEvent(QDropEvent* event) {
    // Nothing is copied here either; the owner decides what a drop means.
    if (takeAsCopy(event, acceptFileDrops_)) emit OnDropFiles(droppedPaths(event->mimeData()));
}

// --- pop-up menu ----------------------------------------------------------------

void TExpListView::contextMenuEvent(QContextMenuEvent* event) {
    QPoint at = event->pos();
    if (event->reason() == QContextMenuEvent::Keyboard) at = visualRect(currentIndex()).center();
    DoShowContextMenu(at);
}

void TExpListView::DoShowContextMenu(const QPoint& viewportPosition) {
    const QModelIndex hit = indexAt(viewportPosition);
    if (!hit.isValid() || !GetShellInfo(hit.row())) return;
    std::vector<TListShellInfo> items;
    for (int row : SelectedRows()) {
        if (const TListShellInfo* info = GetShellInfo(row)) items.push_back(*info);
    }
    if (items.empty()) return;
    ShellContextMenu menu(
        items, [this](const TListShellInfo& item, const QString& verb) { return DoLaunchItem(item, verb); }, this);
    menu.Invoke(menu.Track(viewport()->mapToGlobal(viewportPosition)));
}

// --- watching the folder ---------------------------------------------------------

void TExpListView::StopWatcher() {
    if (!watcher_) return;
    disconnect(watcher_, nullptr, this, nullptr);
    watcher_->RequestStop();
    watcher_ = nullptr;
}

void TExpListView::DoUpdateDirectoryMonitor() {
    StopWatcher();
    const QString path = Folder();
    if (!monitorDirectory_ || path.isEmpty() || !QFileInfo(path).isDir()) return;
    watcher_ = new TDirMonitorThread(this, path);
    connect(watcher_, &TDirMonitorThread::ContentsChanged, this, &TExpListView::DirContentsChanged,
            Qt::BlockingQueuedConnection);
    watcher_->start();
}

void TExpListView::DirContentsChanged() {
    emit OnDirContentsChanged();
    if (!active_) return;
    // A change on disk keeps the person's place: the selected rows that are
    // still there stay selected, and the list stays scrolled where it was.
    QSet<QString> selected;
    for (int row : SelectedRows()) selected.insert(Caption(row));
    const QString current = currentIndex().isValid() ? Caption(currentIndex().row()) : QString();
    const int scrolled = verticalScrollBar()->value();
    const int sortBy = sortBy_;

    Rescan();
    SetSortBy(sortBy);
    for (int row = 0; row < RowCount(); ++row) {
        if (selected.contains(Caption(row))) SetRowSelected(row, true);
        if (!current.isEmpty() && Caption(row) == current) {
            selectionModel()->setCurrentIndex(model_.index(row, 0), QItemSelectionModel::NoUpdate);
        }
    }
    verticalScrollBar()->setValue(scrolled);
}

}  // namespace zor
