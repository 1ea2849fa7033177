// packing_streams.cpp - fopencookie streams: a length-limited reader and an enciphering writer.
#include "archive/packing_streams.h"

#include <algorithm>
#include <cerrno>
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

}  // namespace

LimitedReader::LimitedReader(int fd, uint64_t limit) : state_(new State{fd, limit, 0}) {
    stream_ = ::fopencookie(state_.get(), "rb", cookie_io_functions_t{readLimited, nullptr, nullptr, closeDescriptor});
    if (!stream_) {
        closeDescriptor(state_.get());
        return;
    }
    std::setvbuf(stream_, nullptr, _IOFBF, kReaderBuffer);
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

bool EncipheringWriter::close() {
    if (!stream_) return true;
    const bool written = !std::ferror(stream_);
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    return written && closed && !std::ferror(state_->archive);
}

}  // namespace zor
