#pragma once
// What a D2XX driver offers: the devices it sees and connections to them. The D2XX calls own
// the installed drivers and every open connection.

#include "platform/ftd2xx/D2xxTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ftd2xx {

struct DeviceEntry {
    std::string serialNumber;
    std::string description;
};

struct LineSettings {
    uint8_t wordLength = FT_BITS_8;
    uint8_t stopBits = FT_STOP_BITS_1;
    uint8_t parity = FT_PARITY_NONE;
};

// One open device. After a failure that means the device is gone, a connection releases the
// device at once and keeps failing, so that opening it again does not find it claimed.
class Connection {
public:
    virtual ~Connection() = default;
    // The device is released when the connection is destroyed, whatever this returns.
    virtual FT_STATUS close() { return FT_OK; }
    virtual FT_STATUS setBaudRate(uint32_t baudRate) = 0;
    virtual FT_STATUS setLineSettings(const LineSettings& settings) = 0;
    // Reads up to count bytes, waiting at most readTimeoutMs for them; on a failure the
    // buffer's content is unspecified and got may be anything.
    virtual FT_STATUS read(uint8_t* buffer, uint32_t count, uint32_t readTimeoutMs,
                           uint32_t& got) = 0;
    // How many bytes a read would return at once, without waiting for more; fails as a read
    // does when the device is gone.
    virtual FT_STATUS queueStatus(uint32_t& rxBytes) = 0;
};

class Driver {
public:
    virtual ~Driver() = default;
    virtual FT_STATUS listDevices(std::vector<DeviceEntry>& out) = 0;
    // FT_DEVICE_NOT_FOUND when this driver has no device with that serial number.
    virtual FT_STATUS open(const std::string& serialNumber, std::unique_ptr<Connection>& out) = 0;
};

} // namespace ftd2xx
