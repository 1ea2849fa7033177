// size_column_format.cpp - the folder view's Size column text.
#include "shellview/size_column_format.h"

namespace zor {

QString FormatSizeColumn(uint64_t bytes) {
    // Written so that sizes near the top of the range cannot overflow.
    const uint64_t kilobytes = bytes / 1000 + (bytes % 1000 != 0 ? 1 : 0);
    return QString::number(kilobytes) + QStringLiteral("KB");
}

}  // namespace zor
