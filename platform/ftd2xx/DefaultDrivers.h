#pragma once
// The drivers in use when no test has installed its own.

#include "platform/ftd2xx/Driver.h"

namespace ftd2xx {

// Every USB device of vendor 0x0403, reached through libftdi1.
std::unique_ptr<Driver> MakeUsbDriver();
// The monitors that monitor-sim plays in the user's runtime folder.
std::unique_ptr<Driver> MakeVirtualMonitorDriver();

} // namespace ftd2xx
