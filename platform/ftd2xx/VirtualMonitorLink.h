#pragma once
// Where the virtual-monitor driver and monitor-sim find each other, on every system: a private
// folder of this user in which running monitors are announced, an address per monitor (a Unix
// socket on POSIX, a named pipe on Windows) and one request with its answer.

#include "platform/ftd2xx/VirtualMonitorProtocol.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ftd2xx::virtualmonitor {

// The user's folder for monitors, or nothing (with the reason) when the system names none.
std::optional<std::string> MonitorFolder(std::string& error);

// Where the monitor with that serial number is reached.
std::string MonitorAddress(const std::string& folder, std::string_view serialNumber);
// Serial numbers of the monitors announced in the folder, sorted; live or not.
std::vector<std::string> MonitorSerialNumbers(const std::string& folder);

// Connects, sends the request line and returns the answer line.
bool Ask(const std::string& address, const std::string& request, std::string& answer,
         int timeoutMs = AnswerTimeoutMs);

} // namespace ftd2xx::virtualmonitor
