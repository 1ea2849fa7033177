// item_id_list.cpp - absolute identifiers of desktop, computer and file-system places.
#include "shellview/item_id_list.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zor {

namespace {

QString HomePath() { return QDir::homePath(); }

QString DocumentsPath() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : HomePath();
}

QString DesktopDirectoryPath() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return QFileInfo(desktop).isDir() ? desktop : HomePath();
}

// The order in which a place is matched against special folders.
// The home folder stands in for the documents and desktop folders when those
// are missing, so it is matched before them.
constexpr int kMatchOrder[] = {ItemIdList::kDesktop, ItemIdList::kDrives, ItemIdList::kProfile,
                               ItemIdList::kPersonal, ItemIdList::kDesktopDirectory};

}  // namespace

ItemIdList ItemIdList::Computer() {
    ItemIdList id;
    id.kind_ = Kind::Computer;
    return id;
}

ItemIdList ItemIdList::FromPath(const QString& path) {
    ItemIdList id;
    id.kind_ = Kind::FileSystem;
    id.path_ = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    return id;
}

ItemIdList ItemIdList::FromSpecialFolder(int csidl) {
    switch (csidl) {
    case kDrives: return Computer();
    case kPersonal: return FromPath(DocumentsPath());
    case kDesktopDirectory: return FromPath(DesktopDirectoryPath());
    case kProfile: return FromPath(HomePath());
    default: return Desktop();
    }
}

ItemIdList ItemIdList::parent() const {
    switch (kind_) {
    case Kind::Desktop:
    case Kind::Computer: return Desktop();
    case Kind::FileSystem: break;
    }
    if (path_ == QStringLiteral("/")) return Computer();
    return FromPath(QFileInfo(path_).path());
}

int ItemIdList::specialFolder() const {
    for (int csidl : kMatchOrder) {
        if (FromSpecialFolder(csidl) == *this) return csidl;
    }
    return -1;
}

QString ItemIdList::displayName() const {
    switch (kind_) {
    case Kind::Desktop: return QStringLiteral("Desktop");
    case Kind::Computer: return QStringLiteral("Computer");
    case Kind::FileSystem: break;
    }
    if (path_ == QStringLiteral("/")) return path_;
    return QFileInfo(path_).fileName();
}

}  // namespace zor
