// parallel_compress_test.cpp - streams made on 1 to 4 threads equal the one-thread stream; memory, progress and failures.
#include "engine/parallel_compress.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <unordered_map>

#include "engine/codec_file.h"
#include "engine/compress_stream.h"
#include "engine/file_drivers.h"
#include "tests/engine/recording_driver_ui.h"
#include "tests/engine/temp_file.h"

namespace zor {
namespace {

using testing::contentsOf;
using testing::RecordingDriverUi;
using testing::TempFile;
using testing::tempFileWith;

// Bytes of text after the run-length stage at which a level-1 block is cut.
constexpr size_t kLimit1 = 100000 - 19;

// The one-thread stream as the compress driver makes it: all input with RUN, then FINISH.
std::vector<uint8_t> oneThread(const std::vector<uint8_t>& input, int32_t level) {
    CodecStream handle{};
    EXPECT_EQ(compressInit(&handle, level, 0, 30), OK);
    std::vector<uint8_t> out(input.size() + input.size() / 20 + 1024);
    handle.nextIn = input.data();
    handle.availIn = static_cast<uint32_t>(input.size());
    handle.nextOut = out.data();
    handle.availOut = static_cast<uint32_t>(out.size());
    while (handle.availIn > 0) EXPECT_EQ(compressStep(&handle, RUN), RUN_OK);
    int32_t status;
    while ((status = compressStep(&handle, FINISH)) == FINISH_OK) {
    }
    EXPECT_EQ(status, STREAM_END);
    // Erasing the unused tail (rather than resizing) never grows the vector.
    out.erase(out.end() - static_cast<ptrdiff_t>(handle.availOut), out.end());
    compressEnd(&handle);
    return out;
}

struct Parallel {
    std::vector<uint8_t> stream;
    std::vector<uint64_t> blocks;  // input bytes of each block, in the order reported
    int32_t status = OK;
};

Parallel parallel(const std::vector<uint8_t>& input, int32_t threads, int32_t level, size_t piece,
                  ParallelCompressSettings settings = {}) {
    Parallel result;
    settings.threads = threads;
    settings.blockSizeLevel = level;
    ParallelCompressor compressor(
        settings,
        [&](const uint8_t* data, size_t length) {
            result.stream.insert(result.stream.end(), data, data + length);
            return true;
        },
        [&](uint64_t inputBytes) { result.blocks.push_back(inputBytes); }, MessagePump{});
    for (size_t at = 0; compressor.status() == OK && at < input.size(); at += piece)
        compressor.write(input.data() + at, std::min(piece, input.size() - at));
    result.status = compressor.finish();
    EXPECT_EQ(compressor.bytesWritten(), result.stream.size());
    return result;
}

// Pseudo-random bytes; with `noRuns` no byte repeats the one before, so the
// run-length stage keeps the length and block edges fall where chosen.
std::vector<uint8_t> noise(size_t n, uint32_t seed, bool noRuns = false) {
    std::vector<uint8_t> out(n);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        uint8_t b = static_cast<uint8_t>(x >> 23);
        if (noRuns && i > 0 && b == out[i - 1]) ++b;
        out[i] = b;
    }
    return out;
}

std::vector<uint8_t> words(size_t n) {
    static const char* const kWords[] = {"the ", "block ", "sorting ", "stream ", "of ", "bits\n", "and ", "zor "};
    std::vector<uint8_t> out;
    uint32_t x = 7;
    while (out.size() < n) {
        x = x * 1103515245u + 12345u;
        for (const char* c = kWords[(x >> 16) % 8]; *c && out.size() < n; ++c) out.push_back(static_cast<uint8_t>(*c));
    }
    return out;
}

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<uint8_t> run(size_t n, uint8_t b) { return std::vector<uint8_t>(n, b); }

struct Case {
    std::string name;
    std::function<std::vector<uint8_t>()> input;
    int32_t level;
    size_t piece;  // how the input is handed over
};

const Case kCases[] = {
    {"empty", [] { return std::vector<uint8_t>{}; }, 1, 5000},
    {"abc", [] { return std::vector<uint8_t>{'a', 'b', 'c'}; }, 1, 5000},
    {"one_byte_at_a_time", [] { return words(1200); }, 1, 1},
    {"text_four_blocks", [] { return words(350000); }, 1, 5000},
    {"random_three_blocks", [] { return noise(250000, 1); }, 1, 7919},
    // Text lengths around the block limit, and two blocks' worth.
    {"limit_minus_1", [] { return noise(kLimit1 - 1, 2, true); }, 1, 5000},
    {"limit_exact", [] { return noise(kLimit1, 3, true); }, 1, 5000},
    {"limit_plus_1", [] { return noise(kLimit1 + 1, 4, true); }, 1, 5000},
    {"two_limits", [] { return noise(2 * kLimit1, 5, true); }, 1, 65536},
    {"two_limits_plus_1", [] { return noise(2 * kLimit1 + 1, 6, true); }, 1, 65536},
    // A long run open when the block fills goes, whole or in 255-byte pieces, into the next block.
    {"run_1000_over_edge", [] { return concat({noise(kLimit1 - 3, 7, true), run(1000, 'x'), words(500)}); }, 1, 5000},
    {"run_255_ends_at_edge", [] { return concat({noise(kLimit1 - 5, 8, true), run(255, 'y'), words(500)}); }, 1, 5000},
    {"run_255_at_edge_minus_2", [] { return concat({noise(kLimit1 - 2, 9, true), run(255, 'y'), words(50)}); }, 1, 5000},
    {"run_255_at_edge_minus_4", [] { return concat({noise(kLimit1 - 4, 10, true), run(255, 'y'), words(50)}); }, 1, 5000},
    {"run_251_over_edge", [] { return concat({noise(kLimit1 - 1, 11, true), run(251, 'z'), words(50)}); }, 1, 5000},
    {"run_at_end_of_input_on_edge", [] { return concat({noise(kLimit1 - 5, 12, true), run(300, 'q')}); }, 1, 5000},
    // Periodic blocks (equal rotations: the order is the sorter's) and a block of one repeated byte.
    {"periodic_ab", [] {
         std::vector<uint8_t> v(300000);
         for (size_t i = 0; i < v.size(); ++i) v[i] = "ab"[i & 1];
         return v;
     }, 1, 5000},
    {"byte_251_repeated", [] { return run(300000, 251); }, 1, 5000},
    {"level_9_two_blocks", [] { return concat({words(700000), noise(500000, 13)}); }, 9, 5000},
};

class ParallelIdentity : public ::testing::TestWithParam<std::tuple<Case, int32_t>> {};

TEST_P(ParallelIdentity, EqualsTheOneThreadStream) {
    const auto& [c, threads] = GetParam();
    const std::vector<uint8_t> input = c.input();
    const Parallel p = parallel(input, threads, c.level, c.piece);
    ASSERT_EQ(p.status, OK);
    const std::vector<uint8_t> expected = oneThread(input, c.level);
    ASSERT_EQ(p.stream.size(), expected.size());
    EXPECT_TRUE(p.stream == expected);

    uint64_t reported = 0;
    for (uint64_t b : p.blocks) reported += b;
    EXPECT_EQ(reported, input.size());
}

INSTANTIATE_TEST_SUITE_P(Inputs, ParallelIdentity, ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Values(1, 2, 3, 4)),
                         [](const auto& info) {
                             return std::get<0>(info.param).name + "_" + std::to_string(std::get<1>(info.param)) +
                                    "_threads";
                         });

TEST(ParallelCompress, ReportsEachBlockInOrder) {
    // Blocks of different sizes: the reports must come in input order even
    // when a later, smaller block is encoded first.
    const std::vector<uint8_t> input = concat({noise(kLimit1, 14, true), run(20000, 'a'), noise(kLimit1, 15, true)});
    const Parallel p = parallel(input, 3, 1, 5000);
    ASSERT_EQ(p.status, OK);
    ASSERT_EQ(p.blocks.size(), 3u);
    EXPECT_GE(p.blocks[0], kLimit1);
    EXPECT_LE(p.blocks[0], kLimit1 + 1);  // the byte that closes the block's last run
    EXPECT_GE(p.blocks[1], 20000u);
}

TEST(ParallelCompress, RefusesBadSettingsAndUseAfterFinish) {
    for (auto [threads, level, factor] : {std::tuple{0, 9, 30}, std::tuple{2, 0, 30}, std::tuple{2, 10, 30},
                                          std::tuple{2, 9, 251}, std::tuple{257, 9, 30}}) {
        ParallelCompressSettings s;
        s.threads = threads;
        s.blockSizeLevel = level;
        s.workFactor = factor;
        ParallelCompressor compressor(s, [](const uint8_t*, size_t) { return true; }, nullptr, MessagePump{});
        EXPECT_EQ(compressor.status(), ARGUMENT_ERROR);
        EXPECT_EQ(compressor.finish(), ARGUMENT_ERROR);
    }
    ParallelCompressor compressor({}, [](const uint8_t*, size_t) { return true; }, nullptr, MessagePump{});
    ASSERT_EQ(compressor.finish(), OK);
    const uint8_t byte = 'a';
    EXPECT_EQ(compressor.write(&byte, 1), SEQUENCE_ERROR);
    EXPECT_EQ(compressor.finish(), SEQUENCE_ERROR);
}

TEST(ParallelCompress, StopsWhenTheSinkRefusesBytes) {
    size_t accepted = 0;
    ParallelCompressSettings s;
    s.blockSizeLevel = 1;
    ParallelCompressor compressor(
        s,
        [&](const uint8_t*, size_t length) {
            accepted += length;
            return accepted < 50000;
        },
        nullptr, MessagePump{});
    const std::vector<uint8_t> input = noise(600000, 16);
    EXPECT_EQ(compressor.write(input.data(), input.size()), IO_ERROR);
    EXPECT_EQ(compressor.finish(), IO_ERROR);
}

// Counts the bytes taken through the allocation callbacks.
struct MemoryCount {
    int64_t live = 0;
    int64_t peak = 0;
    std::unordered_map<void*, int64_t> sizes;

    static void* allocate(void* opaque, int32_t count, int32_t size) {
        auto* self = static_cast<MemoryCount*>(opaque);
        const int64_t bytes = int64_t{count} * size;
        void* block = std::malloc(static_cast<size_t>(bytes));
        self->sizes[block] = bytes;
        self->live += bytes;
        self->peak = std::max(self->peak, self->live);
        return block;
    }
    static void release(void* opaque, void* block) {
        auto* self = static_cast<MemoryCount*>(opaque);
        self->live -= self->sizes[block];
        self->sizes.erase(block);
        std::free(block);
    }
};

TEST(ParallelCompress, MemoryGrowsByLessThanNineMegabytesPerExtraThread) {
    MemoryCount single;
    {
        CodecStream handle{};
        handle.allocate = MemoryCount::allocate;
        handle.release = MemoryCount::release;
        handle.opaque = &single;
        ASSERT_EQ(compressInit(&handle, 9, 0, 30), OK);
        compressEnd(&handle);
    }
    ASSERT_GT(single.peak, 7000000);
    const std::vector<uint8_t> input = noise(2000000, 17);  // three level-9 blocks
    for (int32_t threads : {2, 4}) {
        MemoryCount counted;
        ParallelCompressSettings s;
        s.allocate = MemoryCount::allocate;
        s.release = MemoryCount::release;
        s.opaque = &counted;
        const Parallel p = parallel(input, threads, 9, 65536, s);
        ASSERT_EQ(p.status, OK);
        EXPECT_LE(counted.peak, single.peak + int64_t{9000000} * (threads - 1)) << threads << " threads";
        EXPECT_EQ(counted.live, 0);
    }
}

struct Driven {
    RecordingDriverUi ui;
    DriverProgress progress;
    DriverContext context{ui, progress, EngineSettings{}};
    CompressResult result;
    std::vector<uint8_t> archive;

    Driven(const std::vector<uint8_t>& data, int32_t threads) {
        context.settings.blockSizeLevel = 1;
        context.settings.threads = threads;
        progress.fileSize = static_cast<uint32_t>(data.size());
        progress.totalSize = static_cast<uint32_t>(2 * data.size());
        TempFile input = tempFileWith(data);
        TempFile out(std::tmpfile());
        result = compressFile(input.get(), out.get(), context);
        archive = contentsOf(out.get());
    }
};

TEST(ParallelCompressFile, WritesWhatTheOneThreadDriverWritesWithItsLabelsAndProgress) {
    const std::vector<uint8_t> data = words(260000);
    Driven one(data, 1), two(data, 2);
    ASSERT_FALSE(two.result.failed);
    EXPECT_TRUE(two.archive == one.archive);
    EXPECT_EQ(two.result.LastPackedSize, two.archive.size());
    EXPECT_EQ(two.progress.FileBytesDone, static_cast<int64_t>(data.size()));
    EXPECT_FLOAT_EQ(two.progress.FileProgressPercent, 100.0f);
    EXPECT_FLOAT_EQ(two.progress.TotalProgressPercent, 50.0f);
    EXPECT_TRUE(two.ui.messages.empty());
    EXPECT_EQ(two.ui.labels, one.ui.labels);
    EXPECT_GT(two.ui.pumps, 0);
}

TEST(ParallelCompressFile, AnAbortTakesEffectAfterTheStream) {
    const std::vector<uint8_t> data = words(150000);
    RecordingDriverUi ui;
    ui.abort = true;
    DriverProgress progress;
    DriverContext context{ui, progress, EngineSettings{}};
    context.settings.threads = 2;
    TempFile input = tempFileWith(data);
    TempFile out(std::tmpfile());
    const CompressResult result = compressFile(input.get(), out.get(), context);
    EXPECT_FALSE(result.failed);
    EXPECT_TRUE(contentsOf(out.get()) == oneThread(data, 9));
    EXPECT_TRUE(ui.messages.empty());
}

TEST(ParallelCompressFile, AFullDiskIsTheRecoverableIoMessage) {
    const std::vector<uint8_t> data = noise(300000, 18);
    for (int32_t threads : {1, 2}) {
        RecordingDriverUi ui;
        DriverProgress progress;
        DriverContext context{ui, progress, EngineSettings{}};
        context.settings.threads = threads;
        TempFile input = tempFileWith(data);
        std::FILE* full = std::fopen("/dev/full", "wb");
        ASSERT_NE(full, nullptr);
        const CompressResult result = compressFile(input.get(), full, context);
        std::fclose(full);
        EXPECT_TRUE(result.failed);
        ASSERT_EQ(ui.messages.size(), 1u) << threads << " threads";
        EXPECT_EQ(ui.messages[0].text, "I/O or other error, bailing out.");
        EXPECT_FALSE(ui.messages[0].fatal);
    }
}

TEST(ParallelCompressCli, ThreadCountsGiveTheSameFile) {
    const std::string folder = ::testing::TempDir();
    const std::string in = folder + "/parc_cli_input";
    {
        TempFile unused(std::fopen(in.c_str(), "wb"));
        const std::vector<uint8_t> data = concat({words(150000), noise(60000, 19)});
        std::fwrite(data.data(), 1, data.size(), unused.get());
    }
    std::vector<std::vector<uint8_t>> outputs;
    for (const char* threads : {"1", "3"}) {
        const std::string out = folder + "/parc_cli_output_" + threads;
        const std::string command =
            std::string(ZOR_CLI_PATH) + " compress --threads " + threads + " " + in + " " + out + " 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        TempFile file(std::fopen(out.c_str(), "rb"));
        outputs.push_back(contentsOf(file.get()));
        std::remove(out.c_str());
    }
    std::remove(in.c_str());
    EXPECT_FALSE(outputs[0].empty());
    EXPECT_TRUE(outputs[0] == outputs[1]);
    const std::string refused = std::string(ZOR_CLI_PATH) + " compress --threads 0 /dev/null /dev/null 2>/dev/null";
    EXPECT_NE(std::system(refused.c_str()), 0);
}

}  // namespace
}  // namespace zor
