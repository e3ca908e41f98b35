#pragma once
// The D2XX driver for the monitors monitor-sim plays, reached through VirtualMonitorLink.h.

#include "platform/ftd2xx/Driver.h"

namespace ftd2xx {

class VirtualMonitorDriver : public Driver {
public:
    FT_STATUS listDevices(std::vector<DeviceEntry>& out) override;
    FT_STATUS open(const std::string& serialNumber, std::unique_ptr<Connection>& out) override;
};

} // namespace ftd2xx
