// pack_ahead_test.cpp - packing with files compressed ahead on worker threads: the same archive for every thread count, the same messages, no thread left behind.
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/pack_ahead.h"
#include "engine/decompress_stream.h"
#include "tests/archive/archive_fixture.h"

namespace zor::test {
namespace {

std::string decompressed(const CompressedAhead& ahead) {
    CodecStream codec{};
    if (decompressInit(&codec, 0, 0) != OK) return "init failed";
    std::string out;
    std::vector<uint8_t> buffer(1 << 16);
    codec.nextIn = ahead.stream.get();
    codec.availIn = static_cast<uint32_t>(ahead.length);
    int32_t status = OK;
    while (status == OK) {
        codec.nextOut = buffer.data();
        codec.availOut = static_cast<uint32_t>(buffer.size());
        status = decompressStep(&codec);
        out.append(reinterpret_cast<const char*>(buffer.data()), buffer.size() - codec.availOut);
    }
    decompressEnd(&codec);
    return status == STREAM_END ? out : "damaged stream";
}

class PackAheadArchive : public ArchiveFixture {
protected:
    // Small files, a multi-block file in the middle, folders and an empty
    // file last, selected in a fixed order so that every kind of entry
    // follows a small one. Block size level 1 keeps the multi-block file small.
    std::vector<std::string> mixedSelection() {
        context.settings.blockSizeLevel = 1;
        for (int i = 0; i < 40; ++i) writeFile(folder / ("src/many/f" + std::to_string(i)), wordsText(50 + i * 977, i));
        writeFile(folder / "src/many/empty", "");
        writeFile(folder / "src/Mixed.TXT", wordsText(99000, 7));
        writeFile(folder / "src/big.bin", wordsText(260000, 8) + noiseBytes(5000, 9));
        writeFile(folder / "src/after.txt", wordsText(3000, 10));
        writeFile(folder / "src/.hidden", noiseBytes(70000, 11));
        std::filesystem::create_directories(folder / "src/zz-empty-folder");
        std::filesystem::create_directories(folder / "last");
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path())) {
            if (entry.is_regular_file()) setTime(entry.path().string());
        }
        return {"src/Mixed.TXT", "src/many", "src/big.bin", "src/after.txt", "src/zz-empty-folder", "last",
                "src/.hidden", "src/many/empty"};
    }

    std::string packWithThreads(int32_t threads, const std::vector<std::string>& names) {
        context.settings.threads = threads;
        const std::string archive = folder / ("out-" + std::to_string(threads) + ".zor");
        EXPECT_EQ(pack(archive, names), OperationOutcome::Succeeded) << threads << " threads";
        EXPECT_TRUE(ui.reports.empty()) << ui.reports.front().text;
        return readFile(archive);
    }
};

TEST_F(PackAheadArchive, IsByteForByteTheOneThreadArchiveForEveryThreadCount) {
    const auto names = mixedSelection();
    const std::string one = packWithThreads(1, names);
    ASSERT_GT(one.size(), 76u);
    for (int32_t threads : {2, 3, 8}) EXPECT_TRUE(packWithThreads(threads, names) == one) << threads << " threads";
}

TEST_F(PackAheadArchive, IsByteForByteTheOneThreadArchiveWithAPassword) {
    const auto names = mixedSelection();
    context.packingPassword = "Secret!";
    const std::string one = packWithThreads(1, names);
    for (int32_t threads : {2, 8}) EXPECT_TRUE(packWithThreads(threads, names) == one) << threads << " threads";
    EXPECT_EQ(headerOf(folder / "out-8.zor").passwordProtected, 1);
}

TEST_F(PackAheadArchive, ManyFilesAtTheDefaultLevelRoundTrip) {
    for (int i = 0; i < 300; ++i) writeFile(folder / ("tree/d" + std::to_string(i % 7) + "/f" + std::to_string(i)),
                                            i % 50 == 0 ? std::string() : wordsText(200 + (i * 131) % 4000, i));
    const std::string one = packWithThreads(1, {"tree"});
    EXPECT_TRUE(packWithThreads(2, {"tree"}) == one);
    ASSERT_EQ(extract(folder / "out-2.zor", folder / "back"), OperationOutcome::Succeeded);
    for (int i = 0; i < 300; i += 37) {
        const std::string name = "tree/d" + std::to_string(i % 7) + "/f" + std::to_string(i);
        EXPECT_EQ(readFile(folder / ("back/" + name)), readFile(folder / name)) << name;
    }
}

// The walk has seen the file, the workers have not yet opened it.
class VanishAfterWalkUi : public ScriptedUi {
public:
    std::string victim;
    void setTotalFiles(int64_t count) override {
        ScriptedUi::setTotalFiles(count);
        ::unlink(victim.c_str());
    }
};

// Writes past `bytes` fail as on a full disk while this lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : previousHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    void (*previousHandler_)(int);
    rlimit previous_ {};
};

class PackAheadMessages : public ArchiveFixture {
protected:
    PackAheadMessages() { context.settings.threads = 2; }
};

TEST_F(PackAheadMessages, AFileThatVanishesAfterTheWalkGivesTheOneThreadMessage) {
    for (int i = 0; i < 12; ++i) writeFile(folder / ("src/f" + std::to_string(i)), wordsText(4000, i));
    VanishAfterWalkUi vanishing;
    vanishing.victim = folder / "src/f5";
    OperationContext vanishingContext(vanishing);
    vanishingContext.settings.threads = 2;
    vanishingContext.selection.push_back({"src", 0, folder.path()});
    vanishingContext.window.ArchivePath = folder / "out.zor";

    EXPECT_EQ(Initialize_Compression(vanishingContext), OperationOutcome::Failed);
    EXPECT_EQ(vanishing.reportTexts(),
              std::vector<std::string>{vanishing.victim + ": Cannot open input file (No such file or directory)"});
    EXPECT_FALSE(exists(folder / "out.zor"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "no partial archive";
}

TEST_F(PackAheadMessages, AbortMidwayLeavesNoArchiveAndNoThread) {
    for (int i = 0; i < 30; ++i) writeFile(folder / ("src/f" + std::to_string(i)), wordsText(20000, i));
    writeFile(folder / "out.zor", "an older archive");
    const int threadsBefore = threadsOfThisProcess();
    int filesSeen = 0;
    ui.onCurrentFile = [&](const std::string&) {
        if (++filesSeen == 10) ui.abort = true;
    };
    for (int32_t threads : {2, 8}) {
        context.settings.threads = threads;
        filesSeen = 0;
        EXPECT_EQ(pack(folder / "out.zor", {"src"}), OperationOutcome::Aborted);
        EXPECT_FALSE(ui.abort) << "the request is cleared";
        EXPECT_EQ(filesSeen, 10) << "nothing after the abort";
        EXPECT_EQ(readFile(folder / "out.zor"), "an older archive");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2) << "no partial archive";
        EXPECT_EQ(threadsOfThisProcess(), threadsBefore);
    }
    EXPECT_TRUE(ui.reports.empty());
}

TEST_F(PackAheadMessages, AWriteFailureOfAStreamCompressedAheadIsTheOneThreadMessage) {
    for (int i = 0; i < 4; ++i) writeFile(folder / ("src/f" + std::to_string(i)), noiseBytes(60000, i));
    OperationOutcome outcome = OperationOutcome::Succeeded;
    {
        const FileSizeLimit fullDisk(100000);
        outcome = pack(folder / "out.zor", {"src"});
    }
    EXPECT_EQ(outcome, OperationOutcome::Failed);
    EXPECT_EQ(ui.reportTexts(), std::vector<std::string>{"I/O or other error, bailing out."});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "no partial archive";
}

PackItem itemOf(const std::string& path, bool isFolder, const std::string& diskPath, uint64_t size) {
    PackItem item;
    item.path = path;
    item.isFolder = isFolder ? 1 : 0;
    item.diskPath = diskPath;
    item.size = size;
    return item;
}

// The component on its own: what it compresses, and what it leaves to the packer.
class PackAheadWorkers : public testing::Test {
protected:
    PackItem fileItem(const std::string& name, const std::string& bytes) {
        writeFile(folder / name, bytes);
        return itemOf(name, false, folder / name, bytes.size());
    }
    static bool keepWaiting() { return true; }
    static void listAll(PackAhead& ahead, const std::vector<PackItem>& items, std::size_t from = 0) {
        for (std::size_t i = from; i < items.size(); ++i) ahead.listed(i, items[i]);
    }

    TempFolder folder;
    EngineSettings settings{1, 30, 0, 0, 2};
};

TEST_F(PackAheadWorkers, CompressesSmallFilesAndLeavesLargeFolderEmptyAndMissingOnesToThePacker) {
    const std::string small = wordsText(5000, 1);
    const std::string other = noiseBytes(3000, 2);
    std::vector<PackItem> items = {fileItem("a", small),
                                   itemOf("dir\\", true, folder / "dir", 0),
                                   fileItem("large", wordsText(100001, 3)),
                                   fileItem("empty", ""),
                                   fileItem("b", other),
                                   itemOf("gone", false, folder / "gone", 10)};
    PackAhead ahead(settings);
    ASSERT_EQ(ahead.workerCount(), 1u) << "the packer is the second";

    ahead.listed(0, items[0]);
    const auto first = ahead.take(0, keepWaiting);
    ASSERT_TRUE(first.has_value()) << "a file is compressed as soon as it is listed";
    EXPECT_EQ(decompressed(*first), small);
    EXPECT_EQ(first->status.st_size, 5000);
    listAll(ahead, items, 1);
    for (std::size_t index : {1u, 2u, 3u}) EXPECT_FALSE(ahead.take(index, keepWaiting)) << index;
    const auto second = ahead.take(4, keepWaiting);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(decompressed(*second), other);
    EXPECT_FALSE(ahead.take(5, keepWaiting)) << "a file that cannot be opened is the packer's to report";
}

TEST_F(PackAheadWorkers, AFileThatGrewPastTheLimitOrIsNotRegularIsLeftToThePacker) {
    std::vector<PackItem> items = {fileItem("grew", "small at the walk")};
    writeFile(folder / "grew", wordsText(PackAhead::smallFileLimit(settings) + 1, 4));
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    items.push_back(itemOf("fifo", false, folder / "fifo", 1));
    PackAhead ahead(settings);
    listAll(ahead, items);
    EXPECT_FALSE(ahead.take(0, keepWaiting));
    EXPECT_FALSE(ahead.take(1, keepWaiting)) << "a FIFO is never waited on";
}

TEST_F(PackAheadWorkers, OneThreadStartsNoWorker) {
    settings.threads = 1;
    std::vector<PackItem> items = {fileItem("a", "bytes")};
    PackAhead ahead(settings);
    listAll(ahead, items);
    EXPECT_EQ(ahead.workerCount(), 0u);
    EXPECT_FALSE(ahead.take(0, keepWaiting));
}

TEST_F(PackAheadWorkers, StopsWaitingWhenAskedAndJoinsItsWorkersPromptly) {
    const int threadsBefore = threadsOfThisProcess();
    settings.blockSizeLevel = 9;
    std::vector<PackItem> items;
    for (int i = 0; i < 8; ++i) items.push_back(fileItem(std::to_string(i) + ".bin", noiseBytes(800000, i)));
    {
        PackAhead ahead(settings);
    listAll(ahead, items);
        int calls = 0;
        ahead.take(7, [&calls] { return ++calls < 2; });  // gives up after about 20 ms
        EXPECT_LE(calls, 2);
    }
    EXPECT_EQ(threadsOfThisProcess(), threadsBefore);
}

}  // namespace
}  // namespace zor::test
