// The attached monitor on POSIX: a Unix socket in the user's private runtime folder, served from
// one poll loop that also wakes for SIGINT and SIGTERM.

#include "platform/ftd2xx/VirtualMonitorLinkPosix.h"
#include "tools/monitor-sim/Plug.h"
#include "tools/monitor-sim/PlugCore.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace monitorsim {
namespace {

using namespace ftd2xx::virtualmonitor;

constexpr int SendTimeoutMs = 1000;

int WakeWriteFd = -1;

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(WakeWriteFd, &byte, 1);
}

class SocketLink : public Link {
public:
    explicit SocketLink(FileDescriptor fd) : fd_(std::move(fd)) {}

    int fd() const { return fd_.get(); }

    bool send(std::string_view bytes) override { return SendAll(fd_.get(), bytes, SendTimeoutMs); }

    std::optional<std::string> receive(std::size_t most) override {
        std::string bytes(most, '\0');
        const ssize_t n = ::recv(fd_.get(), bytes.data(), most, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return std::string();
        }
        if (n <= 0) {
            return std::nullopt;
        }
        bytes.resize(static_cast<std::size_t>(n));
        return bytes;
    }

private:
    FileDescriptor fd_;
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
    bool bindSocket(const std::string& folder, std::string& error);
    void withdraw();
    void acceptCallers();

    PlugCore core_;
    std::string path_;
    ino_t inode_ = 0;
    FileDescriptor listen_;
    FileDescriptor wakeRead_;
    FileDescriptor wakeWrite_;
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
    const std::string path = MonitorAddress(folder, core_.serialNumber());
    FileDescriptor probe;
    if (Connect(path, probe) == ConnectResult::Connected) {
        error = "a monitor with serial number " + core_.serialNumber() + " is already plugged in";
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
void Plug::withdraw() {
    struct stat info {};
    if (!path_.empty() && ::stat(path_.c_str(), &info) == 0 && info.st_ino == inode_) {
        ::unlink(path_.c_str());
    }
    path_.clear();
    listen_.reset();
}

void Plug::run() {
    std::cout << "Virtual monitor " << core_.serialNumber() << " (" << core_.description()
              << ") is plugged in; stop it with '" << ProgramName << " unplug' or Ctrl+C."
              << std::endl;
    for (;;) {
        std::vector<pollfd> fds{{wakeRead_.get(), POLLIN, 0}, {listen_.get(), POLLIN, 0}};
        for (Link* link : core_.links()) {
            fds.push_back({static_cast<SocketLink*>(link)->fd(), POLLIN, 0});
        }
        const auto untilDue = core_.microsecondsToNextByte();
        const int timeoutMs = untilDue ? static_cast<int>((*untilDue + 999) / 1000) : -1;
        if (::poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR) {
            break;
        }
        if (fds[0].revents != 0) {
            break;
        }
        if (fds[1].revents != 0) {
            acceptCallers();
        }
        if (!core_.serve()) {
            return;
        }
        core_.sendDueBytes();
    }
    withdraw();
    core_.dropAll("the monitor was unplugged");
}

void Plug::acceptCallers() {
    for (;;) {
        FileDescriptor caller(
            ::accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!caller) {
            return;
        }
        core_.addCaller(std::make_unique<SocketLink>(std::move(caller)));
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
