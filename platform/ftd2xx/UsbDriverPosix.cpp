#include "platform/ftd2xx/UsbDriverPosix.h"

#include <algorithm>

namespace ftd2xx {
namespace {

// Between two empty polls of the chip, so that a read does not spin while it waits.
constexpr uint32_t IdlePauseMs = 1;

class UsbConnection : public Connection {
public:
    UsbConnection(std::shared_ptr<FtdiBackend> backend, std::unique_ptr<FtdiPort> port)
        : backend_(std::move(backend)), port_(std::move(port)) {}

    FT_STATUS setBaudRate(uint32_t baudRate) override {
        if (!port_) {
            return FT_IO_ERROR;
        }
        const UsbResult result = port_->setBaudRate(baudRate);
        return result == UsbResult::InvalidValue ? FT_INVALID_BAUD_RATE : settle(result);
    }

    FT_STATUS setLineSettings(const LineSettings& settings) override {
        if (!port_) {
            return FT_IO_ERROR;
        }
        return settle(
            port_->setLineProperty(settings.wordLength, settings.stopBits, settings.parity));
    }

    FT_STATUS read(uint8_t* buffer, uint32_t count, uint32_t readTimeoutMs,
                   uint32_t& got) override {
        got = 0;
        if (!port_) {
            return FT_IO_ERROR;
        }
        const uint64_t deadline = backend_->nowMs() + readTimeoutMs;
        for (;;) {
            uint32_t n = 0;
            const UsbResult result = port_->read(buffer + got, count - got, n);
            if (result != UsbResult::Ok) {
                return settle(result);
            }
            got += std::min(n, count - got);
            const uint64_t now = backend_->nowMs();
            if (got == count || now >= deadline) {
                return FT_OK;
            }
            if (n == 0) {
                backend_->pauseMs(
                    static_cast<uint32_t>(std::min<uint64_t>(IdlePauseMs, deadline - now)));
            }
        }
    }

private:
    // A device that is gone or failing is released now, so that a new open can claim it.
    FT_STATUS settle(UsbResult result) {
        if (result == UsbResult::Gone || result == UsbResult::IoError) {
            port_.reset();
        }
        return StatusOf(result);
    }

    std::shared_ptr<FtdiBackend> backend_;
    std::unique_ptr<FtdiPort> port_;
};

std::string Truncated(std::string text, size_t room) {
    if (text.size() > room) {
        text.resize(room);
    }
    return text;
}

} // namespace

FT_STATUS StatusOf(UsbResult result) {
    switch (result) {
    case UsbResult::Ok:
        return FT_OK;
    case UsbResult::NoDevice:
        return FT_DEVICE_NOT_FOUND;
    case UsbResult::NotClaimable:
        return FT_DEVICE_NOT_OPENED;
    case UsbResult::InvalidValue:
        return FT_INVALID_PARAMETER;
    case UsbResult::IoError:
    case UsbResult::Gone:
        return FT_IO_ERROR;
    }
    return FT_OTHER_ERROR;
}

UsbDriver::UsbDriver(std::shared_ptr<FtdiBackend> backend) : backend_(std::move(backend)) {}

// A device whose strings cannot be read (no permission, say) is still listed, with empty
// texts, so that the user sees it is there; one that vanished meanwhile is left out.
UsbResult UsbDriver::find(std::vector<Found>& out) {
    std::vector<UsbDeviceId> ids;
    const UsbResult result = backend_->listDevices(ids);
    if (result != UsbResult::Ok) {
        return result;
    }
    for (const auto& id : ids) {
        if (id.vendorId != FtdiVendorId) {
            continue;
        }
        std::string serialNumber;
        std::string description;
        const UsbResult strings = backend_->readStrings(id, serialNumber, description);
        if (strings == UsbResult::NoDevice || strings == UsbResult::Gone) {
            continue;
        }
        if (strings != UsbResult::Ok) {
            serialNumber.clear();
            description.clear();
        }
        out.push_back({id,
                       {Truncated(serialNumber, FT_SERIAL_NUMBER_SIZE),
                        Truncated(description, FT_DESCRIPTION_SIZE)}});
    }
    return UsbResult::Ok;
}

FT_STATUS UsbDriver::listDevices(std::vector<DeviceEntry>& out) {
    std::vector<Found> found;
    const UsbResult result = find(found);
    if (result != UsbResult::Ok) {
        return StatusOf(result);
    }
    for (auto& device : found) {
        out.push_back(std::move(device.entry));
    }
    return FT_OK;
}

FT_STATUS UsbDriver::open(const std::string& serialNumber, std::unique_ptr<Connection>& out) {
    std::vector<Found> found;
    const UsbResult result = find(found);
    if (result != UsbResult::Ok) {
        return StatusOf(result);
    }
    auto match = std::find_if(found.begin(), found.end(), [&](const Found& device) {
        return device.entry.serialNumber == serialNumber;
    });
    if (match == found.end()) {
        return FT_DEVICE_NOT_FOUND;
    }
    std::unique_ptr<FtdiPort> port;
    const UsbResult opened = backend_->open(match->id, port);
    if (opened != UsbResult::Ok) {
        return opened == UsbResult::Gone ? FT_DEVICE_NOT_FOUND : StatusOf(opened);
    }
    out = std::make_unique<UsbConnection>(backend_, std::move(port));
    return FT_OK;
}

} // namespace ftd2xx
