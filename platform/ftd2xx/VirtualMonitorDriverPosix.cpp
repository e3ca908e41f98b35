#include "platform/ftd2xx/VirtualMonitorDriver.h"
#include "platform/ftd2xx/VirtualMonitorLinkPosix.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ftd2xx {
namespace {

using namespace virtualmonitor;

// The fastest line an FTDI chip drives.
constexpr uint32_t MaxBaudRate = 3000000;

class VirtualConnection : public Connection {
public:
    explicit VirtualConnection(FileDescriptor fd) : fd_(std::move(fd)) {}

    FT_STATUS setBaudRate(uint32_t baudRate) override {
        if (!fd_) {
            return FT_IO_ERROR;
        }
        return baudRate > MaxBaudRate ? FT_INVALID_BAUD_RATE : FT_OK;
    }

    FT_STATUS setLineSettings(const LineSettings&) override { return fd_ ? FT_OK : FT_IO_ERROR; }

    FT_STATUS read(uint8_t* buffer, uint32_t count, uint32_t readTimeoutMs,
                   uint32_t& got) override {
        got = 0;
        if (!fd_) {
            return FT_IO_ERROR;
        }
        const uint64_t deadline = SteadyNowMs() + readTimeoutMs;
        for (;;) {
            const ssize_t n = ::recv(fd_.get(), buffer + got, count - got, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                // The monitor was unplugged.
                fd_.reset();
                return FT_IO_ERROR;
            }
            got += n > 0 ? static_cast<uint32_t>(n) : 0;
            const uint64_t now = SteadyNowMs();
            if (got == count || now >= deadline) {
                return FT_OK;
            }
            pollfd entry{fd_.get(), POLLIN, 0};
            ::poll(&entry, 1, static_cast<int>(deadline - now));
        }
    }

    // A look that finds the end of the stream means the monitor was unplugged.
    FT_STATUS queueStatus(uint32_t& rxBytes) override {
        rxBytes = 0;
        if (!fd_) {
            return FT_IO_ERROR;
        }
        char next = 0;
        const ssize_t n = ::recv(fd_.get(), &next, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return FT_OK;
        }
        int waiting = 0;
        if (n <= 0 || ::ioctl(fd_.get(), FIONREAD, &waiting) != 0) {
            fd_.reset();
            return FT_IO_ERROR;
        }
        rxBytes = static_cast<uint32_t>(std::max(waiting, 1));
        return FT_OK;
    }

private:
    FileDescriptor fd_;
};

} // namespace

FT_STATUS VirtualMonitorDriver::open(const std::string& serialNumber,
                                     std::unique_ptr<Connection>& out) {
    std::string ignored;
    const auto folder = MonitorFolder(ignored);
    if (!folder || !FolderIsTrusted(*folder) || !ValidSerialNumber(serialNumber, ignored)) {
        return FT_DEVICE_NOT_FOUND;
    }
    FileDescriptor fd;
    const ConnectResult connected = Connect(MonitorAddress(*folder, serialNumber), fd);
    if (connected != ConnectResult::Connected) {
        return connected == ConnectResult::NobodyListening ? FT_DEVICE_NOT_FOUND
                                                           : FT_DEVICE_NOT_OPENED;
    }
    std::string answer;
    if (!SendAll(fd.get(), "OPEN\n", AnswerTimeoutMs) ||
        !ReadLine(fd.get(), answer, AnswerTimeoutMs)) {
        return FT_IO_ERROR;
    }
    if (answer != "OK") {
        return FT_DEVICE_NOT_OPENED;
    }
    out = std::make_unique<VirtualConnection>(std::move(fd));
    return FT_OK;
}

} // namespace ftd2xx
