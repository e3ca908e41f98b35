#pragma once
// How the virtual-monitor driver and monitor-sim reach each other on POSIX: one Unix socket
// per monitor in the user's private runtime folder, the checks that keep other users out, and
// small blocking socket helpers with time-outs.

#include "platform/files/FileDescriptorPosix.h"
#include "platform/ftd2xx/VirtualMonitorLink.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ftd2xx::virtualmonitor {

// Holds an exclusive lock on the folder while monitors bind and stale sockets are removed.
class FolderLock {
public:
    // Blocks until locked, or only tries when wait is false; locked() says whether it got it.
    FolderLock(const std::string& folder, bool wait);
    bool locked() const { return locked_; }

private:
    FileDescriptor fd_;
    bool locked_ = false;
};

// MonitorFolder is $XDG_RUNTIME_DIR/lirn-quarn, nothing when the variable is not set; a monitor's
// address is the path of its socket there, "<serial>.sock".

// Creates the folder with mode 0700 or tightens our own; refuses one that belongs to another.
bool PrepareFolder(const std::string& folder, std::string& error);

// Never waits: a monitor whose queue of connections is full counts as Failed. The socket does
// not block; the helpers below wait with poll.
ConnectResult Connect(const std::string& path, FileDescriptor& out);

bool SendAll(int fd, std::string_view bytes, int timeoutMs);
// One line without its "\n", read byte by byte so that nothing behind it is consumed.
bool ReadLine(int fd, std::string& line, int timeoutMs);

} // namespace ftd2xx::virtualmonitor
