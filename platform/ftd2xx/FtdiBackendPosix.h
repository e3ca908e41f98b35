#pragma once
// The few things the USB driver needs from libftdi1 and libusb, so that its logic (which
// devices match, string lengths, the read time-out loop, the chip's packets, error mapping) runs
// against a fake.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ftd2xx {

struct UsbDeviceId {
    uint8_t bus = 0;
    uint8_t address = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

enum class UsbResult {
    Ok,
    NoDevice,     // not (or no longer) on the bus when looked for
    NotClaimable, // present, but busy or not permitted
    InvalidValue, // a setting the chip cannot take
    IoError,
    Gone,     // unplugged while open
    TimedOut, // a transfer's time-out passed; what it brought until then still counts
};

class FtdiPort {
public:
    virtual ~FtdiPort() = default;
    virtual UsbResult setBaudRate(uint32_t baudRate) = 0;
    virtual UsbResult setLineProperty(uint8_t wordLength, uint8_t stopBits, uint8_t parity) = 0;
    // The largest packet the chip sends; each packet begins with its two modem-status bytes.
    virtual uint32_t packetSize() const = 0;
    // One bulk transfer from the chip into buffer (size a whole number of packets), waiting at
    // most timeoutMs (at least 1). transferred counts the raw bytes that came, status bytes
    // included, whatever the result.
    virtual UsbResult transferIn(uint8_t* buffer, uint32_t size, uint32_t timeoutMs,
                                 uint32_t& transferred) = 0;
};

class FtdiBackend {
public:
    virtual ~FtdiBackend() = default;
    // Every device on the bus, of any vendor.
    virtual UsbResult listDevices(std::vector<UsbDeviceId>& out) = 0;
    virtual UsbResult readStrings(const UsbDeviceId& id, std::string& serialNumber,
                                  std::string& description) = 0;
    virtual UsbResult open(const UsbDeviceId& id, std::unique_ptr<FtdiPort>& out) = 0;
    virtual uint64_t nowMs() = 0;
    virtual void pauseMs(uint32_t ms) = 0;
};

} // namespace ftd2xx
