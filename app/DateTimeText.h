#pragma once
// The measurement time stamp as the user's locale writes a short date and time.

#include <ctime>
#include <string>
#include <string_view>

// The locale's time format without seconds: "%T", "%R" and "%r" are spelled out first, the
// 12-hour form coming from twelveHourFormat; the seconds and the separator before them go.
std::string ShortTimeFormat(std::string_view timeFormat, std::string_view twelveHourFormat);

// Date in dateFormat, one blank, time in timeFormat (strftime masks, LC_TIME for names).
std::string FormatShortDateTime(const std::tm& moment, const std::string& dateFormat,
                                const std::string& timeFormat);

// The same with the formats of the process's LC_TIME locale.
std::string FormatLocaleShortDateTime(const std::tm& moment);
