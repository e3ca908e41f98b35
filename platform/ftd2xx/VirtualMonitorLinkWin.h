#pragma once
// How the virtual-monitor driver and monitor-sim reach each other on Windows (Wine has no Unix
// sockets): one named pipe per monitor that only this user may open, announced by a file
// "<serial>.monitor" in the user's folder, a system-wide lock while announcements are made or
// cleared, and small blocking pipe helpers with time-outs.

#include "platform/files/HandleWin.h"
#include "platform/ftd2xx/VirtualMonitorLink.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ftd2xx::virtualmonitor {

// MonitorFolder is %LOCALAPPDATA%\lirn-quarn\monitors; a monitor's address is a pipe name that
// carries the folder, so that monitors of different folders never meet.

// Holds a lock named after the folder while monitors announce themselves and stale
// announcements are removed.
class FolderLock {
public:
    // Blocks until locked, or only tries when wait is false; locked() says whether it got it.
    FolderLock(const std::string& folder, bool wait);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool locked() const { return locked_; }

private:
    OwnedHandle mutex_;
    bool locked_ = false;
};

// Creates the folder and the ones above it.
bool PrepareFolder(const std::string& folder, std::string& error);
std::string AnnouncementPath(const std::string& folder, std::string_view serialNumber);

// A listening instance of the monitor's pipe, opened for overlapped I/O; only this user may
// connect, and nobody from another machine. first: fail when the pipe exists already.
OwnedHandle CreateMonitorPipe(const std::string& address, bool first, std::string& error);

ConnectResult Connect(const std::string& address, OwnedHandle& out, int timeoutMs);

// For pipes opened either way, overlapped or not.
bool SendAll(void* pipe, std::string_view bytes);
// Reads only what is waiting; nothing when the other end is gone.
std::optional<std::string> ReadWaiting(void* pipe, uint32_t most);
// Bytes waiting in the pipe; nothing when the other end is gone.
std::optional<uint32_t> BytesWaiting(void* pipe);
// One line without its "\n", read byte by byte so that nothing behind it is consumed.
bool ReadLine(void* pipe, std::string& line, int timeoutMs);

} // namespace ftd2xx::virtualmonitor
