// cipher_test.cpp - keystream edge cases and the password marker check.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "archive/cipher.h"

namespace zor {
namespace {

std::vector<uint8_t> enciphered(const std::string& password, std::vector<uint8_t> bytes) {
    CipherState state;
    resetCipher(state, password);
    cipherBuffer(state, bytes.data(), bytes.size());
    return bytes;
}

TEST(Cipher, FirstByteIsXoredWithTheFirstPasswordByte) {
    for (const std::string& password : {std::string("a"), std::string("secret"), std::string(50, 'z')}) {
        EXPECT_EQ(enciphered(password, {0x00})[0], static_cast<uint8_t>(password[0]));
        EXPECT_EQ(enciphered(password, {0x5A})[0], static_cast<uint8_t>(0x5A ^ password[0]));
    }
}

TEST(Cipher, OneCharacterKeyDoublesAndNeverBecomesZero) {
    // Key 0x40: 0x40 -> 0x80 -> 0x00 becomes 0x01 -> 0x02 ... ; position stays 0 so t = key.
    const auto out = enciphered("\x40", std::vector<uint8_t>(4, 0));
    EXPECT_EQ(out, (std::vector<uint8_t>{0x40, 0x80, 0x01, 0x02}));
}

TEST(Cipher, MatchesAHandWorkedTwoByteKey) {
    // key {1, 2}: p0: t = 0^1 = 1, k0 = 1+2 = 3; p1: t = (3*1)^2 = 1, k1 = 2+3 = 5;
    // p0: t = 0^3 = 3, k0 = 3+5 = 8; p1: t = (8*1)^5 = 13.
    EXPECT_EQ(enciphered("\x01\x02", std::vector<uint8_t>(4, 0)), (std::vector<uint8_t>{1, 1, 3, 13}));
}

TEST(Cipher, ApplyingTwiceRestoresAndEachFileStartsAfresh) {
    std::vector<uint8_t> data(40000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    const auto once = enciphered("pass word", data);
    EXPECT_NE(once, data);
    EXPECT_EQ(enciphered("pass word", once), data);
    EXPECT_EQ(enciphered("pass word", data), once) << "no state carries over between files";
}

TEST(Cipher, EveryByteOfALongPasswordTakesPart) {
    std::string password(50, 'k');
    std::string other = password;
    other[49] = 'q';
    const std::vector<uint8_t> zeros(200, 0);
    EXPECT_NE(enciphered(password, zeros), enciphered(other, zeros));
    std::string longer = password + "ignored";
    EXPECT_EQ(enciphered(password, zeros), enciphered(longer, zeros)) << "only 50 bytes fit the key";
}

TEST(Cipher, MarkerCheckAcceptsOnlyTheRightPassword) {
    CipherState state;
    const auto marker = encipherMarker(state, "Secret");
    EXPECT_TRUE(checkPassword(state, marker.data(), "Secret"));
    EXPECT_FALSE(checkPassword(state, marker.data(), "secret")) << "case-sensitive";
    EXPECT_FALSE(checkPassword(state, marker.data(), "Secret2"));
    EXPECT_FALSE(checkPassword(state, marker.data(), ""));
}

TEST(Cipher, AMarkerByteOfZeroStillTakesPartInTheCheck) {
    // 'Q' enciphered with a password starting with 'Q' gives a zero first byte.
    CipherState state;
    auto marker = encipherMarker(state, "Qx");
    EXPECT_EQ(marker[0], 0);
    EXPECT_TRUE(checkPassword(state, marker.data(), "Qx"));
    marker[9] ^= 1;
    EXPECT_FALSE(checkPassword(state, marker.data(), "Qx"));
}

}  // namespace
}  // namespace zor
