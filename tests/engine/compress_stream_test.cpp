// compress_stream_test.cpp - the compress state machine: exact witness streams, statuses, memory, totals and round trips.
#include "engine/compress_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/decompress_stream.h"
#include "engine/encoder_state.h"

namespace zor {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kEmptyStream = {0x00, 0x00, 0x00, 0x39, 0x17, 0x72, 0x45, 0x38, 0x50, 0x90, 0x00, 0x00, 0x00, 0x00};
const Bytes kAbcStream = {0x00, 0x00, 0x00, 0x39, 0x32, 0x42, 0x60, 0x27, 0x54, 0x60, 0x64, 0x8c, 0xbb,
                          0x73, 0x00, 0x00, 0x00, 0x01, 0x00, 0x38, 0x00, 0x20, 0x00, 0x21, 0x98, 0x19,
                          0x84, 0x61, 0x77, 0x24, 0x53, 0x85, 0x09, 0x06, 0x48, 0xcb, 0xb7, 0x30};

Bytes bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

// Compresses `input` in one RUN pass and FINISH calls, with an output
// window of `room` bytes per call.
Bytes compress(const Bytes& input, size_t room = 1 << 16, int32_t level = 9, int32_t workFactor = 30) {
    CodecStream stream{};
    EXPECT_EQ(compressInit(&stream, level, 0, workFactor), OK);
    Bytes out, window(room);
    auto drain = [&] {
        out.insert(out.end(), window.begin(), window.begin() + static_cast<long>(room - stream.availOut));
        stream.nextOut = window.data();
        stream.availOut = static_cast<uint32_t>(room);
    };
    stream.nextOut = window.data();
    stream.availOut = static_cast<uint32_t>(room);
    stream.nextIn = input.data();
    stream.availIn = static_cast<uint32_t>(input.size());
    while (stream.availIn > 0) {
        EXPECT_EQ(compressStep(&stream, RUN), RUN_OK);
        drain();
    }
    int32_t status;
    do {
        status = compressStep(&stream, FINISH);
        drain();
    } while (status == FINISH_OK);
    EXPECT_EQ(status, STREAM_END);
    EXPECT_EQ(totalOf(stream.totalInLo, stream.totalInHi), input.size());
    EXPECT_EQ(totalOf(stream.totalOutLo, stream.totalOutHi), out.size());
    EXPECT_EQ(compressEnd(&stream), OK);
    return out;
}

// Decodes a whole stream; fails the test on any status but STREAM_END.
Bytes decompress(const Bytes& stream) {
    CodecStream handle{};
    EXPECT_EQ(decompressInit(&handle, 0, 0), OK);
    handle.nextIn = stream.data();
    handle.availIn = static_cast<uint32_t>(stream.size());
    Bytes out, window(1 << 16);
    int32_t status;
    do {
        handle.nextOut = window.data();
        handle.availOut = static_cast<uint32_t>(window.size());
        status = decompressStep(&handle);
        out.insert(out.end(), window.begin(), window.begin() + static_cast<long>(window.size() - handle.availOut));
    } while (status == OK && (handle.availIn > 0 || handle.availOut == 0));
    EXPECT_EQ(status, STREAM_END);
    decompressEnd(&handle);
    return out;
}

TEST(CompressStream, EmptyInputIsTheFourteenByteStream) {
    EXPECT_EQ(compress({}), kEmptyStream);
    EXPECT_EQ(compress({}, 1), kEmptyStream);
}

TEST(CompressStream, AbcIsTheThirtyEightByteStream) {
    EXPECT_EQ(compress(bytesOf("abc")), kAbcStream);
    EXPECT_EQ(compress(bytesOf("abc"), 1), kAbcStream);
    EXPECT_EQ(compress(bytesOf("abc"), 7), kAbcStream);
}

struct Handle {
    CodecStream stream{};
    Bytes out = Bytes(1 << 16);
    Handle() {
        EXPECT_EQ(compressInit(&stream, 9, 0, 30), OK);
        stream.nextOut = out.data();
        stream.availOut = static_cast<uint32_t>(out.size());
    }
    ~Handle() { compressEnd(&stream); }
    size_t produced() const { return out.size() - stream.availOut; }
};

TEST(CompressStream, RunWithNothingToDoIsAnArgumentError) {
    Handle h;
    EXPECT_EQ(compressStep(&h.stream, RUN), ARGUMENT_ERROR);
    EXPECT_EQ(compressStep(&h.stream, 7), ARGUMENT_ERROR);
}

// A flush ends the block but not the stream: its bytes are the witness
// stream's up to the last whole byte of the block, and the stream goes on.
TEST(CompressStream, FlushEndsTheBlockWithoutTheEndMarker) {
    Handle h;
    Bytes abc = bytesOf("abc");
    h.stream.nextIn = abc.data();
    h.stream.availIn = 3;
    EXPECT_EQ(compressStep(&h.stream, FLUSH), RUN_OK);
    EXPECT_EQ(Bytes(h.out.begin(), h.out.begin() + static_cast<long>(h.produced())),
              Bytes(kAbcStream.begin(), kAbcStream.begin() + 27));

    h.stream.nextIn = abc.data();
    h.stream.availIn = 3;
    EXPECT_EQ(compressStep(&h.stream, FINISH), STREAM_END);
    EXPECT_EQ(decompress(Bytes(h.out.begin(), h.out.begin() + static_cast<long>(h.produced()))), bytesOf("abcabc"));
}

TEST(CompressStream, FlushAndFinishInsistOnTheSameInput) {
    Bytes data(300000, 'x');
    for (size_t i = 0; i < data.size(); i += 3) data[i] = static_cast<uint8_t>(i);
    {
        Handle h;
        h.stream.nextIn = data.data();
        h.stream.availIn = static_cast<uint32_t>(data.size());
        h.stream.availOut = 10;  // too little room: the flush cannot complete
        EXPECT_EQ(compressStep(&h.stream, FLUSH), FLUSH_OK);
        EXPECT_EQ(compressStep(&h.stream, RUN), SEQUENCE_ERROR);
        EXPECT_EQ(compressStep(&h.stream, FINISH), SEQUENCE_ERROR);
        h.stream.availIn += 1;
        EXPECT_EQ(compressStep(&h.stream, FLUSH), SEQUENCE_ERROR);
    }
    {
        Handle h;
        h.stream.nextIn = data.data();
        h.stream.availIn = static_cast<uint32_t>(data.size());
        h.stream.availOut = 10;
        EXPECT_EQ(compressStep(&h.stream, FINISH), FINISH_OK);
        EXPECT_EQ(compressStep(&h.stream, FLUSH), SEQUENCE_ERROR);
        h.stream.availIn -= 1;
        EXPECT_EQ(compressStep(&h.stream, FINISH), SEQUENCE_ERROR);
    }
}

TEST(CompressStream, EveryStepAfterTheEndIsASequenceError) {
    Handle h;
    EXPECT_EQ(compressStep(&h.stream, FINISH), STREAM_END);
    for (int32_t action : {RUN, FLUSH, FINISH}) EXPECT_EQ(compressStep(&h.stream, action), SEQUENCE_ERROR);
}

TEST(CompressStream, FinishWithoutOutputRoomMovesNothingAndCanBeRetried) {
    Handle h;
    h.stream.availOut = 0;
    EXPECT_EQ(compressStep(&h.stream, FINISH), SEQUENCE_ERROR);
    h.stream.availOut = static_cast<uint32_t>(h.out.size());
    EXPECT_EQ(compressStep(&h.stream, FINISH), STREAM_END);
    EXPECT_EQ(Bytes(h.out.begin(), h.out.begin() + static_cast<long>(h.produced())), kEmptyStream);
}

TEST(CompressInit, RefusesBadArguments) {
    CodecStream stream{};
    EXPECT_EQ(compressInit(nullptr, 9, 0, 30), ARGUMENT_ERROR);
    EXPECT_EQ(compressInit(&stream, 0, 0, 30), ARGUMENT_ERROR);
    EXPECT_EQ(compressInit(&stream, 10, 0, 30), ARGUMENT_ERROR);
    EXPECT_EQ(compressInit(&stream, 9, 0, -1), ARGUMENT_ERROR);
    EXPECT_EQ(compressInit(&stream, 9, 0, 251), ARGUMENT_ERROR);
    EXPECT_EQ(stream.engineState, nullptr);
}

TEST(CompressHandle, StepsAndEndRefuseForeignOrMissingState) {
    CodecStream bare{};
    EXPECT_EQ(compressStep(nullptr, RUN), ARGUMENT_ERROR);
    EXPECT_EQ(compressStep(&bare, RUN), ARGUMENT_ERROR);
    EXPECT_EQ(compressEnd(&bare), ARGUMENT_ERROR);

    Handle h;
    CodecStream copy = h.stream;  // shares the state, but the state belongs to h
    EXPECT_EQ(compressStep(&copy, FINISH), ARGUMENT_ERROR);
    EXPECT_EQ(compressEnd(&copy), ARGUMENT_ERROR);

    CodecStream decoding{};
    ASSERT_EQ(decompressInit(&decoding, 0, 0), OK);
    EXPECT_EQ(compressStep(&decoding, FINISH), ARGUMENT_ERROR);
    EXPECT_EQ(compressEnd(&decoding), ARGUMENT_ERROR);
    EXPECT_EQ(decompressEnd(&decoding), OK);
}

// Counts the engine's memory through the handle's callbacks.
struct MemoryLedger {
    std::map<void*, size_t> live;
    std::vector<size_t> requests;
    size_t current = 0, peak = 0;
    int failAt = -1;  // request number that fails, or -1

    static void* allocate(void* opaque, int32_t count, int32_t size) {
        auto* ledger = static_cast<MemoryLedger*>(opaque);
        EXPECT_EQ(size, 1);
        int index = static_cast<int>(ledger->requests.size());
        ledger->requests.push_back(static_cast<size_t>(count));
        if (index == ledger->failAt) return nullptr;
        void* block = ::operator new(static_cast<size_t>(count));
        ledger->live[block] = static_cast<size_t>(count);
        ledger->current += static_cast<size_t>(count);
        ledger->peak = std::max(ledger->peak, ledger->current);
        return block;
    }
    static void release(void* opaque, void* block) {
        auto* ledger = static_cast<MemoryLedger*>(opaque);
        auto it = ledger->live.find(block);
        ASSERT_NE(it, ledger->live.end());
        ledger->current -= it->second;
        ledger->live.erase(it);
        ::operator delete(block);
    }
    CodecStream stream() {
        CodecStream s{};
        s.allocate = allocate;
        s.release = release;
        s.opaque = this;
        return s;
    }
};

TEST(CompressMemory, TakenOncePerStreamAndAllGivenBack) {
    MemoryLedger ledger;
    CodecStream stream = ledger.stream();
    ASSERT_EQ(compressInit(&stream, 9, 0, 30), OK);
    ASSERT_EQ(ledger.requests.size(), 4u);
    EXPECT_EQ(ledger.requests[1], 3600000u);
    EXPECT_EQ(ledger.requests[2], 3600136u);
    EXPECT_EQ(ledger.requests[3], 262148u);
    EXPECT_LT(ledger.peak, 9u * 1000 * 1000);

    // Two full blocks and a flush: still no further requests.
    Bytes data(2000000);
    std::mt19937 rng(1);
    for (auto& b : data) b = static_cast<uint8_t>(rng() % 16);
    Bytes out(data.size() + 100000);
    stream.nextIn = data.data();
    stream.availIn = static_cast<uint32_t>(data.size());
    stream.nextOut = out.data();
    stream.availOut = static_cast<uint32_t>(out.size());
    EXPECT_EQ(compressStep(&stream, FLUSH), RUN_OK);
    EXPECT_EQ(compressStep(&stream, FINISH), STREAM_END);
    EXPECT_EQ(ledger.requests.size(), 4u);

    EXPECT_EQ(compressEnd(&stream), OK);
    EXPECT_TRUE(ledger.live.empty());
    EXPECT_EQ(stream.engineState, nullptr);
}

TEST(CompressMemory, FailedAllocationGivesBackWhatWasTaken) {
    for (int failAt = 0; failAt < 4; ++failAt) {
        MemoryLedger ledger;
        ledger.failAt = failAt;
        CodecStream stream = ledger.stream();
        EXPECT_EQ(compressInit(&stream, 9, 0, 30), MEM_ERROR) << failAt;
        EXPECT_TRUE(ledger.live.empty()) << failAt;
        EXPECT_EQ(stream.engineState, nullptr);
    }
}

TEST(CompressTotals, CarryIntoTheHighWord) {
    Handle h;
    h.stream.totalInLo = 0xFFFFFFF0u;
    h.stream.totalOutLo = 0xFFFFFFF0u;
    Bytes data(100, 'q');
    h.stream.nextIn = data.data();
    h.stream.availIn = 100;
    EXPECT_EQ(compressStep(&h.stream, FINISH), STREAM_END);
    EXPECT_EQ(h.stream.totalInHi, 1u);
    EXPECT_EQ(h.stream.totalInLo, 100u - 16u);
    EXPECT_EQ(h.stream.totalOutHi, 1u);
    EXPECT_EQ(h.stream.totalOutLo, h.produced() - 16u);
}

Bytes randomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes data(n);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    return data;
}

Bytes textLike(size_t n, unsigned seed) {
    static const char* words[] = {"int ", "return ", "struct ", "zor", "(", ")", ";\n", "    ", "const ", "x"};
    std::mt19937 rng(seed);
    Bytes data;
    while (data.size() < n) {
        const char* w = words[rng() % 10];
        data.insert(data.end(), w, w + std::strlen(w));
    }
    data.resize(n);
    return data;
}

Bytes periodic(size_t n, const std::string& unit) {
    Bytes data(n);
    for (size_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(unit[i % unit.size()]);
    return data;
}

// Input bytes that fill a level-1 block's text exactly to its limit (99981)
// when no runs of four or more occur.
constexpr size_t kLevel1Limit = 100000 - 19;

struct RoundTrip {
    const char* name;
    Bytes data;
    int32_t level;
};

class CompressRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(CompressRoundTrip, DecodesToTheInput) {
    const RoundTrip& c = GetParam();
    Bytes stream = compress(c.data, 1 << 16, c.level);
    EXPECT_EQ(decompress(stream), c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CompressRoundTrip,
    ::testing::Values(
        RoundTrip{"Empty", {}, 9}, RoundTrip{"OneByte", {0x42}, 9}, RoundTrip{"TwoBytes", {0xFF, 0x00}, 9},
        RoundTrip{"BlockLimitMinusOne", randomBytes(kLevel1Limit - 1, 1), 1},
        RoundTrip{"BlockLimit", randomBytes(kLevel1Limit, 2), 1},
        RoundTrip{"BlockLimitPlusOne", randomBytes(kLevel1Limit + 1, 3), 1},
        RoundTrip{"RunAcrossBlockLimit", [] {
                      Bytes d = randomBytes(kLevel1Limit - 2, 4);
                      d.insert(d.end(), 600, 'r');
                      return d;
                  }(), 1},
        RoundTrip{"OneRepeatedByte", Bytes(1000000, 'a'), 9},
        RoundTrip{"Run251FillsAMainSortBlock", Bytes(700000, 251), 1},
        RoundTrip{"Block9999", randomBytes(9999, 5), 9}, RoundTrip{"Block10000", textLike(10000, 6), 9},
        RoundTrip{"AbRepeated", periodic(250000, "ab"), 1},
        RoundTrip{"LongPeriod", periodic(300000, "the period of this text is long enough"), 1},
        RoundTrip{"Random", randomBytes(250000, 7), 1}, RoundTrip{"Text", textLike(1200000, 8), 9},
        RoundTrip{"AllByteValues", periodic(70000, [] {
                      std::string all;
                      for (int v = 0; v < 256; ++v) all.push_back(static_cast<char>(v));
                      return all;
                  }()), 9}),
    [](const auto& info) { return std::string(info.param.name); });

class WorkFactorRoundTrip : public ::testing::TestWithParam<int32_t> {};

// Whichever sort finishes a block, the stream must decode; for text
// without equal rotations the bytes must not depend on the work factor.
TEST_P(WorkFactorRoundTrip, StreamDecodesAndIsIndependentOfEffort) {
    Bytes text = textLike(150000, 9);
    Bytes stream = compress(text, 1 << 16, 1, GetParam());
    EXPECT_EQ(decompress(stream), text);
    EXPECT_EQ(stream, compress(text, 1 << 16, 1, 30));
    Bytes ab = periodic(30000, "ab");
    EXPECT_EQ(decompress(compress(ab, 1 << 16, 1, GetParam())), ab);
}

INSTANTIATE_TEST_SUITE_P(Values, WorkFactorRoundTrip, ::testing::Values(0, 1, 100, 250));

// Small input and output windows must give the same bytes as large ones.
TEST(CompressStream, WindowSizesDoNotChangeTheStream) {
    Bytes data = textLike(120000, 10);
    Bytes reference = compress(data, 1 << 16, 1);
    EXPECT_EQ(compress(data, 1, 1), reference);

    CodecStream stream{};
    ASSERT_EQ(compressInit(&stream, 1, 0, 30), OK);
    Bytes out(reference.size() + 64);
    stream.nextOut = out.data();
    stream.availOut = static_cast<uint32_t>(out.size());
    for (size_t i = 0; i < data.size(); i += 777) {
        stream.nextIn = data.data() + i;
        stream.availIn = static_cast<uint32_t>(std::min<size_t>(777, data.size() - i));
        while (stream.availIn > 0) ASSERT_EQ(compressStep(&stream, RUN), RUN_OK);
    }
    EXPECT_EQ(compressStep(&stream, FINISH), STREAM_END);
    out.resize(out.size() - stream.availOut);
    EXPECT_EQ(out, reference);
    compressEnd(&stream);
}

// A single long call must keep letting the user interface run: sorting a
// full block and handing out its bytes take many pump turns.
TEST(CompressStream, LongCallsReachTheMessagePump) {
    Bytes data = textLike(2000000, 11);
    Bytes out(data.size());
    int calls = 0;
    CodecStream stream{};
    stream.pump.hook = [](void* context) { ++*static_cast<int*>(context); };
    stream.pump.context = &calls;
    ASSERT_EQ(compressInit(&stream, 9, 0, 30), OK);
    stream.nextIn = data.data();
    stream.availIn = static_cast<uint32_t>(data.size());
    stream.nextOut = out.data();
    stream.availOut = static_cast<uint32_t>(out.size());
    EXPECT_EQ(compressStep(&stream, FINISH), STREAM_END);
    EXPECT_GE(calls, static_cast<int>(data.size() / MessagePump::kTicksPerPump));
    compressEnd(&stream);
}

}  // namespace
}  // namespace zor
