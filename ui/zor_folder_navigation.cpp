// zor_folder_navigation.cpp - moving through the disk: folder changes, Up, the drive box and the folder depth.
//
// FolderDepth counts the "/" in the path of the folder shown ("/" and
// "/home" are 1, "/home/ann" 2); a drive change sets it to 0; above the
// volumes it is negative: -1 for the list of volumes, -2 for the desktop,
// and Up never takes it lower.
#include "ui/zor.h"

#include "archive/archive_listing.h"
#include "archive/totals_text.h"
#include "platform/folders.h"
#include "platform/volumes.h"
#include "shellview/explistview.h"

#include <algorithm>

#include <QComboBox>
#include <QItemSelectionModel>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QToolButton>

namespace zor {

namespace {

constexpr int32_t kLowestFolderDepth = -2;
constexpr char kRootFolder[] = "/";
// A selection, and so an archive, is relative to one folder.
constexpr char kDropFromSeveralFoldersMessage[] =
    "The dropped items lie in several folders. Drop items of one folder to pack them together.";

}  // namespace

int32_t TZOR_Main::depthOfPath(const QString& absolutePath) {
    return static_cast<int32_t>(QDir::cleanPath(absolutePath).count(QLatin1Char('/')));
}

void TZOR_Main::fillDriveBox() {
    DriveBox->clear();
    for (const Volume& volume : mountedVolumes()) {
        const QString mountPoint = QString::fromStdString(volume.mountPoint);
        DriveBox->addItem(mountPoint, mountPoint);
    }
}

void TZOR_Main::showFolder(const QString& path) {
    if (!DirList->SetFolder(path)) DirList->SetFolder(QLatin1String(kRootFolder));
}

void TZOR_Main::DirListChangeFolder() {
    // Inside an archive the list is the window's own; the disk folder waits.
    if (state().InArchive || state().InForeignArchive) return;
    const QString folder = DirList->Folder();
    StatusPanel0->setText(folder);
    if (folder.isEmpty()) {
        StatusPanel1->setText(QString::fromStdString(totalsText(0, 0, 0)));
        return;
    }
    // Packing and deleting work on names relative to the folder shown.
    setCurrentFolder(folder.toStdString());
    StatusPanel1->setText(QString::fromStdString(diskFolderTotalsText(folder.toStdString())));
    // A folder entered shows nothing selected.
    applySelectionRules();
}

void TZOR_Main::refreshDiskTotals() {
    if (state().InArchive || state().InForeignArchive || !DirList->Active()) return;
    const QString folder = DirList->Folder();
    StatusPanel1->setText(QString::fromStdString(folder.isEmpty() ? totalsText(0, 0, 0)
                                                                   : diskFolderTotalsText(folder.toStdString())));
}

void TZOR_Main::selectRowNamed(const QString& caption) {
    for (int row = 0; row < DirList->RowCount(); ++row) {
        if (DirList->Caption(row) != caption) continue;
        const QModelIndex index = DirList->model()->index(row, 0);
        DirList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        DirList->scrollTo(index);
        return;
    }
}

void TZOR_Main::UpButtonClick() {
    if (state().InArchive) {
        const QString archiveFolder = QString::fromStdString(state().currentArchiveFolder);
        const QString archiveName = QFileInfo(QString::fromStdString(state().ArchivePath)).fileName();
        if (archiveFolderUp(state())) {
            StatusPanel0->setText(QString::fromStdString(state().currentArchiveFolder));
            ListArchiveFolder();
            // "a\b\" was left: b is selected in "a\".
            selectRowNamed(archiveFolder.section(QLatin1Char('\\'), -2, -2));
        } else {
            leaveArchive();
            selectRowNamed(archiveName);
        }
        DirList->setFocus();
        return;
    }
    if (state().InForeignArchive) {
        --state().ArchiveLevel;
        leaveArchive();
        DirList->setFocus();
        return;
    }
    const QString left = QFileInfo(DirList->Folder()).fileName();
    PackButton->setEnabled(false);
    if (state().FolderDepth >= kLowestFolderDepth + 1) --state().FolderDepth;
    DirList->Up();
    if (!left.isEmpty()) selectRowNamed(left);
}

void TZOR_Main::DirListDropFiles(const QStringList& paths) {
    if (state().InArchive || state().InForeignArchive || inputBlocked()) return;
    QString folder;
    QStringList names;
    for (const QString& path : paths) {
        const QFileInfo item(path);
        if (!item.exists() && !item.isSymLink()) continue;  // gone since the drag began
        if (!folder.isEmpty() && item.absolutePath() != folder) {
            ReportError(kRecoverable, QLatin1String(kDropFromSeveralFoldersMessage));
            return;
        }
        folder = item.absolutePath();
        names << item.fileName();
    }
    if (names.isEmpty() || !QFileInfo(folder).isDir()) return;

    showFolder(folder);
    if (DirList->Folder() != folder) return;
    state().FolderDepth = depthOfPath(folder);
    // The list may not have seen an item that appeared just now.
    QStringList shown;
    for (int row = 0; row < DirList->RowCount(); ++row) shown << DirList->Caption(row);
    if (!std::all_of(names.begin(), names.end(), [&shown](const QString& name) { return shown.contains(name); }))
        DirList->Rescan();
    DirList->clearSelection();
    for (int row = 0; row < DirList->RowCount(); ++row)
        if (names.contains(DirList->Caption(row))) DirList->SetRowSelected(row, true);
    const std::vector<int> selected = DirList->SelectedRows();
    if (selected.empty()) return;
    DirList->selectionModel()->setCurrentIndex(DirList->model()->index(selected.front(), 0),
                                               QItemSelectionModel::NoUpdate);
    if (names.size() == 1 && names.front().endsWith(QLatin1String(".zor")) &&
        QFileInfo(folder + QLatin1Char('/') + names.front()).isFile()) {
        openFileFromList(selected.front());
        return;
    }
    PackButtonClick();
}

void TZOR_Main::DriveBoxClick() { driveClicked_ = true; }

void TZOR_Main::DriveBoxChange() {
    // Only a drive the person picked counts, not the program's own changes to the box.
    if (!driveClicked_) return;
    driveClicked_ = false;

    QString drive = DriveBox->currentData().toString();
    if (drive.isEmpty() || !QFileInfo(drive).isReadable() || !setCurrentFolder(drive.toStdString())) {
        ReportError(kRecoverable, QStringLiteral("Cannot read from the selected drive"));
        drive = QLatin1String(kRootFolder);
        DriveBox->setCurrentIndex(std::max(0, DriveBox->findData(drive)));
        setCurrentFolder(drive.toStdString());
    }
    DriveBox->repaint();
    StatusPanel0->setText(drive);
    showFolder(drive);
    state().FolderDepth = 0;
}

}  // namespace zor
