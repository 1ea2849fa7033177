// shell_folder.cpp - items, detail columns and item order of desktop, computer and directory folders.
#include "shellview/shell_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>

namespace zor {

namespace {

enum ComputerColumn { kVolumeName = 0, kVolumeType = 1, kVolumeTotal = 2, kVolumeFree = 3 };
enum DirectoryColumn { kName = 0, kSize = 1, kType = 2, kModified = 3 };

template <typename T>
int ThreeWay(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Names compare as a person reads them: runs of digits by their value, so
// "file2" comes before "file10", other text without regard to case; names
// that still tie compare code unit by code unit, so no two names are equal.
int CompareNames(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i, startB = j;
            while (i < a.size() && a[i].isDigit()) ++i;
            while (j < b.size() && b[j].isDigit()) ++j;
            QStringView digitsA = QStringView(a).sliced(startA, i - startA);
            QStringView digitsB = QStringView(b).sliced(startB, j - startB);
            while (digitsA.size() > 1 && digitsA.front() == u'0') digitsA = digitsA.sliced(1);
            while (digitsB.size() > 1 && digitsB.front() == u'0') digitsB = digitsB.sliced(1);
            if (digitsA.size() != digitsB.size()) return digitsA.size() < digitsB.size() ? -1 : 1;
            const int value = digitsA.compare(digitsB);
            if (value != 0) return value < 0 ? -1 : 1;
            continue;
        }
        const int letter = QStringView(a).sliced(i, 1).compare(QStringView(b).sliced(j, 1), Qt::CaseInsensitive);
        if (letter != 0) return letter < 0 ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
    return ThreeWay(a, b);
}

TListShellInfo ComputerItem() {
    TListShellInfo item;
    item.absoluteId = ItemIdList::Computer();
    item.relativeId = item.absoluteId.displayName();
    item.notFileSystem = true;
    item.folder = true;
    return item;
}

TListShellInfo DirectoryEntryItem(const QFileInfo& entry) {
    TListShellInfo item;
    item.absoluteId = ItemIdList::FromPath(entry.absoluteFilePath());
    item.relativeId = entry.fileName();
    item.folder = entry.isDir();
    item.link = entry.isSymLink();
    item.ghosted = entry.isHidden();
    item.size = item.folder ? 0 : static_cast<uint64_t>(qMax<qint64>(0, entry.size()));
    item.modified = entry.lastModified();
    return item;
}

}  // namespace

ShellFolder::ShellFolder(ItemIdList id, TdfsSystemImageList& images) : id_(std::move(id)), images_(images) {}

std::vector<TListShellInfo> ShellFolder::Enumerate(bool foldersOnly, bool showHidden) const {
    switch (id_.kind()) {
    case ItemIdList::Kind::Desktop: return DesktopItems();
    case ItemIdList::Kind::Computer: return VolumeItems();
    case ItemIdList::Kind::FileSystem: break;
    }
    return DirectoryItems(foldersOnly, showHidden);
}

std::vector<TListShellInfo> ShellFolder::DesktopItems() const {
    std::vector<TListShellInfo> items{ComputerItem()};
    TListShellInfo home = DirectoryEntryItem(QFileInfo(QDir::homePath()));
    home.relativeId = QStringLiteral("Home");
    items.push_back(home);
    return items;
}

std::vector<TListShellInfo> ShellFolder::VolumeItems() const {
    std::vector<TListShellInfo> items;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        // Local volumes are the root and the file systems on block devices, not
        // memory file systems or the single files containers bind over the root.
        const bool root = volume.isRoot();
        if (!root && (!volume.device().startsWith("/dev/") || !QFileInfo(volume.rootPath()).isDir())) continue;
        TListShellInfo item;
        item.absoluteId = ItemIdList::FromPath(volume.rootPath());
        item.relativeId = volume.rootPath();
        item.folder = true;
        item.size = static_cast<uint64_t>(qMax<qint64>(0, volume.bytesTotal()));
        item.freeBytes = static_cast<uint64_t>(qMax<qint64>(0, volume.bytesAvailable()));
        item.fileSystemType = QString::fromUtf8(volume.fileSystemType());
        items.push_back(item);
    }
    return items;
}

std::vector<TListShellInfo> ShellFolder::DirectoryItems(bool foldersOnly, bool showHidden) const {
    QDir::Filters filters = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
    if (showHidden) filters |= QDir::Hidden;
    std::vector<TListShellInfo> items;
    const QDir directory(id_.path());
    for (const QFileInfo& entry : directory.entryInfoList(filters, QDir::Unsorted)) {
        // The entry may have gone between listing and reading it.
        if (!entry.exists() && !entry.isSymLink()) continue;
        if (foldersOnly && !entry.isDir()) continue;
        items.push_back(DirectoryEntryItem(entry));
    }
    return items;
}

bool ShellFolder::HasShellDetails() const { return id_.kind() == ItemIdList::Kind::Computer; }

std::vector<ShellColumn> ShellFolder::DetailColumns() const {
    if (!HasShellDetails()) return {};
    return {{QStringLiteral("Name"), Qt::AlignLeft},
            {QStringLiteral("Type"), Qt::AlignLeft},
            {QStringLiteral("Total Size"), Qt::AlignRight},
            {QStringLiteral("Free Space"), Qt::AlignRight}};
}

QString ShellFolder::DetailText(const TListShellInfo& item, int column) const {
    const QLocale locale;
    switch (column) {
    case kVolumeType: return item.fileSystemType;
    case kVolumeTotal: return locale.formattedDataSize(static_cast<qint64>(item.size));
    case kVolumeFree: return locale.formattedDataSize(static_cast<qint64>(item.freeBytes));
    default: return QString();
    }
}

int ShellFolder::CompareIDs(int column, const TListShellInfo& a, const TListShellInfo& b) const {
    if (a.folder != b.folder) return a.folder ? -1 : 1;
    int order = 0;
    if (HasShellDetails()) {
        switch (column) {
        case kVolumeType: order = CompareNames(a.fileSystemType, b.fileSystemType); break;
        case kVolumeTotal: order = ThreeWay(a.size, b.size); break;
        case kVolumeFree: order = ThreeWay(a.freeBytes, b.freeBytes); break;
        default: break;
        }
    } else {
        switch (column) {
        case kSize: order = ThreeWay(a.size, b.size); break;
        case kType: order = CompareNames(images_.ItemTypeName(a), images_.ItemTypeName(b)); break;
        case kModified: order = ThreeWay(a.modified, b.modified); break;
        default: break;
        }
    }
    return order != 0 ? order : CompareNames(a.relativeId, b.relativeId);
}

}  // namespace zor
