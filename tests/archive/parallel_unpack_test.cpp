// parallel_unpack_test.cpp - extraction and testing on several threads: the same files, the same calls the person sees, the same questions, no thread left behind.
#include <dirent.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "archive/archive_listing.h"
#include "archive/archive_reader.h"
#include "archive/entry_names.h"
#include "archive/testing.h"
#include "tests/archive/archive_fixture.h"

namespace zor::test {
namespace {

// Every call the person would see, in order, as text.
class CallLog : public ScriptedUi {
public:
    std::vector<std::string> calls;

    void reportError(const std::string& text, bool fatal) override {
        ScriptedUi::reportError(text, fatal);
        calls.push_back("report " + text);
    }
    void setActionLabel(const std::string& text) override { calls.push_back("label " + text); }
    void setProgressBars(int file, int total) override {
        calls.push_back("bars " + std::to_string(file) + " " + std::to_string(total));
    }
    QuestionAnswer askQuestion(const std::string& label) override {
        calls.push_back("question " + label);
        return ScriptedUi::askQuestion(label);
    }
    bool confirmReadOnlyOverwrite(const std::string& text) override {
        calls.push_back("read-only " + text);
        return ScriptedUi::confirmReadOnlyOverwrite(text);
    }
    void showProgress() override { calls.push_back("show"); }
    void hideProgress() override { calls.push_back("hide"); }
    void closeProgress() override { calls.push_back("close"); }
    void setCurrentFileLabel(const std::string& text) override {
        ScriptedUi::setCurrentFileLabel(text);
        calls.push_back("file " + text);
    }
    void setCurrentFileNumber(int64_t number) override { calls.push_back("number " + std::to_string(number)); }
};

// The testing driver sets the bars after every portion and decoding ahead
// sets them once for a run of portions; only the last setting is ever seen.
std::vector<std::string> lastBarsOfEachRun(const std::vector<std::string>& calls) {
    std::vector<std::string> kept;
    for (const std::string& call : calls) {
        if (call.starts_with("bars ") && !kept.empty() && kept.back().starts_with("bars ")) kept.pop_back();
        kept.push_back(call);
    }
    return kept;
}


struct FileState {
    std::string content;
    mode_t mode = 0;
    std::time_t time = 0;
    bool operator==(const FileState&) const = default;
};

// Every file and folder below `root`: contents, permission bits and times.
std::map<std::string, FileState> treeOf(const std::string& root) {
    std::map<std::string, FileState> tree;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        struct stat status {};
        ::lstat(item.path().c_str(), &status);
        FileState state{item.is_regular_file() ? readFile(item.path()) : "<dir>", status.st_mode & 07777,
                        item.is_regular_file() ? status.st_mtime : 0};
        tree[std::filesystem::relative(item.path(), root).string()] = state;
    }
    return tree;
}

class ParallelUnpack : public ArchiveFixture {
protected:
    struct Run {
        OperationOutcome outcome = OperationOutcome::Failed;
        std::vector<std::string> calls;
        int threadsAfter = 0;
    };

    // Many small files (names from 0 to count - 1), an empty one and an empty folder under tree/.
    void writeSmallTree(int count) {
        for (int i = 0; i < count; ++i) {
            writeFile(folder / ("tree/d" + std::to_string(i % 7) + "/f" + std::to_string(i)),
                      wordsText(100 + (i * 977) % 9000, static_cast<uint32_t>(i)));
        }
        writeFile(folder / "tree/empty", "");
        std::filesystem::create_directories(folder / "tree/nothing");
    }

    // Flips a byte in the middle of the data of the index-th entry.
    void damageEntry(const std::string& archive, int index, uint64_t at = UINT64_MAX, uint8_t mask = 0x55) {
        const ArchiveEntry entry = entryAt(archive, index);
        std::string bytes = readFile(archive);
        bytes[entry.dataOffset + (at == UINT64_MAX ? entry.record.packedSize / 2 : at)] ^= static_cast<char>(mask);
        writeFile(archive, bytes);
    }

    // Stores a smaller size in the index-th entry's record than its stream holds.
    void understateSize(const std::string& archive, int index) {
        const ArchiveEntry entry = entryAt(archive, index);
        std::string bytes = readFile(archive);
        bytes[entry.offset + 8] = 1;
        bytes[entry.offset + 9] = bytes[entry.offset + 10] = bytes[entry.offset + 11] = 0;
        writeFile(archive, bytes);
    }

    // The index-th file entry with data.
    static ArchiveEntry entryAt(const std::string& archive, int index) {
        ArchiveReader reader;
        EXPECT_TRUE(reader.open(archive));
        EXPECT_FALSE(reader.readHeader());
        ArchiveEntry entry;
        for (int files = -1; files < index;) {
            if (reader.next(entry) != ArchiveReader::Step::Entry) ADD_FAILURE() << "no entry " << index;
            if (entry.record.packedSize > 0) ++files;
        }
        return entry;
    }

    Run extractWith(int threads, const std::string& archive, const std::string& destination,
                    const std::function<void(CallLog&)>& script = {}) {
        return runWith(threads, archive, script, [&](OperationContext& c) { return ExtractArchive(c, destination); });
    }

    // The messages of a run, in order.
    static std::vector<std::string> reportsOf(const Run& run) {
        std::vector<std::string> reports;
        for (const std::string& call : run.calls)
            if (call.starts_with("report ")) reports.push_back(call.substr(7));
        return reports;
    }

    Run testWith(int threads, const std::string& archive, const std::function<void(CallLog&)>& script = {}) {
        return runWith(threads, archive, script, [](OperationContext& c) { return TestButtonClick(c); });
    }

    Run runWith(int threads, const std::string& archive, const std::function<void(CallLog&)>& script,
                const std::function<OperationOutcome(OperationContext&)>& operation) {
        CallLog log;
        log.passwords = {std::string("secret")};
        if (script) script(log);
        OperationContext run(log);
        run.settings.threads = threads;
        run.window.ArchivePath = archive;
        run.window.TempPath = folder.path() + "/";
        Run result;
        result.outcome = operation(run);
        result.threadsAfter = threadsOfThisProcess();
        result.calls = std::move(log.calls);
        return result;
    }
};

class ParallelUnpackTrees : public ParallelUnpack, public testing::WithParamInterface<bool> {};

TEST_P(ParallelUnpackTrees, ExtractedTreesAndTestsAreTheSameForOneTwoAndFourThreads) {
    const bool protectedArchive = GetParam();
    writeSmallTree(150);
    writeFile(folder / "tree/d3/multi-block.txt", wordsText(2300000, 99));  // three blocks, decoded ahead with 4 threads
    writeFile(folder / "last.bin", noiseBytes(1150000, 5));  // its blocks in parallel when not enciphered
    ::chmod((folder / "tree/d1/f8").c_str(), 0444);
    setTime(folder / "tree/d2/f9", 1500000000);
    if (protectedArchive) context.packingPassword = "secret";
    ASSERT_EQ(pack(folder / "t.zor", {"tree", "last.bin"}), OperationOutcome::Succeeded);

    const Run one = extractWith(1, folder / "t.zor", folder / "out");
    ASSERT_EQ(one.outcome, OperationOutcome::Succeeded);
    const auto expected = treeOf(folder / "out");
    EXPECT_EQ(expected.at("tree/d3/multi-block.txt").content, wordsText(2300000, 99));
    EXPECT_EQ(expected.at("last.bin").content, noiseBytes(1150000, 5));
    EXPECT_EQ(expected.at("tree/empty").content, "");
    const Run testedOnce = testWith(1, folder / "t.zor");
    ASSERT_EQ(testedOnce.outcome, OperationOutcome::Succeeded);

    for (int threads : {2, 4}) {
        std::filesystem::remove_all(folder / "out");
        const Run run = extractWith(threads, folder / "t.zor", folder / "out");
        EXPECT_EQ(run.outcome, OperationOutcome::Succeeded) << threads << " threads";
        EXPECT_TRUE(treeOf(folder / "out") == expected) << threads << " threads";
        const Run tested = testWith(threads, folder / "t.zor");
        EXPECT_EQ(tested.outcome, OperationOutcome::Succeeded) << threads << " threads";
        if (protectedArchive) {
            // Nothing here is decoded block-parallel, so every call is the one-thread run's.
            EXPECT_EQ(run.calls, one.calls) << threads << " threads";
            EXPECT_EQ(lastBarsOfEachRun(tested.calls), lastBarsOfEachRun(testedOnce.calls)) << threads << " threads";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndProtected, ParallelUnpackTrees, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Protected" : "Plain"; });

TEST_F(ParallelUnpack, DamagedEntriesGiveTheOneThreadMessagesInTheSameOrder) {
    writeSmallTree(60);
    ASSERT_EQ(pack(folder / "t.zor", {"tree"}), OperationOutcome::Succeeded);
    damageEntry(folder / "t.zor", 10);             // a CRC or data error inside the stream
    damageEntry(folder / "t.zor", 25, 0, 0xFF);    // not a stream at all: the driver says nothing
    understateSize(folder / "t.zor", 40);          // more bytes than the record says: more than a worker holds
    damageEntry(folder / "t.zor", 55, 5, 0x01);    // a damaged block header

    const Run extractedOnce = extractWith(1, folder / "t.zor", folder / "out");
    const Run testedOnce = testWith(1, folder / "t.zor");
    ASSERT_EQ(extractedOnce.outcome, OperationOutcome::Failed);
    ASSERT_EQ(testedOnce.outcome, OperationOutcome::Failed);
    const auto expected = treeOf(folder / "out");
    for (int threads : {2, 4}) {
        std::filesystem::remove_all(folder / "out");
        const Run extracted = extractWith(threads, folder / "t.zor", folder / "out");
        EXPECT_EQ(extracted.outcome, extractedOnce.outcome);
        EXPECT_EQ(extracted.calls, extractedOnce.calls) << threads << " threads";
        EXPECT_TRUE(treeOf(folder / "out") == expected) << threads << " threads";
        const Run tested = testWith(threads, folder / "t.zor");
        EXPECT_EQ(tested.outcome, testedOnce.outcome);
        EXPECT_EQ(lastBarsOfEachRun(tested.calls), lastBarsOfEachRun(testedOnce.calls)) << threads << " threads";
    }
}

TEST_F(ParallelUnpack, DamagedLargeEntriesAreReportedAsOnOneThread) {
    writeSmallTree(5);
    writeFile(folder / "first.bin", noiseBytes(1150000, 9));  // large entries are decoded block-parallel
    writeFile(folder / "last.bin", noiseBytes(1150000, 8));
    ASSERT_EQ(pack(folder / "t.zor", {"first.bin", "tree", "last.bin"}), OperationOutcome::Succeeded);
    damageEntry(folder / "t.zor", 0);
    damageEntry(folder / "t.zor", 6);

    const Run extractedOnce = extractWith(1, folder / "t.zor", folder / "out");
    const auto expected = treeOf(folder / "out");
    const Run testedOnce = testWith(1, folder / "t.zor");
    ASSERT_FALSE(reportsOf(extractedOnce).empty());
    std::filesystem::remove_all(folder / "out");
    const Run extracted = extractWith(2, folder / "t.zor", folder / "out");
    EXPECT_EQ(extracted.outcome, extractedOnce.outcome);
    EXPECT_EQ(reportsOf(extracted), reportsOf(extractedOnce));
    EXPECT_TRUE(treeOf(folder / "out") == expected);
    const Run tested = testWith(2, folder / "t.zor");
    EXPECT_EQ(tested.outcome, testedOnce.outcome);
    EXPECT_EQ(reportsOf(tested), reportsOf(testedOnce));
}

TEST_F(ParallelUnpack, AnEntryDecodesToItsRecordedSizeOrIsCorrupt) {
    const std::string zeros(10 << 20, '\0');
    const std::string noise = noiseBytes(1150000, 3);  // decoded block-parallel on two threads
    writeFile(folder / "zeros", zeros);
    writeFile(folder / "hello", "hello");
    writeFile(folder / "noise", noise);
    ASSERT_EQ(pack(folder / "sources.zor", {"zeros", "hello", "noise"}), OperationOutcome::Succeeded);
    auto streamOf = [&](int index) {
        const ArchiveEntry entry = entryAt(folder / "sources.zor", index);
        return readFile(folder / "sources.zor").substr(entry.dataOffset, entry.record.packedSize);
    };
    const std::string streams[] = {streamOf(0), streamOf(1), streamOf(2)};
    const std::string contents[] = {zeros, "hello", noise};
    const std::string longer = "Decompressed data longer than the recorded size";
    const std::string shorter = "Decompressed data shorter than the recorded size";
    struct Case {
        const char* what;
        int source;
        uint32_t size;
        const std::string& message;
    };
    const Case cases[] = {
        {"10 MB of zeros recorded as 10 bytes", 0, 10, longer},
        {"10 MB of zeros recorded one byte short", 0, (10 << 20) - 1, longer},
        {"5 bytes recorded as 4 GiB - 1", 1, 0xFFFFFFFFu, shorter},
        {"5 bytes recorded as 4", 1, 4, longer},
        {"5 bytes recorded as 6", 1, 6, shorter},
        {"1.1 MB recorded as 1000 bytes", 2, 1000, longer},
        {"1.1 MB recorded one byte more", 2, 1150001, shorter},
    };
    for (const Case& c : cases) {
        writeHandArchive(folder / "x.zor", {{"x", false, streams[c.source], c.size, 0}});
        for (int threads : {1, 2}) {
            const std::string where = std::string(c.what) + ", " + std::to_string(threads) + " threads";
            std::filesystem::remove_all(folder / "out");
            const Run extracted = extractWith(threads, folder / "x.zor", folder / "out");
            EXPECT_EQ(extracted.outcome, OperationOutcome::Failed) << where;
            const std::vector<std::string> reports = reportsOf(extracted);
            // The driver's text, naming the file being written.
            EXPECT_NE(std::find(reports.begin(), reports.end(), (folder / "out/x: ") + c.message), reports.end()) << where;
            // Whatever is kept of the file is its start, and never more than the record says.
            const std::string written = exists(folder / "out/x") ? readFile(folder / "out/x") : "";
            EXPECT_LE(written.size(), c.size) << where;
            EXPECT_TRUE(contents[c.source].starts_with(written)) << where;

            const Run tested = testWith(threads, folder / "x.zor");
            EXPECT_EQ(tested.outcome, OperationOutcome::Failed) << where;
            EXPECT_EQ(reportsOf(tested), (std::vector<std::string>{c.message, "x is corrupt"})) << where;
        }
    }
}

TEST_F(ParallelUnpack, ADepthThatDisagreesWithTheNameMakesTheArchiveCorruptForEveryReader) {
    writeFile(folder / "x", "payload");
    ASSERT_EQ(pack(folder / "one.zor", {"x"}), OperationOutcome::Succeeded);
    const std::string stream = storedStreamOf(folder / "one.zor");
    struct Case {
        const char* what;
        std::vector<HandEntry> entries;
    };
    const Case cases[] = {
        // Hidden from the listing of d\, yet extracted by name.
        {"a file inside a folder at depth 0", {{"d\\", true, "", 0, 0}, {"d\\x", false, stream, 7, 0}}},
        {"a top-level file at depth 1", {{"x", false, stream, 7, 1}}},
        {"a folder that counts its final separator", {{"d\\", true, "", 0, 1}}},
        {"a negative depth", {{"x", false, stream, 7, -1}}},
    };
    for (const Case& c : cases) {
        writeHandArchive(folder / "bad.zor", c.entries);
        ui.reports.clear();
        context.window.InArchive = 1;
        context.window.ArchiveLevel = 0;
        context.window.ArchivePath = folder / "bad.zor";
        EXPECT_FALSE(ListArchiveFolder(context)) << c.what;
        EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{kCorruptArchiveMessage}) << c.what;
        for (int threads : {1, 2}) {
            const std::string where = std::string(c.what) + ", " + std::to_string(threads) + " threads";
            std::filesystem::remove_all(folder / "out");
            const Run extracted = extractWith(threads, folder / "bad.zor", folder / "out");
            EXPECT_EQ(extracted.outcome, OperationOutcome::Failed) << where;
            EXPECT_EQ(reportsOf(extracted), std::vector<std::string>{kCorruptArchiveMessage}) << where;
            EXPECT_FALSE(exists(folder / "out/x") || exists(folder / "out/d/x")) << where;
            const Run tested = testWith(threads, folder / "bad.zor");
            EXPECT_EQ(tested.outcome, OperationOutcome::Failed) << where;
            EXPECT_EQ(reportsOf(tested), std::vector<std::string>{kCorruptArchiveMessage}) << where;
        }
    }
}

TEST_F(ParallelUnpack, OverwriteQuestionsComeInTheSameOrderWithTheSameEffect) {
    writeSmallTree(40);
    ASSERT_EQ(pack(folder / "t.zor", {"tree"}), OperationOutcome::Succeeded);
    auto prepare = [&] {
        std::filesystem::remove_all(folder / "out");
        ASSERT_EQ(extractWith(1, folder / "t.zor", folder / "out").outcome, OperationOutcome::Succeeded);
        for (int i : {3, 4, 11, 12, 20, 33}) {
            const std::string mine = folder / ("out/tree/d" + std::to_string(i % 7) + "/f" + std::to_string(i));
            writeFile(mine, "mine");
            setTime(mine);  // the files kept must look the same in every run
        }
        ::chmod((folder / "out/tree/d5/f12").c_str(), 0444);
        ::chmod((folder / "out/tree/d6/f20").c_str(), 0444);
        std::filesystem::remove(folder / "out/tree/d0/f7");
    };
    // Yes, No, and then... each existing file is asked about until All; read-only ones always.
    auto answers = [](CallLog& log) {
        log.questionAnswers = {QuestionAnswer::Yes, QuestionAnswer::No, QuestionAnswer::Yes, QuestionAnswer::No,
                               QuestionAnswer::All};
        log.readOnlyAnswers = {false, true};
    };
    prepare();
    const Run one = extractWith(1, folder / "t.zor", folder / "out", answers);
    const auto expected = treeOf(folder / "out");
    ASSERT_EQ(one.outcome, OperationOutcome::Succeeded);
    for (int threads : {2, 4}) {
        prepare();
        const Run run = extractWith(threads, folder / "t.zor", folder / "out", answers);
        EXPECT_EQ(run.calls, one.calls) << threads << " threads";
        EXPECT_TRUE(treeOf(folder / "out") == expected) << threads << " threads";
    }
}

TEST_F(ParallelUnpack, AbortEndsExtractionAndTestingWithNoThreadLeftBehind) {
    writeSmallTree(80);
    writeFile(folder / "tree/d4/large.txt", wordsText(1500000, 7));
    ASSERT_EQ(pack(folder / "t.zor", {"tree"}), OperationOutcome::Succeeded);
    const int threadsBefore = threadsOfThisProcess();
    const ArchiveEntry middle = entryAt(folder / "t.zor", 40);
    const std::string shown = folder / ("out/" + toDiskPath(middle.name));

    const Run extracted = extractWith(4, folder / "t.zor", folder / "out", [&](CallLog& log) { log.abortAtFile = shown; });
    EXPECT_EQ(extracted.outcome, OperationOutcome::Aborted);
    EXPECT_EQ(extracted.threadsAfter, threadsBefore);
    // Entries before the one aborted are complete; nothing after it was written.
    EXPECT_EQ(readFile(folder / ("out/" + toDiskPath(entryAt(folder / "t.zor", 39).name))).size(),
              entryAt(folder / "t.zor", 39).record.size);
    EXPECT_FALSE(exists(folder / ("out/" + toDiskPath(entryAt(folder / "t.zor", 41).name))));

    // Testing stops at the same entry as on one thread.
    auto abortAtMiddle = [&](CallLog& log) { log.abortAtFile = middle.name; };
    const Run testedOnce = testWith(1, folder / "t.zor", abortAtMiddle);
    const Run tested = testWith(4, folder / "t.zor", abortAtMiddle);
    EXPECT_EQ(tested.outcome, OperationOutcome::Aborted);
    EXPECT_EQ(tested.threadsAfter, threadsBefore);
    auto passes = [](const Run& run) { return std::count(run.calls.begin(), run.calls.end(), "label File OK"); };
    EXPECT_EQ(passes(tested), passes(testedOnce));
    EXPECT_GT(passes(tested), 40);
}

}  // namespace
}  // namespace zor::test
