#pragma once
// Date-times are days since 30 December 1899 as a double, the fraction being the time of day.

#include <array>
#include <string>
#include <string_view>

using TDateTime = double;

struct DateTimeParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The user's short date and time formats, in the letters of "dd.MM.yyyy" and "HH:mm" (d, M, y,
// h, H, m, s, AP; text in single quotes), and the locale whose names (months, AM/PM) they use.
struct TFormatSettings {
    std::string LocaleName = "de_DE";
    std::string ShortDateFormat = "dd.MM.yyyy";
    std::string ShortTimeFormat = "HH:mm";

    bool operator==(const TFormatSettings&) const = default;
};

// Taken from the user's locale by the application unit's start-up (VexMiscStartup).
extern TFormatSettings FormatSettings;
// The short date format as a mask for ParseDateByMask; follows FormatSettings.
extern std::string DateOrderMask;
extern std::array<std::string, 7> GermanPeriodNames;
extern std::array<std::string, 7> GermanPeriodNamesPlural;
extern std::array<std::string, 7> EnglishPeriodNames;
extern std::array<std::string, 7> EnglishPeriodNamesPlural;
extern std::array<std::string, 12> GermanMonthAbbreviations;
extern std::array<std::string, 12> EnglishMonthAbbreviations;
extern std::array<std::string, 7> EnglishDayAbbreviations;
extern std::array<std::string, 12> EnglishMonthNamesShort;

void VexDateTimeStartup();
void VexDateTimeShutdown();

// A short date format in d/M/y letters ("dd.MM.yyyy") turned into the mask rule of DateOrderMask.
std::string MakeDateOrderMask(std::string_view shortDateFormat);
// Sets FormatSettings and the DateOrderMask of its short date format.
void SetFormatSettings(const TFormatSettings& settings);
// A two-digit year widened to four ("dd.MM.yy" becomes "dd.MM.yyyy"); quoted text stays.
std::string FourDigitYearFormat(std::string_view dateFormat);
// The seconds (and fractions) dropped with the separator before them ("HH:mm:ss" -> "HH:mm").
std::string TimeFormatWithoutSeconds(std::string_view timeFormat);
// The character that follows the hour in a time format; ':' when a field follows directly.
char TimeSeparatorOf(std::string_view timeFormat);

bool IsValidDate(int year, int month, int day);
// False (and out untouched) when year/month/day is no calendar date of years 1 to 9999.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
// False when hour > 23, minute > 59, second > 59 or millisecond > 999.
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out);
DateTimeParts DecodeDateTime(TDateTime value);
TDateTime NowAsDateTime();

TDateTime ParseDateByMask(std::string_view mask, std::string_view text);
// Formats with the mask letters YYYY, YY, MM, DD, HH, NN, SS, ZZZ; ":" becomes timeSeparator.
std::string FormatDateTimeByMask(std::string_view mask, TDateTime value, char timeSeparator = ':');
// "DDMMYYYY", as GDT writes dates.
std::string FormatGdtDate(TDateTime value);
