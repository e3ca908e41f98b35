#pragma once
// The D2XX driver for FTDI chips on Windows: the vendor's library, loaded at run time through
// our own declarations of the eight functions the program uses (never linked, so that the
// program starts without it and our other drivers keep working).

#include "platform/ftd2xx/Driver.h"

#include <memory>
#include <string>

namespace ftd2xx {

// The library's usual name, found by the system's search order.
constexpr const char* VendorLibraryName = "FTD2XX.DLL";

// The library at path (UTF-8; a bare name is searched for). While it cannot be loaded, or lacks
// one of the functions, the driver lists no devices and tries again at the next listing.
std::unique_ptr<Driver> MakeFtd2xxLibraryDriver(const std::string& path);

} // namespace ftd2xx
