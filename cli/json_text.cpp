// json_text.cpp - JSON string escaping with a Latin-1 reading of bytes that are not UTF-8.
#include "cli/json_text.h"

#include <cstdio>

namespace zor::cli {
namespace {

// The length of the well-formed UTF-8 sequence at `at` (1 to 4), or 0 when
// the byte there does not begin one: no overlong forms, no surrogates,
// nothing above U+10FFFF.
std::size_t utf8SequenceLength(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    if (length == 0 || at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    return length;
}

std::string escaped(unsigned char c) {
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", c);
    return text;
}

}  // namespace

std::string jsonString(const std::string& text) {
    std::string json = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') json += std::string("\\") + static_cast<char>(c);
        else if (c == '\n') json += "\\n";
        else if (c == '\r') json += "\\r";
        else if (c == '\t') json += "\\t";
        else if (c < 0x20 || c == 0x7F) json += escaped(c);
        else if (const std::size_t length = utf8SequenceLength(text, i); length > 0) {
            json.append(text, i, length);
            i += length;
            continue;
        } else {
            json += escaped(c);
        }
        ++i;
    }
    return json + "\"";
}

}  // namespace zor::cli
