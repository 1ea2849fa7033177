// zor_operations.cpp - the toolbar's archive operations and File > Delete, handed to the archive layer.
//
// The handlers are thin: they check the context, collect the selection from
// the list, show the dialog that asks what to do and call the operation,
// which talks to the person through the window's QtOperationUi.
#include "ui/zor.h"

#include "archive/archive_listing.h"
#include "archive/delete_files.h"
#include "archive/extraction.h"
#include "archive/lock_archive.h"
#include "archive/packing.h"
#include "archive/testing.h"
#include "shellview/explistview.h"
#include "ui/archivename.h"
#include "ui/front_window.h"
#include "ui/infobox.h"
#include "ui/packto.h"
#include "ui/password.h"
#include "ui/unpackto.h"

#include <QAction>
#include <QFileInfo>
#include <QMessageBox>
#include <QToolButton>

namespace zor {

void TZOR_Main::ReportError(int mode, const QString& text) {
    operationUi_->reportError(text.toStdString(), mode == kFatal);
}

void TZOR_Main::collectSelectedFiles() {
    context_->selection.clear();
    for (int row : DirList->SelectedRows()) {
        if (!DirList->GetShellInfo(row)) continue;
        const QString path = DirList->ItemPath(row);
        if (path.isEmpty() || !path.startsWith(QLatin1Char('/'))) continue;  // not on disk
        SelectedItem item;
        item.name = QFileInfo(path).fileName().toStdString();
        context_->selection.push_back(std::move(item));
    }
}

void TZOR_Main::PackButtonClick() {
    if (!state().InArchive && !state().InForeignArchive) {
        const std::vector<int> rows = DirList->SelectedRows();
        if (rows.empty()) {
            ReportError(kRecoverable, QLatin1String(kNoFilesSelectedMessage));
        } else {
            PackToBox->setProposedBaseName(proposeArchiveBaseName(DirList->Caption(rows.front())));
            PackToBox->execAt(state().FolderDepth);
        }
    }
    DirList->setFocus();
}

void TZOR_Main::Initialize_Compression(const QString& archivePath) {
    InputBlock::Scope busy(*inputBlock_);
    collectSelectedFiles();
    context_->packingPassword.reset();
    if (PasswordBox->passwordSet() && !PasswordBox->passwordText().isEmpty())
        context_->packingPassword = PasswordBox->passwordText().toStdString();
    state().ArchivePath = archivePath.toStdString();
    zor::Initialize_Compression(*context_);
    // The archive path belongs to browsing; packing only borrowed it.
    state().ArchivePath.clear();
    context_->selection.clear();
    context_->items.clear();
    PackButton->setEnabled(false);
}

void TZOR_Main::collectArchiveSelection() {
    context_->listSelection.clear();
    for (int row : DirList->SelectedRows()) {
        ListSelectionItem item;
        item.caption = DirList->Caption(row).toStdString();
        item.isFolder = DirList->SubItem(row, 3) == QLatin1String(kFolderTypeText);
        item.path = DirList->SubItem(row, 4).toStdString();
        context_->listSelection.push_back(std::move(item));
    }
}

void TZOR_Main::UnPackButtonClick() {
    if (state().InArchive) UnPackToBox->execAt(state().FolderDepth);
    else ReportError(kRecoverable, QLatin1String(kNotInArchiveMessage));
    DirList->setFocus();
}

void TZOR_Main::ExtractArchive(const QString& destinationFolder) {
    InputBlock::Scope busy(*inputBlock_);
    collectArchiveSelection();
    zor::ExtractArchive(*context_, destinationFolder.toStdString());
    context_->listSelection.clear();
}

void TZOR_Main::TestButtonClick() {
    InputBlock::Scope busy(*inputBlock_);
    collectArchiveSelection();
    operationUi_->startTestTally();
    const OperationOutcome outcome = zor::TestButtonClick(*context_);
    const TestTally tally = operationUi_->finishTestTally();
    context_->listSelection.clear();
    // A test that ran to its end says what it found; an abort, a cancelled
    // password or an archive that could not be read says nothing more.
    const bool ranToTheEnd =
        outcome == OperationOutcome::Succeeded || (outcome == OperationOutcome::Failed && !tally.corrupt.empty());
    if (ranToTheEnd) operationUi_->showTestResult(tally);
}

void TZOR_Main::LockButtonClick() {
    InputBlock::Scope busy(*inputBlock_);
    if (lockArchive(*context_) == OperationOutcome::Succeeded) Info->setLocked(true);
}

void TZOR_Main::Delete1Click() {
    InputBlock::Scope busy(*inputBlock_);
    collectSelectedFiles();
    deleteSelectedItems(*context_, [this](const std::string& text) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Question"), QString::fromStdString(text),
                        QMessageBox::Yes | QMessageBox::No, windowInFront(this));
        return execInFront(box) == QMessageBox::Yes;
    });
    PackButton->setEnabled(false);
}

void TZOR_Main::InfoButtonClick() {
    const ArchiveHeader& header = context_->header;
    ArchiveInfoValues values;
    values.totalSize = header.totalSize;
    values.totalPackedSize = header.totalPackedSize;
    values.numberOfFiles = header.numberOfFiles;
    values.numberOfDirectories = header.numberOfDirectories;
    values.passwordProtected = header.isPasswordProtected();
    values.locked = header.isLocked();
    values.ratio = header.ratio;
    Info->fill(values);
    Info->exec();
}

}  // namespace zor
