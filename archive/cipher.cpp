// cipher.cpp - keystream reset, buffer application, and the password marker.
#include "archive/cipher.h"

#include <algorithm>
#include <cstring>

namespace zor {

void resetCipher(CipherState& state, const std::string& password) {
    const std::size_t length = std::min(password.size(), kMaxPasswordLength);
    state.key.fill(0);
    std::memcpy(state.key.data(), password.data(), length);
    state.keyLength = static_cast<int32_t>(length);
    state.position = 0;
}

void cipherBuffer(CipherState& state, uint8_t* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) bytes[i] = cipherByte(state, bytes[i]);
}

std::array<uint8_t, kPasswordMarkerLength> encipherMarker(CipherState& state, const std::string& password) {
    std::array<uint8_t, kPasswordMarkerLength> marker {};
    std::memcpy(marker.data(), kPasswordMarker, kPasswordMarkerLength);
    resetCipher(state, password);
    cipherBuffer(state, marker.data(), marker.size());
    return marker;
}

bool checkPassword(CipherState& state, const uint8_t* storedMarker, const std::string& password) {
    if (password.empty()) return false;
    std::array<uint8_t, kPasswordMarkerLength> marker {};
    std::memcpy(marker.data(), storedMarker, kPasswordMarkerLength);
    resetCipher(state, password);
    cipherBuffer(state, marker.data(), marker.size());
    return std::memcmp(marker.data(), kPasswordMarker, kPasswordMarkerLength) == 0;
}

}  // namespace zor
