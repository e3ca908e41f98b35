#pragma once
// The real libftdi1 and libusb calls behind FtdiBackend.

#include "platform/ftd2xx/FtdiBackendPosix.h"

#include <memory>

namespace ftd2xx {

std::shared_ptr<FtdiBackend> MakeLibftdiBackend();

} // namespace ftd2xx
