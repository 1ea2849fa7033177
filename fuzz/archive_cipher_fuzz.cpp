// archive_cipher_fuzz.cpp - tests arbitrary archive bytes as a protected archive, deciphering with a chosen password.
//
// Input: one byte giving the password's length (1 + byte % 50), the
// password, then the archive. The header is made protected with the
// password's marker, so the password check passes and every stream goes
// through the cipher into the decoder. The keystream must also undo itself.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/archive_header.h"
#include "archive/cipher.h"
#include "archive/testing.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr size_t kProtectedOffset = 34;
constexpr size_t kMarkerOffset = 36;
constexpr size_t kMarkerLengthOffset = 48;

void checkKeystreamUndoesItself(const std::string& password, const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    zor::CipherState state;
    zor::resetCipher(state, password);
    zor::cipherBuffer(state, bytes.data(), bytes.size());
    zor::resetCipher(state, password);
    zor::cipherBuffer(state, bytes.data(), bytes.size());
    if (size > 0 && std::memcmp(bytes.data(), data, size) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t passwordLength = 1 + data[0] % zor::kMaxPasswordLength;
    if (size < 1 + passwordLength) return 0;
    const std::string password(reinterpret_cast<const char*>(data + 1), passwordLength);
    std::vector<uint8_t> archive(data + 1 + passwordLength, data + size);
    checkKeystreamUndoesItself(password, archive.data(), std::min<size_t>(archive.size(), 4096));

    if (archive.size() >= zor::kArchiveHeaderSize) {
        zor::CipherState state;
        const auto marker = zor::encipherMarker(state, password);
        archive[kProtectedOffset] = 1;
        archive[kProtectedOffset + 1] = 0;
        std::memcpy(&archive[kMarkerOffset], marker.data(), marker.size());
        archive[kMarkerOffset + marker.size()] = 0;
        archive[kMarkerLengthOffset] = static_cast<uint8_t>(marker.size());
        archive[kMarkerLengthOffset + 1] = 0;
    }
    zor::fuzz::InputArchive input(archive.data(), archive.size());
    zor::fuzz::SilentUi ui;
    ui.password = password;
    zor::OperationContext context(ui);
    context.window.ArchivePath = input.path();
    const zor::OperationOutcome outcome = zor::TestButtonClick(context);
    if (outcome == zor::OperationOutcome::Fatal || outcome == zor::OperationOutcome::Cancelled) std::abort();
    if (outcome == zor::OperationOutcome::Failed && ui.reports == 0) std::abort();
    return 0;
}
