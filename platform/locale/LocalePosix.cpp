#include "platform/locale/Locale.h"

#include <sys/time.h>

LocalTime LocalTimeNow() {
    timeval now{};
    gettimeofday(&now, nullptr);
    LocalTime local;
    localtime_r(&now.tv_sec, &local.calendar);
    local.millisecond = static_cast<int>(now.tv_usec / 1000);
    return local;
}
