// explistview.h - TExpListView, the report-style list that browses one folder of the desktop, computer or disk.
//
// The view lists a folder's items with their icons and the columns Name, Size,
// Type and Modified (virtual folders bring columns of their own), sorts them by
// a column, follows folders and symbolic links when an item is activated,
// offers a pop-up menu for the selected items and, through a TDirMonitorThread,
// reads the folder again when entries appear, vanish or change attributes.
//
// Rows are added with their caption only; icons and the other columns are
// filled the first time the list displays a row, once per row.
//
// While `Active` is false the view leaves the list to its owner, which may
// add columns and rows of its own (rows without shell information). The
// owner's rows keep the order they were added in until a column header is
// clicked; they are then sorted by that column (numbers as numbers) within
// their groups, and the folder's own sort order is left as it was.
#pragma once

#include "shellview/dirmonitorthread.h"
#include "shellview/item_id_list.h"
#include "shellview/listshellinfo.h"
#include "shellview/shell_folder.h"
#include "shellview/shell_list_model.h"
#include "shellview/systemimagelist.h"

#include <QPointer>
#include <QTreeView>
#include <functional>
#include <memory>
#include <vector>

namespace zor {

class TExpListView : public QTreeView {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(bool AutoLaunch READ AutoLaunch WRITE SetAutoLaunch)
    Q_PROPERTY(QString Folder READ Folder WRITE SetFolder)
    Q_PROPERTY(int CSIDL READ CSIDL WRITE SetCSIDL)
    Q_PROPERTY(bool FoldersOnly READ FoldersOnly WRITE SetFoldersOnly)
    Q_PROPERTY(bool FollowFolders READ FollowFolders WRITE SetFollowFolders)
    Q_PROPERTY(bool FollowLinks READ FollowLinks WRITE SetFollowLinks)
    Q_PROPERTY(bool MonitorDirectory READ MonitorDirectory WRITE SetMonitorDirectory)
    Q_PROPERTY(bool ShowHidden READ ShowHidden WRITE SetShowHidden)
    Q_PROPERTY(int SortBy READ SortBy WRITE SetSortBy)
    Q_PROPERTY(bool SortForward READ SortForward WRITE SetSortForward)

public:
    explicit TExpListView(QWidget* parent = nullptr);
    ~TExpListView() override;

    // Properties. Each setter acts only when the value changes: FoldersOnly
    // and ShowHidden read the folder again, SortBy and SortForward re-sort,
    // MonitorDirectory restarts the watcher, Folder and CSIDL change the folder.
    bool Active() const { return active_; }
    void SetActive(bool active);
    bool AutoLaunch() const { return autoLaunch_; }
    void SetAutoLaunch(bool on) { autoLaunch_ = on; }
    // The file-system path shown, empty for the desktop and the computer.
    QString Folder() const { return pidl_.path(); }
    // Shows an existing directory; returns false (and changes nothing) for a path that is not one.
    bool SetFolder(const QString& path);
    int CSIDL() const { return csidl_; }
    void SetCSIDL(int csidl);
    bool FoldersOnly() const { return foldersOnly_; }
    void SetFoldersOnly(bool on);
    bool FollowFolders() const { return followFolders_; }
    void SetFollowFolders(bool on) { followFolders_ = on; }
    bool FollowLinks() const { return followLinks_; }
    void SetFollowLinks(bool on) { followLinks_ = on; }
    bool MonitorDirectory() const { return monitorDirectory_; }
    void SetMonitorDirectory(bool on);
    bool ShowHidden() const { return showHidden_; }
    void SetShowHidden(bool on);
    // Files and folders dragged from a file manager may be dropped on the
    // list (reported by OnDropFiles); off by default.
    bool AcceptFileDrops() const { return acceptFileDrops_; }
    void SetAcceptFileDrops(bool on);
    int SortBy() const { return sortBy_; }
    void SetSortBy(int column);
    bool SortForward() const { return sortForward_; }
    void SetSortForward(bool forward);

    const ItemIdList& PIDL() const { return pidl_; }
    // Shows a place (and always re-reads it, unless given the view's own identifier).
    void SetPIDL(const ItemIdList& pidl);
    // Shows the parent place; the desktop stays the desktop.
    void Up();
    // Reads the folder again.
    void Rescan();

    // The row's shell information, or none for rows the owner added.
    const TListShellInfo* GetShellInfo(int row) const;
    // The row's file-system path, empty for owner rows and virtual items.
    QString ItemPath(int row) const;

    // The list as the owner sees it.
    int RowCount() const;
    int ColumnCount() const;
    QString ColumnCaption(int column) const;
    int ColumnWidth(int column) const { return columnWidth(column); }
    QString Caption(int row) const;
    // Text of column `column` (1 or more), filled on demand for shell rows.
    QString SubItem(int row, int column) const;
    QIcon RowIcon(int row) const;
    // Removes every row (after telling OnDeleteShellInfo about each shell row).
    void ClearRows();
    void ClearColumns();
    void AddColumn(const QString& caption, int width, Qt::Alignment alignment = Qt::AlignLeft);
    // `group` orders owner rows before any column does (0 before 1 ...).
    int AddRow(const QString& caption, const QStringList& subItems, const QIcon& icon = QIcon(), int group = 0);
    // Puts owner rows added since the last sort into the order chosen by a
    // header click; nothing while none was clicked.
    void SortOwnerRows();
    // The owner rows' sort column, -1 while they keep the order they were added in.
    int OwnerSortColumn() const { return ownerSortColumn_; }
    // Selected rows in list order.
    std::vector<int> SelectedRows() const;
    void SetRowSelected(int row, bool selected);

    TdfsSystemImageList& SmallImages() { return smallImages_; }
    // The running watcher, if any.
    TDirMonitorThread* Watcher() const { return watcher_; }

    // What a double click or Enter on a row does after the owner's handler has run.
    void ActivateItem(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // A click on a column header: the sort column again reverses the order, another column becomes the sort column.
    void ColumnClick(int column);

signals:
    void OnChangeFolder();
    // Asked for every item read from the folder; clearing *accept leaves the item out.
    void OnEnumeration(const TListShellInfo& item, bool* accept);
    void OnItemActivate(int row);
    void OnAutoLaunch(int row, bool launched);
    void OnDirContentsChanged();
    // Local files and folders were dropped on the list (absolute paths, in the order dragged).
    void OnDropFiles(const QStringList& paths);
    // The folder's rows were read again (a folder change, a rescan, a change on disk).
    void RowsRefilled();
    void OnDeleteShellInfo(const TListShellInfo& item);
    // The owner's list events: a click (after the selection changed), a double
    // click (before the view acts on it), a typed character (13 for Enter,
    // before the view acts on it), a released mouse button.
    void Click();
    void DblClick();
    void KeyPress(int character);
    void MouseUp(Qt::MouseButton button);

protected:
    virtual void DoInitialize();
    virtual void DoRescan();
    virtual void DoFillListEx(const ShellFolder& folder);
    virtual void DoFillShellInfoIcon(int row);
    virtual void DoFillShellInfoDetails(int row);
    virtual void DoFillShellExtraInfo(int row);
    // Sets up the folder's own columns; false when it has none.
    virtual bool DoHandleShellDetails(const ShellFolder& folder);
    virtual void DoResizeColumns();
    virtual void DoCustomSort();
    virtual void DoFollowFolder(const TListShellInfo& item);
    // False when the link does not lead to an existing folder.
    virtual bool DoFollowLink(const TListShellInfo& item);
    // Runs a verb on an item (empty = open with its program); true on success.
    virtual bool DoLaunchItem(const TListShellInfo& item, const QString& verb);
    virtual void DoShowContextMenu(const QPoint& viewportPosition);
    virtual void DoUpdateDirectoryMonitor();

    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FillRow(int row);
    void OwnerColumnClick(int column);
    void ShowSortIndicator();
    void StopWatcher();
    // Runs the owner's handler, then activates the row if the owner left the list as it was.
    void ActivateAfterOwner(int row, Qt::KeyboardModifiers modifiers, const std::function<void()>& ownerEvent);
    // The watcher's report: the folder changed on disk.
    void DirContentsChanged();

    ShellListModel model_;
    TdfsSystemImageList smallImages_{TdfsSystemImageList::ImageSize::Small};
    std::unique_ptr<ShellFolder> folder_;
    ItemIdList pidl_;
    QPointer<TDirMonitorThread> watcher_;
    bool iconsAttached_ = false;
    bool folderSet_ = false;
    // Counts row replacements, so a row index kept across an owner's handler can be checked.
    unsigned rowsGeneration_ = 0;

    bool active_ = false;
    bool autoLaunch_ = true;
    int csidl_ = -1;
    bool foldersOnly_ = false;
    bool followFolders_ = true;
    bool followLinks_ = true;
    bool monitorDirectory_ = true;
    bool showHidden_ = false;
    bool acceptFileDrops_ = false;
    int sortBy_ = 0;
    bool sortForward_ = true;
    int ownerSortColumn_ = -1;
    bool ownerSortForward_ = true;
};

}  // namespace zor
