#include "platform/ftd2xx/VirtualMonitorLinkPosix.h"
#include "tools/monitor-sim/Plug.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace monitorsim {
namespace {

using namespace ftd2xx::virtualmonitor;

// 9600 baud with a start bit, 8 data bits and two stop bits: 11 bits per byte.
constexpr uint64_t ByteTimeUs = 11 * 1000000 / 9600;
// A split frame pauses after this many bytes.
constexpr size_t SplitAfterBytes = 8;
constexpr int ReplyTimeoutMs = 1000;

int WakeWriteFd = -1;

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(WakeWriteFd, &byte, 1);
}

uint64_t NowUs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void Reply(const FileDescriptor& client, const std::string& line) {
    SendAll(client.get(), line + "\n", ReplyTimeoutMs);
}

struct Client {
    FileDescriptor fd;
    std::string input;
};

// Bytes on their way to the program, one after the other at line speed.
struct Job {
    std::string bytes;
    uint32_t pauseMs = 0;
    FileDescriptor requester;
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
    bool bindSocket(const std::string& folder, std::string& error);
    void unplug();
    int pollTimeoutMs() const;
    void acceptClients();
    void watchProgram();
    void serveClient(Client& client);
    void handle(Client& client, const std::string& request);
    void queueSend(Client& client, const std::string& arguments);
    void sendDueBytes();
    void failJobs(const std::string& reason);

    std::string serial_;
    std::string description_;
    std::string path_;
    ino_t inode_ = 0;
    FileDescriptor listen_;
    FileDescriptor program_;
    FileDescriptor wakeRead_;
    FileDescriptor wakeWrite_;
    std::vector<Client> clients_;
    std::deque<Job> jobs_;
    bool running_ = true;
};

bool Plug::start(std::string& error) {
    const auto folder = MonitorFolder(error);
    if (!folder || !PrepareFolder(*folder, error)) {
        return false;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return false;
    }
    wakeRead_.reset(pipeFds[0]);
    wakeWrite_.reset(pipeFds[1]);
    WakeWriteFd = wakeWrite_.get();
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    return bindSocket(*folder, error);
}

// Under the folder lock, so that a lister never takes our fresh socket for a stale one.
bool Plug::bindSocket(const std::string& folder, std::string& error) {
    FolderLock lock(folder, true);
    if (!lock.locked()) {
        error = "cannot lock " + folder;
        return false;
    }
    const std::string path = MonitorAddress(folder, serial_);
    FileDescriptor probe;
    if (Connect(path, probe) == ConnectResult::Connected) {
        error = "a monitor with serial number " + serial_ + " is already plugged in";
        return false;
    }
    ::unlink(path.c_str());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        error = "the socket path " + path + " is too long";
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    listen_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listen_ ||
        ::bind(listen_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_.get(), 16) != 0) {
        error = "cannot listen on " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    ::stat(path.c_str(), &info);
    inode_ = info.st_ino;
    path_ = path;
    return true;
}

// The socket goes first, so that the program's next read and list already see the monitor gone.
void Plug::unplug() {
    struct stat info {};
    if (!path_.empty() && ::stat(path_.c_str(), &info) == 0 && info.st_ino == inode_) {
        ::unlink(path_.c_str());
    }
    path_.clear();
    listen_.reset();
    program_.reset();
    failJobs("the monitor was unplugged");
}

int Plug::pollTimeoutMs() const {
    if (jobs_.empty() || !program_) {
        return -1;
    }
    const Job& job = jobs_.front();
    const uint64_t due = job.dueUs(job.next);
    const uint64_t now = NowUs();
    return due <= now ? 0 : static_cast<int>((due - now + 999) / 1000);
}

void Plug::run() {
    std::cout << "Virtual monitor " << serial_ << " (" << description_
              << ") is plugged in; stop it with '" << ProgramName << " unplug' or Ctrl+C."
              << std::endl;
    while (running_) {
        std::vector<pollfd> fds{{wakeRead_.get(), POLLIN, 0}, {listen_.get(), POLLIN, 0}};
        if (program_) {
            fds.push_back({program_.get(), POLLIN, 0});
        }
        for (const auto& client : clients_) {
            fds.push_back({client.fd.get(), POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), pollTimeoutMs()) < 0 && errno != EINTR) {
            break;
        }
        if (fds[0].revents != 0) {
            break;
        }
        if (fds[1].revents != 0) {
            acceptClients();
        }
        if (program_ && fds[2].revents != 0) {
            watchProgram();
        }
        const size_t first = fds.size() - clients_.size();
        for (size_t i = 0; i < clients_.size() && running_; ++i) {
            if (fds[first + i].revents != 0) {
                serveClient(clients_[i]);
            }
        }
        std::erase_if(clients_, [](const Client& client) { return !client.fd; });
        sendDueBytes();
    }
    unplug();
}

void Plug::acceptClients() {
    for (;;) {
        FileDescriptor client(
            ::accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!client) {
            return;
        }
        clients_.push_back({std::move(client), {}});
    }
}

// The program only ever closes its end; anything else it sends is ignored.
void Plug::watchProgram() {
    char scratch[256];
    const ssize_t n = ::recv(program_.get(), scratch, sizeof scratch, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        program_.reset();
        failJobs("the program closed the monitor");
    }
}

void Plug::serveClient(Client& client) {
    char scratch[512];
    const ssize_t n = ::recv(client.fd.get(), scratch, sizeof scratch, MSG_DONTWAIT);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            client.fd.reset();
        }
        return;
    }
    client.input.append(scratch, static_cast<size_t>(n));
    const auto end = client.input.find('\n');
    if (end != std::string::npos) {
        handle(client, client.input.substr(0, end));
    } else if (client.input.size() > 4096) {
        client.fd.reset();
    }
}

void Plug::handle(Client& client, const std::string& request) {
    if (request == "INFO") {
        Reply(client.fd, "MONITOR " + serial_ + "\t" + description_);
    } else if (request == "OPEN" && program_) {
        Reply(client.fd, "BUSY");
    } else if (request == "OPEN") {
        Reply(client.fd, "OK");
        program_ = std::move(client.fd);
        return;
    } else if (request.rfind("SEND ", 0) == 0) {
        queueSend(client, request.substr(5));
        return;
    } else if (request == "UNPLUG") {
        unplug();
        running_ = false;
        Reply(client.fd, "OK");
    } else {
        Reply(client.fd, "ERR unknown request");
    }
    client.fd.reset();
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
        Reply(client.fd, "ERR malformed send request");
        client.fd.reset();
        return;
    }
    if (!program_) {
        Reply(client.fd, "ERR no program has opened the monitor, nothing was sent");
        client.fd.reset();
        return;
    }
    jobs_.push_back(Job{std::move(*bytes), pauseMs, std::move(client.fd)});
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
        const ssize_t sent =
            ::send(program_.get(), &job.bytes[job.next], 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return;
        }
        if (sent < 0) {
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
        std::cerr << ProgramName << ": " << error << "\n";
        return 1;
    }
    plug.run();
    return 0;
}

} // namespace monitorsim
