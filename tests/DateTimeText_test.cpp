#include "app/DateTimeText.h"
#include "support/widgets/VexMisc.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <string>

namespace {

TDateTime Moment(int year, int month, int day, int hour, int minute, int second) {
    TDateTime date = 0;
    TDateTime time = 0;
    EXPECT_TRUE(TryEncodeDate(year, month, day, date));
    EXPECT_TRUE(TryEncodeTime(hour, minute, second, 0, time));
    return date + time;
}

struct StampCase {
    const char* locale;
    const char* dateFormat;
    const char* timeFormat;
    TDateTime moment;
    const char* expected;
};

void PrintTo(const StampCase& c, std::ostream* os) {
    *os << c.locale << " " << c.dateFormat << " " << c.timeFormat << " -> " << c.expected;
}

class FormatShortDateTimeTest : public ::testing::TestWithParam<StampCase> {};

TEST_P(FormatShortDateTimeTest, WritesDateBlankAndTime) {
    const StampCase& c = GetParam();
    EXPECT_EQ(FormatShortDateTime(c.moment, {c.locale, c.dateFormat, c.timeFormat}), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatShortDateTimeTest,
    ::testing::Values(
        StampCase{"de_DE", "dd.MM.yyyy", "HH:mm", Moment(2008, 3, 5, 14, 7, 59),
                  "05.03.2008 14:07"},
        StampCase{"de_DE", "dd.MM.yyyy", "HH:mm", Moment(2008, 12, 31, 0, 0, 0),
                  "31.12.2008 00:00"},
        StampCase{"en_US", "M/d/yyyy", "h:mm AP", Moment(2008, 3, 5, 14, 7, 0), "3/5/2008 2:07 PM"},
        StampCase{"en_US", "M/d/yyyy", "h:mm AP", Moment(2008, 3, 5, 0, 30, 0),
                  "3/5/2008 12:30 AM"},
        StampCase{"ko_KR", "yyyy. M. d.", "AP h:mm", Moment(2026, 12, 10, 14, 27, 0),
                  "2026. 12. 10. \xEC\x98\xA4\xED\x9B\x84 2:27"},
        StampCase{"C", "d MMM yyyy", "HH:mm", Moment(1999, 1, 2, 23, 59, 59), "2 Jan 1999 23:59"},
        StampCase{"en_GB", "dd/MM/yyyy", "H:mm", Moment(2008, 3, 5, 9, 5, 0), "05/03/2008 9:05"},
        StampCase{"bg_BG", "d.MM.yyyy 'г'.", "H:mm 'ч'.", Moment(2026, 12, 10, 9, 5, 0),
                  "10.12.2026 г. 9:05 ч."}));

TEST(FormatShortDateTest, WritesTheDateAlone) {
    EXPECT_EQ(FormatShortDate(Moment(1950, 3, 5, 0, 0, 0), {"de_DE", "dd.MM.yyyy", "HH:mm"}),
              "05.03.1950");
    EXPECT_EQ(FormatShortDate(Moment(1950, 3, 5, 0, 0, 0), {"en_US", "M/d/yyyy", "h:mm AP"}),
              "3/5/1950");
}

struct LocaleCase {
    const char* locale;
    const char* expected;
};

void PrintTo(const LocaleCase& c, std::ostream* os) {
    *os << c.locale;
}

class LocaleStampTest : public ::testing::TestWithParam<LocaleCase> {};

// Qt's own locale data decides, not the C library's generated locales.
TEST_P(LocaleStampTest, FollowsTheLocaleWithFourDigitYearsAndMinutes) {
    const LocaleCase& c = GetParam();
    const TFormatSettings formats = FormatSettingsOf(QLocale(c.locale));
    EXPECT_EQ(FormatShortDateTime(Moment(2026, 12, 10, 14, 27, 42), formats), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Locales, LocaleStampTest,
                         ::testing::Values(LocaleCase{"de_DE", "10.12.2026 14:27"},
                                           LocaleCase{"de_AT", "10.12.2026 14:27"},
                                           LocaleCase{"en_GB", "10/12/2026 14:27"},
                                           LocaleCase{"fi_FI", "10.12.2026 14.27"},
                                           LocaleCase{"C", "10 Dec 2026 14:27"}));

} // namespace
