// Hours without a leading zero, as glibc locales write them ("%k"); the C runtime of Windows has
// no such conversion (its locales give "%#H", see LocaleWin).

#include "app/DateTimeText.h"

#include <gtest/gtest.h>

namespace {

std::tm Moment(int year, int month, int day, int hour, int minute, int second) {
    std::tm moment{};
    moment.tm_year = year - 1900;
    moment.tm_mon = month - 1;
    moment.tm_mday = day;
    moment.tm_hour = hour;
    moment.tm_min = minute;
    moment.tm_sec = second;
    return moment;
}

TEST(FormatShortDateTimePosixTest, HourWithoutLeadingZeroKeepsItsBlank) {
    EXPECT_EQ(FormatShortDateTime(Moment(2008, 3, 5, 9, 5, 0), "%d/%m/%Y", "%k:%M"),
              "05/03/2008  9:05");
}

} // namespace
