// The attached monitor on Windows: a named pipe with as many instances as there are callers,
// served from one loop that waits for a new caller, for the next byte to send, or briefly for
// requests of the callers it has (a pipe cannot be waited on for bytes the way a socket can).

#include "platform/Errors.h"
#include "platform/files/Files.h"
#include "platform/ftd2xx/VirtualMonitorLinkWin.h"
#include "tools/monitor-sim/Plug.h"
#include "tools/monitor-sim/PlugCore.h"

#include <algorithm>
#include <iostream>
#include <windows.h>

#undef DeleteFile

namespace monitorsim {
namespace {

using namespace ftd2xx::virtualmonitor;

// How often callers are looked at while some are connected, and the program, whose leaving is
// noticed this way.
constexpr DWORD CallerPollMs = 2;
constexpr DWORD ProgramPollMs = 20;

// Set by Ctrl+C, Ctrl+Break or the console closing.
HANDLE StopEvent = nullptr;

BOOL WINAPI OnConsoleStop(DWORD) {
    SetEvent(StopEvent);
    return TRUE;
}

class PipeLink : public Link {
public:
    explicit PipeLink(OwnedHandle pipe) : pipe_(std::move(pipe)) {}

    bool send(std::string_view bytes) override { return SendAll(pipe_.get(), bytes); }

    std::optional<std::string> receive(std::size_t most) override {
        return ReadWaiting(pipe_.get(), static_cast<uint32_t>(most));
    }

private:
    OwnedHandle pipe_;
};

class Plug {
public:
    Plug(std::string serialNumber, std::string description)
        : core_(std::move(serialNumber), std::move(description), [this] { withdraw(); }) {}
    ~Plug() { withdraw(); }
    Plug(const Plug&) = delete;
    Plug& operator=(const Plug&) = delete;

    bool start(std::string& error);
    void run();

private:
    bool announce(std::string& error);
    bool listen(bool first, std::string& error);
    void withdraw();
    DWORD waitMs() const;
    void acceptCaller();

    PlugCore core_;
    std::string folder_;
    std::string address_;
    bool announced_ = false;
    OwnedHandle listening_;
    OwnedHandle connected_;
    OVERLAPPED connecting_{};
};

bool Plug::start(std::string& error) {
    const auto folder = MonitorFolder(error);
    if (!folder || !PrepareFolder(*folder, error)) {
        return false;
    }
    folder_ = *folder;
    address_ = MonitorAddress(folder_, core_.serialNumber());
    StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    connected_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    SetConsoleCtrlHandler(OnConsoleStop, TRUE);
    return announce(error);
}

// Under the folder lock, so that a lister never takes our fresh announcement for a stale one. A
// monitor that answers at the address is already there: not every system refuses a second
// first instance of a pipe.
bool Plug::announce(std::string& error) {
    FolderLock lock(folder_, true);
    if (!lock.locked()) {
        error = "cannot lock " + folder_;
        return false;
    }
    OwnedHandle probe;
    const bool taken = Connect(address_, probe, 0) != ConnectResult::NobodyListening;
    if (taken || !listen(true, error)) {
        if (taken || GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_PIPE_BUSY) {
            error =
                "a monitor with serial number " + core_.serialNumber() + " is already plugged in";
        }
        return false;
    }
    try {
        WriteFileInOnePiece(AnnouncementPath(folder_, core_.serialNumber()),
                            core_.serialNumber() + "\n");
    } catch (const FileError& failure) {
        error = failure.what();
        return false;
    }
    announced_ = true;
    return true;
}

// A fresh instance waits for the next caller.
bool Plug::listen(bool first, std::string& error) {
    listening_ = CreateMonitorPipe(address_, first, error);
    if (!listening_) {
        return false;
    }
    connecting_ = OVERLAPPED{};
    ResetEvent(connected_.get());
    connecting_.hEvent = connected_.get();
    if (!ConnectNamedPipe(listening_.get(), &connecting_)) {
        const DWORD pending = GetLastError();
        if (pending == ERROR_PIPE_CONNECTED) {
            SetEvent(connected_.get());
        } else if (pending != ERROR_IO_PENDING) {
            error = "cannot wait for callers on " + address_;
            return false;
        }
    }
    return true;
}

// The announcement goes first, so that the program's next list already sees the monitor gone.
void Plug::withdraw() {
    if (announced_) {
        DeleteFile(AnnouncementPath(folder_, core_.serialNumber()));
        announced_ = false;
    }
    if (listening_) {
        CancelIo(listening_.get());
    }
    listening_.reset();
}

DWORD Plug::waitMs() const {
    DWORD wait = INFINITE;
    if (core_.hasCallers()) {
        wait = CallerPollMs;
    } else if (core_.program()) {
        wait = ProgramPollMs;
    }
    if (const auto untilDue = core_.microsecondsToNextByte()) {
        wait = std::min(wait, static_cast<DWORD>((*untilDue + 999) / 1000));
    }
    return wait;
}

void Plug::run() {
    std::cout << "Virtual monitor " << core_.serialNumber() << " (" << core_.description()
              << ") is plugged in; stop it with '" << ProgramName << " unplug' or Ctrl+C."
              << std::endl;
    for (;;) {
        const HANDLE events[] = {StopEvent, connected_.get()};
        const DWORD woke = WaitForMultipleObjects(2, events, FALSE, waitMs());
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) {
            break;
        }
        if (woke == WAIT_OBJECT_0 + 1) {
            acceptCaller();
        }
        if (!core_.serve()) {
            return;
        }
        core_.sendDueBytes();
    }
    withdraw();
    core_.dropAll("the monitor was unplugged");
}

void Plug::acceptCaller() {
    DWORD ignored = 0;
    const bool connected = GetOverlappedResult(listening_.get(), &connecting_, &ignored, FALSE) ||
                           GetLastError() == ERROR_PIPE_CONNECTED;
    if (connected) {
        core_.addCaller(std::make_unique<PipeLink>(std::move(listening_)));
    }
    std::string error;
    if (!listen(false, error)) {
        std::cerr << ProgramName << ": " << error << "\n";
        SetEvent(StopEvent);
    }
}

} // namespace

int RunPlug(const std::string& serialNumber, const std::string& description) {
    Plug plug(serialNumber, description);
    std::string error;
    if (!plug.start(error)) {
        std::cerr << ProgramName << ": " << error << "\n";
        return 1;
    }
    plug.run();
    return 0;
}

} // namespace monitorsim
