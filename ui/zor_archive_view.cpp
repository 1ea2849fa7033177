// zor_archive_view.cpp - the list as the inside of an archive: entering, listing a folder, going deeper, leaving; foreign archives.
//
// While an archive is shown the folder view is switched off and the window
// fills the list itself with five columns: "Name", "Size", "Packed",
// "Type" and "Path". Paths inside a ZOR archive keep their stored form,
// "\" between components, a folder's ending in "\".
#include "ui/zor.h"

#include "archive/archive_listing.h"
#include "archive/foreign_archive_listing.h"
#include "shellview/explistview.h"
#include "shellview/shell_actions.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QToolButton>

#include <algorithm>

namespace zor {

namespace {

// Sorting by a column keeps folders before files, as the listing gives them.
constexpr int kFolderRows = 0;
constexpr int kFileRows = 1;

}  // namespace

void TZOR_Main::setArchiveColumns() {
    DirList->SetActive(false);
    DirList->ClearRows();
    DirList->ClearColumns();
    DirList->AddColumn(QStringLiteral("Name"), 200);
    DirList->AddColumn(QStringLiteral("Size"), 70, Qt::AlignRight);
    DirList->AddColumn(QStringLiteral("Packed"), 70, Qt::AlignRight);
    DirList->AddColumn(QStringLiteral("Type"), 120);
    DirList->AddColumn(QStringLiteral("Path"), 120);
}

TZOR_Main::ArchiveOpening TZOR_Main::enterZorArchive(const QString& path, bool plainErrors) {
    const ArchiveCheck check = checkArchiveFile(path.toStdString());
    switch (check.result) {
    case ArchiveCheck::Result::Accepted: break;
    case ArchiveCheck::Result::CannotOpen:
        // A start-up argument that cannot be read is passed over in silence.
        if (!plainErrors) ReportError(kRecoverable, QString::fromStdString(check.message));
        return ArchiveOpening::Refused;
    case ArchiveCheck::Result::NotZorArchive:
        if (!plainErrors) return ArchiveOpening::NotZor;
        operationUi_->showPlainError(check.message);
        return ArchiveOpening::Refused;
    case ArchiveCheck::Result::Refused:
        if (plainErrors) operationUi_->showPlainError(check.message);
        else ReportError(kRecoverable, QString::fromStdString(check.message));
        return ArchiveOpening::Refused;
    }
    enterArchive(*context_, path.toStdString(), check);
    setArchiveColumns();
    showZorArchiveButtons();
    StatusPanel0->clear();
    ListArchiveFolder();
    return ArchiveOpening::Entered;
}

void TZOR_Main::ListArchiveFolder() {
    // The count of entries read is shown as it grows, so the window keeps
    // being served, and takes no input, while a large header is read.
    InputBlock::Scope busy(*inputBlock_);
    DirList->ClearRows();
    const std::optional<ArchiveListing> listing = zor::ListArchiveFolder(*context_, [this](const std::string& text) {
        StatusPanel0->setText(QString::fromStdString(text));
        operationUi_->pumpMessages();
    });
    if (!listing) return;

    TdfsSystemImageList& images = DirList->SmallImages();
    const QIcon folderIcon = images.Icon(images.GetFileInfoByName(QStringLiteral("folder"), true).iconIndex);
    DirList->setUpdatesEnabled(false);
    for (const ArchiveListRow& row : listing->folders) {
        DirList->AddRow(QString::fromStdString(row.caption),
                        {QString(), QString(), QLatin1String(kFolderTypeText), QString::fromStdString(row.parentPath)},
                        folderIcon, kFolderRows);
    }
    for (const ArchiveListRow& row : listing->files) {
        const QString caption = QString::fromStdString(row.caption);
        const TdfsSystemImageList::FileInfo info = images.GetFileInfoByName(caption);
        DirList->AddRow(caption,
                        {QString::number(row.size), QString::number(row.packedSize), info.typeName,
                         QString::fromStdString(row.parentPath)},
                        images.Icon(info.iconIndex), kFileRows);
    }
    DirList->SortOwnerRows();
    DirList->setUpdatesEnabled(true);
    StatusPanel1->setText(QString::fromStdString(listing->totals));
}

void TZOR_Main::openArchiveFolder(const QString& caption) {
    enterArchiveFolder(state(), caption.toStdString());
    StatusPanel0->setText(QString::fromStdString(state().currentArchiveFolder));
    ListArchiveFolder();
}

void TZOR_Main::leaveArchive() {
    state().InForeignArchive = 0;
    showFolderContextButtons();
    DirList->ClearRows();
    DirList->ClearColumns();
    DirList->SetActive(true);
    DirListChangeFolder();
}

bool TZOR_Main::enterForeignArchive(const QString& path) {
    const std::string file = path.toStdString();
    if (!recogniseForeignArchive(file)) return false;
    // A compressed tar is read whole to list it: the window is served, and
    // takes no input, while the count of entries read grows.
    InputBlock::Scope busy(*inputBlock_);
    setArchiveColumns();
    setToolButtons(false, false, false, false, false);
    DriveBox->setEnabled(false);
    StatusPanel0->clear();
    StatusPanel1->clear();
    state().InForeignArchive = 1;
    ++state().ArchiveLevel;
    std::string error;
    const auto showCount = [this](uint64_t entries) {
        StatusPanel0->setText(QLatin1String(kReadingFilesStatus) + QString::number(entries));
    };
    const bool complete = readForeignArchiveDirectory(
        file, [this](const ForeignArchiveEntry& entry) { ForeignArchiveRead(entry); }, &error,
        [this, &showCount](uint64_t entries) {
            showCount(entries);
            operationUi_->pumpMessages();
        });
    showCount(static_cast<uint64_t>(DirList->RowCount()));
    DirList->SortOwnerRows();
    if (!complete) ReportError(kRecoverable, QStringLiteral("%1: %2").arg(path, QString::fromStdString(error)));
    return true;
}

void TZOR_Main::ForeignArchiveRead(const ForeignArchiveEntry& entry) {
    TdfsSystemImageList& images = DirList->SmallImages();
    const QString caption = QString::fromStdString(entry.fileName());
    const TdfsSystemImageList::FileInfo info = images.GetFileInfoByName(caption, entry.isFolder);
    // libarchive does not tell an entry's packed size: the cell stays empty.
    DirList->AddRow(caption,
                    {entry.isFolder ? QString() : QString::number(entry.size), QString(), info.typeName,
                     QString::fromStdString(entry.folderPart())},
                    images.Icon(info.iconIndex), entry.isFolder ? kFolderRows : kFileRows);
}

void TZOR_Main::openFileFromList(int row) {
    const TListShellInfo* item = DirList->GetShellInfo(row);
    if (!item || item->notFileSystem) return;
    const QString path = DirList->ItemPath(row);
    if (enterForeignArchive(path)) return;
    if (enterZorArchive(path, false) == ArchiveOpening::NotZor) OpenWithAssociatedProgram(*item);
}

int TZOR_Main::activatedRow() const {
    // The row the list itself activates after this handler: the one clicked
    // (or the current one for Enter); otherwise the first selected.
    const QModelIndex current = DirList->currentIndex();
    const std::vector<int> rows = DirList->SelectedRows();
    if (current.isValid() && std::find(rows.begin(), rows.end(), current.row()) != rows.end()) return current.row();
    return rows.empty() ? -1 : rows.front();
}

void TZOR_Main::DirListDblClick() {
    const int row = activatedRow();
    if (row < 0 || state().InForeignArchive) return;
    if (state().InArchive) {
        if (DirList->SubItem(row, 3) == QLatin1String(kFolderTypeText)) openArchiveFolder(DirList->Caption(row));
        return;
    }
    const TListShellInfo* item = DirList->GetShellInfo(row);
    if (!item) return;
    // The list itself enters a folder (or a link to one) after this handler.
    if (item->folder) {
        ++state().FolderDepth;
        return;
    }
    openFileFromList(row);
}

void TZOR_Main::DirListKeyPress(int character) {
    if (character == '\r') DirListDblClick();
}

}  // namespace zor
