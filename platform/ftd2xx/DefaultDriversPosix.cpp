// USB devices through libftdi1.

#include "platform/ftd2xx/DefaultDrivers.h"
#include "platform/ftd2xx/LibftdiBackendPosix.h"
#include "platform/ftd2xx/UsbDriverPosix.h"

namespace ftd2xx {

std::unique_ptr<Driver> MakeUsbDriver() {
    return std::make_unique<UsbDriver>(MakeLibftdiBackend());
}

} // namespace ftd2xx
