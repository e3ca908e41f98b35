#include "platform/ftd2xx/VirtualMonitorLinkPosix.h"

#include "platform/files/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ftd2xx::virtualmonitor {
namespace {

constexpr const char* FolderName = "lirn-quarn";
constexpr const char* LockName = ".lock";

bool WaitFor(int fd, short events, uint64_t deadline) {
    for (;;) {
        const uint64_t now = SteadyNowMs();
        const int wait = now >= deadline ? 0 : static_cast<int>(deadline - now);
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, wait);
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

// Reads what has come of an answer line; true once the link is done with: the line is whole, or
// the link closed, failed or sent more than an answer can be.
bool ReadAnswer(int fd, std::string& line, std::optional<std::string>& answer) {
    for (;;) {
        char c;
        const ssize_t got = ::recv(fd, &c, 1, MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return false;
        }
        if (got != 1 || line.size() == MaxAnswerBytes) {
            return true;
        }
        if (c == '\n') {
            answer = line;
            return true;
        }
        line.push_back(c);
    }
}

} // namespace

FolderLock::FolderLock(const std::string& folder, bool wait)
    : fd_(::open((folder + "/" + LockName).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                 0600)) {
    if (!fd_) {
        return;
    }
    int result;
    do {
        result = flock(fd_.get(), LOCK_EX | (wait ? 0 : LOCK_NB));
    } while (result != 0 && errno == EINTR);
    locked_ = result == 0;
}

std::optional<std::string> MonitorFolder(std::string& error) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) {
        error = "XDG_RUNTIME_DIR is not set, so there is no private folder for virtual monitors";
        return std::nullopt;
    }
    return std::string(runtime) + "/" + FolderName;
}

bool PrepareFolder(const std::string& folder, std::string& error) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = folder + " is not a folder";
        return false;
    }
    if (info.st_uid != ::getuid()) {
        error = folder + " belongs to another user";
        return false;
    }
    if ((info.st_mode & 07777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) {
        error = "cannot restrict " + folder + " to mode 0700: " + std::strerror(errno);
        return false;
    }
    return true;
}

const std::string_view MonitorEntryEnding = ".sock";

bool FolderIsTrusted(const std::string& folder) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

std::string MonitorAddress(const std::string& folder, std::string_view serialNumber) {
    return folder + "/" + std::string(serialNumber) + std::string(MonitorEntryEnding);
}

ConnectResult Connect(const std::string& path, FileDescriptor& out) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return ConnectResult::Failed;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) {
        return ConnectResult::Failed;
    }
    int result;
    do {
        result = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        return errno == ECONNREFUSED || errno == ENOENT ? ConnectResult::NobodyListening
                                                        : ConnectResult::Failed;
    }
    out = std::move(fd);
    return ConnectResult::Connected;
}

bool SendAll(int fd, std::string_view bytes, int timeoutMs) {
    const uint64_t deadline = SteadyNowMs() + static_cast<uint64_t>(timeoutMs);
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<size_t>(sent));
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        if (!WaitFor(fd, POLLOUT, deadline)) {
            return false;
        }
    }
    return true;
}

bool ReadLine(int fd, std::string& line, int timeoutMs) {
    const uint64_t deadline = SteadyNowMs() + static_cast<uint64_t>(timeoutMs);
    line.clear();
    for (;;) {
        char c;
        const ssize_t got = ::recv(fd, &c, 1, MSG_DONTWAIT);
        if (got == 1) {
            if (c == '\n') {
                return true;
            }
            line.push_back(c);
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            return false;
        }
        if (!WaitFor(fd, POLLIN, deadline)) {
            return false;
        }
    }
}

std::vector<AskedMonitor> AskAll(const std::vector<std::string>& paths, const std::string& request,
                                 int timeoutMs) {
    const uint64_t deadline = SteadyNowMs() + static_cast<uint64_t>(timeoutMs);
    std::vector<AskedMonitor> asked(paths.size());
    std::vector<FileDescriptor> links(paths.size());
    std::vector<std::string> lines(paths.size());
    std::vector<pollfd> waiting;
    for (size_t i = 0; i < paths.size(); ++i) {
        asked[i].connected = Connect(paths[i], links[i]);
        if (asked[i].connected == ConnectResult::Connected &&
            ::send(links[i].get(), (request + "\n").data(), request.size() + 1,
                   MSG_NOSIGNAL | MSG_DONTWAIT) == static_cast<ssize_t>(request.size() + 1)) {
            waiting.push_back({links[i].get(), POLLIN, 0});
        }
    }
    while (!waiting.empty()) {
        const uint64_t now = SteadyNowMs();
        if (now >= deadline ||
            ::poll(waiting.data(), waiting.size(), static_cast<int>(deadline - now)) < 0) {
            if (now >= deadline || errno != EINTR) {
                break;
            }
            continue;
        }
        for (pollfd& entry : waiting) {
            if (entry.revents == 0) {
                continue;
            }
            const size_t i = static_cast<size_t>(
                std::find_if(links.begin(), links.end(),
                             [&](const FileDescriptor& link) { return link.get() == entry.fd; }) -
                links.begin());
            if (ReadAnswer(entry.fd, lines[i], asked[i].answer)) {
                entry.fd = -1;
            }
        }
        std::erase_if(waiting, [](const pollfd& entry) { return entry.fd < 0; });
    }
    return asked;
}

bool Ask(const std::string& path, const std::string& request, std::string& answer, int timeoutMs) {
    FileDescriptor fd;
    if (Connect(path, fd) != ConnectResult::Connected) {
        return false;
    }
    return SendAll(fd.get(), request + "\n", timeoutMs) && ReadLine(fd.get(), answer, timeoutMs);
}

void RemoveStaleMonitor(const std::string& folder, const std::string& serialNumber) {
    FolderLock lock(folder, false);
    FileDescriptor probe;
    const std::string path = MonitorAddress(folder, serialNumber);
    if (lock.locked() && Connect(path, probe) == ConnectResult::NobodyListening) {
        ::unlink(path.c_str());
    }
}

} // namespace ftd2xx::virtualmonitor
