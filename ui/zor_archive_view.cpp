// zor_archive_view.cpp - the list as the inside of an archive: entering, listing a folder, going deeper, leaving; foreign archives.
//
// While an archive is shown the folder view is switched off and the window
// fills the list itself with five columns: "Name", "Size", "Packed",
// "Type" and "Path". Paths inside a ZOR archive keep their stored form,
// "\" between components, a folder's ending in "\".
#include "ui/zor.h"

#include "archive/archive_reader.h"
#include "archive/foreign_archive_listing.h"
#include "archive/totals_text.h"
#include "shellview/explistview.h"
#include "shellview/shell_actions.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QToolButton>

namespace zor {

namespace {

constexpr char kFolderType[] = "<DIR>";
constexpr char kCannotOpenFileMessage[] = "Cannot open file";
constexpr int kReadingReportInterval = 50;

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
    ArchiveReader reader;
    if (!reader.open(path.toStdString())) {
        // A start-up argument that cannot be read is passed over in silence.
        if (!plainErrors) ReportError(kRecoverable, QLatin1String(kCannotOpenFileMessage));
        return ArchiveOpening::Refused;
    }
    if (const std::optional<std::string> refusal = reader.readHeader()) {
        if (plainErrors) operationUi_->showPlainError(*refusal);
        else if (*refusal == kNotZorArchiveMessage) return ArchiveOpening::NotZor;
        else ReportError(kRecoverable, QString::fromStdString(*refusal));
        return ArchiveOpening::Refused;
    }
    reader.close();
    context_->header = reader.header();

    state().InArchive = 1;
    state().ArchiveLevel += 1;
    state().ArchivePath = path.toStdString();
    state().currentArchiveFolder.clear();
    setArchiveColumns();
    showZorArchiveButtons();
    StatusPanel0->clear();
    ListArchiveFolder();
    state().ListingFresh = 1;
    return ArchiveOpening::Entered;
}

void TZOR_Main::ListArchiveFolder() {
    struct Row {
        std::string caption;
        std::string parent;
        uint32_t size = 0;
        uint32_t packedSize = 0;
    };
    DirList->ClearRows();
    ArchiveReader reader;
    if (!reader.open(state().ArchivePath)) {
        ReportError(kRecoverable, QLatin1String(kCannotOpenFileMessage));
        return;
    }
    if (const std::optional<std::string> refusal = reader.readHeader()) {
        ReportError(kRecoverable, QString::fromStdString(*refusal));
        return;
    }
    const bool reportReading = state().ArchiveLevel == 0 && !state().ListingFresh;
    const std::string& shown = state().currentArchiveFolder;
    std::vector<Row> folders;
    std::vector<Row> files;
    ArchiveEntry entry;
    ArchiveReader::Step step;
    int64_t index = 0;
    while ((step = reader.next(entry)) == ArchiveReader::Step::Entry) {
        if (reportReading && index % kReadingReportInterval == 0)
            StatusPanel0->setText(QStringLiteral("Reading files : %1").arg(index));
        ++index;
        if (entry.record.depth != state().ArchiveLevel) continue;
        const bool isFolder = entry.record.isFolder != 0;
        std::string name = entry.name;
        if (isFolder && !name.empty() && name.back() == '\\') name.pop_back();
        const size_t slash = name.rfind('\\');
        Row row;
        row.parent = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
        row.caption = slash == std::string::npos ? name : name.substr(slash + 1);
        // Top-level folders are listed whatever their stored parent says.
        if (row.parent != shown && !(isFolder && state().ArchiveLevel == 0)) continue;
        row.size = entry.record.size;
        row.packedSize = entry.record.packedSize;
        (isFolder ? folders : files).push_back(std::move(row));
    }
    if (reportReading) StatusPanel0->setText(QStringLiteral("Reading files : %1").arg(index));
    if (step == ArchiveReader::Step::Corrupt) ReportError(kRecoverable, QLatin1String(kCorruptArchiveMessage));

    auto byCaption = [](const Row& a, const Row& b) { return a.caption < b.caption; };
    std::sort(folders.begin(), folders.end(), byCaption);
    std::sort(files.begin(), files.end(), byCaption);

    TdfsSystemImageList& images = DirList->SmallImages();
    const QIcon folderIcon = images.Icon(images.GetFileInfoByName(QStringLiteral("folder"), true).iconIndex);
    DirList->setUpdatesEnabled(false);
    uint64_t bytes = 0;
    for (const Row& row : folders) {
        DirList->AddRow(QString::fromStdString(row.caption),
                        {QString(), QString(), QLatin1String(kFolderType), QString::fromStdString(row.parent)},
                        folderIcon);
    }
    for (const Row& row : files) {
        const QString caption = QString::fromStdString(row.caption);
        const TdfsSystemImageList::FileInfo info = images.GetFileInfoByName(caption);
        DirList->AddRow(caption,
                        {QString::number(row.size), QString::number(row.packedSize), info.typeName,
                         QString::fromStdString(row.parent)},
                        images.Icon(info.iconIndex));
        bytes += row.size;
    }
    DirList->setUpdatesEnabled(true);
    StatusPanel1->setText(QString::fromStdString(totalsText(int64_t(folders.size()), int64_t(files.size()), bytes)));
}

void TZOR_Main::openArchiveFolder(const QString& caption) {
    state().currentArchiveFolder += caption.toStdString() + "\\";
    StatusPanel0->setText(QString::fromStdString(state().currentArchiveFolder));
    ++state().ArchiveLevel;
    ListArchiveFolder();
}

void TZOR_Main::leaveArchive() {
    state().InArchive = 0;
    state().InForeignArchive = 0;
    state().ListingFresh = 0;
    state().ArchivePath.clear();
    state().currentArchiveFolder.clear();
    showFolderContextButtons();
    DirList->ClearRows();
    DirList->ClearColumns();
    DirList->SetActive(true);
    DirListChangeFolder();
}

bool TZOR_Main::enterForeignArchive(const QString& path) {
    const std::string file = path.toStdString();
    if (!recogniseForeignArchive(file)) return false;
    setArchiveColumns();
    setToolButtons(false, false, false, false, false);
    Delete1->setEnabled(false);
    DriveBox->setEnabled(false);
    StatusPanel0->clear();
    StatusPanel1->clear();
    state().InForeignArchive = 1;
    ++state().ArchiveLevel;
    DirList->setUpdatesEnabled(false);
    std::string error;
    if (!readForeignArchiveDirectory(file, [this](const ForeignArchiveEntry& entry) { ForeignArchiveRead(entry); },
                                     &error)) {
        ReportError(kRecoverable, QStringLiteral("%1: %2").arg(path, QString::fromStdString(error)));
    }
    DirList->setUpdatesEnabled(true);
    return true;
}

void TZOR_Main::ForeignArchiveRead(const ForeignArchiveEntry& entry) {
    TdfsSystemImageList& images = DirList->SmallImages();
    const QString caption = QString::fromStdString(entry.fileName());
    const TdfsSystemImageList::FileInfo info = images.GetFileInfoByName(caption, entry.isFolder);
    DirList->AddRow(caption,
                    {QString::number(entry.size), QString::number(entry.packedSize), info.typeName,
                     QString::fromStdString(entry.folderPart())},
                    images.Icon(info.iconIndex));
}

void TZOR_Main::openFileFromList(int row) {
    const TListShellInfo* item = DirList->GetShellInfo(row);
    if (!item || item->notFileSystem) return;
    const QString path = DirList->ItemPath(row);
    if (enterForeignArchive(path)) return;
    if (enterZorArchive(path, false) == ArchiveOpening::NotZor) OpenWithAssociatedProgram(*item);
}

void TZOR_Main::DirListDblClick() {
    const std::vector<int> rows = DirList->SelectedRows();
    if (rows.empty()) return;
    const int row = rows.front();
    if (state().InForeignArchive) return;
    if (state().InArchive) {
        if (DirList->SubItem(row, 3) == QLatin1String(kFolderType)) openArchiveFolder(DirList->Caption(row));
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
