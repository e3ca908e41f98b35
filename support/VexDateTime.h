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

// The system's short date format as a mask for ParseDateByMask; set by VexDateTimeStartup.
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
// A C library date format ("%d.%m.%Y") in d/M/y letters ("dd.MM.yyyy").
std::string ShortDateFormatFromPosix(std::string_view posixFormat);
// Recomputes DateOrderMask from the current LC_TIME.
void RefreshDateOrderMask();

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
