// item_id_list.h - absolute identifiers of the places the folder view can show: the desktop, the computer, a path.
//
// The Linux shell namespace has two virtual levels above the file system, so that
// "Up" from "/" behaves like the classic desktop -> computer -> drive chain:
//
//   Desktop (special folder 0)        lists "Computer" and the user's home folder
//     Computer (special folder 17)    lists the mounted local volumes
//       "/" and every other path      real directories
//
// An identifier is a plain value; two identifiers are equal when they name the
// same place. Paths are kept absolute and clean ("/" has no parent path and
// its parent is the computer).
#pragma once

#include <QString>

namespace zor {

class ItemIdList {
public:
    enum class Kind { Desktop, Computer, FileSystem };

    // Special folder numbers understood by `FromSpecialFolder`.
    static constexpr int kDesktop = 0;
    static constexpr int kPersonal = 5;
    static constexpr int kDesktopDirectory = 16;
    static constexpr int kDrives = 17;
    static constexpr int kProfile = 40;

    ItemIdList() = default;  // the desktop
    static ItemIdList Desktop() { return ItemIdList(); }
    static ItemIdList Computer();
    // A file-system place; a relative path is taken from the current folder.
    static ItemIdList FromPath(const QString& path);
    // The place a special folder number names; the desktop for an unknown number.
    static ItemIdList FromSpecialFolder(int csidl);

    Kind kind() const { return kind_; }
    bool isFileSystem() const { return kind_ == Kind::FileSystem; }
    // The file-system path, empty for the virtual places.
    QString path() const { return path_; }
    // The identifier without its last element; the desktop is its own parent.
    ItemIdList parent() const;
    // The number of the first special folder this place matches, else -1.
    int specialFolder() const;
    // What a person calls this place: "Desktop", "Computer", or the last path component ("/" for the root).
    QString displayName() const;

    friend bool operator==(const ItemIdList&, const ItemIdList&) = default;

private:
    Kind kind_ = Kind::Desktop;
    QString path_;
};

}  // namespace zor
