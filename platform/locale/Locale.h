#pragma once
// What the user's locale and clock say: the time formats of the process's LC_TIME locale in
// strftime notation, and the local time now.

#include <ctime>
#include <string>

std::string LocaleDateFormat();
std::string LocaleTimeFormat();
// The 12-hour form of the time, which a time format may name with "%r".
std::string LocaleTwelveHourTimeFormat();

struct LocalTime {
    std::tm calendar{};
    int millisecond = 0;
};

LocalTime LocalTimeNow();
