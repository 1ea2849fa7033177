// packing_streams.h - the stdio streams between compressor and disk: a length-limited reader, an enciphering writer, the archive's writer.
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
// - The archive writer is the archive being written. The packer writes each
//   entry's record only after its stream, back in the slot before it, and
//   rewrites the header at the end: seeks and writes behind the end are
//   common. The writer keeps the bytes most recently written in one window
//   of memory and follows the position itself, so a seek costs no system
//   call and a record written back into the window is simply copied there;
//   the disk sees large writes at the window's offsets, and the window's
//   last bytes when the archive is synced or closed.
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
        std::unique_ptr<char[]> buffer;  // the stream's: as large as the file, up to 64 KB
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

class ArchiveWriter {
public:
    // Takes ownership of `fd`, a new, empty file open for writing, closed
    // when the stream is. stream() is nullptr when no stream could be made;
    // the descriptor is closed then as well.
    ArchiveWriter(int fd, std::size_t window);
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;
    // Closes the stream if nobody has, leaving unwritten whatever the window holds.
    ~ArchiveWriter();

    // Unbuffered (the window is the buffer); fclose writes the window and
    // closes the descriptor, and fails when either does. The stream may be
    // closed by whoever holds it; this object must outlive it.
    std::FILE* stream() const { return state_->stream; }
    // Writes the window to the disk and waits for the file to reach it; false with errno set.
    bool sync();
    // Cuts the archive to `length` bytes (the position stays where it is); false with errno set.
    bool truncate(uint64_t length);

    struct State {
        std::FILE* stream = nullptr;
        int fd = -1;
        std::unique_ptr<uint8_t[]> window;
        std::size_t capacity = 0;
        uint64_t windowStart = 0;   // the offset of window[0]
        std::size_t windowLength = 0;  // the bytes written into the window and not yet to the disk
        uint64_t diskLength = 0;    // the file's length on the disk
        uint64_t position = 0;      // the stream's position
    };

private:
    std::unique_ptr<State> state_;
};

}  // namespace zor
