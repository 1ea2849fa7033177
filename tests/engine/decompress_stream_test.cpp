// decompress_stream_test.cpp - the decompress side of the streaming interface: witnesses, slicing, handle rules, memory, round trips.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/compress_stream.h"
#include "engine/decompress_stream.h"
#include "tests/engine/stream_builder.h"

namespace zor::test {
namespace {

const std::vector<uint8_t> kEmptyStream{0x00, 0x00, 0x00, 0x39, 0x17, 0x72, 0x45, 0x38, 0x50, 0x90, 0x00, 0x00, 0x00, 0x00};
const std::vector<uint8_t> kAbcStream{0x00, 0x00, 0x00, 0x39, 0x32, 0x42, 0x60, 0x27, 0x54, 0x60, 0x64, 0x8c, 0xbb,
                                      0x73, 0x00, 0x00, 0x00, 0x01, 0x00, 0x38, 0x00, 0x20, 0x00, 0x21, 0x98, 0x19,
                                      0x84, 0x61, 0x77, 0x24, 0x53, 0x85, 0x09, 0x06, 0x48, 0xcb, 0xb7, 0x30};

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> compress(const std::vector<uint8_t>& input, int level = 9) {
    CodecStream handle{};
    EXPECT_EQ(compressInit(&handle, level, 0, 0), OK);
    std::vector<uint8_t> out(input.size() + input.size() / 50 + 1024);
    handle.nextIn = input.data();
    handle.availIn = static_cast<uint32_t>(input.size());
    handle.nextOut = out.data();
    handle.availOut = static_cast<uint32_t>(out.size());
    int32_t status;
    while ((status = compressStep(&handle, FINISH)) == FINISH_OK) {
    }
    EXPECT_EQ(status, STREAM_END);
    out.erase(out.end() - handle.availOut, out.end());
    compressEnd(&handle);
    return out;
}

struct Slicing {
    bool smallMode;
    size_t inSlice;
    size_t outSlice;
};

class DecoderWitnesses : public ::testing::TestWithParam<Slicing> {};

TEST_P(DecoderWitnesses, TheAbcStreamDecodesToAbc) {
    const Slicing p = GetParam();
    const Decoded d = decodeStream(kAbcStream, p.smallMode, p.inSlice, p.outSlice);
    EXPECT_EQ(d.status, STREAM_END);
    EXPECT_EQ(d.output, bytesOf("abc"));
    EXPECT_EQ(d.consumed, kAbcStream.size());
}

TEST_P(DecoderWitnesses, TheEmptyStreamDeliversNothing) {
    const Slicing p = GetParam();
    const Decoded d = decodeStream(kEmptyStream, p.smallMode, p.inSlice, p.outSlice);
    EXPECT_EQ(d.status, STREAM_END);
    EXPECT_TRUE(d.output.empty());
    EXPECT_EQ(d.consumed, kEmptyStream.size());
}

INSTANTIATE_TEST_SUITE_P(AllSlicings, DecoderWitnesses,
                         ::testing::Values(Slicing{false, SIZE_MAX, 4096}, Slicing{true, SIZE_MAX, 4096},
                                           Slicing{false, 1, 1}, Slicing{true, 1, 1}, Slicing{false, 3, 2}));

TEST(DecompressStream, NoByteBehindTheStreamIsTaken) {
    std::vector<uint8_t> two = kAbcStream;
    two.insert(two.end(), kEmptyStream.begin(), kEmptyStream.end());
    for (bool small : {false, true}) {
        const Decoded d = decodeStream(two, small);
        EXPECT_EQ(d.status, STREAM_END);
        EXPECT_EQ(d.consumed, kAbcStream.size());
    }
}

TEST(DecompressStream, EveryPrefixOfAStreamWaitsForMoreInput) {
    const std::vector<uint8_t> stream = compress(bytesOf("a prefix of a stream is no error, only unfinished"));
    for (size_t cut = 0; cut < stream.size(); ++cut) {
        const std::vector<uint8_t> prefix(stream.begin(), stream.begin() + cut);
        EXPECT_EQ(decodeStream(prefix).status, OK) << "cut at " << cut;
    }
}

// Opens a decoder on `handle` over all of `input`, with `room` as output room.
void openOver(CodecStream& handle, const std::vector<uint8_t>& input, std::vector<uint8_t>& room) {
    ASSERT_EQ(decompressInit(&handle, 0, 0), OK);
    handle.nextIn = input.data();
    handle.availIn = static_cast<uint32_t>(input.size());
    handle.nextOut = room.data();
    handle.availOut = static_cast<uint32_t>(room.size());
}

TEST(DecompressStream, StepAfterTheEndIsASequenceError) {
    CodecStream handle{};
    std::vector<uint8_t> room(16);
    openOver(handle, kAbcStream, room);
    ASSERT_EQ(decompressStep(&handle), STREAM_END);
    EXPECT_EQ(decompressStep(&handle), SEQUENCE_ERROR);
    EXPECT_EQ(handle.totalInLo, kAbcStream.size());
    EXPECT_EQ(handle.totalOutLo, 3u);
    EXPECT_EQ(decompressEnd(&handle), OK);
    EXPECT_EQ(handle.engineState, nullptr);
}

TEST(DecompressStream, AFailedStreamStaysFailed) {
    std::vector<uint8_t> bad = kAbcStream;
    bad[4] = 0x31;
    CodecStream handle{};
    std::vector<uint8_t> room(16);
    openOver(handle, bad, room);
    EXPECT_EQ(decompressStep(&handle), DATA_ERROR);
    const uint32_t left = handle.availIn;
    EXPECT_EQ(decompressStep(&handle), DATA_ERROR);
    EXPECT_EQ(handle.availIn, left);
    decompressEnd(&handle);
}

TEST(DecompressStream, InitRefusesBadArguments) {
    CodecStream handle{};
    EXPECT_EQ(decompressInit(nullptr, 0, 0), ARGUMENT_ERROR);
    EXPECT_EQ(decompressInit(&handle, 0, 2), ARGUMENT_ERROR);
    EXPECT_EQ(decompressInit(&handle, 0, -1), ARGUMENT_ERROR);
    EXPECT_EQ(decompressInit(&handle, 5, 0), ARGUMENT_ERROR);
    EXPECT_EQ(decompressInit(&handle, -1, 0), ARGUMENT_ERROR);
    EXPECT_EQ(handle.engineState, nullptr);
    EXPECT_EQ(decompressInit(&handle, 4, 1), OK);
    EXPECT_EQ(decompressEnd(&handle), OK);
}

TEST(DecompressStream, CallsOnAForeignOrMissingStateAreArgumentErrors) {
    EXPECT_EQ(decompressStep(nullptr), ARGUMENT_ERROR);
    EXPECT_EQ(decompressEnd(nullptr), ARGUMENT_ERROR);
    CodecStream empty{};
    EXPECT_EQ(decompressStep(&empty), ARGUMENT_ERROR);
    EXPECT_EQ(decompressEnd(&empty), ARGUMENT_ERROR);

    CodecStream owner{};
    ASSERT_EQ(decompressInit(&owner, 0, 0), OK);
    CodecStream copy = owner;  // a state that belongs to another handle
    EXPECT_EQ(decompressStep(&copy), ARGUMENT_ERROR);
    EXPECT_EQ(decompressEnd(&copy), ARGUMENT_ERROR);
    EXPECT_EQ(decompressEnd(&owner), OK);

    CodecStream encoder{};
    ASSERT_EQ(compressInit(&encoder, 1, 0, 0), OK);
    EXPECT_EQ(decompressStep(&encoder), ARGUMENT_ERROR);
    EXPECT_EQ(decompressEnd(&encoder), ARGUMENT_ERROR);
    EXPECT_EQ(compressEnd(&encoder), OK);
}

// Counts what the decoder takes through the handle's callbacks.
struct Ledger {
    int64_t live = 0;
    int64_t peak = 0;
    int calls = 0;
    int64_t failAbove = INT64_MAX;  // refuse single requests larger than this
};

void* ledgerAllocate(void* opaque, int32_t count, int32_t size) {
    auto* ledger = static_cast<Ledger*>(opaque);
    const int64_t bytes = int64_t{count} * size;
    if (bytes > ledger->failAbove) return nullptr;
    ++ledger->calls;
    auto* block = static_cast<int64_t*>(std::malloc(static_cast<size_t>(bytes) + 16));
    block[0] = bytes;
    ledger->live += bytes;
    ledger->peak = std::max(ledger->peak, ledger->live);
    return block + 2;
}

void ledgerRelease(void* opaque, void* block) {
    auto* ledger = static_cast<Ledger*>(opaque);
    int64_t* start = static_cast<int64_t*>(block) - 2;
    ledger->live -= start[0];
    std::free(start);
}

int32_t decodeWithLedger(const std::vector<uint8_t>& stream, int smallMode, Ledger& ledger, int64_t& stateBytes) {
    CodecStream handle{};
    handle.allocate = ledgerAllocate;
    handle.release = ledgerRelease;
    handle.opaque = &ledger;
    EXPECT_EQ(decompressInit(&handle, 0, smallMode), OK);
    stateBytes = ledger.live;
    std::vector<uint8_t> room(1 << 16);
    handle.nextIn = stream.data();
    handle.availIn = static_cast<uint32_t>(stream.size());
    int32_t status;
    do {
        handle.nextOut = room.data();
        handle.availOut = static_cast<uint32_t>(room.size());
        status = decompressStep(&handle);
    } while (status == OK && handle.availOut == 0);
    EXPECT_EQ(decompressEnd(&handle), OK);
    return status;
}

TEST(DecompressStream, TheBlockStoreIsTakenOnceAndSizedByTheLevel) {
    const std::vector<uint8_t> input(300000, 'x');
    for (int level : {1, 9}) {
        const std::vector<uint8_t> stream = compress(input, level);
        for (int small : {0, 1}) {
            Ledger ledger;
            int64_t stateBytes = 0;
            EXPECT_EQ(decodeWithLedger(stream, small, ledger, stateBytes), STREAM_END);
            const int64_t store = small ? 100000LL * level * 2 + (100000LL * level + 1) / 2 : 100000LL * level * 4;
            EXPECT_EQ(ledger.peak - stateBytes, store) << "level " << level << " small " << small;
            EXPECT_EQ(ledger.calls, small ? 3 : 2);
            EXPECT_LT(stateBytes, 128 * 1024);
            EXPECT_EQ(ledger.live, 0);
        }
    }
}

TEST(DecompressStream, AFailedBlockStoreAllocationIsAMemoryErrorAndLeaksNothing) {
    for (int small : {0, 1}) {
        Ledger ledger;
        ledger.failAbove = small ? 1000000 : 128 * 1024;  // small mode gets its first part, not the second
        int64_t stateBytes = 0;
        EXPECT_EQ(decodeWithLedger(kAbcStream, small, ledger, stateBytes), MEM_ERROR);
        EXPECT_EQ(ledger.live, 0);
    }
}

// Round trips through the compressor.

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed, int alphabet = 256) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (uint8_t& b : v) b = static_cast<uint8_t>(rng() % alphabet);
    return v;
}

struct DecompressCase {
    std::string name;
    std::vector<uint8_t> input;
    int level;
};

std::vector<DecompressCase> roundTripCases() {
    std::vector<uint8_t> allValues;
    for (int rep = 0; rep < 3; ++rep)
        for (int b = 0; b < 256; ++b) allValues.push_back(static_cast<uint8_t>(b));
    std::vector<uint8_t> runs;
    for (int len : {1, 3, 4, 5, 255, 256, 259, 1000})
        runs.insert(runs.end(), static_cast<size_t>(len), static_cast<uint8_t>(len & 0xFF));
    std::vector<uint8_t> periodic;
    while (periodic.size() < 300000) periodic.insert(periodic.end(), {'a', 'b', 'a', 'b', 'c'});
    return {
        {"Empty", {}, 9},
        {"OneByte", {0x41}, 9},
        {"TwoBytes", {0x00, 0xFF}, 9},
        {"AllByteValues", allValues, 9},
        {"RunsAroundTheCountLimits", runs, 9},
        {"RandomText", randomBytes(70000, 1, 26), 9},
        {"RandomBinary", randomBytes(50000, 2), 9},
        {"RepetitiveAcrossBlocks", std::vector<uint8_t>(250000, 'z'), 1},
        {"PeriodicText", periodic, 2},
        // A level-1 block is encoded once it holds 99981 bytes.
        {"OneUnderTheBlockLimitLevel1", randomBytes(99980, 3, 200), 1},
        {"AtTheBlockLimitLevel1", randomBytes(99981, 3, 200), 1},
        {"OneOverTheBlockLimitLevel1", randomBytes(99982, 3, 200), 1},
        {"JustOverOneBlockLevel1", randomBytes(100000, 3, 4), 1},
        {"TwoFullBlocksLevel2", randomBytes(400000, 4, 200), 2},
    };
}

class DecompressRoundTrip : public ::testing::TestWithParam<DecompressCase> {};

TEST_P(DecompressRoundTrip, BothModesRestoreTheInput) {
    const DecompressCase& c = GetParam();
    const std::vector<uint8_t> stream = compress(c.input, c.level);
    for (bool small : {false, true}) {
        const Decoded d = decodeStream(stream, small);
        EXPECT_EQ(d.status, STREAM_END);
        EXPECT_TRUE(d.output == c.input) << "small mode " << small;
        EXPECT_EQ(d.consumed, stream.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, DecompressRoundTrip, ::testing::ValuesIn(roundTripCases()),
                         [](const auto& info) { return info.param.name; });

TEST(DecompressStream, OneByteSlicesGiveTheSameOutputAsOneCall) {
    std::vector<uint8_t> input = randomBytes(3000, 5, 8);
    input.insert(input.end(), 600, 'q');
    const std::vector<uint8_t> stream = compress(input);
    for (bool small : {false, true}) {
        const Decoded sliced = decodeStream(stream, small, 1, 1);
        EXPECT_EQ(sliced.status, STREAM_END);
        EXPECT_TRUE(sliced.output == input);
        EXPECT_EQ(sliced.consumed, stream.size());
    }
}

}  // namespace
}  // namespace zor::test
