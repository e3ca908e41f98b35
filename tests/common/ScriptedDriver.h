#pragma once
// A driver for tests: devices, bytes that arrive at chosen moments and failure statuses, all
// on a clock of its own that advances only while a read waits, so tests never sleep.

#include "platform/ftd2xx/Driver.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace ftd2xx {

struct ScriptedDevice {
    std::string serialNumber;
    std::string description;
    FT_STATUS openStatus = FT_OK;
};

// What the driver was asked to do, for tests to check.
struct ScriptedLog {
    int opens = 0;
    int closes = 0;
    uint32_t baudRate = 0;
    LineSettings lineSettings{};
    int reads = 0;
    uint32_t lastReadTimeoutMs = 0;
    int queueLooks = 0;
};

class ScriptedDriver : public Driver {
public:
    ScriptedDriver();

    // The script is shared with the connections; tests keep this handle after installing.
    struct Script;
    std::shared_ptr<Script> script() const { return script_; }

    FT_STATUS listDevices(std::vector<DeviceEntry>& out) override;
    FT_STATUS open(const std::string& serialNumber, std::unique_ptr<Connection>& out) override;

private:
    std::shared_ptr<Script> script_;
};

struct ScriptedDriver::Script {
    struct Arrival {
        uint64_t atMs;
        std::string bytes;
    };

    std::vector<ScriptedDevice> devices;
    FT_STATUS listStatus = FT_OK;
    FT_STATUS baudRateStatus = FT_OK;
    FT_STATUS lineSettingsStatus = FT_OK;
    FT_STATUS closeStatus = FT_OK;
    // Every read from now on fails with this status (a lost device: FT_IO_ERROR).
    FT_STATUS readStatus = FT_OK;
    // Reads and looks at the queue that begin at or after this moment fail with FT_IO_ERROR, as
    // when the device is unplugged while a frame is on the line.
    uint64_t readsFailFromMs = UINT64_MAX;
    // When not negative, that many more reads succeed; then reads and looks at the queue fail
    // with FT_IO_ERROR, as when the device is unplugged between two reads of one poll.
    int readsBeforeUnplug = -1;
    ScriptedLog log;

    uint64_t nowMs = 0;
    std::deque<Arrival> arrivals;

    // Bytes that are waiting now.
    void arrive(const std::string& bytes) { arriveAt(nowMs, bytes); }
    // Bytes that arrive afterMs milliseconds from now, one byte after the other at once.
    void arriveIn(uint64_t afterMs, const std::string& bytes) { arriveAt(nowMs + afterMs, bytes); }
    void arriveAt(uint64_t atMs, const std::string& bytes);
    size_t pendingBytes() const;
    // Removes the device: it is no longer listed and reads on its connections fail.
    void unplug(const std::string& serialNumber);
};

} // namespace ftd2xx
