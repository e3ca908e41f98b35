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

// Monitors are looked for in the folder only when this holds: on POSIX it must be ours and
// closed to others.
bool FolderIsTrusted(const std::string& folder);

// A monitor's entry in the folder is "<serial><MonitorEntryEnding>": its socket on POSIX, its
// announcement on Windows.
extern const std::string_view MonitorEntryEnding;
// Where the monitor with that serial number is reached.
std::string MonitorAddress(const std::string& folder, std::string_view serialNumber);
// Serial numbers of the monitors announced in the folder, sorted; live or not.
std::vector<std::string> MonitorSerialNumbers(const std::string& folder);

enum class ConnectResult { Connected, NobodyListening, Failed };

struct AskedMonitor {
    ConnectResult connected = ConnectResult::Failed;
    // The answer line, when one of at most MaxAnswerBytes came in time.
    std::optional<std::string> answer;
};
// Sends the request to every monitor at once and waits for their answers together, at most
// timeoutMs in all; one result per address, in order. A monitor that cannot take the connection
// at once counts as Failed: nobody waits for it.
std::vector<AskedMonitor> AskAll(const std::vector<std::string>& addresses,
                                 const std::string& request, int timeoutMs);

// A monitor announced but listened for by nobody is what a killed one leaves: its entry goes,
// under the folder lock so that a monitor announcing the same serial number meanwhile is not hit.
void RemoveStaleMonitor(const std::string& folder, const std::string& serialNumber);

// Connects, sends the request line and returns the answer line.
bool Ask(const std::string& address, const std::string& request, std::string& answer,
         int timeoutMs = AnswerTimeoutMs);

} // namespace ftd2xx::virtualmonitor
