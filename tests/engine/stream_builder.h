// stream_builder.h - assembles compressed streams field by field for decoder tests, sound or deliberately damaged.
//
// `blockFor` turns input bytes into every field of one block with a small,
// slow, independent encoder (rotation sort by prefix doubling, move-to-front,
// zero runs, one plain complete code for all tables); tests then change any
// field and `writeBlock` writes the fields exactly as they stand.
#pragma once

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

#include "engine/bit_writer.h"
#include "engine/crc32.h"
#include "engine/decompress_stream.h"

namespace zor::test {

class StreamBuilder {
public:
    StreamBuilder() {
        area_.resize(1 << 22);
        writer_.retarget(area_.data());
        writer_.startBits();
    }

    // Any width up to 32 bits, most significant bit first.
    StreamBuilder& bits(int n, uint32_t value) {
        if (n > 16) {
            writer_.putBits(n - 16, value >> 16);
            n = 16;
            value &= 0xFFFF;
        }
        if (n > 0) writer_.putBits(n, value);
        return *this;
    }
    StreamBuilder& byte(uint8_t b) { return bits(8, b); }
    StreamBuilder& bytes(std::initializer_list<uint8_t> list) {
        for (uint8_t b : list) byte(b);
        return *this;
    }
    StreamBuilder& header(int level = 9) { return bytes({0, 0, 0, static_cast<uint8_t>(0x30 + level)}); }
    StreamBuilder& endOfStream(uint32_t streamCrc) {
        bytes({0x17, 0x72, 0x45, 0x38, 0x50, 0x90});
        return bits(32, streamCrc);
    }

    std::vector<uint8_t> finish() {
        writer_.finishBits();
        return {area_.begin(), area_.begin() + writer_.outputLength};
    }

private:
    std::vector<uint8_t> area_;
    BitWriter writer_;
};

// Every field of one block, in stream order.
struct BlockFields {
    std::vector<uint8_t> magic{0x32, 0x42, 0x60, 0x27, 0x54, 0x60};
    uint32_t crc = 0;
    bool randomised = false;
    uint32_t originPointer = 0;
    std::vector<bool> used = std::vector<bool>(256, false);
    int tableCount = 2;
    int selectorCount = 0;                   // as written
    std::vector<int> selectorMtf;            // move-to-front indices as written
    std::vector<std::vector<int>> lengths;   // per table, per symbol
    std::vector<int> symbols;                // END_OF_BLOCK included
    std::vector<std::pair<int, uint32_t>> extraBits;  // written after the symbols

    int usedCount() const { return static_cast<int>(std::count(used.begin(), used.end(), true)); }
    int alphaSize() const { return usedCount() + 2; }
};

// Canonical codes of one table, as the writer assigns them.
inline std::vector<uint32_t> canonicalCodes(const std::vector<int>& lengths) {
    std::vector<uint32_t> codes(lengths.size(), 0);
    const auto [lo, hi] = std::minmax_element(lengths.begin(), lengths.end());
    uint32_t v = 0;
    for (int n = *lo; n <= *hi; ++n) {
        for (size_t s = 0; s < lengths.size(); ++s)
            if (lengths[s] == n) codes[s] = v++;
        v <<= 1;
    }
    return codes;
}

// A complete code for `alphaSize` symbols: the first ones one bit shorter.
inline std::vector<int> plainLengths(int alphaSize) {
    int longest = 1;
    while ((1 << longest) < alphaSize) ++longest;
    const int shorter = (1 << longest) - alphaSize;
    std::vector<int> lengths(alphaSize, longest);
    for (int s = 0; s < shorter; ++s) lengths[s] = longest - 1;
    return lengths;
}

inline void writeBlock(StreamBuilder& out, const BlockFields& f) {
    for (uint8_t b : f.magic) out.byte(b);
    out.bits(32, f.crc).bits(1, f.randomised ? 1 : 0).bits(24, f.originPointer);
    for (int i = 0; i < 16; ++i)
        out.bits(1, std::any_of(f.used.begin() + 16 * i, f.used.begin() + 16 * i + 16, [](bool u) { return u; }));
    for (int i = 0; i < 16; ++i) {
        if (!std::any_of(f.used.begin() + 16 * i, f.used.begin() + 16 * i + 16, [](bool u) { return u; })) continue;
        for (int j = 0; j < 16; ++j) out.bits(1, f.used[16 * i + j]);
    }
    out.bits(3, f.tableCount).bits(15, f.selectorCount);
    for (int k : f.selectorMtf) {
        for (int i = 0; i < k; ++i) out.bits(1, 1);
        out.bits(1, 0);
    }
    for (const std::vector<int>& table : f.lengths) {
        int c = table.empty() ? 0 : table[0];
        out.bits(5, c);
        for (int len : table) {
            for (; c < len; ++c) out.bits(2, 2);
            for (; c > len; --c) out.bits(2, 3);
            out.bits(1, 0);
        }
    }
    // Undo the selectors' move-to-front coding to know each group's table.
    std::vector<int> list(std::max(f.tableCount, 1));
    std::iota(list.begin(), list.end(), 0);
    std::vector<int> tables;
    for (int k : f.selectorMtf) {
        const int kk = std::min<int>(k, static_cast<int>(list.size()) - 1);
        const int t = list[kk];
        list.erase(list.begin() + kk);
        list.insert(list.begin(), t);
        tables.push_back(t);
    }
    std::vector<std::vector<uint32_t>> codes;
    for (const std::vector<int>& table : f.lengths) codes.push_back(canonicalCodes(table));
    for (size_t i = 0; i < f.symbols.size(); ++i) {
        const int t = tables.empty() ? 0 : tables[std::min(i / 50, tables.size() - 1)];
        out.bits(f.lengths[t][f.symbols[i]], codes[t][f.symbols[i]]);
    }
    for (const auto& [n, v] : f.extraBits) out.bits(n, v);
}

// The run-length stage: runs of 4 to 255 become four bytes and a count.
inline std::vector<uint8_t> runLengthStage(const std::vector<uint8_t>& input) {
    std::vector<uint8_t> text;
    for (size_t i = 0; i < input.size();) {
        size_t run = 1;
        while (i + run < input.size() && input[i + run] == input[i] && run < 255) ++run;
        text.insert(text.end(), std::min<size_t>(run, 4), input[i]);
        if (run >= 4) text.push_back(static_cast<uint8_t>(run - 4));
        i += run;
    }
    return text;
}

// Sorted rotation start positions of `text`, by prefix doubling.
inline std::vector<uint32_t> sortRotations(const std::vector<uint8_t>& text) {
    const size_t n = text.size();
    std::vector<uint32_t> order(n), rank(n), next(n);
    std::iota(order.begin(), order.end(), 0);
    for (size_t i = 0; i < n; ++i) rank[i] = text[i];
    for (size_t width = 1;; width *= 2) {
        auto key = [&](uint32_t p) { return std::pair{rank[p], rank[(p + width) % n]}; };
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
        next[order[0]] = 0;
        for (size_t i = 1; i < n; ++i) next[order[i]] = next[order[i - 1]] + (key(order[i - 1]) < key(order[i]) ? 1 : 0);
        rank = next;
        if (rank[order[n - 1]] == n - 1 || width >= n) break;
    }
    return order;
}

// Every field of a block whose transformed text is `text` (after the
// run-length stage, and after randomisation for a randomised block) and
// whose CRC is `crc`.
inline BlockFields blockForText(const std::vector<uint8_t>& text, uint32_t crc) {
    BlockFields f;
    f.crc = crc;
    const size_t n = text.size();
    for (uint8_t b : text) f.used[b] = true;
    std::vector<int> seqOf(256, 0);
    int count = 0;
    for (int c = 0; c < 256; ++c)
        if (f.used[c]) seqOf[c] = count++;
    const std::vector<uint32_t> order = sortRotations(text);
    std::vector<int> list(count);
    std::iota(list.begin(), list.end(), 0);
    uint32_t zeros = 0;
    auto flushZeros = [&] {
        if (zeros == 0) return;
        for (uint32_t v = zeros - 1;; v = (v - 2) / 2) {
            f.symbols.push_back(v & 1);
            if (v < 2) break;
        }
        zeros = 0;
    };
    for (size_t row = 0; row < n; ++row) {
        if (order[row] == 0) f.originPointer = static_cast<uint32_t>(row);
        const int s = seqOf[text[(order[row] + n - 1) % n]];
        const int k = static_cast<int>(std::find(list.begin(), list.end(), s) - list.begin());
        if (k == 0) {
            ++zeros;
            continue;
        }
        flushZeros();
        list.erase(list.begin() + k);
        list.insert(list.begin(), s);
        f.symbols.push_back(k + 1);
    }
    flushZeros();
    f.symbols.push_back(count + 1);
    f.selectorCount = static_cast<int>((f.symbols.size() + 49) / 50);
    f.selectorMtf.assign(f.selectorCount, 0);
    f.lengths.assign(f.tableCount, plainLengths(count + 2));
    return f;
}

inline uint32_t blockCrcOf(const std::vector<uint8_t>& input) {
    return crcFinish(crcUpdate(kCrcStart, input.data(), input.size()));
}

// Every field of a sound block holding `input` (at most one block's worth).
inline BlockFields blockFor(const std::vector<uint8_t>& input) {
    return blockForText(runLengthStage(input), blockCrcOf(input));
}

// A whole stream of the given blocks' inputs.
inline std::vector<uint8_t> streamFor(const std::vector<std::vector<uint8_t>>& blockInputs, int level = 9) {
    StreamBuilder out;
    out.header(level);
    uint32_t streamCrc = 0;
    for (const std::vector<uint8_t>& input : blockInputs) {
        const BlockFields f = blockFor(input);
        writeBlock(out, f);
        streamCrc = foldStreamCrc(streamCrc, f.crc);
    }
    out.endOfStream(streamCrc);
    return out.finish();
}

// A stream of one block with the given fields.
inline std::vector<uint8_t> streamWith(const BlockFields& f, int level = 9) {
    StreamBuilder out;
    out.header(level);
    writeBlock(out, f);
    out.endOfStream(foldStreamCrc(0, f.crc));
    return out.finish();
}

// Outcome of decoding a whole stream through the streaming interface.
struct Decoded {
    int32_t status = OK;           // the first status other than OK, or OK when input ran out
    std::vector<uint8_t> output;
    size_t consumed = 0;           // input bytes taken
};

// Decodes `stream`, offering at most `inSlice` input bytes and `outSlice`
// bytes of room per call, until a status other than OK or no progress.
inline Decoded decodeStream(const std::vector<uint8_t>& stream, bool smallMode = false, size_t inSlice = SIZE_MAX,
                            size_t outSlice = 1 << 16) {
    Decoded d;
    CodecStream handle{};
    d.status = decompressInit(&handle, 0, smallMode ? 1 : 0);
    if (d.status != OK) return d;
    std::vector<uint8_t> room(outSlice);
    for (;;) {
        const size_t give = std::min(inSlice, stream.size() - d.consumed);
        handle.nextIn = stream.data() + d.consumed;
        handle.availIn = static_cast<uint32_t>(give);
        handle.nextOut = room.data();
        handle.availOut = static_cast<uint32_t>(outSlice);
        d.status = decompressStep(&handle);
        d.consumed += give - handle.availIn;
        d.output.insert(d.output.end(), room.data(), handle.nextOut);
        if (d.status != OK) break;
        if (d.consumed == stream.size() && handle.nextOut == room.data() && give == 0) break;
    }
    decompressEnd(&handle);
    return d;
}

}  // namespace zor::test
