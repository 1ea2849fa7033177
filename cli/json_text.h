// json_text.h - text made into a JSON string literal, whatever bytes it holds.
#pragma once

#include <string>

namespace zor::cli {

// `text` as a JSON string, quotes included. Well-formed UTF-8 is kept as it
// is; '"' and '\' are escaped, and so is every control character, as
// \u00XX (\n, \r and \t by their short forms). A byte that does not belong
// to a well-formed UTF-8 sequence (names from older archives are often in
// a Windows code page) is read as the Latin-1 character of its value, so
// 0xE9 becomes \u00e9: the document stays valid and no byte is lost.
std::string jsonString(const std::string& text);

}  // namespace zor::cli
