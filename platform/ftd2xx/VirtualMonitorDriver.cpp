#include "platform/ftd2xx/VirtualMonitorDriver.h"

#include "platform/ftd2xx/VirtualMonitorLink.h"

namespace ftd2xx {

using namespace virtualmonitor;

// All monitors are asked at once, so that one that never answers holds discovery up for
// ListingTimeoutMs at most, and one that stayed silent is left out of the listings that follow
// for a while instead of holding each of them up again.
FT_STATUS VirtualMonitorDriver::listDevices(std::vector<DeviceEntry>& out) {
    std::string ignored;
    const auto folder = MonitorFolder(ignored);
    if (!folder || !FolderIsTrusted(*folder)) {
        return FT_OK;
    }
    const uint64_t now = SteadyNowMs();
    std::erase_if(silentUntil_, [&](const auto& entry) { return entry.second <= now; });
    std::vector<std::string> serials;
    std::vector<std::string> addresses;
    for (auto& serial : MonitorSerialNumbers(*folder)) {
        std::string address = MonitorAddress(*folder, serial);
        if (!silentUntil_.contains(address)) {
            serials.push_back(std::move(serial));
            addresses.push_back(std::move(address));
        }
    }
    const std::vector<AskedMonitor> asked = AskAll(addresses, "INFO", ListingTimeoutMs);
    for (size_t i = 0; i < addresses.size(); ++i) {
        DeviceEntry entry;
        if (asked[i].answer && ParseInfoAnswer(*asked[i].answer, serials[i], entry)) {
            out.push_back(std::move(entry));
        } else if (asked[i].connected == ConnectResult::NobodyListening) {
            RemoveStaleMonitor(*folder, serials[i]);
        } else if (!asked[i].answer) {
            silentUntil_[addresses[i]] = now + SilenceRememberedMs;
        }
    }
    return FT_OK;
}

} // namespace ftd2xx
