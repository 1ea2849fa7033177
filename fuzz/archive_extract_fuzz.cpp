// archive_extract_fuzz.cpp - extracts arbitrary bytes opened as an archive into a scratch folder.
//
// Whatever the names and streams hold, extraction may only create plain
// folders and files inside the destination: afterwards the scratch folder
// must hold nothing but the destination, and the destination nothing but
// folders and regular files. A failure must be reported. Each written file is
// limited to a few MB (the write then fails as on a full disk), so that a
// small input that decodes to gigabytes stays quick.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>

#include "archive/extraction.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr rlim_t kFileSizeLimit = 1u << 20;

void limitFileSizes() {
    static const bool done = [] {
        std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
        const rlimit limit{kFileSizeLimit, kFileSizeLimit};
        return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }();
    (void)done;
}

void checkOnlyInside(const std::string& scratch, const std::string& destination) {
    namespace fs = std::filesystem;
    for (const auto& item : fs::directory_iterator(scratch)) {
        if (item.path() != destination) std::abort();
    }
    std::error_code error;
    if (!fs::exists(destination, error)) return;
    for (auto it = fs::recursive_directory_iterator(destination); it != fs::recursive_directory_iterator(); ++it) {
        const fs::file_status status = it->symlink_status();
        if (!fs::is_regular_file(status) && !fs::is_directory(status)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    limitFileSizes();
    zor::fuzz::InputArchive input(data, size);
    zor::fuzz::ScratchFolder scratch;
    const std::string destination = scratch.path() + "/dest";
    zor::fuzz::SilentUi ui;
    ui.allowWriteFailure = true;
    zor::OperationContext context(ui);
    context.window.ArchivePath = input.path();
    const zor::OperationOutcome outcome = zor::ExtractArchive(context, destination);
    if (outcome != zor::OperationOutcome::Succeeded && ui.reports == 0) std::abort();
    checkOnlyInside(scratch.path(), destination);
    return 0;
}
