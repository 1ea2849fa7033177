// packing_streams.cpp - fopencookie streams: a length-limited reader, an enciphering writer and the archive's windowed writer.
#include "archive/packing_streams.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <unistd.h>

namespace zor {
namespace {

constexpr std::size_t kReaderBuffer = 64 * 1024;

ssize_t readLimited(void* cookie, char* into, std::size_t size) {
    auto& state = *static_cast<LimitedReader::State*>(cookie);
    const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(size, state.left));
    if (wanted == 0) return 0;
    for (;;) {
        const ssize_t n = ::read(state.fd, into, wanted);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            state.left -= static_cast<uint64_t>(n);
            state.done += static_cast<uint64_t>(n);
        }
        return n;
    }
}

int closeDescriptor(void* cookie) {
    auto& state = *static_cast<LimitedReader::State*>(cookie);
    const int closed = state.fd >= 0 ? ::close(state.fd) : 0;
    state.fd = -1;
    return closed;
}

ssize_t writeEnciphered(void* cookie, const char* from, std::size_t size) {
    auto& state = *static_cast<EncipheringWriter::State*>(cookie);
    std::size_t done = 0;
    while (done < size) {
        const std::size_t n = std::min(size - done, sizeof state.chunk);
        std::copy_n(reinterpret_cast<const uint8_t*>(from) + done, n, state.chunk);
        cipherBuffer(*state.cipher, state.chunk, n);
        // A short write leaves the keystream ahead of the archive: the stream is failed from here on.
        if (std::fwrite(state.chunk, 1, n, state.archive) != n) return 0;
        done += n;
    }
    return static_cast<ssize_t>(size);
}

int leaveArchiveOpen(void*) { return 0; }

uint64_t archiveLength(const ArchiveWriter::State& state) {
    return state.windowLength == 0 ? state.diskLength : std::max(state.diskLength, state.windowStart + state.windowLength);
}

// Writes `length` bytes at `offset` of the archive; false with errno set.
bool writeAt(ArchiveWriter::State& state, const uint8_t* from, std::size_t length, uint64_t offset) {
    for (std::size_t done = 0; done < length;) {
        const ssize_t n = ::pwrite(state.fd, from + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    state.diskLength = std::max(state.diskLength, offset + length);
    return true;
}

// Writes the window to the disk and empties it; false with errno set.
bool writeWindow(ArchiveWriter::State& state) {
    if (!writeAt(state, state.window.get(), state.windowLength, state.windowStart)) return false;
    state.windowStart += state.windowLength;
    state.windowLength = 0;
    return true;
}

// A write at the position goes into the window when it starts inside the
// window or at its end and fits; otherwise the window goes to the disk
// first and starts again at the position (a write larger than the window
// goes to the disk at once). A window only ever holds one run of bytes
// without gaps, so writing it out can never cover bytes of the file with
// anything but what was last written there.
ssize_t writeArchive(void* cookie, const char* from, std::size_t size) {
    auto& state = *static_cast<ArchiveWriter::State*>(cookie);
    const auto* bytes = reinterpret_cast<const uint8_t*>(from);
    const uint64_t windowEnd = state.windowStart + state.windowLength;
    const bool fits = state.position >= state.windowStart && state.position <= windowEnd &&
                      state.position + size <= state.windowStart + state.capacity;
    if (state.windowLength > 0 && !fits && !writeWindow(state)) return 0;
    if (state.windowLength == 0) {
        state.windowStart = state.position;
        if (size >= state.capacity) {
            if (!writeAt(state, bytes, size, state.position)) return 0;
            state.position += size;
            return static_cast<ssize_t>(size);
        }
    }
    const std::size_t at = static_cast<std::size_t>(state.position - state.windowStart);
    std::copy_n(bytes, size, state.window.get() + at);
    state.windowLength = std::max(state.windowLength, at + size);
    state.position += size;
    return static_cast<ssize_t>(size);
}

int seekArchive(void* cookie, off64_t* offset, int whence) {
    auto& state = *static_cast<ArchiveWriter::State*>(cookie);
    int64_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<int64_t>(state.position);
    else if (whence == SEEK_END) base = static_cast<int64_t>(archiveLength(state));
    else if (whence != SEEK_SET) base = -1;
    if (base < 0 || base + *offset < 0) {
        errno = EINVAL;
        return -1;
    }
    state.position = static_cast<uint64_t>(base + *offset);
    *offset = static_cast<off64_t>(state.position);
    return 0;
}

int closeArchive(void* cookie) {
    auto& state = *static_cast<ArchiveWriter::State*>(cookie);
    const bool written = writeWindow(state);
    const int error = errno;
    const bool closed = ::close(state.fd) == 0;
    state.fd = -1;
    state.stream = nullptr;
    if (!written) errno = error;
    return written && closed ? 0 : -1;
}

}  // namespace

LimitedReader::LimitedReader(int fd, uint64_t limit) : state_(new State{fd, limit, 0, nullptr}) {
    stream_ = ::fopencookie(state_.get(), "rb", cookie_io_functions_t{readLimited, nullptr, nullptr, closeDescriptor});
    if (!stream_) {
        closeDescriptor(state_.get());
        return;
    }
    // A buffer of its own: given none, the C library would take 8 KB, whatever size is asked for.
    const std::size_t size = static_cast<std::size_t>(std::clamp<uint64_t>(limit, 1, kReaderBuffer));
    state_->buffer.reset(new char[size]);
    std::setvbuf(stream_, state_->buffer.get(), _IOFBF, size);
}

void LimitedReader::close() {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
}

EncipheringWriter::EncipheringWriter(std::FILE* archive, CipherState& cipher) : state_(new State) {
    state_->archive = archive;
    state_->cipher = &cipher;
    stream_ = ::fopencookie(state_.get(), "wb", cookie_io_functions_t{nullptr, writeEnciphered, nullptr,
                                                                      leaveArchiveOpen});
    // Unbuffered: each write of the compressor goes straight through, and the
    // archive's own (large) buffer does the gathering.
    if (stream_) std::setvbuf(stream_, nullptr, _IONBF, 0);
}

ArchiveWriter::ArchiveWriter(int fd, std::size_t window) {
    try {
        state_.reset(new State);
        state_->window.reset(new uint8_t[window]);
    } catch (const std::bad_alloc&) {
        ::close(fd);
        throw;
    }
    state_->fd = fd;
    state_->capacity = window;
    state_->stream = ::fopencookie(state_.get(), "wb",
                                   cookie_io_functions_t{nullptr, writeArchive, seekArchive, closeArchive});
    if (!state_->stream) {
        ::close(fd);
        state_->fd = -1;
        return;
    }
    std::setvbuf(state_->stream, nullptr, _IONBF, 0);
}

ArchiveWriter::~ArchiveWriter() {
    if (!state_->stream) return;
    state_->windowLength = 0;  // given up: nothing more goes to the disk
    std::fclose(state_->stream);
}

bool ArchiveWriter::sync() { return writeWindow(*state_) && ::fsync(state_->fd) == 0; }

bool ArchiveWriter::truncate(uint64_t length) {
    State& state = *state_;
    if (state.windowStart + state.windowLength > length) {
        state.windowLength = length > state.windowStart ? static_cast<std::size_t>(length - state.windowStart) : 0;
    }
    if (state.diskLength <= length) return true;
    if (::ftruncate(state.fd, static_cast<off_t>(length)) != 0) return false;
    state.diskLength = length;
    return true;
}

bool EncipheringWriter::close() {
    if (!stream_) return true;
    const bool written = !std::ferror(stream_);
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    return written && closed && !std::ferror(state_->archive);
}

}  // namespace zor
