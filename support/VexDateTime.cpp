#include "support/VexDateTime.h"

#include "platform/locale/Locale.h"
#include "platform/text/Text.h"
#include "support/VexStrings.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <vector>

TFormatSettings FormatSettings;
std::string DateOrderMask;
std::array<std::string, 7> GermanPeriodNames;
std::array<std::string, 7> GermanPeriodNamesPlural;
std::array<std::string, 7> EnglishPeriodNames;
std::array<std::string, 7> EnglishPeriodNamesPlural;
std::array<std::string, 12> GermanMonthAbbreviations;
std::array<std::string, 12> EnglishMonthAbbreviations;
std::array<std::string, 7> EnglishDayAbbreviations;
std::array<std::string, 12> EnglishMonthNamesShort;

namespace {

constexpr double kMsPerDay = 86400000.0;
// Day number (0 = 0001-01-01, proleptic Gregorian) of 1899-12-30.
constexpr int64_t kDaysTo1899 = 693593;

template <std::size_t N> void clearTable(std::array<std::string, N>& table) {
    for (auto& entry : table) {
        entry.clear();
    }
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Day number of a valid date, 0 being 0001-01-01.
int64_t dayNumber(int year, int month, int day) {
    const int64_t y = year - 1;
    int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m) {
        days += daysInMonth(year, m);
    }
    return days + day - 1;
}

// Inverse of dayNumber for day numbers of years 1 to 9999 and beyond.
void civilFromDayNumber(int64_t days, int& year, int& month, int& day) {
    // Shift to days since 0000-03-01 so leap days fall at the end of each year.
    const int64_t z = days + 306;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

// Field value for a name of the mask: the same positions of text, integer reading, else 0.
int32_t maskField(std::string_view mask, std::string_view text, std::string_view name) {
    const std::size_t pos = mask.find(name);
    if (pos == mask.npos || pos >= text.size()) {
        return 0;
    }
    return ReadIntegerText(text.substr(pos, name.size())).value_or(0);
}

// Large years only arise from a negative year field; they keep the old approximation.
double approximateDate(uint16_t year, uint16_t month, uint16_t day) {
    const double t = std::trunc((year - 1) * 365.2422454 - 693593 + 1.7882454);
    const double r = std::nearbyint((month - 1) * 30.436853783333333 + t);
    return r + day - 1;
}

std::string twoDigits(int value) {
    return IntToStrZero(value, 2);
}

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A piece of a date or time format: a run of one pattern letter, or literal text with any
// quoted parts kept as written.
struct FormatPiece {
    bool field = false;
    std::string text;
};

std::vector<FormatPiece> splitFormat(std::string_view format) {
    std::vector<FormatPiece> pieces;
    bool quoted = false;
    for (const char c : format) {
        if (c == '\'') {
            quoted = !quoted;
        }
        const bool field = !quoted && isAsciiLetter(c);
        const bool extends = !pieces.empty() && pieces.back().field == field &&
                             (!field || pieces.back().text.back() == c);
        if (!extends) {
            pieces.push_back({field, {}});
        }
        pieces.back().text += c;
    }
    return pieces;
}

bool isTimeSeparator(char c) {
    return c == ':' || c == '.' || c == ',' || c == ' ' || c == '-';
}

} // namespace

void VexDateTimeStartup() {
    DateOrderMask = MakeDateOrderMask(FormatSettings.ShortDateFormat);
    GermanPeriodNames = {"Tag", "Woche", "Monat", "Quartal", "Jahr", "Jahrzent", "Jahrhundert"};
    GermanPeriodNamesPlural = {"Tage",  "Wochen",    "Monate",      "Quartale",
                               "Jahre", "Jahrzente", "Jahrhunderte"};
    EnglishPeriodNames = {"Day", "Week", "Month", "Quarter", "Year", "Decade", "Century"};
    EnglishPeriodNamesPlural = {"Days",  "Weeks",   "Months",   "Quarters",
                                "Years", "Decades", "Centuries"};
    GermanMonthAbbreviations = {"Jan.", "Feb.", "März", "Apr.", "Mai",  "Juni",
                                "Juli", "Aug.", "Sep.", "Okt.", "Nov.", "Dez."};
    EnglishMonthAbbreviations = {"Jan.", "Feb.", "Mar.", "Apr.", "May",  "June",
                                 "July", "Aug.", "Sep.", "Oct.", "Nov.", "Dec."};
    EnglishDayAbbreviations = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    EnglishMonthNamesShort = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
}

void VexDateTimeShutdown() {
    FormatSettings = {};
    DateOrderMask.clear();
    clearTable(GermanPeriodNames);
    clearTable(GermanPeriodNamesPlural);
    clearTable(EnglishPeriodNames);
    clearTable(EnglishPeriodNamesPlural);
    clearTable(GermanMonthAbbreviations);
    clearTable(EnglishMonthAbbreviations);
    clearTable(EnglishDayAbbreviations);
    clearTable(EnglishMonthNamesShort);
}

std::string MakeDateOrderMask(std::string_view shortDateFormat) {
    std::string mask = KeepChars(UpperAscii(shortDateFormat), "DMY.:-/'_+*");
    if (mask.find("YYYY") == mask.npos) {
        if (const std::size_t pos = mask.find("YY"); pos != mask.npos) {
            mask.insert(pos, "YY");
        }
    }
    return mask;
}

void SetFormatSettings(const TFormatSettings& settings) {
    FormatSettings = settings;
    DateOrderMask = MakeDateOrderMask(settings.ShortDateFormat);
}

std::string FourDigitYearFormat(std::string_view dateFormat) {
    std::string out;
    for (const FormatPiece& piece : splitFormat(dateFormat)) {
        out += piece.field && piece.text == "yy" ? "yyyy" : piece.text;
    }
    return out;
}

std::string TimeFormatWithoutSeconds(std::string_view timeFormat) {
    std::string out;
    for (const FormatPiece& piece : splitFormat(timeFormat)) {
        if (!piece.field || (piece.text[0] != 's' && piece.text[0] != 'z')) {
            out += piece.text;
            continue;
        }
        while (!out.empty() && isTimeSeparator(out.back())) {
            out.pop_back();
        }
    }
    return out;
}

char TimeSeparatorOf(std::string_view timeFormat) {
    const std::vector<FormatPiece> pieces = splitFormat(timeFormat);
    const auto hour = std::find_if(pieces.begin(), pieces.end(), [](const FormatPiece& piece) {
        return piece.field && (piece.text[0] == 'h' || piece.text[0] == 'H');
    });
    if (hour == pieces.end() || hour + 1 == pieces.end() || (hour + 1)->field ||
        (hour + 1)->text[0] == '\'') {
        return ':';
    }
    return (hour + 1)->text[0];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (!IsValidDate(year, month, day)) {
        return false;
    }
    out = static_cast<double>(dayNumber(year, month, day) - kDaysTo1899);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999) {
        return false;
    }
    out = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / kMsPerDay;
    return true;
}

DateTimeParts DecodeDateTime(TDateTime value) {
    DateTimeParts parts;
    if (!std::isfinite(value) || std::fabs(value) > 1e9) {
        return parts;
    }
    // The fraction is the time of day on both sides of the epoch.
    double whole = std::trunc(value);
    auto ms = static_cast<int64_t>(std::llround(std::fabs(value - whole) * kMsPerDay));
    if (ms >= static_cast<int64_t>(kMsPerDay)) {
        ms -= static_cast<int64_t>(kMsPerDay);
        whole += value < 0 ? -1 : 1;
    }
    civilFromDayNumber(static_cast<int64_t>(whole) + kDaysTo1899, parts.year, parts.month,
                       parts.day);
    parts.hour = static_cast<int>(ms / 3600000);
    parts.minute = static_cast<int>(ms / 60000 % 60);
    parts.second = static_cast<int>(ms / 1000 % 60);
    parts.millisecond = static_cast<int>(ms % 1000);
    return parts;
}

TDateTime NowAsDateTime() {
    const LocalTime now = LocalTimeNow();
    const std::tm& local = now.calendar;
    TDateTime date = 0;
    TDateTime time = 0;
    TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date);
    // A leap second shows as the last second of its minute.
    TryEncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), now.millisecond, time);
    return date + time;
}

TDateTime ParseDateByMask(std::string_view mask, std::string_view text) {
    if (text.empty() || mask.empty()) {
        return 0;
    }
    const std::string m = DeleteCharSet(UpperAscii(mask), MakeCharSet("\""));
    const auto day = static_cast<uint16_t>(maskField(m, text, "DD"));
    const auto month = static_cast<uint16_t>(maskField(m, text, "MM"));
    auto year = static_cast<uint16_t>(maskField(m, text, "YYYY"));
    if (year == 0) {
        const int32_t y = maskField(m, text, "YY");
        year = static_cast<uint16_t>(y <= 80 ? 2000 + y : 1900 + y);
    }
    TDateTime date = 0;
    if (day != 0 && month != 0 && year != 0) {
        if (year >= 10000) {
            date = approximateDate(year, month, day);
        } else if (!TryEncodeDate(year, month, day, date)) {
            return 0;
        }
    }
    // Negative fields wrap to large unsigned values and so fail the range check.
    const auto hour = static_cast<uint16_t>(maskField(m, text, "HH"));
    const auto minute = static_cast<uint16_t>(maskField(m, text, "NN"));
    const auto second = static_cast<uint16_t>(maskField(m, text, "SS"));
    TDateTime time = 0;
    if (!TryEncodeTime(hour, minute, second, 0, time)) {
        return 0;
    }
    return date + time;
}

std::string FormatDateTimeByMask(std::string_view mask, TDateTime value, char timeSeparator) {
    const DateTimeParts p = DecodeDateTime(value);
    const std::string upper = UpperAscii(mask);
    std::string out;
    for (std::size_t i = 0; i < upper.size();) {
        const std::string_view rest = std::string_view(upper).substr(i);
        if (rest.starts_with("YYYY")) {
            out += IntToStrZero(p.year, 4), i += 4;
        } else if (rest.starts_with("YY")) {
            out += twoDigits(p.year % 100), i += 2;
        } else if (rest.starts_with("MM")) {
            out += twoDigits(p.month), i += 2;
        } else if (rest.starts_with("DD")) {
            out += twoDigits(p.day), i += 2;
        } else if (rest.starts_with("HH")) {
            out += twoDigits(p.hour), i += 2;
        } else if (rest.starts_with("NN")) {
            out += twoDigits(p.minute), i += 2;
        } else if (rest.starts_with("SS")) {
            out += twoDigits(p.second), i += 2;
        } else if (rest.starts_with("ZZZ")) {
            out += IntToStrZero(p.millisecond, 3), i += 3;
        } else {
            out += mask[i] == ':' ? timeSeparator : mask[i];
            ++i;
        }
    }
    return out;
}

std::string FormatGdtDate(TDateTime value) {
    return FormatDateTimeByMask("DDMMYYYY", value);
}
