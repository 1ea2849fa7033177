// systemimagelist.h - TdfsSystemImageList, the shared list of file-type icons and type names, addressed by index.
//
// The icons come from the desktop's icon theme through the MIME database, with
// the style's plain file and folder pictures when the theme has none. An icon is
// added to the list the first time its type is asked for and keeps its index for
// the list's lifetime, so rows can store an index instead of an icon.
#pragma once

#include "shellview/listshellinfo.h"

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>
#include <functional>
#include <vector>

namespace zor {

class TdfsSystemImageList {
public:
    enum class ImageSize { Large, Small };

    struct FileInfo {
        int iconIndex = -1;
        QString typeName;  // at most kMaxTypeName characters
    };
    static constexpr int kMaxTypeName = 80;

    explicit TdfsSystemImageList(ImageSize size = ImageSize::Large);

    ImageSize imageSize() const { return size_; }
    int pixelSize() const;

    // When the named file or folder exists it is examined itself (its content
    // may decide its type); otherwise the name alone (its extension) and
    // `isFolder` decide.
    int IconIndex(const QString& fileName, bool isFolder = false);
    FileInfo GetFileInfo(const QString& fileName, bool isFolder = false);
    // Looks at the name only and never touches the disk.
    FileInfo GetFileInfoByName(const QString& fileName, bool isFolder = false);

    // Icon index and type name of a folder-view item.
    FileInfo ItemInfo(const TListShellInfo& item);
    // The item's type name, looked up once and kept in the item.
    const QString& ItemTypeName(const TListShellInfo& item);

    int Count() const { return static_cast<int>(icons_.size()); }
    // The icon at `index`, or an empty icon for an index the list does not have.
    QIcon Icon(int index) const;
    // The icon with a shortcut arrow for links, drawn at half strength for ghosted items.
    QIcon DecoratedIcon(int index, bool link, bool ghosted);

private:
    FileInfo InfoForMimeType(const QMimeType& mime, bool isFolder);
    int IndexFor(const QString& key, const std::function<QIcon()>& make);

    ImageSize size_;
    QFileIconProvider provider_;
    QMimeDatabase mimes_;
    std::vector<QIcon> icons_;
    QHash<QString, int> indexByKey_;
    QHash<QString, QIcon> decorated_;
};

}  // namespace zor
