// modified_column_format.cpp - the folder view's Modified column text.
#include "shellview/modified_column_format.h"

namespace zor {

QString FormatModifiedColumn(const QDateTime& lastWrite, const QLocale& locale) {
    if (!lastWrite.isValid()) return QString();
    const QDateTime local = lastWrite.toLocalTime();
    // A format string in QTime::toString always writes AM/PM in English, whatever the locale.
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           local.time().toString(QStringLiteral("h:mm AP"));
}

}  // namespace zor
