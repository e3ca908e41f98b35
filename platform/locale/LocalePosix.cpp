#include "platform/locale/Locale.h"

#include <langinfo.h>
#include <sys/time.h>

std::string LocaleDateFormat() {
    return nl_langinfo(D_FMT);
}

std::string LocaleTimeFormat() {
    return nl_langinfo(T_FMT);
}

std::string LocaleTwelveHourTimeFormat() {
    return nl_langinfo(T_FMT_AMPM);
}

LocalTime LocalTimeNow() {
    timeval now{};
    gettimeofday(&now, nullptr);
    LocalTime local;
    localtime_r(&now.tv_sec, &local.calendar);
    local.millisecond = static_cast<int>(now.tv_usec / 1000);
    return local;
}
