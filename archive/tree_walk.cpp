// tree_walk.cpp - TotalLength over the selection and SizeDir down each folder.
#include "archive/tree_walk.h"

#include <limits>
#include <new>
#include <utility>

#include "platform/directory_search.h"

namespace zor {
namespace {

// Longest path whose name length (with its zero byte) fits the record's signed 16-bit field.
constexpr std::size_t kLongestEntryName = 32766;

class Walk {
public:
    Walk(OperationContext& context, const std::function<void(std::size_t)>& listed)
        : context_(context), ui_(context.ui), walk_(context.walk), listed_(listed) {}

    void selectedItem(const SelectedItem& item) {
        const std::string diskPath = item.folder.empty() ? item.name : item.folder + "/" + item.name;
        const DirectoryEntry found = examinePath(diskPath);
        if (found.kind == DirectoryEntry::Kind::Folder) {
            if (storable(item.name + "\\", diskPath)) SizeDir(item.name + "\\", diskPath);
            return;
        }
        if (found.kind != DirectoryEntry::Kind::File) {
            ui_.reportError(kCannotOpenForLengthMessage, false);
            return;
        }
        file(item.name, diskPath, found);
    }

    bool stopped() const { return ui_.abortRequested() || !walk_.refusal.empty() || walk_.fatalReported; }

private:
    void SizeDir(const std::string& path, const std::string& diskPath) {
        list({path, 1, walk_.currentDepth, diskPath, 0});
        ++walk_.currentDepth;
        if (++walk_.folders % 20 == 0) ui_.setTotalDirectories(walk_.folders);
        DirectorySearch search;
        DirectoryEntry entry;
        if (search.open(diskPath)) {
            while (!stopped() && search.next(entry)) {
                const std::string childPath = path + entry.name;
                const std::string childDiskPath = diskPath + "/" + entry.name;
                if (entry.kind == DirectoryEntry::Kind::Folder) {
                    if (!entry.isLink && storable(childPath + "\\", childDiskPath)) SizeDir(childPath + "\\", childDiskPath);
                } else if (entry.kind == DirectoryEntry::Kind::File) {
                    file(childPath, childDiskPath, entry);
                }
            }
        }
        --walk_.currentDepth;
    }

    void file(const std::string& path, const std::string& diskPath, const DirectoryEntry& found) {
        if (walk_.hasExcludedFile && found.device == walk_.excludedDevice && found.inode == walk_.excludedInode) return;
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
        list({path, 0, walk_.currentDepth, diskPath, found.size});
        if (++walk_.files % 50 == 0) ui_.setTotalFiles(walk_.files);
    }

    void list(PackItem item) {
        context_.items.push_back(std::move(item));
        if (listed_) listed_(context_.items.size() - 1);
    }

    // Reports and refuses a name that would not read back as it is on disk.
    bool storable(const std::string& path, const std::string& diskPath) {
        const std::string lastName = diskPath.substr(diskPath.rfind('/') + 1);
        if (lastName.find('\\') != std::string::npos) {
            ui_.reportError("The name of " + diskPath + " holds \"\\\" and cannot be stored; it is left out.", false);
            return false;
        }
        if (path.size() > kLongestEntryName) {
            ui_.reportError("The path " + diskPath + " is too long to be stored; it is left out.", false);
            return false;
        }
        return true;
    }

    OperationContext& context_;
    OperationUi& ui_;
    WalkTotals& walk_;
    const std::function<void(std::size_t)>& listed_;
};

}  // namespace

void TotalLength(OperationContext& context, const std::function<void(std::size_t)>& listed) {
    context.walk.files = 0;
    context.walk.folders = 0;
    context.walk.bytes = 0;
    context.walk.currentDepth = 0;
    context.walk.refusal.clear();
    context.walk.fatalReported = false;
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
