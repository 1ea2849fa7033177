// parallel_decompress_test.cpp - decoding on several threads gives the one-thread drivers' bytes, results and messages.
#include "engine/file_drivers.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "engine/parallel_block_scan.h"
#include "tests/engine/recording_driver_ui.h"
#include "tests/engine/stream_builder.h"
#include "tests/engine/temp_file.h"

namespace zor {
namespace {

using test::blockFor;
using test::BlockFields;
using test::streamFor;
using test::StreamBuilder;
using test::writeBlock;
using testing::contentsOf;
using testing::RecordingDriverUi;
using testing::sampleBytes;
using testing::TempFile;
using testing::tempFileWith;

// Everything a driver run leaves behind that a person or a caller can see.
struct Outcome {
    bool result = false;
    std::vector<std::pair<std::string, bool>> messages;
    std::vector<uint8_t> output;
    int64_t bytesDone = 0;

    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    out << "result " << o.result << ", " << o.output.size() << " bytes written, " << o.bytesDone << " counted";
    for (const auto& [text, fatal] : o.messages) out << ", \"" << text << "\"" << (fatal ? " (fatal)" : "");
    return out;
}

enum class Driver { Decompress, Test };

// Where the compressed bytes come from: a regular file read to its end, or
// a seekable stream of a given length that has no file behind it.
enum class Source { File, Memory };

// Runs the driver on one thread (threads 0) or on several on `input`,
// which starts after a few bytes of something else, as an archive entry would.
Outcome drive(const std::vector<uint8_t>& input, Driver driver, int threads, Source from = Source::File,
             std::optional<uint64_t> expectedLength = std::nullopt) {
    std::vector<uint8_t> file{'z', 'o', 'r'};
    file.insert(file.end(), input.begin(), input.end());
    TempFile source = from == Source::File ? tempFileWith(file) : TempFile(fmemopen(file.data(), file.size(), "rb"));
    std::fseek(source.get(), 3, SEEK_SET);
    TempFile output(std::tmpfile());
    RecordingDriverUi ui;
    DriverProgress progress;
    DriverContext context{ui, progress, EngineSettings{}, expectedLength};
    context.settings.threads = threads;
    context.settings.smallestParallelDecode = 0;
    if (from == Source::Memory) context.inputLength = input.size();
    Outcome o;
    if (driver == Driver::Decompress)
        o.result = decompressFile(source.get(), output.get(), context);
    else
        o.result = testFile(source.get(), context);
    for (const auto& m : ui.messages) o.messages.emplace_back(m.text, m.fatal);
    o.output = contentsOf(output.get());
    o.bytesDone = progress.FileBytesDone;
    return o;
}

// The parallel drivers at several thread counts must match the one-thread drivers.
void expectSameAsOneThread(const std::vector<uint8_t>& input, const std::string& what) {
    for (Driver driver : {Driver::Decompress, Driver::Test}) {
        const Outcome expected = drive(input, driver, 0);
        for (Source from : {Source::File, Source::Memory}) {
            for (int threads : {2, 3, 5})
                EXPECT_EQ(drive(input, driver, threads, from), expected)
                    << what << ", " << threads << " threads, " << (driver == Driver::Test ? "testing" : "decompressing")
                    << (from == Source::Memory ? ", from memory" : "");
        }
    }
}

std::vector<uint8_t> concat(std::vector<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Blocks of assorted sizes: single bytes, runs that go on from one block
// into the next, and a block of exactly 5000 bytes, so that outputs end on
// the one-thread driver's read boundaries.
std::vector<std::vector<uint8_t>> assortedBlocks(int count) {
    std::vector<std::vector<uint8_t>> blocks;
    for (int i = 0; i < count; ++i) {
        switch (i % 4) {
            case 0: blocks.push_back(sampleBytes(5000, static_cast<uint32_t>(i + 1))); break;
            case 1: blocks.push_back(std::vector<uint8_t>(300 + i, 'r')); break;  // goes on in the next block
            case 2: blocks.push_back(concat({std::vector<uint8_t>(7, 'r'), sampleBytes(700 + 97 * i)})); break;
            default: blocks.push_back({static_cast<uint8_t>(i)}); break;
        }
    }
    return blocks;
}

TEST(ParallelDecompress, ManyBlocksOfAnySizeAsOneThread) {
    for (int count : {0, 1, 2, 3, 7, 24}) {
        const std::vector<uint8_t> stream = streamFor(assortedBlocks(count), 1);
        expectSameAsOneThread(stream, std::to_string(count) + " blocks");
        EXPECT_TRUE(drive(stream, Driver::Decompress, 2).result);
    }
}

// Bytes whose block mapping spells the block magic: byte values 2, 3, 6,
// 9, 14 make the first group's member bits 0x3242, the next two groups'
// make 0x6027 and 0x5460, so every block carries a false candidate. No
// byte repeats its predecessor: a run's count byte would join the mapping.
std::vector<uint8_t> bytesSpellingTheMagic(size_t size, uint32_t seed) {
    static const uint8_t kValues[] = {2, 3, 6, 9, 14, 17, 18, 26, 29, 30, 31, 33, 35, 37, 41, 42};
    std::vector<uint8_t> bytes = sampleBytes(size, seed);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = kValues[bytes[i] % 16];
        if (i > 0 && bytes[i] == bytes[i - 1]) bytes[i] = kValues[(bytes[i] + 1) % 16];
    }
    return bytes;
}

TEST(ParallelDecompress, FalseMagicInsideBlocksIsPassedOver) {
    std::vector<std::vector<uint8_t>> blocks;
    for (uint32_t i = 0; i < 6; ++i) blocks.push_back(bytesSpellingTheMagic(3000 + 500 * i, i + 1));
    const std::vector<uint8_t> stream = streamFor(blocks, 1);
    std::vector<uint64_t> found;
    findBlockMagic(stream.data(), stream.size(), 0, stream.size(), 0, found);
    EXPECT_EQ(found.size(), 12u) << "each block's magic and the one spelt by its mapping";
    expectSameAsOneThread(stream, "false magic in every block");
    // A stream whose input holds the magic's bytes: they are compressed like any others.
    expectSameAsOneThread(streamFor({{0x32, 0x42, 0x60, 0x27, 0x54, 0x60, 0x17, 0x72}, sampleBytes(900)}, 1),
                          "magic bytes as data");
}

TEST(BlockMagicScan, FindsTheMagicAtEveryBitOffset) {
    for (int offset = 0; offset < 8; ++offset) {
        std::vector<uint8_t> data = sampleBytes(40, 9);
        const uint64_t at = 8 * 13 + static_cast<uint64_t>(offset);
        for (int i = 0; i < 48; ++i) {
            const bool bit = (kBlockMagicBits >> (47 - i)) & 1;
            const uint64_t p = at + static_cast<uint64_t>(i);
            data[p / 8] = static_cast<uint8_t>((data[p / 8] & ~(0x80 >> (p % 8))) | (bit ? 0x80 >> (p % 8) : 0));
        }
        std::vector<uint64_t> found;
        findBlockMagic(data.data(), data.size(), 0, data.size(), 1000, found);
        EXPECT_EQ(found, std::vector<uint64_t>{1000 + at}) << "offset " << offset;
        EXPECT_EQ(bitsAt(data.data(), data.size(), at, 48), kBlockMagicBits);
        // Cut one bit short, the magic is no candidate.
        found.clear();
        findBlockMagic(data.data(), static_cast<size_t>((at + 47) / 8), 0, data.size(), 0, found);
        EXPECT_TRUE(found.empty() || found.back() + 48 <= (at + 47) / 8 * 8);
    }
}

std::vector<uint8_t> threeBlockStream(int badCrcBlock, bool badStreamCrc) {
    StreamBuilder out;
    out.header(1);
    uint32_t streamCrc = 0;
    for (int b = 0; b < 3; ++b) {
        BlockFields f = blockFor(sampleBytes(6000 + 1000 * static_cast<size_t>(b), static_cast<uint32_t>(b + 3)));
        streamCrc = foldStreamCrc(streamCrc, f.crc);
        if (b == badCrcBlock) f.crc ^= 0x100;
        writeBlock(out, f);
    }
    out.endOfStream(badStreamCrc ? streamCrc ^ 1 : streamCrc);
    return out.finish();
}

TEST(ParallelDecompress, DamageGivesTheOneThreadMessagesAndBytes) {
    expectSameAsOneThread(threeBlockStream(1, false), "bad CRC in the middle block");
    expectSameAsOneThread(threeBlockStream(2, false), "bad CRC in the last block");
    expectSameAsOneThread(threeBlockStream(-1, true), "bad stream CRC");
    const std::vector<uint8_t> sound = threeBlockStream(-1, false);
    for (size_t cut : {size_t{0}, size_t{2}, size_t{4}, sound.size() / 3, sound.size() / 2, sound.size() - 5,
                       sound.size() - 1})
        expectSameAsOneThread({sound.begin(), sound.begin() + static_cast<ptrdiff_t>(cut)},
                              "cut to " + std::to_string(cut) + " bytes");
    for (size_t at = 2; at < sound.size(); at += sound.size() / 23) {
        std::vector<uint8_t> flipped = sound;
        flipped[at] ^= 0x10;
        expectSameAsOneThread(flipped, "bit flipped in byte " + std::to_string(at));
    }
}

TEST(ParallelDecompress, ConcatenatedStreamsAndWhatFollowsThem) {
    const std::vector<uint8_t> a = streamFor(assortedBlocks(5), 1);
    const std::vector<uint8_t> b = streamFor(assortedBlocks(3), 9);
    const std::vector<uint8_t> empty = streamFor({}, 9);
    expectSameAsOneThread(concat({a, b, empty, a}), "four streams");
    expectSameAsOneThread(concat({a, b, {'P', 'K'}}), "two streams and other bytes");
    expectSameAsOneThread(concat({a, {0, 0, 0, '0'}}), "a header of a bad level after a stream");
    expectSameAsOneThread(concat({a, {0, 0}}), "the start of a header after a stream");
    expectSameAsOneThread(concat({a, {b.begin(), b.end() - 3}}), "a cut second stream");
    expectSameAsOneThread({'B', 'Z', 'h', '9'}, "not a stream");
}

// `data` compressed by the engine's own compress driver.
std::vector<uint8_t> compressedByTheEngine(const std::vector<uint8_t>& data) {
    TempFile input = tempFileWith(data);
    TempFile packed(std::tmpfile());
    RecordingDriverUi ui;
    DriverProgress progress;
    DriverContext context{ui, progress, EngineSettings{}};
    EXPECT_FALSE(compressFile(input.get(), packed.get(), context).failed);
    return contentsOf(packed.get());
}

TEST(ParallelDecompress, AKnownLengthIsMetExactlyAndNeverWrittenPast) {
    const std::vector<std::vector<uint8_t>> blocks = assortedBlocks(7);
    const std::vector<uint8_t> tail{'t', 'a', 'i', 'l'};
    const std::vector<uint8_t> data = concat({concat(blocks), tail});
    const std::vector<uint8_t> input = concat({streamFor(blocks, 1), streamFor({tail}, 1)});
    const uint64_t whole = data.size();
    constexpr char kLonger[] = "Decompressed data longer than the recorded size";
    constexpr char kShorter[] = "Decompressed data shorter than the recorded size";
    struct Case {
        const char* what;
        uint64_t expected;
        const char* message;  // nullptr: the streams pass
    };
    const Case cases[] = {
        {"exactly", whole, nullptr},
        {"one byte more than expected", whole - 1, kLonger},
        {"at the end of the first stream", whole - tail.size(), kLonger},
        {"at a read boundary", 5000, kLonger},
        {"one past a read boundary", 5001, kLonger},
        {"inside the first block", 10, kLonger},
        {"one byte fewer than expected", whole + 1, kShorter},
        {"far fewer than expected", 0xFFFFFFFFu, kShorter},
    };
    for (const Case& c : cases) {
        for (Driver driver : {Driver::Decompress, Driver::Test}) {
            const Outcome once = drive(input, driver, 0, Source::File, c.expected);
            EXPECT_EQ(once.result, c.message == nullptr) << c.what;
            const std::vector<std::pair<std::string, bool>> messages =
                c.message ? decltype(messages){{c.message, false}} : decltype(messages){};
            EXPECT_EQ(once.messages, messages) << c.what;
            if (driver == Driver::Decompress) {
                const size_t kept = static_cast<size_t>(std::min(c.expected, whole));
                EXPECT_TRUE(once.output == std::vector<uint8_t>(data.begin(), data.begin() + kept)) << c.what;
            }
            for (int threads : {2, 3})
                EXPECT_EQ(drive(input, driver, threads, Source::Memory, c.expected), once)
                    << c.what << ", " << threads << " threads";
        }
    }
}

TEST(ParallelDecompress, StreamsLongerThanExpectedStopAtTheirFirstBlock) {
    // Four blocks: once the first goes past the expected length, the
    // others are not decoded.
    const std::vector<uint8_t> data = sampleBytes(3500000, 21);
    const std::vector<uint8_t> stream = compressedByTheEngine(data);
    ASSERT_GT(stream.size(), 1500000u);
    RecordingDriverUi ui;
    DriverProgress progress;
    for (int threads : {0, 2}) {
        TempFile source = tempFileWith(stream);
        TempFile output(std::tmpfile());
        DriverContext context{ui, progress, EngineSettings{}, uint64_t{10}};
        context.settings.threads = threads;
        context.settings.smallestParallelDecode = 0;
        EXPECT_FALSE(decompressFile(source.get(), output.get(), context));
        EXPECT_TRUE(contentsOf(output.get()) == std::vector<uint8_t>(data.begin(), data.begin() + 10));
        EXPECT_LT(ftello(source.get()), static_cast<off_t>(stream.size() / 2)) << threads << " threads";
    }
}

TEST(ParallelDecompress, LargeBlocksOfTheRealEncoderAtTheBlockLimit) {
    // No byte repeats its predecessor, so the run-length stage keeps the
    // size: two blocks filled to the limit exactly, then one of 1000 bytes.
    constexpr size_t kBlockLimit = 9 * 100000 - 19;
    std::vector<uint8_t> data(2 * kBlockLimit + 1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((i * 7 + i / 256 * 3) % 256);
    const std::vector<uint8_t> stream = compressedByTheEngine(data);
    const Outcome parallel = drive(stream, Driver::Decompress, 2);
    EXPECT_TRUE(parallel.result);
    EXPECT_EQ(parallel.output, data);
    std::vector<uint8_t> damaged = stream;
    damaged[damaged.size() * 2 / 3] ^= 0x01;
    EXPECT_EQ(drive(damaged, Driver::Decompress, 2), drive(damaged, Driver::Decompress, 0));
}

// One driver loop feeds on either back end, so the person sees the same
// labels (one pair per 5000-byte read) and bars on any thread count.
TEST(ParallelDecompress, LabelsAndBarsAreTheOneThreadOnes) {
    const std::vector<uint8_t> blocks = concat(assortedBlocks(9));
    const std::vector<uint8_t> input = concat({streamFor(assortedBlocks(9), 1), streamFor(assortedBlocks(3), 2)});
    for (Driver driver : {Driver::Decompress, Driver::Test}) {
        std::vector<std::string> labels[2];
        int bars[2] = {};
        for (int threads : {1, 3}) {
            TempFile source = tempFileWith(input);
            TempFile output(std::tmpfile());
            RecordingDriverUi ui;
            DriverProgress progress;
            progress.fileSize = progress.totalSize = static_cast<uint32_t>(2 * blocks.size());
            DriverContext context{ui, progress, EngineSettings{}};
            context.settings.threads = threads;
            context.settings.smallestParallelDecode = 0;
            EXPECT_TRUE(driver == Driver::Test ? testFile(source.get(), context)
                                               : decompressFile(source.get(), output.get(), context));
            labels[threads / 3] = ui.labels;
            bars[threads / 3] = ui.lastFileBar;
        }
        EXPECT_EQ(labels[1], labels[0]);
        EXPECT_EQ(bars[1], bars[0]);
        if (driver == Driver::Decompress) {
            EXPECT_GT(labels[0].size(), 6u);
        }
    }
}

TEST(ParallelDecompress, AbortTakesEffectAfterTheStreamAsOnOneThread) {
    const std::vector<uint8_t> stream = concat({streamFor(assortedBlocks(6), 1), streamFor(assortedBlocks(2), 1)});
    TempFile source = tempFileWith(stream);
    TempFile output(std::tmpfile());
    RecordingDriverUi ui;
    ui.abort = true;
    DriverProgress progress;
    DriverContext context{ui, progress, EngineSettings{}};
    context.settings.threads = 2;
    context.settings.smallestParallelDecode = 0;
    EXPECT_FALSE(decompressFile(source.get(), output.get(), context));
    EXPECT_EQ(contentsOf(output.get()), concat(assortedBlocks(6))) << "the first stream is written whole";
}

TEST(ParallelDecompress, AnInputThatCannotBeReadAgainGoesToOneThread) {
    const std::vector<uint8_t> stream = concat({streamFor(assortedBlocks(4), 1), {'x'}});
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::thread writer([&] {
        EXPECT_EQ(::write(ends[1], stream.data(), stream.size()), static_cast<ssize_t>(stream.size()));
        ::close(ends[1]);
    });
    std::FILE* source = ::fdopen(ends[0], "rb");
    TempFile output(std::tmpfile());
    RecordingDriverUi ui;
    DriverProgress progress;
    DriverContext context{ui, progress, EngineSettings{}};
    context.settings.threads = 2;
    context.settings.smallestParallelDecode = 0;
    EXPECT_TRUE(decompressFile(source, output.get(), context));
    writer.join();
    std::fclose(source);
    EXPECT_EQ(contentsOf(output.get()), concat(assortedBlocks(4)));
    EXPECT_TRUE(ui.messages.empty());
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Peak resident size in KB of `zor-cli decompress --threads N`.
long peakKilobytesDecompressing(const std::string& stream, int threads) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string t = std::to_string(threads);
        ::execl(ZOR_CLI_PATH, ZOR_CLI_PATH, "decompress", "--threads", t.c_str(), stream.c_str(), "/dev/null",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return usage.ru_maxrss;
}

TEST(ParallelDecompress, MemoryGrowsByAtMostSixMegabytesPerThread) {
    if (kSanitized) GTEST_SKIP() << "resident sizes mean little under the address sanitizer";
    // Six blocks of bytes that hardly compress, so every worker holds a full block.
    std::vector<uint8_t> data(6 * 900000);
    uint32_t x = 7;
    for (uint8_t& b : data) b = static_cast<uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    char name[] = "/tmp/zor-parallel-memory-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    {
        TempFile input = tempFileWith(data);
        std::FILE* packed = std::fopen(name, "wb");
        RecordingDriverUi ui;
        DriverProgress progress;
        DriverContext context{ui, progress, EngineSettings{}};
        ASSERT_FALSE(compressFile(input.get(), packed, context).failed);
        std::fclose(packed);
    }
    const long one = peakKilobytesDecompressing(name, 1);
    for (int threads : {2, 4}) {
        const long many = peakKilobytesDecompressing(name, threads);
        EXPECT_LE(many - one, threads * 6 * 1024) << threads << " threads: " << many << " KB against " << one;
    }
    std::remove(name);
}

}  // namespace
}  // namespace zor
