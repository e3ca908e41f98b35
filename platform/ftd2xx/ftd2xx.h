#pragma once
// The eight D2XX operations the device unit calls, with D2XX's status codes and flags. Calls are
// dispatched to the installed drivers (FTDI chips on USB, virtual monitors, scripted devices).

#include "platform/ftd2xx/D2xxTypes.h"
#include "platform/ftd2xx/Driver.h"

#include <cstdint>
#include <memory>
#include <vector>

// FT_LIST_NUMBER_ONLY: arg1 points to a uint32_t that receives the device count.
// FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER or FT_OPEN_BY_DESCRIPTION: arg1 is the index
// itself (cast to a pointer), arg2 the buffer that receives the text.
FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags);
// arg is a zero-terminated serial number or description, as flags say.
FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle);
FT_STATUS FT_Close(FT_HANDLE handle);
// Returns when bytesToRead bytes have arrived or the read time-out has passed, with FT_OK and
// what arrived; bytes arriving between reads wait for the next read. A read time-out of 0 (the
// value after opening) returns at once with what is waiting.
FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned);
// The number of bytes waiting to be read, which a read of that many returns without waiting.
FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, uint32_t* rxBytes);
FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate);
FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                    uint8_t parity);
FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout);

namespace ftd2xx {

// Replaces the drivers; open handles are closed first. An empty list restores the defaults.
void InstallDrivers(std::vector<std::unique_ptr<Driver>> drivers);

// Installs the given drivers (none at all when empty) for its lifetime, then the defaults.
class ScopedDrivers {
public:
    explicit ScopedDrivers(std::vector<std::unique_ptr<Driver>> drivers);
    explicit ScopedDrivers(std::unique_ptr<Driver> driver);
    ~ScopedDrivers();
    ScopedDrivers(const ScopedDrivers&) = delete;
    ScopedDrivers& operator=(const ScopedDrivers&) = delete;
};

} // namespace ftd2xx
