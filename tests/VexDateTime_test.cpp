#include "support/VexDateTime.h"

#include <cmath>
#include <ctime>
#include <gtest/gtest.h>

namespace {

TDateTime dateOf(int year, int month, int day) {
    TDateTime value = -1;
    EXPECT_TRUE(TryEncodeDate(year, month, day, value));
    return value;
}

TDateTime timeOf(int hour, int minute, int second, int ms = 0) {
    TDateTime value = -1;
    EXPECT_TRUE(TryEncodeTime(hour, minute, second, ms, value));
    return value;
}

TEST(EncodeDateTest, CountsDaysFromTheEpoch) {
    EXPECT_DOUBLE_EQ(dateOf(1899, 12, 30), 0);
    EXPECT_DOUBLE_EQ(dateOf(1899, 12, 31), 1);
    EXPECT_DOUBLE_EQ(dateOf(1900, 1, 1), 2);
    EXPECT_DOUBLE_EQ(dateOf(1900, 3, 1), 61);
    EXPECT_DOUBLE_EQ(dateOf(2000, 1, 1), 36526);
    EXPECT_DOUBLE_EQ(dateOf(2024, 2, 29), 45351);
    EXPECT_DOUBLE_EQ(dateOf(1, 1, 1), -693593);
    EXPECT_DOUBLE_EQ(dateOf(9999, 12, 31), 2958465);
}

TEST(EncodeDateTest, RejectsImpossibleDates) {
    const std::vector<std::array<int, 3>> bad = {{2023, 2, 29}, {1900, 2, 29}, {2024, 2, 30},
                                                 {2024, 4, 31}, {2024, 0, 1},  {2024, 13, 1},
                                                 {2024, 1, 0},  {0, 1, 1},     {10000, 1, 1}};
    for (const auto& [y, m, d] : bad) {
        TDateTime out = 42;
        EXPECT_FALSE(TryEncodeDate(y, m, d, out)) << y << "-" << m << "-" << d;
        EXPECT_EQ(out, 42);
    }
    TDateTime leap = 0;
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, leap));
}

TEST(EncodeTimeTest, ChecksRanges) {
    EXPECT_DOUBLE_EQ(timeOf(12, 0, 0), 0.5);
    EXPECT_DOUBLE_EQ(timeOf(6, 0, 0), 0.25);
    EXPECT_DOUBLE_EQ(timeOf(23, 59, 59, 999), 86399999.0 / 86400000.0);
    TDateTime out = 0;
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, out));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, out));
    EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, out));
    EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, out));
    EXPECT_FALSE(TryEncodeTime(-1, 0, 0, 0, out));
}

TEST(DecodeDateTimeTest, SplitsIntoParts) {
    const auto p = DecodeDateTime(dateOf(2024, 3, 5) + timeOf(14, 7, 9, 250));
    EXPECT_EQ(p.year, 2024);
    EXPECT_EQ(p.month, 3);
    EXPECT_EQ(p.day, 5);
    EXPECT_EQ(p.hour, 14);
    EXPECT_EQ(p.minute, 7);
    EXPECT_EQ(p.second, 9);
    EXPECT_EQ(p.millisecond, 250);

    const auto epoch = DecodeDateTime(0);
    EXPECT_EQ(epoch.year, 1899);
    EXPECT_EQ(epoch.month, 12);
    EXPECT_EQ(epoch.day, 30);

    // The fraction before the epoch is still the time of day.
    const auto before = DecodeDateTime(-1.25);
    EXPECT_EQ(before.day, 29);
    EXPECT_EQ(before.hour, 6);

    // Rounding up to a whole day carries into the next date.
    const auto carried = DecodeDateTime(dateOf(2024, 12, 31) + 0.9999999999);
    EXPECT_EQ(carried.year, 2025);
    EXPECT_EQ(carried.month, 1);
    EXPECT_EQ(carried.day, 1);
    EXPECT_EQ(carried.hour, 0);
}

TEST(DecodeDateTimeTest, EveryDayRoundTrips) {
    for (int days = -693593; days <= 2958465; days += 97) {
        const auto p = DecodeDateTime(days);
        TDateTime back = 0;
        ASSERT_TRUE(TryEncodeDate(p.year, p.month, p.day, back)) << days;
        ASSERT_EQ(back, days);
    }
}

TEST(DecodeDateTimeTest, NonFiniteGivesEpoch) {
    const auto p = DecodeDateTime(std::nan(""));
    EXPECT_EQ(p.year, 1899);
    EXPECT_EQ(p.day, 30);
}

struct ParseCase {
    std::string mask;
    std::string text;
    TDateTime expected;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.mask) << " " << testing::PrintToString(c.text);
}

class ParseDateByMaskTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseDateByMaskTest, Reads) {
    const auto& c = GetParam();
    EXPECT_NEAR(ParseDateByMask(c.mask, c.text), c.expected, 1e-9)
        << "mask '" << c.mask << "' text '" << c.text << "'";
}

// Day numbers: 45351 is 2024-02-29, 36526 is 2000-01-01 (see EncodeDateTest).
INSTANTIATE_TEST_SUITE_P(
    Masks, ParseDateByMaskTest,
    testing::Values(
        ParseCase{"YYYY-MM-DD", "2024-02-29", 45351}, ParseCase{"YYYY-MM-DD", "2024-02-30", 0},
        ParseCase{"YYYY-MM-DD", "0000-01-01", 36526}, ParseCase{"yyyy-mm-dd", "2024-02-29", 45351},
        ParseCase{"DD.MM.YY", "01.01.80", 65746}, ParseCase{"DD.MM.YY", "01.01.81", 29587},
        ParseCase{"HH:NN", "12:30", 0.5208333333333334}, ParseCase{"HH:NN", "24:00", 0},
        ParseCase{"HH:NN", "12:60", 0}, ParseCase{"DD.MM.YYYY", "1.5.2024", 0},
        ParseCase{"DD.MM.YYYY", "01.05.2024", 45413}, ParseCase{"", "2024-02-29", 0},
        ParseCase{"YYYY-MM-DD", "", 0}, ParseCase{"DD.MM", "01.05", 36647},
        ParseCase{"\"YYYY\"-MM-DD", "2024-02-29", 45351},
        ParseCase{"YYYY-MM-DD HH:NN:SS.ZZZ", "2024-03-05 14:07:09.250",
                  45356 + (14 * 3600 + 7 * 60 + 9) / 86400.0},
        ParseCase{"YYYY-MM-DD HH:NN:SS.ZZZ", "2024-03-05", 45356},
        ParseCase{"YYYY-MM-DD HH:NN:SS", "2024-03-05 14:07:60", 0},
        ParseCase{"YYYY-MM-DD", "2024-13-01", 0}, ParseCase{"YYYY-MM-DD", "abcd-ef-gh", 0},
        ParseCase{"YYYY-MM-DD", "2024-00-01", 0}, ParseCase{"HH:NN", "-1:00", 0},
        ParseCase{"YYYY-MM-DD", "2024", 0}, ParseCase{"YYYY-MM-DD", "2024-02-2", 45324}));

TEST(ParseDateByMaskTest, NegativeYearUsesTheApproximation) {
    // -1 wraps to year 65535: T = trunc(65534 * 365.2422454 - 693593 + 1.7882454),
    // R = round(T), date = R + 1 - 1.
    const double t = std::trunc(65534 * 365.2422454 - 693593 + 1.7882454);
    EXPECT_DOUBLE_EQ(ParseDateByMask("YYYY-MM-DD", "-001-01-01"), std::nearbyint(t));
}

struct FormatCase {
    std::string mask;
    char separator;
    std::string text;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.mask);
}

class FormatDateTimeByMaskTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatDateTimeByMaskTest, Writes) {
    const auto& c = GetParam();
    const TDateTime value = 45356 + (14 * 3600 + 7 * 60 + 9) / 86400.0 + 0.25 / 86400.0;
    EXPECT_EQ(FormatDateTimeByMask(c.mask, value, c.separator), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, FormatDateTimeByMaskTest,
    testing::Values(FormatCase{"YYYY-MM-DD", ':', "2024-03-05"},
                    FormatCase{"YYYY-MM-DD HH:NN:SS.ZZZ", ':', "2024-03-05 14:07:09.250"},
                    FormatCase{"YYYY-MM-DD HH:NN:SS.ZZZ", '.', "2024-03-05 14.07.09.250"},
                    FormatCase{"DD.MM.YY", ':', "05.03.24"},
                    FormatCase{"dd.mm.yyyy hh:nn", ':', "05.03.2024 14:07"},
                    FormatCase{"DDMMYYYY", ':', "05032024"}, FormatCase{"Y-M-D", ':', "Y-M-D"}));

TEST(FormatDateTimeByMaskTest, RoundTripsThroughParse) {
    const std::string mask = "YYYY-MM-DD HH:NN:SS.ZZZ";
    const TDateTime value = dateOf(1999, 12, 31) + timeOf(23, 59, 58);
    EXPECT_DOUBLE_EQ(ParseDateByMask(mask, FormatDateTimeByMask(mask, value)), value);
}

TEST(FormatGdtDateTest, WritesDayMonthYear) {
    EXPECT_EQ(FormatGdtDate(dateOf(2008, 3, 5) + timeOf(14, 7, 0)), "05032008");
    EXPECT_EQ(FormatGdtDate(dateOf(1, 1, 1)), "01010001");
}

TEST(NowAsDateTimeTest, MatchesTheLocalCalendarDay) {
    const TDateTime now = NowAsDateTime();
    const std::time_t seconds = std::time(nullptr);
    const std::tm local = *std::localtime(&seconds);
    const auto p = DecodeDateTime(now);
    // Either side of a midnight passing between the two calls.
    const bool sameDay =
        p.year == local.tm_year + 1900 && p.month == local.tm_mon + 1 && p.day == local.tm_mday;
    const bool dayBefore =
        std::floor(now) + 1 == dateOf(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    EXPECT_TRUE(sameDay || dayBefore);
}

struct MaskCase {
    std::string format;
    std::string mask;
};

void PrintTo(const MaskCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.format);
}

class DateOrderMaskTest : public testing::TestWithParam<MaskCase> {};

TEST_P(DateOrderMaskTest, FromShortDateFormat) {
    EXPECT_EQ(MakeDateOrderMask(GetParam().format), GetParam().mask);
}

INSTANTIATE_TEST_SUITE_P(Formats, DateOrderMaskTest,
                         testing::Values(MaskCase{"dd.MM.yyyy", "DD.MM.YYYY"},
                                         MaskCase{"dd.MM.yy", "DD.MM.YYYY"},
                                         MaskCase{"MM/dd/yy", "MM/DD/YYYY"},
                                         MaskCase{"yyyy-MM-dd", "YYYY-MM-DD"},
                                         MaskCase{"d. MMMM yyyy", "D.MMMMYYYY"},
                                         MaskCase{"dd.MM.", "DD.MM."}, MaskCase{"", ""}));

struct PatternCase {
    std::string format;
    std::string expected;
};

void PrintTo(const PatternCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.format);
}

class FourDigitYearFormatTest : public testing::TestWithParam<PatternCase> {};

TEST_P(FourDigitYearFormatTest, WidensTwoDigitYears) {
    EXPECT_EQ(FourDigitYearFormat(GetParam().format), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, FourDigitYearFormatTest,
                         testing::Values(PatternCase{"dd.MM.yy", "dd.MM.yyyy"},
                                         PatternCase{"M/d/yy", "M/d/yyyy"},
                                         PatternCase{"yy. M. d.", "yyyy. M. d."},
                                         PatternCase{"yyyy-MM-dd", "yyyy-MM-dd"},
                                         PatternCase{"d.MM.yy 'yy'.", "d.MM.yyyy 'yy'."},
                                         PatternCase{"dd 'o''clock' yy", "dd 'o''clock' yyyy"},
                                         PatternCase{"", ""}));

class TimeFormatWithoutSecondsTest : public testing::TestWithParam<PatternCase> {};

TEST_P(TimeFormatWithoutSecondsTest, KeepsHoursMinutesAndMarker) {
    EXPECT_EQ(TimeFormatWithoutSeconds(GetParam().format), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TimeFormatWithoutSecondsTest,
    testing::Values(PatternCase{"HH:mm:ss", "HH:mm"}, PatternCase{"HH:mm", "HH:mm"},
                    PatternCase{"h:mm:ss AP", "h:mm AP"}, PatternCase{"AP h:mm:ss", "AP h:mm"},
                    PatternCase{"H.mm.ss", "H.mm"}, PatternCase{"HH:mm:ss.zzz", "HH:mm"},
                    PatternCase{"H:mm 'ss'", "H:mm 'ss'"}, PatternCase{"", ""}));

struct SeparatorCase {
    std::string format;
    char separator;
};

void PrintTo(const SeparatorCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.format);
}

class TimeSeparatorOfTest : public testing::TestWithParam<SeparatorCase> {};

TEST_P(TimeSeparatorOfTest, IsWhatFollowsTheHour) {
    EXPECT_EQ(TimeSeparatorOf(GetParam().format), GetParam().separator);
}

INSTANTIATE_TEST_SUITE_P(Formats, TimeSeparatorOfTest,
                         testing::Values(SeparatorCase{"HH:mm", ':'}, SeparatorCase{"H.mm", '.'},
                                         SeparatorCase{"AP h:mm", ':'},
                                         SeparatorCase{"'h' H.mm", '.'}, SeparatorCase{"HHmm", ':'},
                                         SeparatorCase{"H'h'mm", ':'}, SeparatorCase{"mm", ':'},
                                         SeparatorCase{"", ':'}));

TEST(VexDateTimeLifecycleTest, StartupFillsAndShutdownEmpties) {
    VexDateTimeStartup();
    EXPECT_FALSE(DateOrderMask.empty());
    EXPECT_EQ(GermanPeriodNames[5], "Jahrzent");
    EXPECT_EQ(GermanPeriodNamesPlural[6], "Jahrhunderte");
    EXPECT_EQ(EnglishPeriodNames[6], "Century");
    EXPECT_EQ(EnglishPeriodNamesPlural[6], "Centuries");
    EXPECT_EQ(GermanMonthAbbreviations[2], "M\xC3\xA4rz");
    EXPECT_EQ(EnglishMonthAbbreviations[5], "June");
    EXPECT_EQ(EnglishDayAbbreviations[0], "Sun");
    EXPECT_EQ(EnglishMonthNamesShort[11], "Dec");
    VexDateTimeShutdown();
    EXPECT_TRUE(DateOrderMask.empty());
    EXPECT_TRUE(GermanPeriodNames[0].empty());
    EXPECT_TRUE(GermanMonthAbbreviations[11].empty());
    EXPECT_TRUE(EnglishMonthNamesShort[0].empty());
}

TEST(VexDateTimeLifecycleTest, MaskFollowsTheFormatSettings) {
    const TFormatSettings saved = FormatSettings;
    SetFormatSettings({"en_US", "M/d/yyyy", "h:mm AP"});
    EXPECT_EQ(DateOrderMask, "M/D/YYYY");
    SetFormatSettings({"de_DE", "dd.MM.yyyy", "HH:mm"});
    EXPECT_EQ(DateOrderMask, "DD.MM.YYYY");
    SetFormatSettings(saved);
}

} // namespace
