#include "platform/ftd2xx/VirtualMonitorLink.h"

#include "platform/text/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
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

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

} // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

int Fd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Fd::reset(int fd) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

FolderLock::FolderLock(const std::string& folder, bool wait)
    : fd_(::open((folder + "/" + LockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
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

bool FolderIsPrivate(const std::string& folder) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

bool ValidSerialNumber(std::string_view serialNumber, std::string& error) {
    const bool plain = std::all_of(serialNumber.begin(), serialNumber.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               c == '-' || c == '_';
    });
    if (serialNumber.empty() || serialNumber.size() > MaxSerialNumberLength || !plain) {
        error = "a serial number has 1 to 16 characters: letters, digits, '-' or '_'";
        return false;
    }
    return true;
}

bool ValidDescription(std::string_view description, std::string& error) {
    const bool printable = std::all_of(description.begin(), description.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte != 0x7f;
    });
    if (description.size() > MaxDescriptionLength || !printable) {
        error = "a description has at most 64 bytes and no control characters";
        return false;
    }
    return true;
}

std::string SocketPath(const std::string& folder, std::string_view serialNumber) {
    return folder + "/" + std::string(serialNumber) + SocketSuffix;
}

std::vector<std::string> SocketSerialNumbers(const std::string& folder) {
    std::vector<std::string> serials;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        return serials;
    }
    const std::string_view suffix(SocketSuffix);
    std::string ignored;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (!EndsWith(name, suffix)) {
            continue;
        }
        const auto serial = name.substr(0, name.size() - suffix.size());
        if (ValidSerialNumber(serial, ignored)) {
            serials.emplace_back(serial);
        }
    }
    std::sort(serials.begin(), serials.end());
    return serials;
}

ConnectResult Connect(const std::string& path, Fd& out) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return ConnectResult::Failed;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
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

bool Ask(const std::string& path, const std::string& request, std::string& answer, int timeoutMs) {
    Fd fd;
    if (Connect(path, fd) != ConnectResult::Connected) {
        return false;
    }
    return SendAll(fd.get(), request + "\n", timeoutMs) && ReadLine(fd.get(), answer, timeoutMs);
}

std::string HexEncode(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes) {
        text += HexByte(static_cast<unsigned char>(c));
    }
    return text;
}

std::optional<std::string> HexDecode(std::string_view text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const auto high = HexDigitValue(text[i]);
        const auto low = HexDigitValue(text[i + 1]);
        if (!high || !low) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<char>(*high * 16 + *low));
    }
    return bytes;
}

uint64_t SteadyNowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace ftd2xx::virtualmonitor
