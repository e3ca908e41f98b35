// The user's formats from the Windows locale settings, turned from Windows' picture notation
// ("dd.MM.yyyy", "HH:mm:ss") into the strftime notation of Locale.h. Only conversions the
// Windows C runtime knows are produced ("%#d" is its day without a leading zero).

#include "platform/locale/Locale.h"
#include "platform/text/WideTextWin.h"

#include <clocale>
#include <string_view>
#include <windows.h>

namespace {

std::string UserLocaleInfo(LCTYPE what) {
    wchar_t buffer[128] = {};
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, what, buffer, 128);
    return length > 1 ? Narrow(std::wstring_view(buffer, static_cast<size_t>(length - 1))) : "";
}

// The conversion for a run of count equal picture letters; empty for letters strftime lacks.
std::string Conversion(char letter, size_t count) {
    switch (letter) {
    case 'd':
        return count == 1 ? "%#d" : count == 2 ? "%d" : count == 3 ? "%a" : "%A";
    case 'M':
        return count == 1 ? "%#m" : count == 2 ? "%m" : count == 3 ? "%b" : "%B";
    case 'y':
        return count <= 2 ? "%y" : "%Y";
    case 'H':
        return count == 1 ? "%#H" : "%H";
    case 'h':
        return count == 1 ? "%#I" : "%I";
    case 'm':
        return "%M";
    case 's':
        return "%S";
    case 't':
        return "%p";
    default:
        return {};
    }
}

bool IsPictureLetter(char c) {
    return c == 'd' || c == 'M' || c == 'y' || c == 'H' || c == 'h' || c == 'm' || c == 's' ||
           c == 't' || c == 'g';
}

std::string StrftimeOfPicture(const std::string& picture) {
    std::string out;
    for (size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        if (c == '\'') {
            const size_t close = picture.find('\'', i + 1);
            const size_t end = close == std::string::npos ? picture.size() : close;
            for (size_t k = i + 1; k < end; ++k) {
                out += picture[k] == '%' ? "%%" : std::string(1, picture[k]);
            }
            i = end + 1;
            continue;
        }
        if (IsPictureLetter(c)) {
            size_t count = 1;
            while (i + count < picture.size() && picture[i + count] == c) {
                ++count;
            }
            out += Conversion(c, count);
            i += count;
            continue;
        }
        out += c == '%' ? "%%" : std::string(1, c);
        ++i;
    }
    return out;
}

// As on POSIX, the process's LC_TIME decides: the C locale (before the program takes the user's,
// and in tests) has the C formats, any other one the user's settings.
bool CTimeLocale() {
    const char* locale = std::setlocale(LC_TIME, nullptr);
    return locale && std::string_view(locale) == "C";
}

} // namespace

std::string LocaleDateFormat() {
    return CTimeLocale() ? "%m/%d/%y" : StrftimeOfPicture(UserLocaleInfo(LOCALE_SSHORTDATE));
}

std::string LocaleTimeFormat() {
    return CTimeLocale() ? "%H:%M:%S" : StrftimeOfPicture(UserLocaleInfo(LOCALE_STIMEFORMAT));
}

std::string LocaleTwelveHourTimeFormat() {
    return "%I:%M:%S %p";
}

LocalTime LocalTimeNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    LocalTime local;
    local.calendar.tm_year = now.wYear - 1900;
    local.calendar.tm_mon = now.wMonth - 1;
    local.calendar.tm_mday = now.wDay;
    local.calendar.tm_hour = now.wHour;
    local.calendar.tm_min = now.wMinute;
    local.calendar.tm_sec = now.wSecond;
    local.calendar.tm_wday = now.wDayOfWeek;
    local.calendar.tm_isdst = -1;
    local.millisecond = now.wMilliseconds;
    return local;
}
