// output_stage_test.cpp - the output stage: randomised blocks, run counts, CRC timing, blocks whose output would never end.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/randomisation_table.h"
#include "tests/engine/stream_builder.h"

namespace zor::test {
namespace {

std::vector<uint8_t> lettersWithoutRuns(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) {
        do v[i] = static_cast<uint8_t>('a' + rng() % 6);
        while (i >= 3 && v[i] == v[i - 1] && v[i] == v[i - 2] && v[i] == v[i - 3]);
    }
    return v;
}

// A randomised block: its stored text has the chosen bytes flipped.
BlockFields randomisedBlock(const std::vector<uint8_t>& input, const std::vector<uint8_t>& flips) {
    std::vector<uint8_t> text = runLengthStage(input);
    for (size_t i = 0; i < text.size(); ++i) text[i] ^= flips[i];
    BlockFields f = blockForText(text, blockCrcOf(input));
    f.randomised = true;
    return f;
}

TEST(OutputStage, TheFirstRandomisedByteIsThe618thFetched) {
    const std::vector<uint8_t> input = lettersWithoutRuns(1200, 1);
    std::vector<uint8_t> flips(input.size(), 0);
    flips[617] = 1;  // the next flip would be 720 fetches later, past the block
    for (bool small : {false, true}) {
        const Decoded d = decodeStream(streamWith(randomisedBlock(input, flips)), small);
        EXPECT_EQ(d.status, STREAM_END);
        EXPECT_TRUE(d.output == input);
    }
    flips[617] = 0;
    flips[618] = 1;
    EXPECT_EQ(decodeStream(streamWith(randomisedBlock(input, flips))).status, DATA_ERROR);
}

TEST(OutputStage, ALongRandomisedBlockWithRunsDecodesInBothModes) {
    std::vector<uint8_t> input = lettersWithoutRuns(60000, 2);
    input.insert(input.begin() + 30000, 700, 'r');  // runs become four bytes and counts
    const size_t textLength = runLengthStage(input).size();
    std::vector<uint8_t> flips(textLength);
    Randomiser randomiser;
    for (uint8_t& f : flips) f = static_cast<uint8_t>(randomiser.nextMask());
    const std::vector<uint8_t> stream = streamWith(randomisedBlock(input, flips));
    for (bool small : {false, true}) {
        const Decoded d = decodeStream(stream, small, small ? 1 : SIZE_MAX, small ? 1 : 4096);
        EXPECT_EQ(d.status, STREAM_END);
        EXPECT_TRUE(d.output == input);
    }
}

TEST(OutputStage, ABadBlockCrcIsReportedAfterTheBlockIsDelivered) {
    const std::vector<uint8_t> first = lettersWithoutRuns(5000, 3);
    StreamBuilder out;
    out.header();
    BlockFields f = blockFor(first);
    f.crc ^= 0x80000000u;
    writeBlock(out, f);
    writeBlock(out, blockFor({'n', 'e', 'x', 't'}));
    out.endOfStream(0);
    const std::vector<uint8_t> stream = out.finish();
    for (bool small : {false, true}) {
        const Decoded d = decodeStream(stream, small, SIZE_MAX, 7);
        EXPECT_EQ(d.status, DATA_ERROR);
        EXPECT_TRUE(d.output == first);
    }
}

TEST(OutputStage, ABlockEndingInFourEqualBytesWithoutACountIsRefused) {
    const std::vector<uint8_t> text{'x', 'y', 'z', 'a', 'a', 'a', 'a'};
    const std::vector<uint8_t> stream = streamWith(blockForText(text, 0));
    for (bool small : {false, true})
        for (size_t room : {size_t{1}, size_t{4096}}) {
            const Decoded d = decodeStream(stream, small, SIZE_MAX, room);
            EXPECT_EQ(d.status, DATA_ERROR);
            EXPECT_EQ(d.output, std::vector<uint8_t>({'x', 'y', 'z'}));
        }
}

TEST(OutputStage, CountBytesExpandAcrossTinyOutputRooms) {
    // Runs of 4, 5 and 255 (count 0, 1, 251), and a run cut at 255.
    std::vector<uint8_t> input;
    for (int len : {4, 5, 255, 300, 1, 2, 3})
        input.insert(input.end(), static_cast<size_t>(len), static_cast<uint8_t>('A' + len % 26));
    const std::vector<uint8_t> stream = streamFor({input});
    for (bool small : {false, true})
        for (size_t room : {size_t{1}, size_t{3}, size_t{256}}) {
            const Decoded d = decodeStream(stream, small, 2, room);
            EXPECT_EQ(d.status, STREAM_END);
            EXPECT_TRUE(d.output == input);
        }
}

TEST(OutputStage, ALargeBlockReadsTheSameThroughAnyOutputRoom) {
    // Large enough for the text to be read out in pieces up front in fast mode.
    const std::vector<uint8_t> input = lettersWithoutRuns(120000, 4);
    const std::vector<uint8_t> stream = streamFor({input});
    for (bool small : {false, true})
        for (size_t room : {size_t{1}, size_t{511}, size_t{65536}}) {
            const Decoded d = decodeStream(stream, small, SIZE_MAX, room);
            EXPECT_EQ(d.status, STREAM_END);
            EXPECT_TRUE(d.output == input);
        }
}

TEST(OutputStage, ADamagedLargeBlockDeliversTheSameBytesInBothModes) {
    // A changed move-to-front index alters the stored text, which splits the
    // links into several cycles: fast mode gives up reading the text out and
    // must deliver what following the links gives, up to the CRC failure.
    const std::vector<uint8_t> input = lettersWithoutRuns(60000, 5);
    BlockFields f = blockFor(input);
    size_t changed = 0;
    for (size_t i = f.symbols.size() / 3; changed < 2; ++i)
        if (f.symbols[i] >= 3) {
            f.symbols[i] = f.symbols[i] == 3 ? 4 : 3;
            ++changed;
        }
    const std::vector<uint8_t> stream = streamWith(f);
    const Decoded reference = decodeStream(stream, true);
    EXPECT_EQ(reference.status, DATA_ERROR);
    EXPECT_FALSE(reference.output == input);
    for (size_t room : {size_t{1}, size_t{4096}}) {
        const Decoded d = decodeStream(stream, false, SIZE_MAX, room);
        EXPECT_EQ(d.status, DATA_ERROR);
        EXPECT_TRUE(d.output == reference.output);
    }
}

}  // namespace
}  // namespace zor::test
