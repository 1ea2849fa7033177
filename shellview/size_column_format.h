// size_column_format.h - the folder view's Size column text: whole kilobytes of 1,000 bytes, rounded up.
#pragma once

#include <QString>
#include <cstdint>

namespace zor {

// "0KB" for an empty file, else ceil(bytes / 1000) followed by "KB" with no blank:
// 1 byte and 1,000 bytes show "1KB", 1,001 bytes "2KB".
QString FormatSizeColumn(uint64_t bytes);

}  // namespace zor
