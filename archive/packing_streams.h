// packing_streams.h - the stdio streams between compressor and disk: a length-limited reader, an enciphering writer.
//
// The compressor reads and writes C streams; these let the packer decide
// what it reads and what reaches the archive without the compressor knowing.
// - The limited reader hands out at most `limit` bytes of a descriptor, so a
//   file that grows while it is packed never makes its stream longer than
//   the length its record states; one that shrinks simply ends sooner, and
//   `bytesRead()` says how many bytes the stream holds.
// - The enciphering writer passes every byte through the password keystream
//   on its way to the archive, so a protected archive's streams are never on
//   disk in clear, not even in the file being written. The keystream goes on
//   from byte to byte across writes, so the bytes are those of enciphering
//   the whole stream at once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "archive/cipher.h"

namespace zor {

class LimitedReader {
public:
    // Takes ownership of `fd` (closed with the stream). stream() is nullptr
    // when no stream could be made; the descriptor is closed then as well.
    LimitedReader(int fd, uint64_t limit);
    LimitedReader(const LimitedReader&) = delete;
    LimitedReader& operator=(const LimitedReader&) = delete;
    ~LimitedReader() { close(); }

    std::FILE* stream() const { return stream_; }
    uint64_t bytesRead() const { return state_->done; }
    int descriptor() const { return state_->fd; }
    // Closes the stream and its descriptor; stream() is nullptr afterwards.
    void close();

    struct State {
        int fd = -1;
        uint64_t left = 0;
        uint64_t done = 0;
    };

private:
    std::unique_ptr<State> state_;
    std::FILE* stream_ = nullptr;
};

class EncipheringWriter {
public:
    // Writes into `archive` (which stays open) through `cipher`, which must
    // have been reset for this stream and must outlive the writer.
    EncipheringWriter(std::FILE* archive, CipherState& cipher);
    EncipheringWriter(const EncipheringWriter&) = delete;
    EncipheringWriter& operator=(const EncipheringWriter&) = delete;
    ~EncipheringWriter() { close(); }

    std::FILE* stream() const { return stream_; }
    // Ends the stream; false when a write into the archive failed.
    bool close();

    struct State {
        std::FILE* archive = nullptr;
        CipherState* cipher = nullptr;
        uint8_t chunk[kCipherChunkSize];
    };

private:
    std::unique_ptr<State> state_;
    std::FILE* stream_ = nullptr;
};

}  // namespace zor
