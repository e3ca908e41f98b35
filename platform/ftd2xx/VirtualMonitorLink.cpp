#include "platform/ftd2xx/VirtualMonitorLink.h"

#include "platform/files/Files.h"

#include <algorithm>

namespace ftd2xx::virtualmonitor {

std::vector<std::string> MonitorSerialNumbers(const std::string& folder) {
    std::vector<std::string> serials;
    std::string ignored;
    for (const std::string& entry : FolderEntryNames(folder)) {
        const std::string_view name(entry);
        if (!name.ends_with(MonitorEntryEnding)) {
            continue;
        }
        const auto serial = name.substr(0, name.size() - MonitorEntryEnding.size());
        if (ValidSerialNumber(serial, ignored)) {
            serials.emplace_back(serial);
        }
    }
    std::sort(serials.begin(), serials.end());
    return serials;
}

} // namespace ftd2xx::virtualmonitor
