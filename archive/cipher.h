// cipher.h - the byte-wise password keystream that enciphers entry data and the password marker.
//
// The state is the password's bytes (changing as they are used), their
// count and a position. Each step, with k the key, n its length and p the
// position, all modulo 256:
//   t = (k[0] * p) XOR k[p];  byte ^= t;
//   k[p] += (p < n - 1) ? k[p + 1] : k[0];  a key byte that became 0 becomes 1;
//   p = (p + 1) mod n.
// k[0] is always its current value, so the keystream depends on the whole
// password. The operation is its own inverse: enciphering twice from a
// fresh reset restores the bytes. A fresh keystream starts for the marker
// and for every file's data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zor {

inline constexpr std::size_t kMaxPasswordLength = 50;
inline constexpr char kPasswordMarker[] = "QuIlLpEnSx";
inline constexpr std::size_t kPasswordMarkerLength = 10;
inline constexpr std::size_t kCipherChunkSize = 16384;

inline constexpr char kWrongPasswordMessage[] = "Password is not correct!";

struct CipherState {
    std::array<uint8_t, kMaxPasswordLength> key {};
    int32_t keyLength = 0;
    int32_t position = 0;
};

// Starts a keystream from the password's bytes (the first 50 when it is longer).
void resetCipher(CipherState& state, const std::string& password);

// Enciphers or deciphers one byte and advances the keystream.
inline uint8_t cipherByte(CipherState& state, uint8_t byte) {
    auto& k = state.key;
    const int32_t n = state.keyLength;
    const int32_t p = state.position;
    const uint8_t t = static_cast<uint8_t>((k[0] * p) ^ k[p]);
    byte ^= t;
    k[p] = static_cast<uint8_t>(k[p] + (p < n - 1 ? k[p + 1] : k[0]));
    if (k[p] == 0) k[p] = 1;
    state.position = p + 1 >= n ? 0 : p + 1;
    return byte;
}

// Applies the keystream to `length` bytes in place.
void cipherBuffer(CipherState& state, uint8_t* bytes, std::size_t length);

// The marker text enciphered with a fresh keystream from `password`.
std::array<uint8_t, kPasswordMarkerLength> encipherMarker(CipherState& state, const std::string& password);

// True when `password` deciphers the 10 stored marker bytes into the marker
// text. An empty password never matches (no archive is packed with one).
bool checkPassword(CipherState& state, const uint8_t* storedMarker, const std::string& password);

}  // namespace zor
