#pragma once
// The D2XX driver for FTDI chips on USB where libftdi1 reaches them (POSIX): every device of
// vendor 0x0403, whatever its product id. On Windows the vendor's library does all of this.

#include "platform/ftd2xx/Driver.h"
#include "platform/ftd2xx/FtdiBackendPosix.h"

namespace ftd2xx {

constexpr uint16_t FtdiVendorId = 0x0403;

class UsbDriver : public Driver {
public:
    explicit UsbDriver(std::shared_ptr<FtdiBackend> backend);

    FT_STATUS listDevices(std::vector<DeviceEntry>& out) override;
    FT_STATUS open(const std::string& serialNumber, std::unique_ptr<Connection>& out) override;

private:
    struct Found {
        UsbDeviceId id;
        DeviceEntry entry;
    };
    UsbResult find(std::vector<Found>& out);

    std::shared_ptr<FtdiBackend> backend_;
};

// The D2XX status a user expects for a failure of the USB layer.
FT_STATUS StatusOf(UsbResult result);

} // namespace ftd2xx
