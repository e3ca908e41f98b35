#include "platform/ftd2xx/Ftd2xxLibraryWin.h"

#include "platform/text/WideTextWin.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <windows.h>

namespace ftd2xx {
namespace {

// The library's functions as the program calls them; FT_STATUS and the flags are 32 bits wide.
using ListDevicesCall = FT_STATUS(WINAPI*)(void*, void*, DWORD);
using OpenExCall = FT_STATUS(WINAPI*)(void*, DWORD, FT_HANDLE*);
using CloseCall = FT_STATUS(WINAPI*)(FT_HANDLE);
using ReadCall = FT_STATUS(WINAPI*)(FT_HANDLE, void*, DWORD, DWORD*);
using GetQueueStatusCall = FT_STATUS(WINAPI*)(FT_HANDLE, DWORD*);
using SetBaudRateCall = FT_STATUS(WINAPI*)(FT_HANDLE, ULONG);
using SetDataCharacteristicsCall = FT_STATUS(WINAPI*)(FT_HANDLE, UCHAR, UCHAR, UCHAR);
using SetTimeoutsCall = FT_STATUS(WINAPI*)(FT_HANDLE, ULONG, ULONG);

// Room beyond what the listing promises, in case a library writes more than it should.
constexpr size_t ListingRoom = 256;

template <typename Call> bool Bind(HMODULE module, const char* name, Call& call) {
    call = reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return call != nullptr;
}

// The loaded library; connections share it so that it stays while a device is open.
class Library {
public:
    static std::shared_ptr<Library> Load(const std::wstring& path) {
        const HMODULE module = LoadLibraryW(path.c_str());
        if (!module) {
            return nullptr;
        }
        auto library = std::shared_ptr<Library>(new Library(module));
        return library->bindAll() ? library : nullptr;
    }
    ~Library() { FreeLibrary(module_); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    ListDevicesCall listDevices = nullptr;
    OpenExCall openEx = nullptr;
    CloseCall close = nullptr;
    ReadCall read = nullptr;
    GetQueueStatusCall getQueueStatus = nullptr;
    SetBaudRateCall setBaudRate = nullptr;
    SetDataCharacteristicsCall setDataCharacteristics = nullptr;
    SetTimeoutsCall setTimeouts = nullptr;

private:
    explicit Library(HMODULE module) : module_(module) {}

    bool bindAll() {
        return Bind(module_, "FT_ListDevices", listDevices) && Bind(module_, "FT_OpenEx", openEx) &&
               Bind(module_, "FT_Close", close) && Bind(module_, "FT_Read", read) &&
               Bind(module_, "FT_GetQueueStatus", getQueueStatus) &&
               Bind(module_, "FT_SetBaudRate", setBaudRate) &&
               Bind(module_, "FT_SetDataCharacteristics", setDataCharacteristics) &&
               Bind(module_, "FT_SetTimeouts", setTimeouts);
    }

    HMODULE module_;
};

// Statuses after which the device is gone or unusable: it is closed at once, so that opening
// it again does not find it claimed.
bool MeansGone(FT_STATUS status) {
    return status == FT_INVALID_HANDLE || status == FT_DEVICE_NOT_FOUND ||
           status == FT_DEVICE_NOT_OPENED || status == FT_IO_ERROR;
}

class LibraryConnection : public Connection {
public:
    LibraryConnection(std::shared_ptr<Library> library, FT_HANDLE handle)
        : library_(std::move(library)), handle_(handle) {}
    ~LibraryConnection() override { close(); }
    LibraryConnection(const LibraryConnection&) = delete;
    LibraryConnection& operator=(const LibraryConnection&) = delete;

    FT_STATUS close() override {
        if (!handle_) {
            return FT_OK;
        }
        return library_->close(std::exchange(handle_, nullptr));
    }

    FT_STATUS setBaudRate(uint32_t baudRate) override {
        return handle_ ? settle(library_->setBaudRate(handle_, baudRate)) : FT_IO_ERROR;
    }

    FT_STATUS setLineSettings(const LineSettings& settings) override {
        if (!handle_) {
            return FT_IO_ERROR;
        }
        return settle(library_->setDataCharacteristics(handle_, settings.wordLength,
                                                       settings.stopBits, settings.parity));
    }

    FT_STATUS read(uint8_t* buffer, uint32_t count, uint32_t readTimeoutMs,
                   uint32_t& got) override {
        got = 0;
        if (!handle_) {
            return FT_IO_ERROR;
        }
        // A time-out of 0 may mean "wait for ever" to the library; ours returns at once.
        const uint32_t timeoutMs = std::max<uint32_t>(readTimeoutMs, 1);
        if (timeoutMs != appliedTimeoutMs_) {
            const FT_STATUS status = library_->setTimeouts(handle_, timeoutMs, 0);
            if (status != FT_OK) {
                return settle(status);
            }
            appliedTimeoutMs_ = timeoutMs;
        }
        DWORD returned = 0;
        const FT_STATUS status = library_->read(handle_, buffer, count, &returned);
        got = std::min<uint32_t>(returned, count);
        return settle(status);
    }

    FT_STATUS queueStatus(uint32_t& rxBytes) override {
        rxBytes = 0;
        if (!handle_) {
            return FT_IO_ERROR;
        }
        DWORD queued = 0;
        const FT_STATUS status = library_->getQueueStatus(handle_, &queued);
        if (status == FT_OK) {
            rxBytes = queued;
        }
        return settle(status);
    }

private:
    FT_STATUS settle(FT_STATUS status) {
        if (MeansGone(status)) {
            close();
        }
        return status;
    }

    std::shared_ptr<Library> library_;
    FT_HANDLE handle_;
    uint32_t appliedTimeoutMs_ = 0;
};

std::string ListedText(const char* buffer, size_t room) {
    return std::string(buffer, strnlen(buffer, room));
}

class LibraryDriver : public Driver {
public:
    explicit LibraryDriver(std::wstring path) : path_(std::move(path)) {}

    FT_STATUS listDevices(std::vector<DeviceEntry>& out) override {
        if (!load()) {
            return FT_OK;
        }
        DWORD count = 0;
        const FT_STATUS status = library_->listDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
        if (status != FT_OK) {
            return status;
        }
        for (DWORD index = 0; index < count; ++index) {
            DeviceEntry entry;
            if (listed(index, FT_OPEN_BY_SERIAL_NUMBER, FT_SERIAL_NUMBER_SIZE,
                       entry.serialNumber) &&
                listed(index, FT_OPEN_BY_DESCRIPTION, FT_DESCRIPTION_SIZE, entry.description)) {
                out.push_back(std::move(entry));
            }
        }
        return FT_OK;
    }

    FT_STATUS open(const std::string& serialNumber, std::unique_ptr<Connection>& out) override {
        if (!load()) {
            return FT_DEVICE_NOT_FOUND;
        }
        std::string key = serialNumber;
        FT_HANDLE handle = nullptr;
        const FT_STATUS status = library_->openEx(key.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle);
        if (status != FT_OK) {
            return status;
        }
        out = std::make_unique<LibraryConnection>(library_, handle);
        return FT_OK;
    }

private:
    bool load() {
        if (!library_) {
            library_ = Library::Load(path_);
        }
        return library_ != nullptr;
    }

    // A device that went away between the count and its index is left out.
    bool listed(DWORD index, DWORD what, size_t room, std::string& text) {
        char buffer[ListingRoom] = {};
        void* indexArgument = reinterpret_cast<void*>(static_cast<uintptr_t>(index));
        if (library_->listDevices(indexArgument, buffer, FT_LIST_BY_INDEX | what) != FT_OK) {
            return false;
        }
        text = ListedText(buffer, room);
        return true;
    }

    std::wstring path_;
    std::shared_ptr<Library> library_;
};

} // namespace

std::unique_ptr<Driver> MakeFtd2xxLibraryDriver(const std::string& path) {
    return std::make_unique<LibraryDriver>(Widen(path));
}

} // namespace ftd2xx
