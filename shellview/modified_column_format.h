// modified_column_format.h - the folder view's Modified column text: short date, a blank, "h:mm AM/PM".
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace zor {

// The time is shown in local time as the locale's short date, one blank and
// the 12-hour clock without seconds ("3:07 PM"); the seconds are dropped, not rounded.
QString FormatModifiedColumn(const QDateTime& lastWrite, const QLocale& locale = QLocale::system());

}  // namespace zor
