// thread_equivalence_fuzz.cpp - unpacks or tests arbitrary bytes opened as an archive on one thread and on two to four.
//
// The thread count may change how fast an archive is read, never what the
// person gets: the files written (names, kinds, modes, bytes), every message,
// question and file label shown, and the outcome must be the same as on one
// thread. The action labels and the bars are left out: on damaged input the
// blocks of a large entry are decoded again on one thread, whose bars start
// over from the entry's beginning (sound entries show the same bars on any
// thread count; the engine's tests hold that).
//
// The first byte picks the operation (bit 7: test, else unpack) and 2 to 4
// threads, the second the answers to the overwrite questions (an archive may
// name a file twice); the rest is the archive. Blocks are decoded in parallel
// only in entries of 1 MiB of packed data or more, so the seeds are real
// archives of that size, and the mutator below flips bits in place instead
// of shifting the records. One operation per input, and inputs whose entries
// claim more than 32 MiB in all skipped, keep each run to a few seconds.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sys/stat.h>

#include "archive/archive_reader.h"
#include "archive/extraction.h"
#include "archive/testing.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr size_t kPrefix = 2;
constexpr uint64_t kMostRecordedBytes = uint64_t{32} << 20;

// Every message, question and file label the person would see, in order, as text.
class RecordingUi : public zor::fuzz::SilentUi {
public:
    explicit RecordingUi(uint8_t answers) : answers_(answers) {}

    std::vector<std::string> calls;

    void reportError(const std::string& text, bool fatal) override {
        SilentUi::reportError(text, fatal);
        calls.push_back((fatal ? "fatal " : "report ") + text);
    }
    zor::QuestionAnswer askQuestion(const std::string& label) override {
        calls.push_back("question " + label);
        return nextAnswer();
    }
    zor::QuestionAnswer askOverwrite(const std::string& path) override {
        calls.push_back("overwrite " + path);
        return nextAnswer();
    }
    bool confirmReadOnlyOverwrite(const std::string& text) override {
        calls.push_back("read-only " + text);
        return true;
    }
    std::optional<std::string> askDecryptPassword() override {
        calls.push_back("password");
        return SilentUi::askDecryptPassword();
    }
    void showProgress() override { calls.push_back("show"); }
    void hideProgress() override { calls.push_back("hide"); }
    void closeProgress() override { calls.push_back("close"); }
    void setCurrentFileLabel(const std::string& text) override { calls.push_back("file " + text); }
    void setCurrentFileNumber(int64_t number) override { calls.push_back("number " + std::to_string(number)); }
    void setTotalFiles(int64_t count) override { calls.push_back("files " + std::to_string(count)); }
    void setTotalDirectories(int64_t count) override { calls.push_back("folders " + std::to_string(count)); }

private:
    // Two bits per question for the first four (No, Yes, All, All), All after them.
    zor::QuestionAnswer nextAnswer() {
        const int choice = asked_ < 4 ? (answers_ >> (2 * asked_)) & 3 : 2;
        ++asked_;
        return choice == 0 ? zor::QuestionAnswer::No : choice == 1 ? zor::QuestionAnswer::Yes : zor::QuestionAnswer::All;
    }

    uint8_t answers_;
    int asked_ = 0;
};

// What an operation ends with and what it showed on the way.
struct Run {
    zor::OperationOutcome outcome;
    std::vector<std::string> calls;
    // Below the destination: path -> kind, permission bits and a file's bytes.
    std::map<std::string, std::string> tree;
};

std::map<std::string, std::string> treeBelow(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> tree;
    std::error_code error;
    if (!fs::exists(folder, error)) return tree;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        struct stat status {};
        if (::lstat(it->path().c_str(), &status) != 0) std::abort();
        std::string shown = std::to_string(status.st_mode) + " ";
        if (S_ISREG(status.st_mode)) {
            std::ifstream in(it->path(), std::ios::binary);
            shown.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        tree[fs::relative(it->path(), folder).string()] = shown;
    }
    return tree;
}

Run unpack(const std::string& archive, const std::string& destination, int32_t threads, uint8_t answers) {
    RecordingUi ui(answers);
    zor::OperationContext context(ui);
    context.window.ArchivePath = archive;
    context.settings.threads = threads;
    Run run{zor::ExtractArchive(context, destination), std::move(ui.calls), treeBelow(destination)};
    std::error_code ignored;
    std::filesystem::remove_all(destination, ignored);
    return run;
}

Run test(const std::string& archive, int32_t threads) {
    RecordingUi ui(0);
    zor::OperationContext context(ui);
    context.window.ArchivePath = archive;
    context.settings.threads = threads;
    return Run{zor::TestButtonClick(context), std::move(ui.calls), {}};
}

void requireSame(const Run& one, const Run& many) {
    if (one.outcome != many.outcome || one.calls != many.calls || one.tree != many.tree) std::abort();
}

// The bytes the archive's entries claim in all; nothing when its header is refused.
std::optional<uint64_t> recordedBytes(const std::string& archive) {
    zor::ArchiveReader reader;
    if (!reader.open(archive) || reader.readHeader()) return std::nullopt;
    uint64_t total = 0;
    zor::ArchiveEntry entry;
    while (reader.next(entry) == zor::ArchiveReader::Step::Entry) total += entry.record.size;
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kPrefix) return 0;
    const bool testing = data[0] & 0x80;
    const int32_t threads = 2 + (data[0] & 0x7F) % 3;
    const uint8_t answers = data[1];
    zor::fuzz::InputArchive input(data + kPrefix, size - kPrefix);
    const std::optional<uint64_t> claimed = recordedBytes(input.path());
    if (claimed && *claimed > kMostRecordedBytes) return 0;

    if (testing) {
        requireSame(test(input.path(), 1), test(input.path(), threads));
        return 0;
    }
    zor::fuzz::ScratchFolder scratch;
    const std::string destination = scratch.path() + "/dest";
    requireSame(unpack(input.path(), destination, 1, answers), unpack(input.path(), destination, threads, answers));
    return 0;
}

// Flips one to eight bits where the seed's records stay where they are;
// shifting bytes, as libFuzzer's own mutations do, would misplace every
// record after the change and make the rest of the archive unreadable. One
// time in eight the operation, thread count or answers change instead.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
    if (size == 0 || maxSize == 0) return 0;
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    auto next = [&x] {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        return x;
    };
    const uint64_t bits = next() % 8 == 0 ? std::min<uint64_t>(size, kPrefix) * 8 : uint64_t{size} * 8;
    const int flips = 1 + static_cast<int>(next() % 8);
    for (int i = 0; i < flips; ++i) {
        const uint64_t bit = next() % bits;
        data[bit / 8] = static_cast<uint8_t>(data[bit / 8] ^ (1u << (bit % 8)));
    }
    return size;
}
