#include "platform/files/Files.h"
#include "platform/ftd2xx/VirtualMonitorDriver.h"
#include "platform/ftd2xx/VirtualMonitorLinkWin.h"

#include <windows.h>

#undef DeleteFile

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

private:
    OwnedHandle pipe_;
};

// An announcement whose pipe is gone is what a killed monitor leaves; it is removed, under the
// folder lock so that a monitor announcing the same serial number meanwhile is not hit.
void RemoveStale(const std::string& folder, const std::string& serial) {
    FolderLock lock(folder, false);
    OwnedHandle probe;
    if (lock.locked() &&
        Connect(MonitorAddress(folder, serial), probe, 0) == ConnectResult::NobodyListening) {
        DeleteFile(AnnouncementPath(folder, serial));
    }
}

} // namespace

// All monitors are asked at once, so that one that never answers holds discovery up for
// ListingTimeoutMs at most, and one that stayed silent is left out of the listings that follow
// for a while instead of holding each of them up again.
FT_STATUS VirtualMonitorDriver::listDevices(std::vector<DeviceEntry>& out) {
    std::string ignored;
    const auto folder = MonitorFolder(ignored);
    if (!folder) {
        return FT_OK;
    }
    const uint64_t now = SteadyNowMs();
    std::erase_if(silentUntil_, [&](const auto& entry) { return entry.second <= now; });
    std::vector<std::string> serials;
    std::vector<std::string> addresses;
    for (auto& serial : MonitorSerialNumbers(*folder)) {
        std::string address = MonitorAddress(*folder, serial);
        if (!silentUntil_.contains(address)) {
            serials.push_back(std::move(serial));
            addresses.push_back(std::move(address));
        }
    }
    const std::vector<AskedMonitor> asked = AskAll(addresses, "INFO", ListingTimeoutMs);
    for (size_t i = 0; i < addresses.size(); ++i) {
        DeviceEntry entry;
        if (asked[i].answer && ParseInfoAnswer(*asked[i].answer, serials[i], entry)) {
            out.push_back(std::move(entry));
        } else if (asked[i].connected == ConnectResult::NobodyListening) {
            RemoveStale(*folder, serials[i]);
        } else if (!asked[i].answer) {
            silentUntil_[addresses[i]] = now + SilenceRememberedMs;
        }
    }
    return FT_OK;
}

FT_STATUS VirtualMonitorDriver::open(const std::string& serialNumber,
                                     std::unique_ptr<Connection>& out) {
    std::string ignored;
    const auto folder = MonitorFolder(ignored);
    if (!folder || !ValidSerialNumber(serialNumber, ignored)) {
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
