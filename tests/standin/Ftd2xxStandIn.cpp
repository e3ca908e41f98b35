// The stand-in D2XX library (see Ftd2xxStandIn.h), written from what the device layer relies on.

#include "standin/Ftd2xxStandIn.h"

#include "platform/ftd2xx/D2xxTypes.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include <windows.h>

namespace {

using Clock = std::chrono::steady_clock;

// The fastest line an FTDI chip drives.
constexpr uint32_t MaxBaudRate = 3000000;

struct Arrival {
    Clock::time_point at;
    char byte;
};

struct Device {
    std::string serialNumber;
    std::string description;
    bool present = true;
    bool open = false;
    uint32_t baudRate = 0;
    uint8_t wordLength = 0;
    uint8_t stopBits = 0;
    uint8_t parity = 0;
    uint32_t readTimeoutMs = 0;
    std::deque<Arrival> incoming;
};

struct Library {
    std::mutex mutex;
    std::condition_variable changed;
    // Every device ever plugged in, present or not; the list shows the present ones in order.
    std::vector<std::shared_ptr<Device>> devices;
    std::map<uintptr_t, std::shared_ptr<Device>> handles;
    uintptr_t nextHandle = 0x1000;
};

Library& State() {
    static Library library;
    return library;
}

std::vector<std::shared_ptr<Device>> Present(const Library& library) {
    std::vector<std::shared_ptr<Device>> present;
    for (const auto& device : library.devices) {
        if (device->present) {
            present.push_back(device);
        }
    }
    return present;
}

std::shared_ptr<Device> Named(const Library& library, const char* serialNumber) {
    for (auto it = library.devices.rbegin(); it != library.devices.rend(); ++it) {
        if ((*it)->serialNumber == serialNumber) {
            return *it;
        }
    }
    return nullptr;
}

// The text fills the room without a terminator when it is as long as the room.
void CopyListed(const std::string& text, char* target, size_t room) {
    const size_t n = std::min(text.size(), room);
    std::memcpy(target, text.data(), n);
    if (n < room) {
        target[n] = '\0';
    }
}

std::shared_ptr<Device> Find(Library& library, FT_HANDLE handle) {
    const auto it = library.handles.find(reinterpret_cast<uintptr_t>(handle));
    return it == library.handles.end() ? nullptr : it->second;
}

// Takes what has arrived by now, up to count bytes in all.
void TakeArrived(Device& device, char* buffer, uint32_t count, uint32_t& got) {
    const auto now = Clock::now();
    while (got < count && !device.incoming.empty() && device.incoming.front().at <= now) {
        buffer[got++] = device.incoming.front().byte;
        device.incoming.pop_front();
    }
}

} // namespace

#define STANDIN_EXPORT extern "C" __declspec(dllexport)

STANDIN_EXPORT FT_STATUS WINAPI FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
    Library& library = State();
    std::lock_guard lock(library.mutex);
    const auto present = Present(library);
    if (flags == FT_LIST_NUMBER_ONLY) {
        if (!arg1) {
            return FT_INVALID_PARAMETER;
        }
        *static_cast<DWORD*>(arg1) = static_cast<DWORD>(present.size());
        return FT_OK;
    }
    const DWORD what = flags & ~FT_LIST_BY_INDEX;
    if ((flags & FT_LIST_BY_INDEX) == 0 || !arg2 ||
        (what != FT_OPEN_BY_SERIAL_NUMBER && what != FT_OPEN_BY_DESCRIPTION)) {
        return FT_INVALID_PARAMETER;
    }
    const auto index = static_cast<DWORD>(reinterpret_cast<uintptr_t>(arg1));
    if (index >= present.size()) {
        return FT_DEVICE_NOT_FOUND;
    }
    const Device& device = *present[index];
    if (what == FT_OPEN_BY_SERIAL_NUMBER) {
        CopyListed(device.serialNumber, static_cast<char*>(arg2), FT_SERIAL_NUMBER_SIZE);
    } else {
        CopyListed(device.description, static_cast<char*>(arg2), FT_DESCRIPTION_SIZE);
    }
    return FT_OK;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_OpenEx(void* arg, DWORD flags, FT_HANDLE* handle) {
    if (!arg || !handle || (flags != FT_OPEN_BY_SERIAL_NUMBER && flags != FT_OPEN_BY_DESCRIPTION)) {
        return FT_INVALID_PARAMETER;
    }
    const std::string key(static_cast<const char*>(arg));
    Library& library = State();
    std::lock_guard lock(library.mutex);
    for (const auto& device : Present(library)) {
        const std::string& name =
            flags == FT_OPEN_BY_SERIAL_NUMBER ? device->serialNumber : device->description;
        if (name != key) {
            continue;
        }
        if (device->open) {
            return FT_DEVICE_NOT_OPENED;
        }
        device->open = true;
        device->readTimeoutMs = 0;
        const uintptr_t id = library.nextHandle++;
        library.handles[id] = device;
        *handle = reinterpret_cast<FT_HANDLE>(id);
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_Close(FT_HANDLE handle) {
    Library& library = State();
    std::lock_guard lock(library.mutex);
    const auto device = Find(library, handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    device->open = false;
    library.handles.erase(reinterpret_cast<uintptr_t>(handle));
    return FT_OK;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_Read(FT_HANDLE handle, void* buffer, DWORD count,
                                        DWORD* returned) {
    Library& library = State();
    std::unique_lock lock(library.mutex);
    const auto device = Find(library, handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    if (!returned || (!buffer && count > 0)) {
        return FT_INVALID_PARAMETER;
    }
    *returned = 0;
    const bool endless = device->readTimeoutMs == 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(device->readTimeoutMs);
    std::vector<char> got(count);
    uint32_t gotCount = 0;
    for (;;) {
        if (!device->present) {
            return FT_IO_ERROR;
        }
        TakeArrived(*device, got.data(), count, gotCount);
        if (gotCount == count || (!endless && Clock::now() >= deadline)) {
            break;
        }
        auto wakeAt = endless ? Clock::time_point::max() : deadline;
        if (!device->incoming.empty()) {
            wakeAt = std::min(wakeAt, device->incoming.front().at);
        }
        if (wakeAt == Clock::time_point::max()) {
            library.changed.wait(lock);
        } else {
            library.changed.wait_until(lock, wakeAt);
        }
    }
    std::memcpy(buffer, got.data(), gotCount);
    *returned = gotCount;
    return FT_OK;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
    Library& library = State();
    std::lock_guard lock(library.mutex);
    const auto device = Find(library, handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    if (!rxBytes) {
        return FT_INVALID_PARAMETER;
    }
    if (!device->present) {
        return FT_IO_ERROR;
    }
    const auto now = Clock::now();
    const auto arrived = std::find_if(device->incoming.begin(), device->incoming.end(),
                                      [&](const Arrival& arrival) { return arrival.at > now; });
    *rxBytes = static_cast<DWORD>(arrived - device->incoming.begin());
    return FT_OK;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_SetBaudRate(FT_HANDLE handle, ULONG baudRate) {
    Library& library = State();
    std::lock_guard lock(library.mutex);
    const auto device = Find(library, handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    if (!device->present) {
        return FT_IO_ERROR;
    }
    if (baudRate == 0 || baudRate > MaxBaudRate) {
        return FT_INVALID_BAUD_RATE;
    }
    device->baudRate = baudRate;
    return FT_OK;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength,
                                                          UCHAR stopBits, UCHAR parity) {
    Library& library = State();
    std::lock_guard lock(library.mutex);
    const auto device = Find(library, handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    if (!device->present) {
        return FT_IO_ERROR;
    }
    const bool valid = (wordLength == FT_BITS_7 || wordLength == FT_BITS_8) &&
                       (stopBits == FT_STOP_BITS_1 || stopBits == FT_STOP_BITS_2) &&
                       parity <= FT_PARITY_SPACE;
    if (!valid) {
        return FT_INVALID_PARAMETER;
    }
    device->wordLength = wordLength;
    device->stopBits = stopBits;
    device->parity = parity;
    return FT_OK;
}

STANDIN_EXPORT FT_STATUS WINAPI FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout,
                                               ULONG /*writeTimeout*/) {
    Library& library = State();
    std::lock_guard lock(library.mutex);
    const auto device = Find(library, handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    if (!device->present) {
        return FT_IO_ERROR;
    }
    device->readTimeoutMs = readTimeout;
    return FT_OK;
}

STANDIN_EXPORT void StandInPlug(const char* serialNumber, const char* description) {
    Library& library = State();
    std::lock_guard lock(library.mutex);
    auto device = std::make_shared<Device>();
    device->serialNumber = serialNumber;
    device->description = description;
    library.devices.push_back(std::move(device));
}

STANDIN_EXPORT void StandInUnplug(const char* serialNumber) {
    Library& library = State();
    std::lock_guard lock(library.mutex);
    if (const auto device = Named(library, serialNumber)) {
        device->present = false;
        device->incoming.clear();
    }
    library.changed.notify_all();
}

STANDIN_EXPORT void StandInSend(const char* serialNumber, const char* bytes, uint32_t count,
                                uint32_t afterMs) {
    Library& library = State();
    std::lock_guard lock(library.mutex);
    const auto device = Named(library, serialNumber);
    if (!device || !device->present) {
        return;
    }
    const auto at =
        std::max(Clock::now() + std::chrono::milliseconds(afterMs),
                 device->incoming.empty() ? Clock::time_point::min() : device->incoming.back().at);
    for (uint32_t i = 0; i < count; ++i) {
        device->incoming.push_back({at, bytes[i]});
    }
    library.changed.notify_all();
}

STANDIN_EXPORT bool StandInLine(const char* serialNumber, uint32_t* baudRate, uint8_t* wordLength,
                                uint8_t* stopBits, uint8_t* parity, uint32_t* readTimeoutMs) {
    Library& library = State();
    std::lock_guard lock(library.mutex);
    const auto device = Named(library, serialNumber);
    if (!device) {
        return false;
    }
    *baudRate = device->baudRate;
    *wordLength = device->wordLength;
    *stopBits = device->stopBits;
    *parity = device->parity;
    *readTimeoutMs = device->readTimeoutMs;
    return true;
}

STANDIN_EXPORT uint32_t StandInOpenHandles() {
    Library& library = State();
    std::lock_guard lock(library.mutex);
    return static_cast<uint32_t>(library.handles.size());
}

STANDIN_EXPORT void StandInReset() {
    Library& library = State();
    std::lock_guard lock(library.mutex);
    for (const auto& device : library.devices) {
        device->present = false;
    }
    library.devices.clear();
    library.handles.clear();
    library.changed.notify_all();
}
