#pragma once
// One attached monitor, played in the foreground until it is unplugged or stopped by a signal.

#include <string>

namespace monitorsim {

// The name the tool was started under, for its messages: monitor-sim in the build tree,
// quarn-monitor-sim where it is installed.
extern std::string ProgramName;

// The process exit code: 0 after unplug or SIGINT/SIGTERM, 1 when it cannot start.
int RunPlug(const std::string& serialNumber, const std::string& description);

} // namespace monitorsim
