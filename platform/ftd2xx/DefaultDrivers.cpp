#include "platform/ftd2xx/DefaultDrivers.h"

#include "platform/ftd2xx/VirtualMonitorDriver.h"

namespace ftd2xx {

std::unique_ptr<Driver> MakeVirtualMonitorDriver() {
    return std::make_unique<VirtualMonitorDriver>();
}

std::vector<std::unique_ptr<Driver>> MakeDefaultDrivers() {
    std::vector<std::unique_ptr<Driver>> drivers;
    drivers.push_back(MakeUsbDriver());
    drivers.push_back(MakeVirtualMonitorDriver());
    return drivers;
}

} // namespace ftd2xx
