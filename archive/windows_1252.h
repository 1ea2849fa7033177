// windows_1252.h - converts single name components between UTF-8 and Windows-1252, the code page of the first ZOR programs.
//
// The first ZOR programs wrote names in Windows-1252. A name component
// that is valid UTF-8 is taken as UTF-8; one that is not is read as
// Windows-1252. Bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D, which the code page
// leaves undefined, read as U+0081 and so on, as Windows itself maps them,
// so every byte string reads as some text.
#pragma once

#include <optional>
#include <string>

namespace zor {

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool isValidUtf8(const std::string& text);

// `bytes` read as Windows-1252, spelled in UTF-8.
std::string utf8FromWindows1252(const std::string& bytes);

// The Windows-1252 bytes of the UTF-8 text `text`; nothing when it is not
// valid UTF-8 or holds a character the code page lacks.
std::optional<std::string> windows1252FromUtf8(const std::string& text);

}  // namespace zor
