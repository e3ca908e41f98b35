// USB devices through the vendor's D2XX library.

#include "platform/ftd2xx/DefaultDrivers.h"
#include "platform/ftd2xx/Ftd2xxLibraryWin.h"

namespace ftd2xx {

std::unique_ptr<Driver> MakeUsbDriver() {
    return MakeFtd2xxLibraryDriver(VendorLibraryName);
}

} // namespace ftd2xx
