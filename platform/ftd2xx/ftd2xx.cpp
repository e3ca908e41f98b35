#include "platform/ftd2xx/ftd2xx.h"

#include "platform/ftd2xx/DefaultDrivers.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace ftd2xx {
namespace {

struct OpenDevice {
    std::unique_ptr<Connection> connection;
    uint32_t readTimeoutMs = 0;
};

struct ListedDevice {
    Driver* driver;
    DeviceEntry entry;
};

// Drivers are declared before the open devices so that connections go first on destruction.
struct Dispatcher {
    std::vector<std::unique_ptr<Driver>> drivers;
    bool installed = false;
    std::map<uintptr_t, OpenDevice> open;
    uintptr_t nextHandle = 1;
};

Dispatcher& State() {
    static Dispatcher state;
    return state;
}

std::vector<std::unique_ptr<Driver>>& Drivers() {
    Dispatcher& state = State();
    if (!state.installed) {
        state.drivers = MakeDefaultDrivers();
        state.installed = true;
    }
    return state.drivers;
}

// A driver that cannot list (no USB subsystem, say) hides only its own devices; the call fails
// only when no driver could list.
FT_STATUS CollectDevices(std::vector<ListedDevice>& out) {
    FT_STATUS firstFailure = FT_OK;
    bool anyListed = false;
    for (auto& driver : Drivers()) {
        std::vector<DeviceEntry> entries;
        FT_STATUS status = driver->listDevices(entries);
        if (status != FT_OK) {
            firstFailure = firstFailure == FT_OK ? status : firstFailure;
            continue;
        }
        anyListed = true;
        for (auto& entry : entries) {
            out.push_back({driver.get(), std::move(entry)});
        }
    }
    return anyListed || Drivers().empty() ? FT_OK : firstFailure;
}

void CopyBounded(const std::string& text, char* target, uint32_t room) {
    const size_t n = std::min<size_t>(text.size(), room);
    std::memcpy(target, text.data(), n);
    if (n < room) {
        target[n] = '\0';
    }
}

FT_STATUS ListByIndex(uint32_t index, char* target, uint32_t what) {
    if (!target || (what != FT_OPEN_BY_SERIAL_NUMBER && what != FT_OPEN_BY_DESCRIPTION)) {
        return FT_INVALID_PARAMETER;
    }
    std::vector<ListedDevice> devices;
    FT_STATUS status = CollectDevices(devices);
    if (status != FT_OK) {
        return status;
    }
    if (index >= devices.size()) {
        return FT_DEVICE_NOT_FOUND;
    }
    const DeviceEntry& entry = devices[index].entry;
    if (what == FT_OPEN_BY_SERIAL_NUMBER) {
        CopyBounded(entry.serialNumber, target, FT_SERIAL_NUMBER_SIZE);
    } else {
        CopyBounded(entry.description, target, FT_DESCRIPTION_SIZE);
    }
    return FT_OK;
}

FT_STATUS Register(std::unique_ptr<Connection> connection, FT_HANDLE* handle) {
    Dispatcher& state = State();
    const uintptr_t id = state.nextHandle++;
    state.open[id] = OpenDevice{std::move(connection), 0};
    *handle = reinterpret_cast<FT_HANDLE>(id);
    return FT_OK;
}

FT_STATUS OpenBySerialNumber(const std::string& serialNumber, FT_HANDLE* handle) {
    for (auto& driver : Drivers()) {
        std::unique_ptr<Connection> connection;
        FT_STATUS status = driver->open(serialNumber, connection);
        if (status == FT_DEVICE_NOT_FOUND) {
            continue;
        }
        if (status != FT_OK || !connection) {
            return status == FT_OK ? FT_OTHER_ERROR : status;
        }
        return Register(std::move(connection), handle);
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS OpenByDescription(const std::string& description, FT_HANDLE* handle) {
    std::vector<ListedDevice> devices;
    FT_STATUS status = CollectDevices(devices);
    if (status != FT_OK) {
        return status;
    }
    auto match = std::find_if(devices.begin(), devices.end(), [&](const ListedDevice& device) {
        return device.entry.description == description;
    });
    if (match == devices.end()) {
        return FT_DEVICE_NOT_FOUND;
    }
    std::unique_ptr<Connection> connection;
    status = match->driver->open(match->entry.serialNumber, connection);
    if (status != FT_OK) {
        return status;
    }
    return connection ? Register(std::move(connection), handle) : FT_OTHER_ERROR;
}

OpenDevice* Find(FT_HANDLE handle) {
    auto& open = State().open;
    auto it = open.find(reinterpret_cast<uintptr_t>(handle));
    return it == open.end() ? nullptr : &it->second;
}

bool ValidLineSettings(const LineSettings& settings) {
    const bool bits = settings.wordLength == FT_BITS_7 || settings.wordLength == FT_BITS_8;
    const bool stop = settings.stopBits == FT_STOP_BITS_1 || settings.stopBits == FT_STOP_BITS_2;
    return bits && stop && settings.parity <= FT_PARITY_SPACE;
}

void Install(std::vector<std::unique_ptr<Driver>> drivers, bool defaultsWhenEmpty) {
    Dispatcher& state = State();
    state.open.clear();
    state.drivers = std::move(drivers);
    state.installed = !defaultsWhenEmpty || !state.drivers.empty();
}

} // namespace

void InstallDrivers(std::vector<std::unique_ptr<Driver>> drivers) {
    Install(std::move(drivers), true);
}

ScopedDrivers::ScopedDrivers(std::vector<std::unique_ptr<Driver>> drivers) {
    Install(std::move(drivers), false);
}

ScopedDrivers::ScopedDrivers(std::unique_ptr<Driver> driver) {
    std::vector<std::unique_ptr<Driver>> drivers;
    drivers.push_back(std::move(driver));
    InstallDrivers(std::move(drivers));
}

ScopedDrivers::~ScopedDrivers() {
    InstallDrivers({});
}

} // namespace ftd2xx

using namespace ftd2xx;

FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) {
    if (flags == FT_LIST_NUMBER_ONLY) {
        if (!arg1) {
            return FT_INVALID_PARAMETER;
        }
        std::vector<ListedDevice> devices;
        FT_STATUS status = CollectDevices(devices);
        if (status == FT_OK) {
            *static_cast<uint32_t*>(arg1) = static_cast<uint32_t>(devices.size());
        }
        return status;
    }
    if ((flags & FT_LIST_BY_INDEX) == 0) {
        return FT_INVALID_PARAMETER;
    }
    const auto index = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(arg1));
    return ListByIndex(index, static_cast<char*>(arg2), flags & ~FT_LIST_BY_INDEX);
}

FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
    if (!arg || !handle) {
        return FT_INVALID_PARAMETER;
    }
    const std::string key(static_cast<const char*>(arg));
    if (flags == FT_OPEN_BY_SERIAL_NUMBER) {
        return OpenBySerialNumber(key, handle);
    }
    if (flags == FT_OPEN_BY_DESCRIPTION) {
        return OpenByDescription(key, handle);
    }
    return FT_INVALID_PARAMETER;
}

FT_STATUS FT_Close(FT_HANDLE handle) {
    auto& open = State().open;
    auto it = open.find(reinterpret_cast<uintptr_t>(handle));
    if (it == open.end()) {
        return FT_INVALID_HANDLE;
    }
    const FT_STATUS status = it->second.connection->close();
    open.erase(it);
    return status;
}

FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) {
    OpenDevice* device = Find(handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    if (!bytesReturned || (!buffer && bytesToRead > 0)) {
        return FT_INVALID_PARAMETER;
    }
    *bytesReturned = 0;
    if (bytesToRead == 0) {
        return FT_OK;
    }
    uint32_t got = 0;
    FT_STATUS status = device->connection->read(static_cast<uint8_t*>(buffer), bytesToRead,
                                                device->readTimeoutMs, got);
    if (status == FT_OK) {
        *bytesReturned = std::min(got, bytesToRead);
    }
    return status;
}

FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, uint32_t* rxBytes) {
    OpenDevice* device = Find(handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    if (!rxBytes) {
        return FT_INVALID_PARAMETER;
    }
    uint32_t queued = 0;
    const FT_STATUS status = device->connection->queueStatus(queued);
    *rxBytes = status == FT_OK ? queued : 0;
    return status;
}

FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate) {
    OpenDevice* device = Find(handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    if (baudRate == 0) {
        return FT_INVALID_BAUD_RATE;
    }
    return device->connection->setBaudRate(baudRate);
}

FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                    uint8_t parity) {
    OpenDevice* device = Find(handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    const LineSettings settings{wordLength, stopBits, parity};
    if (!ValidLineSettings(settings)) {
        return FT_INVALID_PARAMETER;
    }
    return device->connection->setLineSettings(settings);
}

FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t /*writeTimeout*/) {
    OpenDevice* device = Find(handle);
    if (!device) {
        return FT_INVALID_HANDLE;
    }
    device->readTimeoutMs = readTimeout;
    return FT_OK;
}
