#include "platform/locale/Locale.h"

#include <windows.h>

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
