// column_format_test.cpp - the Size column's kilobyte rounding and the Modified column's 12-hour time.
#include "shellview/modified_column_format.h"
#include "shellview/size_column_format.h"

#include <gtest/gtest.h>

#include <limits>

namespace zor {
namespace {

struct SizeCase {
    uint64_t bytes;
    const char* text;
};

class SizeColumn : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeColumn, RoundsUpToWholeKilobytesOfAThousandBytes) {
    EXPECT_EQ(FormatSizeColumn(GetParam().bytes), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeColumn,
                         ::testing::Values(SizeCase{0, "0KB"}, SizeCase{1, "1KB"}, SizeCase{999, "1KB"},
                                           SizeCase{1000, "1KB"}, SizeCase{1001, "2KB"}, SizeCase{1500, "2KB"},
                                           SizeCase{2000, "2KB"}, SizeCase{5000000001ULL, "5000001KB"},
                                           // No overflow at the very top of the range.
                                           SizeCase{std::numeric_limits<uint64_t>::max(), "18446744073709552KB"}));

QDateTime LocalTime(int hour, int minute, int second) {
    return QDateTime(QDate(2001, 1, 28), QTime(hour, minute, second), Qt::LocalTime);
}

struct TimeCase {
    int hour, minute, second;
    const char* clock;
};

class ModifiedColumn : public ::testing::TestWithParam<TimeCase> {};

TEST_P(ModifiedColumn, ShowsShortDateAndTwelveHourClockWithoutSeconds) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const TimeCase& c = GetParam();
    const QDateTime when = LocalTime(c.hour, c.minute, c.second);
    EXPECT_EQ(FormatModifiedColumn(when, us),
              us.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') + QLatin1String(c.clock));
}

INSTANTIATE_TEST_SUITE_P(Times, ModifiedColumn,
                         ::testing::Values(TimeCase{0, 0, 0, "12:00 AM"}, TimeCase{0, 59, 59, "12:59 AM"},
                                           TimeCase{9, 5, 0, "9:05 AM"}, TimeCase{12, 0, 0, "12:00 PM"},
                                           // Seconds are dropped, never rounded up to the next minute.
                                           TimeCase{13, 7, 59, "1:07 PM"}, TimeCase{23, 59, 59, "11:59 PM"}));

TEST(ModifiedColumn, KeepsAmPmInOtherLocalesAndUsesTheirDate) {
    const QLocale german(QLocale::German, QLocale::Germany);
    const QDateTime when = LocalTime(15, 30, 0);
    EXPECT_EQ(FormatModifiedColumn(when, german), german.toString(when.date(), QLocale::ShortFormat) + " 3:30 PM");
}

TEST(ModifiedColumn, ConvertsToLocalTime) {
    const QDateTime utc(QDate(2001, 1, 28), QTime(12, 0), Qt::UTC);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(FormatModifiedColumn(utc, us), FormatModifiedColumn(utc.toLocalTime(), us));
}

TEST(ModifiedColumn, IsEmptyWithoutATime) { EXPECT_TRUE(FormatModifiedColumn(QDateTime()).isEmpty()); }

}  // namespace
}  // namespace zor
