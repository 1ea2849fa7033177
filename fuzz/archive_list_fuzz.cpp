// archive_list_fuzz.cpp - opens arbitrary bytes as an archive and lists every folder level it reaches.
//
// Opening must accept or refuse with one of the header's messages; an
// accepted archive is listed at its top level and then, breadth first, in
// every folder the listings show, as a person double-clicking through it
// would. Each listing must hold only rows of the folder shown, sorted, and
// never more rows than the archive has entries.
#include <algorithm>
#include <cstdlib>
#include <deque>

#include "archive/archive_listing.h"
#include "fuzz/fuzz_support.h"

namespace {

// Enough to reach every folder of any small input, few enough to keep one input fast.
constexpr int kMaxListings = 64;

void checkRows(const std::vector<zor::ArchiveListRow>& rows, const std::string& folder, int level) {
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0 && rows[i].caption < rows[i - 1].caption) std::abort();
        // A top-level folder row is shown by its whole name, whatever its stored parent path.
        if (!(level == 0 && rows[i].isFolder) && rows[i].parentPath != folder) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zor::fuzz::InputArchive input(data, size);
    const zor::ArchiveCheck check = zor::checkArchiveFile(input.path());
    if (check.result != zor::ArchiveCheck::Result::Accepted) {
        if (check.message.empty()) std::abort();
        return 0;
    }
    zor::fuzz::SilentUi ui;
    zor::OperationContext context(ui);
    zor::enterArchive(context, input.path(), check);

    std::deque<std::pair<std::string, int>> folders{{"", 0}};
    for (int listings = 0; !folders.empty() && listings < kMaxListings; ++listings) {
        const auto [folder, level] = folders.front();
        folders.pop_front();
        context.window.currentArchiveFolder = folder;
        context.window.ArchiveLevel = level;
        const auto listing = zor::ListArchiveFolder(context, [](const std::string&) {});
        if (!listing) {
            if (ui.reports == 0) std::abort();  // a failed listing always says why
            return 0;
        }
        const uint64_t rows = listing->folders.size() + listing->files.size();
        if (rows > uint64_t(check.header.entryCount())) std::abort();
        checkRows(listing->folders, folder, level);
        checkRows(listing->files, folder, level);
        for (const auto& row : listing->folders) {
            zor::WindowState next = context.window;
            zor::enterArchiveFolder(next, row.caption);
            folders.emplace_back(next.currentArchiveFolder, next.ArchiveLevel);
        }
    }
    return 0;
}
