// The attached monitor on Windows: a named pipe with as many instances as there are callers,
// served from one loop that waits for a new caller, for the next byte to send, or briefly for
// requests of the callers it has.

#include "platform/Errors.h"
#include "platform/files/Files.h"
#include "platform/ftd2xx/VirtualMonitorLinkWin.h"
#include "tools/monitor-sim/Plug.h"

#include <charconv>
#include <chrono>
#include <deque>
#include <iostream>
#include <optional>
#include <vector>
#include <windows.h>

#undef DeleteFile

namespace monitorsim {
namespace {

using namespace ftd2xx::virtualmonitor;

// 9600 baud with a start bit, 8 data bits and two stop bits: 11 bits per byte.
constexpr uint64_t ByteTimeUs = 11 * 1000000 / 9600;
// A split frame pauses after this many bytes.
constexpr size_t SplitAfterBytes = 8;
// How often callers are looked at while some are connected: requests of other monitor-sim
// calls, and the program, whose leaving is noticed this way.
constexpr DWORD CallerPollMs = 2;
constexpr DWORD ProgramPollMs = 20;

// Set by Ctrl+C, Ctrl+Break or the console closing.
HANDLE StopEvent = nullptr;

BOOL WINAPI OnConsoleStop(DWORD) {
    SetEvent(StopEvent);
    return TRUE;
}

uint64_t NowUs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void Reply(const OwnedHandle& client, const std::string& line) {
    SendAll(client.get(), line + "\n");
}

struct Client {
    OwnedHandle pipe;
    std::string input;
};

// Bytes on their way to the program, one after the other at line speed.
struct Job {
    std::string bytes;
    uint32_t pauseMs = 0;
    OwnedHandle requester;
    size_t next = 0;
    uint64_t startUs = 0;

    uint64_t dueUs(size_t index) const {
        const uint64_t pause = pauseMs > 0 && index >= SplitAfterBytes ? pauseMs * 1000ull : 0;
        return startUs + index * ByteTimeUs + pause;
    }
};

class Plug {
public:
    Plug(std::string serialNumber, std::string description)
        : serial_(std::move(serialNumber)), description_(std::move(description)) {}
    ~Plug() { unplug(); }
    Plug(const Plug&) = delete;
    Plug& operator=(const Plug&) = delete;

    bool start(std::string& error);
    void run();

private:
    bool listen(bool first, std::string& error);
    void withdraw();
    void unplug();
    DWORD waitMs() const;
    void acceptCaller();
    void watchProgram();
    void serveClient(Client& client);
    void handle(Client& client, const std::string& request);
    void queueSend(Client& client, const std::string& arguments);
    void sendDueBytes();
    void failJobs(const std::string& reason);

    std::string serial_;
    std::string description_;
    std::string folder_;
    std::string address_;
    bool announced_ = false;
    OwnedHandle listening_;
    OwnedHandle connected_;
    OVERLAPPED connecting_{};
    OwnedHandle program_;
    std::vector<Client> clients_;
    std::deque<Job> jobs_;
    bool running_ = true;
};

bool Plug::start(std::string& error) {
    const auto folder = MonitorFolder(error);
    if (!folder || !PrepareFolder(*folder, error)) {
        return false;
    }
    folder_ = *folder;
    address_ = MonitorAddress(folder_, serial_);
    StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    connected_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    SetConsoleCtrlHandler(OnConsoleStop, TRUE);
    // Under the folder lock, so that a lister never takes our fresh announcement for a stale one.
    FolderLock lock(folder_, true);
    if (!lock.locked()) {
        error = "cannot lock " + folder_;
        return false;
    }
    if (!listen(true, error)) {
        if (GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_PIPE_BUSY) {
            error = "a monitor with serial number " + serial_ + " is already plugged in";
        }
        return false;
    }
    try {
        WriteFileInOnePiece(AnnouncementPath(folder_, serial_), serial_ + "\n");
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
        DeleteFile(AnnouncementPath(folder_, serial_));
        announced_ = false;
    }
    if (listening_) {
        CancelIo(listening_.get());
    }
    listening_.reset();
    program_.reset();
    failJobs("the monitor was unplugged");
}

void Plug::unplug() {
    withdraw();
    clients_.clear();
}

DWORD Plug::waitMs() const {
    DWORD wait = INFINITE;
    if (!clients_.empty()) {
        wait = CallerPollMs;
    } else if (program_) {
        wait = ProgramPollMs;
    }
    if (!jobs_.empty() && program_) {
        const Job& job = jobs_.front();
        const uint64_t due = job.startUs == 0 ? 0 : job.dueUs(job.next);
        const uint64_t now = NowUs();
        const DWORD untilDue = due <= now ? 0 : static_cast<DWORD>((due - now + 999) / 1000);
        wait = std::min(wait, untilDue);
    }
    return wait;
}

void Plug::run() {
    std::cout << "Virtual monitor " << serial_ << " (" << description_
              << ") is plugged in; stop it with 'monitor-sim unplug' or Ctrl+C." << std::endl;
    while (running_) {
        const HANDLE events[] = {StopEvent, connected_.get()};
        const DWORD woke = WaitForMultipleObjects(2, events, FALSE, waitMs());
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) {
            break;
        }
        if (woke == WAIT_OBJECT_0 + 1 && running_) {
            acceptCaller();
        }
        if (program_) {
            watchProgram();
        }
        for (size_t i = 0; i < clients_.size() && running_; ++i) {
            serveClient(clients_[i]);
        }
        std::erase_if(clients_, [](const Client& client) { return !client.pipe; });
        sendDueBytes();
    }
    unplug();
}

void Plug::acceptCaller() {
    DWORD ignored = 0;
    const bool connected = GetOverlappedResult(listening_.get(), &connecting_, &ignored, FALSE) ||
                           GetLastError() == ERROR_PIPE_CONNECTED;
    if (connected) {
        clients_.push_back({std::move(listening_), {}});
    }
    std::string error;
    if (!listen(false, error)) {
        std::cerr << "monitor-sim: " << error << "\n";
        running_ = false;
    }
}

// The program only ever closes its end; anything else it sends is ignored.
void Plug::watchProgram() {
    if (!ReadWaiting(program_.get(), 256)) {
        program_.reset();
        failJobs("the program closed the monitor");
    }
}

void Plug::serveClient(Client& client) {
    const auto bytes = ReadWaiting(client.pipe.get(), 512);
    if (!bytes) {
        client.pipe.reset();
        return;
    }
    client.input += *bytes;
    const auto end = client.input.find('\n');
    if (end != std::string::npos) {
        handle(client, client.input.substr(0, end));
    } else if (client.input.size() > 4096) {
        client.pipe.reset();
    }
}

void Plug::handle(Client& client, const std::string& request) {
    if (request == "INFO") {
        Reply(client.pipe, "MONITOR " + serial_ + "\t" + description_);
    } else if (request == "OPEN" && program_) {
        Reply(client.pipe, "BUSY");
    } else if (request == "OPEN") {
        Reply(client.pipe, "OK");
        program_ = std::move(client.pipe);
        return;
    } else if (request.rfind("SEND ", 0) == 0) {
        queueSend(client, request.substr(5));
        return;
    } else if (request == "UNPLUG") {
        withdraw();
        running_ = false;
        Reply(client.pipe, "OK");
    } else {
        Reply(client.pipe, "ERR unknown request");
    }
    client.pipe.reset();
}

void Plug::queueSend(Client& client, const std::string& arguments) {
    const auto space = arguments.find(' ');
    uint32_t pauseMs = 0;
    std::optional<std::string> bytes;
    if (space != std::string::npos) {
        const auto [end, failure] =
            std::from_chars(arguments.data(), arguments.data() + space, pauseMs);
        if (failure == std::errc() && end == arguments.data() + space) {
            bytes = HexDecode(std::string_view(arguments).substr(space + 1));
        }
    }
    if (!bytes || bytes->empty()) {
        Reply(client.pipe, "ERR malformed send request");
        client.pipe.reset();
        return;
    }
    if (!program_) {
        Reply(client.pipe, "ERR no program has opened the monitor, nothing was sent");
        client.pipe.reset();
        return;
    }
    jobs_.push_back(Job{std::move(*bytes), pauseMs, std::move(client.pipe)});
}

void Plug::sendDueBytes() {
    while (program_ && !jobs_.empty()) {
        Job& job = jobs_.front();
        if (job.startUs == 0) {
            job.startUs = NowUs();
        }
        if (job.dueUs(job.next) > NowUs()) {
            return;
        }
        if (!SendAll(program_.get(), std::string_view(&job.bytes[job.next], 1))) {
            program_.reset();
            failJobs("the program closed the monitor");
            return;
        }
        if (++job.next == job.bytes.size()) {
            Reply(job.requester, "OK");
            jobs_.pop_front();
        }
    }
}

void Plug::failJobs(const std::string& reason) {
    for (auto& job : jobs_) {
        Reply(job.requester, "ERR " + reason);
    }
    jobs_.clear();
}

} // namespace

int RunPlug(const std::string& serialNumber, const std::string& description) {
    Plug plug(serialNumber, description);
    std::string error;
    if (!plug.start(error)) {
        std::cerr << "monitor-sim: " << error << "\n";
        return 1;
    }
    plug.run();
    return 0;
}

} // namespace monitorsim
