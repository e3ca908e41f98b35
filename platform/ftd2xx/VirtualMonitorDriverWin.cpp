#include "platform/files/Files.h"
#include "platform/ftd2xx/VirtualMonitorDriver.h"
#include "platform/ftd2xx/VirtualMonitorLinkWin.h"

#include <windows.h>

namespace ftd2xx {
namespace {

using namespace virtualmonitor;

// The fastest line an FTDI chip drives.
constexpr uint32_t MaxBaudRate = 3000000;

class VirtualConnection : public Connection {
public:
    explicit VirtualConnection(OwnedHandle pipe) : pipe_(std::move(pipe)) {}

    FT_STATUS setBaudRate(uint32_t baudRate) override {
        if (!pipe_) {
            return FT_IO_ERROR;
        }
        return baudRate > MaxBaudRate ? FT_INVALID_BAUD_RATE : FT_OK;
    }

    FT_STATUS setLineSettings(const LineSettings&) override { return pipe_ ? FT_OK : FT_IO_ERROR; }

    FT_STATUS read(uint8_t* buffer, uint32_t count, uint32_t readTimeoutMs,
                   uint32_t& got) override {
        got = 0;
        if (!pipe_) {
            return FT_IO_ERROR;
        }
        const uint64_t deadline = SteadyNowMs() + readTimeoutMs;
        for (;;) {
            const auto bytes = ReadWaiting(pipe_.get(), count - got);
            if (!bytes) {
                // The monitor was unplugged.
                pipe_.reset();
                return FT_IO_ERROR;
            }
            std::copy(bytes->begin(), bytes->end(), buffer + got);
            got += static_cast<uint32_t>(bytes->size());
            if (got == count || SteadyNowMs() >= deadline) {
                return FT_OK;
            }
            if (bytes->empty()) {
                Sleep(1);
            }
        }
    }

    FT_STATUS queueStatus(uint32_t& rxBytes) override {
        rxBytes = 0;
        if (!pipe_) {
            return FT_IO_ERROR;
        }
        const auto waiting = BytesWaiting(pipe_.get());
        if (!waiting) {
            // The monitor was unplugged.
            pipe_.reset();
            return FT_IO_ERROR;
        }
        rxBytes = *waiting;
        return FT_OK;
    }

private:
    OwnedHandle pipe_;
};

} // namespace

FT_STATUS VirtualMonitorDriver::open(const std::string& serialNumber,
                                     std::unique_ptr<Connection>& out) {
    std::string ignored;
    const auto folder = MonitorFolder(ignored);
    if (!folder || !FolderIsTrusted(*folder) || !ValidSerialNumber(serialNumber, ignored)) {
        return FT_DEVICE_NOT_FOUND;
    }
    OwnedHandle pipe;
    const ConnectResult connected =
        Connect(MonitorAddress(*folder, serialNumber), pipe, AnswerTimeoutMs);
    if (connected != ConnectResult::Connected) {
        return connected == ConnectResult::NobodyListening ? FT_DEVICE_NOT_FOUND
                                                           : FT_DEVICE_NOT_OPENED;
    }
    std::string answer;
    if (!SendAll(pipe.get(), "OPEN\n") || !ReadLine(pipe.get(), answer, AnswerTimeoutMs)) {
        return FT_IO_ERROR;
    }
    if (answer != "OK") {
        return FT_DEVICE_NOT_OPENED;
    }
    out = std::make_unique<VirtualConnection>(std::move(pipe));
    return FT_OK;
}

} // namespace ftd2xx
