// output_stage.cpp - rebuilding a decoded block's text and handing its bytes to the caller.
//
// Undoing the block transform. The stored text L is the last column of the
// sorted rotation matrix; sorting L gives the first column F, and the k-th
// occurrence of a byte in L is the k-th occurrence of it in F. So position
// i of L links to row cumCounts[L[i]] + (occurrences of L[i] before i) of
// F, and following those links from the origin row reads the text.
//
// Following the links is a chain of dependent memory reads over a few
// megabytes, so its speed is that of memory latency. Fast mode therefore
// reads a large block's whole text out at set-up with many walks at once
// (see readOutText), writing the text bytes into the low 8 bits of the
// entries (the link bits stay) in pieces, which the output stage then reads
// in order;
// other blocks are walked link by link as the output goes.
// The byte of row r is the first column's F[r], found from the cumulative
// counts. Small mode keeps a 20-bit link (16 bits in `chainLow`, 4 in a
// nibble of `chainHigh`), reverses the origin's cycle once so that it runs
// in text order, and finds each byte by a binary search of the counts: 2.5
// bytes per position instead of 4, paid for with a search per byte.
//
// The walk then undoes the run-length stage: after four equal bytes the
// next fetched byte is a count of further copies. `bytesFetched` counts
// fetches; the text is used up after textLength + 1 of them (the first one
// is made when the block is set up). A block whose text ends where a count
// is due is damaged; it is marked by pushing `bytesFetched` past that mark,
// which the streaming layer reports as a data error.
#include "engine/output_stage.h"

#include <algorithm>
#include <bit>

#include "engine/crc32.h"
#include "engine/randomisation_table.h"

namespace zor {

namespace {

// Fast mode after set-up: the text bytes lie in the low bytes of `chain`,
// piece after piece. The fetch after the last byte (never used) wraps to
// the first.
struct FastText {
    const uint32_t* chain;
    const DecoderState::TextPiece* pieces;
    uint32_t position;
    int32_t piece;
    uint32_t end;

    inline uint32_t next() {
        const uint32_t byte = chain[position] & 0xFF;
        if (++position == end) {
            piece = pieces[piece].next;
            position = pieces[piece].start;
            end = pieces[piece].end;
        }
        return byte;
    }
    void storeIn(DecoderState& s) const {
        s.chainPosition = position;
        s.textPiece = piece;
    }
};

// Fast mode when the text was not read out: follow the links as the
// output goes (byte in the low 8 bits of each entry, link above).
struct FastChain {
    const uint32_t* chain;
    uint32_t position;

    inline uint32_t next() {
        const uint32_t entry = chain[position];
        position = entry >> 8;
        return entry & 0xFF;
    }
    void storeIn(DecoderState& s) const { s.chainPosition = position; }
};

constexpr uint32_t kLinkMask = 0xFFFFF;        // links are below 900000 < 2^20 (bits 8 to 27)
constexpr uint32_t kStartRow = 0x80000000u;    // marks the rows where the walks start
constexpr int32_t kWalks = 128;                // reads in flight; a tenth faster than 32, no gain beyond
constexpr int32_t kFewestForWalks = 1 << 14;   // smaller blocks are read by one walk

inline uint32_t linkOf(uint32_t entry) { return (entry >> 8) & kLinkMask; }

// Whether a walk from the origin mostly stays close to where it recently
// was, as it does through long repeats; such a walk is served by the caches
// and is cheaper to follow link by link than to read out by many walks.
bool walkStaysNear(const uint32_t* chain, uint32_t n, uint32_t origin) {
    constexpr int32_t kSteps = 4096;
    constexpr int32_t kRecent = 8;
    constexpr uint32_t kNear = 64;
    uint32_t recent[kRecent] = {};
    uint32_t row = origin;
    int32_t near = 0;
    for (int32_t i = 0; i < kSteps && i < static_cast<int32_t>(n); ++i) {
        const uint32_t next = linkOf(chain[row]);
        bool close = false;
        for (uint32_t r : recent) close |= next - r + kNear <= 2 * kNear;
        near += close ? 1 : 0;
        recent[i % kRecent] = row = next;
    }
    return near > kSteps / 2;
}

// A plain byte store where the low byte comes first in memory: it need not
// wait for the entry to be read.
inline void putTextByte(uint32_t* chain, uint32_t j, uint32_t byte) {
    if constexpr (std::endian::native == std::endian::little)
        reinterpret_cast<uint8_t*>(chain + j)[0] = static_cast<uint8_t>(byte);
    else
        chain[j] = (chain[j] & ~0xFFu) | byte;
}

// Room for the walks' bytes: the low bytes of chain[0, n), given out in
// steps of kRoomStep from the front. Once the front is used up, a walk takes
// the room a finished walk left over, or else the back half of the most
// room another walk holds. The walks take n steps at most (their paths do
// not meet, as the links are a permutation), so room never runs out. Each
// walk's bytes form a list of pieces.
//
// The walks still going sit in slots 0 to active - 1, so that the hot
// loops index their state directly; a finishing walk's slot is taken over
// by the walk in the last slot.
class WalkRoom {
public:
    WalkRoom(DecoderState::TextPiece* pieces, uint32_t n) : pieces_(pieces), n_(n) {
        for (int32_t w = 0; w < kWalks; ++w) {
            piece_[w] = -1;
            walk_[w] = w;
        }
    }

    // Stores the next byte of the walk in `slot`; false when the pieces ran out.
    inline bool put(uint32_t* chain, int32_t slot, uint32_t byte) {
        if (position_[slot] == end_[slot] && !grow(slot)) return false;
        putTextByte(chain, position_[slot]++, byte);
        return true;
    }

    // Closes the last piece of the walk in `slot` (which has stored a byte
    // at least), leaves its unused room to the others and moves the walk in
    // slot `last` (the last one in use) to `slot`.
    void finish(int32_t slot, int32_t last) {
        const int32_t w = walk_[slot];
        pieces_[piece_[slot]].end = position_[slot];
        if (position_[slot] < end_[slot]) leftover_[leftoverCount_++] = {position_[slot], end_[slot], -1};
        lastPiece_[w] = piece_[slot];
        position_[slot] = position_[last];
        end_[slot] = end_[last];
        piece_[slot] = piece_[last];
        walk_[slot] = walk_[last];
        end_[last] = position_[last];  // the stale copy spares nothing
    }

    int32_t walkIn(int32_t slot) const { return walk_[slot]; }
    int32_t firstPiece(int32_t w) const { return first_[w]; }
    int32_t lastPiece(int32_t w) const { return lastPiece_[w]; }

private:
    bool grow(int32_t slot) {
        uint32_t start;
        uint32_t stop;
        if (front_ < n_) {
            start = front_;
            stop = front_ = std::min(n_, front_ + kRoomStep);
        } else if (leftoverCount_ > 0) {
            --leftoverCount_;
            start = leftover_[leftoverCount_].start;
            stop = leftover_[leftoverCount_].end;
        } else {
            // The slots past the active ones spare nothing (see finish).
            int32_t v = 0;
            for (int32_t u = 1; u < kWalks; ++u)
                if (end_[u] - position_[u] > end_[v] - position_[v]) v = u;
            const uint32_t spare = end_[v] - position_[v];
            if (spare == 0) return false;
            start = end_[v] - (spare + 1) / 2;
            stop = end_[v];
            end_[v] = start;
        }
        if (piece_[slot] >= 0 && start == position_[slot]) {
            end_[slot] = stop;
            return true;
        }
        if (pieceCount_ == DecoderState::kMaxTextPieces) return false;
        const int32_t k = pieceCount_++;
        pieces_[k].start = start;
        if (piece_[slot] >= 0) {
            pieces_[piece_[slot]].end = position_[slot];
            pieces_[piece_[slot]].next = k;
        } else {
            first_[walk_[slot]] = k;
        }
        piece_[slot] = k;
        position_[slot] = start;
        end_[slot] = stop;
        return true;
    }

    static constexpr uint32_t kRoomStep = 512;  // ~1800 pieces for the largest block

    DecoderState::TextPiece* pieces_;
    int32_t pieceCount_ = 0;
    uint32_t n_;
    uint32_t front_ = 0;
    // By slot.
    uint32_t position_[kWalks] = {};
    uint32_t end_[kWalks] = {};
    int32_t piece_[kWalks];
    int32_t walk_[kWalks];
    // By walk.
    int32_t first_[kWalks] = {};
    int32_t lastPiece_[kWalks] = {};
    DecoderState::TextPiece leftover_[kWalks];
    int32_t leftoverCount_ = 0;
};

// Reads the text out with kWalks walks at once, so that their memory reads
// overlap. Walk 0 starts at the origin, the others at rows spread over the
// block; start rows are marked. Each walk runs to the next marked row,
// which tells its successor, storing the bytes it passes (text byte j is
// F[q_j], where q_0 is the origin row and q_(j+1) = link(q_j)) in room it
// takes as it goes (see WalkRoom); chaining the successors from walk 0 puts
// the pieces in text order. The links are read once, as each walk's text
// offset is not needed up front.
// Returns false, leaving the block store as it was, for a small block, a
// block whose walk stays near (see walkStaysNear) and when the walks do not
// tile one cycle of all n rows: a periodic text (whose origin cycle is
// short and cheap to follow) or a damaged block; the output stage then
// follows the links itself.
bool readOutText(DecoderState& s) {
    uint32_t* chain = s.chain;
    const int32_t* cumCounts = s.cumCounts;
    const uint32_t n = static_cast<uint32_t>(s.save.textLength);
    const uint32_t origin = static_cast<uint32_t>(s.originPointer);
    if (n < kFewestForWalks || walkStaysNear(chain, n, origin)) return false;
    uint32_t start[kWalks];
    int32_t successor[kWalks];
    for (int32_t w = 0; w < kWalks; ++w) {
        start[w] = static_cast<uint32_t>((origin + static_cast<uint64_t>(w) * n / kWalks) % n);
        chain[start[w]] |= kStartRow;
        successor[w] = -1;
    }
    auto walkStartingAt = [&](uint32_t r) {
        int32_t w = 0;
        while (start[w] != r) ++w;
        return w;
    };

    // The byte of a row: the byte at the start of its 256-row bucket, moved
    // on past the byte values that end before the row.
    uint8_t bucketByte[(kBlockUnit * 9 >> 8) + 1];
    for (uint32_t b = 0; b <= (n - 1) >> 8; ++b) bucketByte[b] = static_cast<uint8_t>(byteAtPosition(b << 8, cumCounts));
    auto rowByte = [&](uint32_t r) {
        uint32_t c = bucketByte[r >> 8];
        while (static_cast<int64_t>(r) >= cumCounts[c + 1]) ++c;
        return c;
    };

    // The low bytes hold the stored text; the walks overwrite them, so a
    // walk that gives up puts them back: the byte stored at link(r) is F[r].
    auto giveUp = [&]() {
        for (int32_t w = 0; w < kWalks; ++w) chain[start[w]] &= ~kStartRow;
        for (uint32_t c = 0; c < 256; ++c)
            for (int32_t r = cumCounts[c]; r < cumCounts[c + 1]; ++r) putTextByte(chain, linkOf(chain[r]), c);
        return false;
    };

    // Each walk's first step is taken apart, so that in the rounds a marked
    // row always ends the walk that reaches it.
    WalkRoom room(s.textPieces, n);
    uint32_t row[kWalks];
    uint32_t entry[kWalks];
    for (int32_t w = 0; w < kWalks; ++w) {
        if (!room.put(chain, w, rowByte(start[w]))) return giveUp();
        row[w] = linkOf(chain[start[w]]);
    }
    uint32_t steps = kWalks;

    // Each round first issues every active walk's read, then uses them, so
    // that the reads are in flight together. A walk ends at the latest back
    // at its own start row.
    for (int32_t active = kWalks; active > 0;) {
        for (int32_t i = 0; i < active; ++i) entry[i] = chain[row[i]];
        for (int32_t i = 0; i < active;) {
            if (entry[i] & kStartRow) {
                const int32_t last = --active;
                successor[room.walkIn(i)] = walkStartingAt(row[i]);
                room.finish(i, last);
                row[i] = row[last];
                entry[i] = entry[last];
                continue;
            }
            if (!room.put(chain, i, rowByte(row[i]))) return giveUp();
            row[i] = linkOf(entry[i]);
            ++i;
        }
        steps += static_cast<uint32_t>(active);
    }

    int32_t visited = 0;
    for (int32_t w = 0; visited == 0 || w != 0; w = successor[w]) ++visited;
    if (visited != kWalks || steps != n) return giveUp();

    for (int32_t w = 0; w < kWalks; ++w) {
        chain[start[w]] &= ~kStartRow;
        s.textPieces[room.lastPiece(w)].next = room.firstPiece(successor[w]);
    }
    s.textPiece = room.firstPiece(0);
    s.chainPosition = s.textPieces[s.textPiece].start;
    return true;
}

inline uint32_t smallLink(const uint16_t* low, const uint8_t* high, uint32_t i) {
    return low[i] | (static_cast<uint32_t>((high[i >> 1] >> ((i & 1) << 2)) & 0xF) << 16);
}

inline void setSmallLink(uint16_t* low, uint8_t* high, uint32_t i, uint32_t link) {
    low[i] = static_cast<uint16_t>(link);
    const int shift = (i & 1) << 2;
    high[i >> 1] = static_cast<uint8_t>((high[i >> 1] & ~(0xF << shift)) | ((link >> 16) << shift));
}

struct SmallChain {
    const uint16_t* low;
    const uint8_t* high;
    const int32_t* cumCounts;
    uint32_t position;

    inline uint32_t next() {
        const uint32_t byte = static_cast<uint32_t>(byteAtPosition(position, cumCounts));
        position = smallLink(low, high, position);
        return byte;
    }
    void storeIn(DecoderState& s) const { s.chainPosition = position; }
};

FastChain fastChainOf(const DecoderState& s) { return {s.chain, s.chainPosition}; }
FastText fastTextOf(const DecoderState& s) {
    return {s.chain, s.textPieces, s.chainPosition, s.textPiece, s.textPieces[s.textPiece].end};
}
SmallChain smallChainOf(const DecoderState& s) { return {s.chainLow, s.chainHigh, s.cumCounts, s.chainPosition}; }

template <class Chain>
uint32_t takeFirstByte(DecoderState& s, Chain chain) {
    const uint32_t byte = chain.next();
    chain.storeIn(s);
    return byte;
}

// The output walk for one memory mode, on local copies of the record's
// fields; the record and the output total are updated once, on return.
template <class Chain, bool kRandomised>
void emitOutput(DecoderState& s, Chain chain) {
    CodecStream& stream = *s.stream;
    Randomiser randomiser{s.randCounter, s.randIndex};
    uint32_t crc = s.blockCrc;
    uint8_t outByte = s.outByte;
    int32_t runLeft = s.outRunLeft;
    int32_t fetched = s.bytesFetched;
    int32_t nextByte = s.nextByte;
    uint8_t* out = stream.nextOut;
    uint8_t* const outEnd = out + stream.availOut;
    const int32_t end = s.save.textLength + 1;

    auto fetch = [&]() -> int32_t {
        uint32_t byte = chain.next();
        if constexpr (kRandomised) byte ^= randomiser.nextMask();
        ++fetched;
        return static_cast<int32_t>(byte);
    };

    for (;;) {
        while (runLeft > 0) {
            if (out == outEnd) goto done;
            *out++ = outByte;
            --runLeft;
        }
        if (fetched >= end) break;

        // While there is room, a byte unlike the one after it goes straight
        // out; this is what the steps below do for it, most bytes' case.
        outByte = static_cast<uint8_t>(nextByte);
        int32_t k = fetch();
        while (fetched != end && k != nextByte && out != outEnd) {
            *out++ = outByte;
            nextByte = k;
            outByte = static_cast<uint8_t>(k);
            k = fetch();
        }
        runLeft = 1;
        if (fetched == end) continue;
        if (k != nextByte) {
            nextByte = k;
            continue;
        }

        // Up to two more copies of the same byte can follow one by one.
        bool runOfFour = true;
        for (int32_t copies = 2; copies <= 3; ++copies) {
            runLeft = copies;
            k = fetch();
            if (fetched == end) {
                runOfFour = false;
                break;
            }
            if (k != nextByte) {
                nextByte = k;
                runOfFour = false;
                break;
            }
        }
        if (!runOfFour) continue;

        k = fetch();  // the count byte
        if (fetched == end) {
            fetched = end + 1;
            runLeft = 0;
            break;
        }
        runLeft = k + 4;
        nextByte = fetch();
    }
done:
    const uint32_t written = static_cast<uint32_t>(out - stream.nextOut);
    crc = crcUpdate(crc, stream.nextOut, written);
    stream.nextOut = out;
    stream.availOut -= written;
    addToTotal(stream.totalOutLo, stream.totalOutHi, written);
    s.blockCrc = crc;
    s.outByte = outByte;
    s.outRunLeft = runLeft;
    s.bytesFetched = fetched;
    s.nextByte = nextByte;
    chain.storeIn(s);
    s.randCounter = randomiser.counter;
    s.randIndex = randomiser.index;
}

}  // namespace

int32_t byteAtPosition(uint32_t position, const int32_t* cumCounts) {
    // Binary search by halving steps: the largest c with cumCounts[c] <= position.
    int32_t lo = 0;
    for (int32_t step = 128; step > 0; step >>= 1)
        if (static_cast<int64_t>(position) >= cumCounts[lo + step]) lo += step;
    return lo;
}

void prepareBlockOutput(DecoderState& s) {
    const int32_t n = s.save.textLength;
    s.outRunLeft = 0;
    s.outByte = 0;
    s.blockCrc = kCrcStart;
    s.step = STEP_OUTPUT;

    s.cumCounts[0] = 0;
    for (int32_t c = 1; c <= 256; ++c) s.cumCounts[c] = s.cumCounts[c - 1] + s.byteCounts[c - 1];

    // Links are numbered from the copy; the counts stay for finding bytes.
    int32_t* next = s.cumCountsCopy;
    for (int32_t c = 0; c <= 256; ++c) next[c] = s.cumCounts[c];
    if (!s.smallMode) {
        // Links of equal bytes follow one another through the same count,
        // each waiting for the one before; the block's two parts are linked
        // side by side, through counts of their own.
        uint32_t* chain = s.chain;
        auto link = [chain](int32_t* to, int32_t i) {
            const uint32_t b = chain[i] & 0xFF;
            chain[to[b]++] |= static_cast<uint32_t>(i) << 8;
        };
        const int32_t half = s.halfLength;
        int32_t nextInSecond[256];
        for (int32_t c = 0; c < 256; ++c) nextInSecond[c] = next[c] + (half > 0 ? s.halfCounts[c] : 0);
        const int32_t pairs = std::min(half, n - half);
        for (int32_t i = 0; i < pairs; ++i) {
            link(next, i);
            link(nextInSecond, half + i);
        }
        for (int32_t i = pairs; i < half; ++i) link(next, i);
        for (int32_t i = half + pairs; i < n; ++i) link(nextInSecond, i);
        s.textReadOut = readOutText(s);
        if (!s.textReadOut) s.chainPosition = chain[s.originPointer] >> 8;
    } else {
        uint16_t* low = s.chainLow;
        uint8_t* high = s.chainHigh;
        for (int32_t i = 0; i < n; ++i) {
            const uint32_t b = low[i] & 0xFF;
            setSmallLink(low, high, static_cast<uint32_t>(i), static_cast<uint32_t>(next[b]++));
        }
        // The links form a permutation, so the origin's cycle closes.
        const uint32_t origin = static_cast<uint32_t>(s.originPointer);
        uint32_t i = origin;
        uint32_t j = smallLink(low, high, i);
        do {
            const uint32_t x = smallLink(low, high, j);
            setSmallLink(low, high, j, i);
            i = j;
            j = x;
        } while (i != origin);
        s.chainPosition = origin;
    }

    s.bytesFetched = 0;
    s.randCounter = 0;
    s.randIndex = 0;
    uint32_t first = s.smallMode     ? takeFirstByte(s, smallChainOf(s))
                     : s.textReadOut ? takeFirstByte(s, fastTextOf(s))
                                     : takeFirstByte(s, fastChainOf(s));
    if (s.randomised) {
        Randomiser randomiser;
        first ^= randomiser.nextMask();
        s.randCounter = randomiser.counter;
        s.randIndex = randomiser.index;
    }
    s.nextByte = static_cast<int32_t>(first);
    s.bytesFetched = 1;
}

void emitOutputFast(DecoderState& s) {
    if (s.textReadOut) {
        if (s.randomised)
            emitOutput<FastText, true>(s, fastTextOf(s));
        else
            emitOutput<FastText, false>(s, fastTextOf(s));
    } else if (s.randomised) {
        emitOutput<FastChain, true>(s, fastChainOf(s));
    } else {
        emitOutput<FastChain, false>(s, fastChainOf(s));
    }
}

void emitOutputSmall(DecoderState& s) {
    if (s.randomised)
        emitOutput<SmallChain, true>(s, smallChainOf(s));
    else
        emitOutput<SmallChain, false>(s, smallChainOf(s));
}

int32_t finishBlockCheck(DecoderState& s) {
    s.blockCrc = crcFinish(s.blockCrc);
    if (s.blockCrc != s.storedBlockCrc) return DATA_ERROR;
    s.streamCrc = foldStreamCrc(s.streamCrc, s.blockCrc);
    s.step = BLOCK_MAGIC_1;
    return OK;
}

}  // namespace zor
