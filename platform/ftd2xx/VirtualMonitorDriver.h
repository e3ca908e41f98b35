#pragma once
// The D2XX driver for the monitors monitor-sim plays, reached through VirtualMonitorLink.h.

#include "platform/ftd2xx/Driver.h"

#include <cstdint>
#include <map>
#include <string>

namespace ftd2xx {

class VirtualMonitorDriver : public Driver {
public:
    FT_STATUS listDevices(std::vector<DeviceEntry>& out) override;
    FT_STATUS open(const std::string& serialNumber, std::unique_ptr<Connection>& out) override;

private:
    // How long a monitor that did not answer is left out of listings.
    static constexpr uint64_t SilenceRememberedMs = 1500;
    // Sockets that did not answer, with the moment from which they are asked again.
    std::map<std::string, uint64_t> silentUntil_;
};

} // namespace ftd2xx
