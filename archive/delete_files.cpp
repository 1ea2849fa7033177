// delete_files.cpp - the delete step over the selection and the recursive emptying of folders.
#include "archive/delete_files.h"

#include "platform/directory_search.h"
#include "platform/file_attributes.h"
#include "platform/folders.h"

namespace zor {
namespace {

// A selection name that could reach beyond its folder is never acted on.
bool plainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

class Deleter {
public:
    explicit Deleter(OperationUi& ui) : ui_(ui) {}

    // `entry` describes `path`, whose last component is `name`.
    void remove(const std::string& path, const DirectoryEntry& entry) {
        if (entry.kind == DirectoryEntry::Kind::Folder && !entry.isLink) {
            emptyFolder(path + "/");
            removeFolder(path);
        } else {
            removeFile(path, entry);
        }
    }

private:
    void emptyFolder(const std::string& folder) {
        DirectorySearch search;
        if (!search.open(folder)) return;
        DirectoryEntry entry;
        while (search.next(entry)) remove(folder + entry.name, entry);
    }

    void removeFile(const std::string& path, const DirectoryEntry& entry) {
        if (!yesToAll_ && readOnlyOrHidden(path, entry)) {
            const QuestionAnswer answer = ui_.askQuestion(readOnlyOrHiddenQuestion(entry.name));
            if (answer == QuestionAnswer::All) yesToAll_ = true;
            else if (answer != QuestionAnswer::Yes) return;
        }
        // Unlinking needs no write permission on the file itself, so its
        // read-only mark is left as it is in case the deletion fails.
        deleteFile(path);
    }

    static bool readOnlyOrHidden(const std::string& path, const DirectoryEntry& entry) {
        if (!entry.name.empty() && entry.name[0] == '.') return true;
        if (entry.isLink) return false;  // a link has no write bits of its own
        const auto attributes = getAttributes(path);
        return attributes && (*attributes & kAttributeReadOnly);
    }

    OperationUi& ui_;
    bool yesToAll_ = false;  // the answer All covers the rest of the operation, sub-folders included
};

}  // namespace

std::string readOnlyOrHiddenQuestion(const std::string& name) {
    return "File " + name + " is read-only or hidden. Delete anyway ?";
}

OperationOutcome deleteSelectedItems(OperationContext& context, const ConfirmDeletion& confirm) {
    const WindowState& window = context.window;
    auto& selection = context.selection;
    OperationOutcome outcome = OperationOutcome::Succeeded;
    if (window.InArchive || (window.InForeignArchive && !selection.empty())) {
        context.ui.reportError(kDeleteInArchiveMessage, false);
        outcome = OperationOutcome::Failed;
    } else if (selection.empty()) {
        context.ui.reportError(kNothingToDeleteMessage, false);
        outcome = OperationOutcome::Failed;
    } else if (!confirm(kConfirmDeleteText)) {
        outcome = OperationOutcome::Cancelled;
    } else {
        Deleter deleter(context.ui);
        for (const SelectedItem& item : selection) {
            if (!plainName(item.name)) continue;
            const std::string path = item.folder.empty() ? item.name : item.folder + "/" + item.name;
            const DirectoryEntry entry = examinePath(path);
            if (entry.kind == DirectoryEntry::Kind::Missing && !entry.isLink) continue;
            deleter.remove(path, entry);
        }
    }
    selection.clear();
    return outcome;
}

}  // namespace zor
