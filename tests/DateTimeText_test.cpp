#include "app/DateTimeText.h"

#include <clocale>
#include <gtest/gtest.h>
#include <string>

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

// Names such as AM/PM come from LC_TIME; the tests pin it instead of using the machine's.
class CTimeLocale : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = std::setlocale(LC_TIME, nullptr);
        std::setlocale(LC_TIME, "C");
    }
    void TearDown() override { std::setlocale(LC_TIME, saved_.c_str()); }

private:
    std::string saved_;
};

struct TimeFormatCase {
    const char* timeFormat;
    const char* twelveHourFormat;
    const char* expected;
};

void PrintTo(const TimeFormatCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.timeFormat) << " "
        << testing::PrintToString(c.twelveHourFormat);
}

class ShortTimeFormatTest : public ::testing::TestWithParam<TimeFormatCase> {};

TEST_P(ShortTimeFormatTest, DropsSecondsAndKeepsTheLocaleHourStyle) {
    const TimeFormatCase& c = GetParam();
    EXPECT_EQ(ShortTimeFormat(c.timeFormat, c.twelveHourFormat), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Locales, ShortTimeFormatTest,
                         ::testing::Values(TimeFormatCase{"%T", "%I:%M:%S %p", "%H:%M"},
                                           TimeFormatCase{"%H:%M:%S", "", "%H:%M"},
                                           TimeFormatCase{"%r", "%I:%M:%S %p", "%I:%M %p"},
                                           TimeFormatCase{"%r", "", "%I:%M %p"},
                                           TimeFormatCase{"%p %I:%M:%S", "", "%p %I:%M"},
                                           TimeFormatCase{"%k.%M.%S", "", "%k.%M"},
                                           TimeFormatCase{"%R", "", "%H:%M"},
                                           TimeFormatCase{"%H:%M", "", "%H:%M"}));

struct DateTimeCase {
    const char* dateFormat;
    const char* timeFormat;
    std::tm moment;
    const char* expected;
};

void PrintTo(const DateTimeCase& c, std::ostream* os) {
    *os << c.dateFormat << " " << c.timeFormat << " -> " << c.expected;
}

class FormatShortDateTimeTest : public CTimeLocale,
                                public ::testing::WithParamInterface<DateTimeCase> {};

TEST_P(FormatShortDateTimeTest, WritesDateBlankAndTime) {
    const DateTimeCase& c = GetParam();
    EXPECT_EQ(FormatShortDateTime(c.moment, c.dateFormat, c.timeFormat), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatShortDateTimeTest,
    ::testing::Values(
        DateTimeCase{"%d.%m.%Y", "%H:%M", Moment(2008, 3, 5, 14, 7, 59), "05.03.2008 14:07"},
        DateTimeCase{"%d.%m.%Y", "%H:%M", Moment(2008, 12, 31, 0, 0, 0), "31.12.2008 00:00"},
        DateTimeCase{"%m/%d/%Y", "%I:%M %p", Moment(2008, 3, 5, 14, 7, 0), "03/05/2008 02:07 PM"},
        DateTimeCase{"%m/%d/%Y", "%I:%M %p", Moment(2008, 3, 5, 0, 30, 0), "03/05/2008 12:30 AM"},
        DateTimeCase{"%Y-%m-%d", "%H:%M", Moment(1999, 1, 2, 23, 59, 59), "1999-01-02 23:59"}));

TEST_F(CTimeLocale, ProcessLocaleGivesItsShortDateAndMinutes) {
    EXPECT_EQ(FormatLocaleShortDateTime(Moment(2008, 3, 5, 14, 7, 42)), "03/05/08 14:07");
}

} // namespace
