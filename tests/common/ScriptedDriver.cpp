#include "common/ScriptedDriver.h"

#include <algorithm>
#include <cstring>

namespace ftd2xx {
namespace {

class ScriptedConnection : public Connection {
public:
    ScriptedConnection(std::shared_ptr<ScriptedDriver::Script> script, std::string serialNumber)
        : script_(std::move(script)), serialNumber_(std::move(serialNumber)) {
        ++script_->log.opens;
    }
    ~ScriptedConnection() override { ++script_->log.closes; }

    FT_STATUS close() override { return script_->closeStatus; }

    FT_STATUS setBaudRate(uint32_t baudRate) override {
        if (script_->baudRateStatus == FT_OK) {
            script_->log.baudRate = baudRate;
        }
        return script_->baudRateStatus;
    }

    FT_STATUS setLineSettings(const LineSettings& settings) override {
        if (script_->lineSettingsStatus == FT_OK) {
            script_->log.lineSettings = settings;
        }
        return script_->lineSettingsStatus;
    }

    FT_STATUS read(uint8_t* buffer, uint32_t count, uint32_t readTimeoutMs,
                   uint32_t& got) override {
        ++script_->log.reads;
        script_->log.lastReadTimeoutMs = readTimeoutMs;
        got = 0;
        const FT_STATUS status = failure();
        if (status != FT_OK) {
            return status;
        }
        if (script_->readsBeforeUnplug > 0) {
            --script_->readsBeforeUnplug;
        }
        const uint64_t deadline = script_->nowMs + readTimeoutMs;
        auto& arrivals = script_->arrivals;
        while (got < count && !arrivals.empty() && arrivals.front().atMs <= deadline) {
            auto& next = arrivals.front();
            script_->nowMs = std::max(script_->nowMs, next.atMs);
            const size_t n = std::min<size_t>(count - got, next.bytes.size());
            std::memcpy(buffer + got, next.bytes.data(), n);
            got += static_cast<uint32_t>(n);
            next.bytes.erase(0, n);
            if (next.bytes.empty()) {
                arrivals.pop_front();
            }
        }
        if (got < count) {
            script_->nowMs = deadline;
        }
        return FT_OK;
    }

    FT_STATUS queueStatus(uint32_t& rxBytes) override {
        ++script_->log.queueLooks;
        rxBytes = 0;
        const FT_STATUS status = failure();
        if (status != FT_OK) {
            return status;
        }
        for (const auto& arrival : script_->arrivals) {
            if (arrival.atMs > script_->nowMs) {
                break;
            }
            rxBytes += static_cast<uint32_t>(arrival.bytes.size());
        }
        return FT_OK;
    }

private:
    FT_STATUS failure() const {
        if (script_->readStatus != FT_OK) {
            return script_->readStatus;
        }
        const bool unplugged = !attached() || script_->nowMs >= script_->readsFailFromMs ||
                               script_->readsBeforeUnplug == 0;
        return unplugged ? FT_IO_ERROR : FT_OK;
    }

    bool attached() const {
        const auto& devices = script_->devices;
        return std::any_of(devices.begin(), devices.end(), [&](const ScriptedDevice& device) {
            return device.serialNumber == serialNumber_;
        });
    }

    std::shared_ptr<ScriptedDriver::Script> script_;
    std::string serialNumber_;
};

} // namespace

void ScriptedDriver::Script::arriveAt(uint64_t atMs, const std::string& bytes) {
    auto position = std::upper_bound(arrivals.begin(), arrivals.end(), atMs,
                                     [](uint64_t at, const Arrival& a) { return at < a.atMs; });
    arrivals.insert(position, Arrival{atMs, bytes});
}

size_t ScriptedDriver::Script::pendingBytes() const {
    size_t total = 0;
    for (const auto& arrival : arrivals) {
        total += arrival.bytes.size();
    }
    return total;
}

void ScriptedDriver::Script::unplug(const std::string& serialNumber) {
    std::erase_if(
        devices, [&](const ScriptedDevice& device) { return device.serialNumber == serialNumber; });
}

ScriptedDriver::ScriptedDriver() : script_(std::make_shared<Script>()) {}

FT_STATUS ScriptedDriver::listDevices(std::vector<DeviceEntry>& out) {
    if (script_->listStatus != FT_OK) {
        return script_->listStatus;
    }
    for (const auto& device : script_->devices) {
        out.push_back({device.serialNumber, device.description});
    }
    return FT_OK;
}

FT_STATUS ScriptedDriver::open(const std::string& serialNumber, std::unique_ptr<Connection>& out) {
    auto& devices = script_->devices;
    auto match = std::find_if(devices.begin(), devices.end(), [&](const ScriptedDevice& device) {
        return device.serialNumber == serialNumber;
    });
    if (match == devices.end()) {
        return FT_DEVICE_NOT_FOUND;
    }
    if (match->openStatus != FT_OK) {
        return match->openStatus;
    }
    out = std::make_unique<ScriptedConnection>(script_, serialNumber);
    return FT_OK;
}

} // namespace ftd2xx
