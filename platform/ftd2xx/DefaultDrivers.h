#pragma once
// The drivers of this platform, in use when no test has installed its own.

#include "platform/ftd2xx/Driver.h"

#include <memory>
#include <vector>

namespace ftd2xx {

// Every FTDI chip on USB (vendor 0x0403).
std::unique_ptr<Driver> MakeUsbDriver();
// The monitors that monitor-sim plays for this user.
std::unique_ptr<Driver> MakeVirtualMonitorDriver();
// USB devices first, then virtual monitors.
std::vector<std::unique_ptr<Driver>> MakeDefaultDrivers();

} // namespace ftd2xx
