#include "app/DateTimeText.h"

#include "platform/locale/Locale.h"

#include <array>

namespace {

constexpr std::string_view DefaultTwelveHourFormat = "%I:%M:%S %p";

std::string ExpandCompositeFields(std::string_view format, std::string_view twelveHourFormat) {
    std::string result;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            result += format[i];
            continue;
        }
        const char field = format[++i];
        if (field == 'T') {
            result += "%H:%M:%S";
        } else if (field == 'R') {
            result += "%H:%M";
        } else if (field == 'r') {
            result += twelveHourFormat.empty() ? DefaultTwelveHourFormat : twelveHourFormat;
        } else {
            result += '%';
            result += field;
        }
    }
    return result;
}

bool IsSeparator(char c) {
    return c == ':' || c == '.' || c == ',' || c == ' ' || c == '-' || c == '\'';
}

std::string DropSeconds(std::string format) {
    const size_t seconds = format.find("%S");
    if (seconds == std::string::npos) {
        return format;
    }
    size_t start = seconds;
    while (start > 0 && IsSeparator(format[start - 1])) {
        --start;
    }
    format.erase(start, seconds + 2 - start);
    return format;
}

std::string Strftime(const std::tm& moment, const std::string& format) {
    if (format.empty()) {
        return {};
    }
    std::array<char, 256> buffer{};
    const size_t length = std::strftime(buffer.data(), buffer.size(), format.c_str(), &moment);
    return std::string(buffer.data(), length);
}

} // namespace

std::string ShortTimeFormat(std::string_view timeFormat, std::string_view twelveHourFormat) {
    return DropSeconds(ExpandCompositeFields(timeFormat, twelveHourFormat));
}

std::string FormatShortDateTime(const std::tm& moment, const std::string& dateFormat,
                                const std::string& timeFormat) {
    return Strftime(moment, dateFormat) + " " + Strftime(moment, timeFormat);
}

std::string FormatLocaleShortDateTime(const std::tm& moment) {
    const std::string timeFormat =
        ShortTimeFormat(LocaleTimeFormat(), LocaleTwelveHourTimeFormat());
    return FormatShortDateTime(moment, LocaleDateFormat(), timeFormat);
}
