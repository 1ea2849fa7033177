// block_decoder_test.cpp - every check of the stream reader on hand-built damaged streams, limits of the block text, robustness.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/engine/stream_builder.h"

namespace zor::test {
namespace {

std::vector<uint8_t> abc() { return {'a', 'b', 'c'}; }

// A stream of the "abc" block after `change` edits its fields.
std::vector<uint8_t> abcStreamWith(const std::function<void(BlockFields&)>& change, int level = 9) {
    BlockFields f = blockFor(abc());
    change(f);
    return streamWith(f, level);
}

struct MalformedCase {
    std::string name;
    std::function<std::vector<uint8_t>()> stream;
    int32_t status;
};

std::vector<uint8_t> withByte(std::vector<uint8_t> stream, size_t at, uint8_t value) {
    stream[at] = value;
    return stream;
}

std::vector<MalformedCase> damageCases() {
    const std::vector<uint8_t> good = streamFor({abc()});
    return {
        {"SignatureByte1", [=] { return withByte(good, 0, 0x01); }, DATA_ERROR_MAGIC},
        {"SignatureByte3", [=] { return withByte(good, 2, 0x80); }, DATA_ERROR_MAGIC},
        {"Level0", [=] { return withByte(good, 3, 0x30); }, DATA_ERROR_MAGIC},
        {"LevelColon", [=] { return withByte(good, 3, 0x3A); }, DATA_ERROR_MAGIC},
        {"Bzip2Header",
         [] { return StreamBuilder().bytes({'B', 'Z', 'h', '9', 0x31, 0x41, 0x59, 0x26, 0x53, 0x59}).finish(); },
         DATA_ERROR_MAGIC},
        {"Bzip2BlockMagic", [=] { return withByte(good, 4, 0x31); }, DATA_ERROR},
        {"BlockMagicByte4", [] { return abcStreamWith([](BlockFields& f) { f.magic[3] = 0x28; }); }, DATA_ERROR},
        {"BlockMagicByte6", [] { return abcStreamWith([](BlockFields& f) { f.magic[5] = 0x61; }); }, DATA_ERROR},
        {"EndMarkerByte6",
         [] { return StreamBuilder().header().bytes({0x17, 0x72, 0x45, 0x38, 0x50, 0x91, 0, 0, 0, 0}).finish(); },
         DATA_ERROR},
        {"EndMarkerByte2",
         [] { return StreamBuilder().header().bytes({0x17, 0x73, 0x45, 0x38, 0x50, 0x90, 0, 0, 0, 0}).finish(); },
         DATA_ERROR},
        {"OriginPointerPastTheSlack",
         [] { return abcStreamWith([](BlockFields& f) { f.originPointer = 10 + 900000 + 1; }); }, DATA_ERROR},
        {"OriginPointerPastTheText", [] { return abcStreamWith([](BlockFields& f) { f.originPointer = 3; }); },
         DATA_ERROR},
        {"EmptyMapping", [] { return abcStreamWith([](BlockFields& f) { f.used.assign(256, false); }); }, DATA_ERROR},
        {"OneTable", [] { return abcStreamWith([](BlockFields& f) { f.tableCount = 1; }); }, DATA_ERROR},
        {"SevenTables", [] { return abcStreamWith([](BlockFields& f) { f.tableCount = 7; }); }, DATA_ERROR},
        {"NoSelectors",
         [] {
             return abcStreamWith([](BlockFields& f) {
                 f.selectorCount = 0;
                 f.selectorMtf.clear();
             });
         },
         DATA_ERROR},
        {"SelectorCountAboveTheStore",
         [] {
             return abcStreamWith([](BlockFields& f) {
                 f.selectorCount = 18003;
                 f.selectorMtf.assign(18003, 0);
             });
         },
         DATA_ERROR},
        {"SelectorIndexReachesTableCount", [] { return abcStreamWith([](BlockFields& f) { f.selectorMtf[0] = 2; }); },
         DATA_ERROR},
        {"CodeLength0", [] { return abcStreamWith([](BlockFields& f) { f.lengths[1][0] = 0; }); }, DATA_ERROR},
        {"CodeLength21AsAFinalValue", [] { return abcStreamWith([](BlockFields& f) { f.lengths[0][3] = 21; }); },
         DATA_ERROR},
        {"CodeLongerThan20Bits",
         [] {
             return abcStreamWith([](BlockFields& f) {
                 f.lengths[0].assign(5, 20);  // codes 0 to 4: a run of ones matches none
                 f.symbols.clear();
                 f.extraBits = {{20, 0xFFFFF}, {1, 1}};
             });
         },
         DATA_ERROR},
        {"MoreGroupsThanSelectors",
         [] {
             return abcStreamWith([](BlockFields& f) {
                 f.symbols.assign(60, 3);  // 60 symbols need two groups of 50
                 f.symbols.push_back(4);
             });
         },
         DATA_ERROR},
        {"BlockCrc", [] { return abcStreamWith([](BlockFields& f) { f.crc ^= 0x100; }); }, DATA_ERROR},
        {"StreamCrc",
         [] {
             StreamBuilder out;
             out.header();
             const BlockFields f = blockFor(abc());
             writeBlock(out, f);
             out.endOfStream(f.crc ^ 1);
             return out.finish();
         },
         DATA_ERROR},
        {"RunLongerThanTheBlock",
         [] {
             return abcStreamWith(
                 [](BlockFields& f) {
                     // 40 RUN2 digits: a run far beyond 32 bits, refused before it can wrap.
                     f.symbols.assign(40, 1);
                     f.symbols.push_back(4);
                     f.selectorCount = 1;
                     f.selectorMtf = {0};
                 },
                 1);
         },
         DATA_ERROR},
    };
}

class MalformedStream : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedStream, IsRefusedWithItsStatusInEveryModeAndSlicing) {
    const MalformedCase& c = GetParam();
    const std::vector<uint8_t> stream = c.stream();
    for (bool small : {false, true})
        for (size_t slice : {SIZE_MAX, size_t{1}}) {
            const Decoded d = decodeStream(stream, small, slice, slice == 1 ? 1 : 4096);
            EXPECT_EQ(d.status, c.status) << "small " << small << " slice " << slice;
            // Only the CRC checks come after the block's bytes were delivered.
            EXPECT_EQ(d.output.empty(), c.name.find("Crc") == std::string::npos);
        }
}

INSTANTIATE_TEST_SUITE_P(ReaderChecks, MalformedStream, ::testing::ValuesIn(damageCases()),
                         [](const auto& info) { return info.param.name; });

// The header and the origin pointer alone, as far as a level-1 block goes.
std::vector<uint8_t> level1HeaderUpToOrigin(uint32_t origin) {
    return StreamBuilder()
        .header(1)
        .bytes({0x32, 0x42, 0x60, 0x27, 0x54, 0x60})
        .bits(32, 0)
        .bits(1, 0)
        .bits(24, origin)
        .bits(7, 0)
        .finish();
}

TEST(BlockDecoder, AnOriginPointerTenPastTheBlockSizeWaitsForTheBlockText) {
    EXPECT_EQ(decodeStream(level1HeaderUpToOrigin(100010)).status, OK);
    EXPECT_EQ(decodeStream(level1HeaderUpToOrigin(100011)).status, DATA_ERROR);
}

// Random bytes without four equal in a row, so that the block text equals the input.
std::vector<uint8_t> textWithoutRuns(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) {
        do v[i] = static_cast<uint8_t>(rng() % 4);
        while (i >= 3 && v[i] == v[i - 1] && v[i] == v[i - 2] && v[i] == v[i - 3]);
    }
    return v;
}

bool endsWithZeroRun(const BlockFields& f) { return f.symbols[f.symbols.size() - 2] <= 1; }

TEST(BlockDecoder, AFullLevel1BlockEndingInAnIndexIsAccepted) {
    for (uint32_t seed = 1;; ++seed) {
        const std::vector<uint8_t> input = textWithoutRuns(100000, seed);
        const BlockFields f = blockFor(input);
        if (endsWithZeroRun(f)) continue;
        const Decoded d = decodeStream(streamWith(f, 1));
        EXPECT_EQ(d.status, STREAM_END);
        EXPECT_TRUE(d.output == input);
        break;
    }
}

TEST(BlockDecoder, AZeroRunThatFillsALevel1BlockIsRefused) {
    for (uint32_t seed = 1;; ++seed) {
        const std::vector<uint8_t> input = textWithoutRuns(100000, seed);
        const BlockFields f = blockFor(input);
        if (!endsWithZeroRun(f)) continue;
        for (bool small : {false, true}) {
            const Decoded d = decodeStream(streamWith(f, 1), small);
            EXPECT_EQ(d.status, DATA_ERROR);
            EXPECT_TRUE(d.output.empty());
        }
        // The same block fits at level 2.
        EXPECT_EQ(decodeStream(streamWith(f, 2)).status, STREAM_END);
        break;
    }
}

TEST(BlockDecoder, ATextLongerThanALevel1BlockIsRefused) {
    const BlockFields f = blockFor(textWithoutRuns(100001, 7));
    EXPECT_EQ(decodeStream(streamWith(f, 1)).status, DATA_ERROR);
}

TEST(BlockDecoder, DeepMoveToFrontIndicesOverManyBlocksDecode) {
    // All 256 values in changing orders keep moving entries from deep lists
    // to the front, which makes the list store repack itself.
    std::mt19937 rng(11);
    std::vector<std::vector<uint8_t>> blocks;
    for (int b = 0; b < 3; ++b) {
        std::vector<uint8_t> input(40000);
        for (uint8_t& x : input) x = static_cast<uint8_t>(rng() >> 24);
        blocks.push_back(input);
    }
    const std::vector<uint8_t> stream = streamFor(blocks);
    std::vector<uint8_t> all;
    for (const auto& b : blocks) all.insert(all.end(), b.begin(), b.end());
    for (bool small : {false, true}) {
        const Decoded d = decodeStream(stream, small, 1000, 777);
        EXPECT_EQ(d.status, STREAM_END);
        EXPECT_TRUE(d.output == all);
    }
}

TEST(BlockDecoder, ManyTablesAndSelectorsDecode) {
    BlockFields f = blockFor(textWithoutRuns(5000, 3));
    f.tableCount = 6;
    // Rotate through the tables: move-to-front index 5 each time, with a
    // different (still complete) code in each table.
    f.selectorMtf.assign(f.selectorCount, 5);
    const int alpha = f.alphaSize();
    f.lengths.clear();
    for (int t = 0; t < 6; ++t) {
        std::vector<int> lengths = plainLengths(alpha);
        std::rotate(lengths.begin(), lengths.begin() + t, lengths.end());
        f.lengths.push_back(lengths);
    }
    const Decoded d = decodeStream(streamWith(f), false, 3, 5);
    EXPECT_EQ(d.status, STREAM_END);
    EXPECT_TRUE(d.output == textWithoutRuns(5000, 3));
}

TEST(BlockDecoder, CodesUpTo20BitsDecodeInEveryTableAndSlicing) {
    // 19 byte values: 21 symbols, given the complete code of lengths 1 to
    // 19, 20, 20 in one table and the reverse in the other.
    std::vector<uint8_t> input;
    for (int rep = 0; rep < 30; ++rep)
        for (int c = 0; c < 19; ++c) input.push_back(static_cast<uint8_t>('a' + (c * 7 + rep) % 19));
    BlockFields f = blockFor(input);
    ASSERT_EQ(f.alphaSize(), 21);
    std::vector<int> lengths;
    for (int s = 0; s < 19; ++s) lengths.push_back(s + 1);
    lengths.insert(lengths.end(), {20, 20});
    f.lengths = {std::vector<int>(lengths.rbegin(), lengths.rend()), lengths};
    f.selectorMtf.assign(f.selectorCount, 1);  // alternate the tables
    for (size_t slice : {SIZE_MAX, size_t{1}, size_t{2}}) {
        const Decoded d = decodeStream(streamWith(f), slice == 2, slice, 3);
        EXPECT_EQ(d.status, STREAM_END);
        EXPECT_TRUE(d.output == input);
    }
}

// A block whose first code is no code of 20 bits or fewer: those 20 bits
// decide, whether they arrive together or one byte at a time.
const std::vector<uint8_t> kCodeLongerThan20Bits{0x00, 0x00, 0x00, 0x39, 0x32, 0x42, 0x60, 0x27, 0x54, 0x60,
                                                 0x64, 0x8c, 0xbb, 0x73, 0x00, 0x00, 0x00, 0x01, 0x00, 0x30,
                                                 0x00, 0x20, 0x00, 0x21, 0x48, 0x30, 0xcb, 0xcb, 0x30};

TEST(BlockDecoder, TheFinalStatusDoesNotDependOnHowTheInputIsSliced) {
    struct Case {
        bool smallMode;
        size_t inSlice;
    };
    const Case cases[] = {{false, SIZE_MAX}, {true, SIZE_MAX}, {false, 1}, {true, 1}, {false, 7}, {true, 7},
                          {false, 2}, {true, 3}};
    for (const Case& c : cases) {
        const Decoded d = decodeStream(kCodeLongerThan20Bits, c.smallMode, c.inSlice, 5);
        EXPECT_EQ(d.status, DATA_ERROR) << "small " << c.smallMode << " slice " << c.inSlice;
        EXPECT_TRUE(d.output.empty());
    }
}

TEST(BlockDecoder, DamagedStreamsEndTheSameWayInBothModesAndAllSlicings) {
    std::mt19937 rng(5);
    std::vector<uint8_t> input(3000);
    for (uint8_t& x : input) x = static_cast<uint8_t>("abcde  \n"[rng() % 8]);
    const std::vector<uint8_t> good = streamFor({input, {'x', 'y'}});
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<uint8_t> bad = good;
        const int flips = 1 + trial % 3;
        for (int i = 0; i < flips; ++i) bad[4 + rng() % (bad.size() - 4)] ^= static_cast<uint8_t>(1u << (rng() % 8));
        const Decoded whole = decodeStream(bad, false);
        const Decoded small = decodeStream(bad, true, 7, 13);
        const Decoded bytewise = decodeStream(bad, false, 1, 1);
        EXPECT_EQ(whole.status, small.status) << "trial " << trial;
        EXPECT_EQ(whole.status, bytewise.status) << "trial " << trial;
        EXPECT_TRUE(whole.output == small.output && whole.output == bytewise.output) << "trial " << trial;
    }
}

TEST(BlockDecoder, LargeBlocksWithBrokenLinksGiveTheSameBytesInBothModes) {
    // Swapping two symbols of a sound block leaves a text that is no block
    // transform output: its links may split into several cycles.
    const std::vector<uint8_t> input = textWithoutRuns(60000, 9);
    const BlockFields sound = blockFor(input);
    std::mt19937 rng(13);
    for (int trial = 0; trial < 6; ++trial) {
        BlockFields f = sound;
        const size_t a = rng() % (f.symbols.size() - 1);
        const size_t b = rng() % (f.symbols.size() - 1);
        std::swap(f.symbols[a], f.symbols[b]);
        const std::vector<uint8_t> stream = streamWith(f);
        const Decoded fast = decodeStream(stream, false);
        const Decoded small = decodeStream(stream, true);
        EXPECT_EQ(fast.status, small.status);
        EXPECT_TRUE(fast.output == small.output) << "trial " << trial;
    }
}

}  // namespace
}  // namespace zor::test
