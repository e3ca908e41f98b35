#pragma once
// The local time now, as the system's clock and time zone give it.

#include <ctime>

struct LocalTime {
    std::tm calendar{};
    int millisecond = 0;
};

LocalTime LocalTimeNow();
