// tree_walk.cpp - TotalLength over the selection and SizeDir down each folder.
//
// Folders are read through descriptors: each subfolder is opened by its
// name relative to its parent's descriptor (never following a link that
// was swapped in since it was listed) and read to its end at once, each
// entry examined by name relative to it. So no path is ever given to the
// system whole, and the walk reaches as deep and as far as the archive's
// names can go, paths longer than PATH_MAX included.
//
// The folders being walked form a stack. Only the innermost kOpenFolders
// of them keep their descriptors open, so a tree nested deeper than the
// process may open files still walks; a folder whose descriptor was
// closed is opened again, when the walk comes back up to it, as ".." of
// the child it comes back from. That costs one open per folder at most,
// and the folder opened is checked to be the one the walk left (same
// device and inode): when it is not (the tree was moved meanwhile), what
// the folder still held is reported as not packed.
#include "archive/tree_walk.h"

#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

#include "archive/entry_names.h"
#include "archive/file_messages.h"
#include "platform/directory_search.h"
#include "platform/regular_file.h"

namespace zor {
namespace {

// Longest path whose name length (with its zero byte) fits the record's signed 16-bit field.
constexpr std::size_t kLongestEntryName = 32766;
// Longest name the first ZOR programs read back: their path buffers held 2560 bytes with the zero.
constexpr std::size_t kLongestPortableName = 2559;
// Longest link target stored; longer ones are left out.
constexpr std::size_t kLongestLinkTarget = 65535;
// Folder descriptors the walk keeps open at once.
constexpr std::size_t kOpenFolders = 16;

// Why an entry that is neither a file nor a folder is not packed.
std::string notPackedKind(mode_t type) {
    switch (type) {
    case S_IFIFO: return "Not packed: it is a FIFO, neither a file nor a folder";
    case S_IFSOCK: return "Not packed: it is a socket, neither a file nor a folder";
    case S_IFCHR:
    case S_IFBLK: return "Not packed: it is a device, neither a file nor a folder";
    default: return "Not packed: it is neither a file nor a folder";
    }
}

// The names already listed in one folder, by their name in the archive, with
// the disk path that took each: two names that differ only in letter case
// become one name in the archive.
using ListedNames = std::unordered_map<std::string, std::string>;

class Walk {
public:
    Walk(OperationContext& context, const std::function<void(std::size_t)>& listed)
        : context_(context), ui_(context.ui), walk_(context.walk), listed_(listed) {}
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;
    ~Walk() {
        for (const Folder& folder : folders_) closeDescriptor(folder.fd);
    }

    void selectedItem(const SelectedItem& item) {
        const std::string diskPath = item.folder.empty() ? item.name : item.folder + "/" + item.name;
        const DirectoryEntry found = examinePath(diskPath);
        if (found.kind == DirectoryEntry::Kind::Folder) {
            const std::string path = item.name + "\\";
            if (!storable(path, diskPath) || !safeAtTop(path, diskPath, true)) return;
            const bool longNameReported = note(path, item.name, diskPath, selectedNames_, false, true);
            struct stat status {};
            ::stat(diskPath.c_str(), &status);
            enterFolder(path, diskPath, AT_FDCWD, diskPath, true, longNameReported, status);
            walkFolders();
        } else if (found.kind == DirectoryEntry::Kind::File) {
            // The item is opened for reading, as it will be at its turn, so
            // that one which cannot be is left out now.
            struct stat status {};
            const int fd = openRegularDescriptor(diskPath, status);
            if (fd < 0) return cannotOpenSelected(diskPath, errno);
            ::close(fd);
            if (!safeAtTop(item.name, diskPath, false)) return;
            DirectoryEntry opened = found;
            opened.size = static_cast<uint64_t>(status.st_size);
            opened.device = status.st_dev;
            opened.inode = status.st_ino;
            file(item.name, item.name, diskPath, opened, selectedNames_, false);
        } else if (found.kind == DirectoryEntry::Kind::Other) {
            leaveOut(diskPath, notPackedKind(found.type));
        } else {
            cannotOpenSelected(diskPath, found.error);
        }
    }

    bool stopped() const { return ui_.abortRequested() || !walk_.refusal.empty() || walk_.fatalReported; }

private:
    // One folder being walked: what it holds, read at once, and how far the walk is through it.
    struct Folder {
        std::string path;
        std::string diskPath;
        int fd = -1;  // -1 while closed to keep within kOpenFolders
        dev_t device = 0;
        ino_t inode = 0;
        std::vector<DirectoryEntry> entries;
        std::size_t next = 0;
        ListedNames names;
        bool longNameReported = false;  // its own long name was reported, which covers what it holds
    };

    // Lists the folder `path`, then opens it as `name` in the folder open as
    // `at` and reads what it holds onto the stack; SizeDir's first step.
    void enterFolder(const std::string& path, const std::string& diskPath, int at, const std::string& name,
                     bool followLink, bool longNameReported, const struct stat& status) {
        try {
            PackItem item = newItem(path, true, diskPath, 0);
            keepModeAndTime(item, status);
            list(std::move(item));
        } catch (const std::bad_alloc&) {
            ui_.reportError("Memory allocation error in SizeDir.", true);  // the folder's own item, not its contents
            walk_.fatalReported = true;
            return;
        }
        ++walk_.currentDepth;
        if (++walk_.folders % 20 == 0) ui_.setTotalDirectories(walk_.folders);
        const int fd = openFolder(at, name, followLink);
        const int error = errno;

        Folder folder;
        folder.path = path;
        folder.diskPath = diskPath;
        folder.longNameReported = longNameReported;
        DirectorySearch search;
        if (fd < 0 || !search.open(fd)) {
            leaveOut(diskPath, "The folder cannot be read; what it holds is not packed", fd < 0 ? error : search.error());
            closeDescriptor(fd);
            --walk_.currentDepth;
            return;
        }
        const DirectoryEntry self = examineDescriptor(fd);
        folder.device = self.device;
        folder.inode = self.inode;
        DirectoryEntry entry;
        while (search.next(entry)) folder.entries.push_back(std::move(entry));
        if (search.error() != 0) {
            leaveOut(diskPath, "The folder could not be read to its end; the rest of what it holds is not packed",
                     search.error());
        }
        folder.fd = fd;
        folders_.push_back(std::move(folder));
        if (folders_.size() > kOpenFolders) {
            Folder& far = folders_[folders_.size() - 1 - kOpenFolders];
            closeDescriptor(far.fd);
            far.fd = -1;
        }
    }

    // SizeDir's second step for every folder on the stack, innermost first.
    void walkFolders() {
        while (!folders_.empty()) {
            if (stopped()) {
                while (!folders_.empty()) leaveFolder(false);
                return;
            }
            Folder& folder = folders_.back();
            if (folder.next == folder.entries.size()) {
                leaveFolder(true);
                continue;
            }
            const DirectoryEntry entry = std::move(folder.entries[folder.next++]);
            visit(entry);
        }
    }

    // One entry of the innermost folder.
    void visit(const DirectoryEntry& entry) {
        Folder& parent = folders_.back();
        const std::string path = parent.path + entry.name;
        const std::string diskPath = parent.diskPath + "/" + entry.name;
        if (entry.isLink && !context_.plainArchive) return link(path, entry.name, diskPath, parent);
        switch (entry.kind) {
        case DirectoryEntry::Kind::Folder: {
            // A link to a folder is not followed: it could lead back up and never end.
            if (entry.isLink) return leaveOut(diskPath, "Not packed: it is a link to a folder");
            if (!storable(path + "\\", diskPath)) return;
            const bool longNameReported =
                note(path + "\\", entry.name, diskPath, parent.names, parent.longNameReported, true);
            struct stat status {};
            ::fstatat(parent.fd, entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW);
            enterFolder(path + "\\", diskPath, parent.fd, entry.name, false, longNameReported, status);
            return;
        }
        case DirectoryEntry::Kind::File:
            if (entry.isLink) leaveOut(diskPath, "Packed as the file it points to, not as a link");
            return file(path, entry.name, diskPath, entry, parent.names, parent.longNameReported);
        case DirectoryEntry::Kind::Other:
            return leaveOut(diskPath, notPackedKind(entry.type));
        case DirectoryEntry::Kind::Missing:
            return leaveOut(diskPath, entry.isLink ? "Not packed: what the link points to cannot be examined"
                                                   : "Not packed: it cannot be examined",
                            entry.error);
        }
    }

    // SizeDir's end: the innermost folder is done. With `reopen`, the folder
    // it goes back to is opened again if its descriptor was closed.
    void leaveFolder(bool reopen) {
        Folder& done = folders_.back();
        int parentFd = -1;
        int error = 0;
        const bool parentClosed = folders_.size() > 1 && folders_[folders_.size() - 2].fd < 0;
        if (reopen && parentClosed && done.fd >= 0) {
            const Folder& parent = folders_[folders_.size() - 2];
            parentFd = openFolder(done.fd, "..", false);
            error = errno;
            if (parentFd >= 0) {
                const DirectoryEntry opened = examineDescriptor(parentFd);
                if (opened.device != parent.device || opened.inode != parent.inode) {
                    closeDescriptor(parentFd);
                    parentFd = -1;
                    error = 0;
                }
            }
        }
        closeDescriptor(done.fd);
        folders_.pop_back();
        --walk_.currentDepth;
        if (!reopen || !parentClosed) return;
        Folder& parent = folders_.back();
        parent.fd = parentFd;
        if (parentFd < 0 && parent.next < parent.entries.size()) {
            leaveOut(parent.diskPath, "The folder moved while it was read; the rest of what it holds is not packed", error);
            parent.next = parent.entries.size();
        }
    }

    void file(const std::string& path, const std::string& name, const std::string& diskPath, const DirectoryEntry& found,
              ListedNames& names, bool longNameReported) {
        if (walk_.hasExcludedFile && found.device == walk_.excludedDevice && found.inode == walk_.excludedInode) {
            return leaveOut(diskPath, "Not packed: it is the archive being written");
        }
        if (!storable(path, diskPath)) return;
        if (found.size > std::numeric_limits<uint32_t>::max()) {
            walk_.refusal = "File " + diskPath + " is 4 GiB or larger; a ZOR archive cannot hold it.";
            return;
        }
        walk_.bytes += found.size;
        if (walk_.bytes > std::numeric_limits<uint32_t>::max()) {
            walk_.refusal = "The selection holds more than 4.294.967.295 bytes; a ZOR archive cannot hold it.";
            return;
        }
        note(path, name, diskPath, names, longNameReported, false);
        list(newItem(path, false, diskPath, found.size));
        if (++walk_.files % 50 == 0) ui_.setTotalFiles(walk_.files);
    }

    // A link inside a packed folder, stored as a link: its target text is the entry's data.
    void link(const std::string& path, const std::string& name, const std::string& diskPath, Folder& parent) {
        if (!storable(path, diskPath)) return;
        struct stat status {};
        if (::fstatat(parent.fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(status.st_mode)) {
            return leaveOut(diskPath, "Not packed: the link cannot be examined", errno);
        }
        std::string target(kLongestLinkTarget + 1, '\0');
        const ssize_t length = ::readlinkat(parent.fd, name.c_str(), target.data(), target.size());
        if (length <= 0 || std::size_t(length) > kLongestLinkTarget) {
            return leaveOut(diskPath, "Not packed: the link cannot be read", length < 0 ? errno : ENAMETOOLONG);
        }
        target.resize(std::size_t(length));
        walk_.bytes += target.size();
        if (walk_.bytes > std::numeric_limits<uint32_t>::max()) {
            walk_.refusal = "The selection holds more than 4.294.967.295 bytes; a ZOR archive cannot hold it.";
            return;
        }
        note(path, name, diskPath, parent.names, parent.longNameReported, false);
        PackItem item = newItem(path, false, diskPath, target.size());
        keepModeAndTime(item, status);
        item.isLink = 1;
        item.linkTarget = std::move(target);
        list(std::move(item));
        if (++walk_.files % 50 == 0) ui_.setTotalFiles(walk_.files);
    }

    PackItem newItem(const std::string& path, bool isFolder, const std::string& diskPath, uint64_t size) const {
        PackItem item;
        item.path = path;
        item.isFolder = isFolder ? 1 : 0;
        item.depth = walk_.currentDepth;
        item.diskPath = diskPath;
        item.size = size;
        return item;
    }

    static void keepModeAndTime(PackItem& item, const struct stat& status) {
        item.mode = static_cast<uint16_t>(status.st_mode & 0777);
        item.seconds = status.st_mtim.tv_sec;
        item.nanoseconds = static_cast<uint32_t>(status.st_mtim.tv_nsec);
    }

    void list(PackItem item) {
        context_.items.push_back(std::move(item));
        if (listed_) listed_(context_.items.size() - 1);
    }

    // Reports and refuses a name that would not read back as it is on disk.
    bool storable(const std::string& path, const std::string& diskPath) {
        const std::string lastName = diskPath.substr(diskPath.rfind('/') + 1);
        if (lastName.find('\\') != std::string::npos) {
            ++walk_.leftOut;
            ui_.reportError("The name of " + diskPath + " holds \"\\\" and cannot be stored; it is left out.", false);
            return false;
        }
        if (path.size() > kLongestEntryName) {
            ++walk_.leftOut;
            ui_.reportError("The path " + diskPath + " is too long to be stored; it is left out.", false);
            return false;
        }
        return true;
    }

    // Refuses a selected item whose name extraction would refuse (a drive
    // such as "c:foo"). Names inside folders cannot be such: a directory
    // search yields no "." or "..", and a drive counts only at the start.
    bool safeAtTop(const std::string& path, const std::string& diskPath, bool isFolder) {
        const auto unsafe = unsafeEntryNameReason(toEntryName(path), isFolder);
        if (unsafe) leaveOut(diskPath, "Not packed: extraction would refuse its name, as " + *unsafe);
        return !unsafe;
    }

    // What the person should know of an item about to be listed as `path`
    // (whose last component on disk is `name`): another item of its folder
    // takes the same name in the archive (both are stored, but only one can
    // be extracted; a file and a folder collide too), or its name is longer
    // than older programs read (reported once for a folder and all it
    // holds). True when the long name was reported here or above.
    bool note(const std::string& path, const std::string& name, const std::string& diskPath, ListedNames& names,
              bool longNameReported, bool isFolder) {
        // With exact names in the archive both come back under their own names.
        const auto [taken, added] = names.try_emplace(toEntryName(name), diskPath);
        if (!added && taken->second != diskPath && context_.plainArchive) {
            ++walk_.leftOut;
            walk_.omissions.push_back(taken->second + " and " + diskPath + " have the same name in the archive: " +
                                      toEntryName(path));
        }
        if (longNameReported || path.size() <= kLongestPortableName) return longNameReported;
        walk_.omissions.push_back(aboutFile(
            diskPath, isFolder ? "Packed, but its name in the archive and those of all it holds are longer than 2559 "
                                 "bytes, more than older ZOR programs can extract"
                               : "Packed, but its name in the archive is longer than 2559 bytes, more than older ZOR "
                                 "programs can extract"));
        return true;
    }

    // The walk's message for a selected item that cannot be opened, with its path and the reason.
    void cannotOpenSelected(const std::string& diskPath, int error) {
        ++walk_.leftOut;
        ui_.reportError(aboutFile(diskPath, kCannotOpenForLengthMessage, error), false);
    }

    void leaveOut(const std::string& diskPath, const std::string& why, int error = 0) {
        ++walk_.leftOut;
        walk_.omissions.push_back(aboutFile(diskPath, why, error));
    }

    static void closeDescriptor(int fd) {
        if (fd >= 0) ::close(fd);
    }

    OperationContext& context_;
    OperationUi& ui_;
    WalkTotals& walk_;
    const std::function<void(std::size_t)>& listed_;
    std::vector<Folder> folders_;  // the folders being walked, outermost first
    ListedNames selectedNames_;    // the selected items' names
};

}  // namespace

void TotalLength(OperationContext& context, const std::function<void(std::size_t)>& listed) {
    context.walk.files = 0;
    context.walk.folders = 0;
    context.walk.bytes = 0;
    context.walk.currentDepth = 0;
    context.walk.refusal.clear();
    context.walk.fatalReported = false;
    context.walk.leftOut = 0;
    context.walk.omissions.clear();
    Walk walk(context, listed);
    try {
        for (const SelectedItem& item : context.selection) {
            walk.selectedItem(item);
            if (walk.stopped()) break;
        }
    } catch (const std::bad_alloc&) {
        context.ui.reportError("Memory allocation error in TotalLength.", true);
        context.walk.fatalReported = true;
    }
    context.walk.currentDepth = 0;
}

}  // namespace zor
