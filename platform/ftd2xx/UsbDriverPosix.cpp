#include "platform/ftd2xx/UsbDriverPosix.h"

#include <algorithm>
#include <cstring>

namespace ftd2xx {
namespace {

// Between two transfers that brought nothing before their time-out, so that a read does not
// spin on a chip that answers at once.
constexpr uint32_t IdlePauseMs = 1;
// Each packet from the chip begins with these, its modem and line status.
constexpr uint32_t StatusBytesPerPacket = 2;
// One transfer takes at most this many packets; what a read has no room for waits for the next.
constexpr uint32_t PacketsPerTransfer = 32;
// A look at the queue asks the chip once, this long at most: the chip sends what it holds at
// the latest one latency period (2 ms, as the backend sets it) after its last packet, and a
// slow host controller gets some room; QEMU's chip answers an idle request not at all.
constexpr uint32_t QueueLookTimeoutMs = 2;

// Removes the status bytes at the start of every packet; returns the length of the data.
uint32_t StripStatusBytes(uint8_t* bytes, uint32_t length, uint32_t packetSize) {
    uint32_t data = 0;
    for (uint32_t packet = 0; packet < length; packet += packetSize) {
        const uint32_t end = std::min(length, packet + packetSize);
        const uint32_t begin = std::min(end, packet + StatusBytesPerPacket);
        std::memmove(bytes + data, bytes + begin, end - begin);
        data += end - begin;
    }
    return data;
}

bool IsFailure(UsbResult result) {
    return result != UsbResult::Ok && result != UsbResult::TimedOut;
}

class UsbConnection : public Connection {
public:
    UsbConnection(std::shared_ptr<FtdiBackend> backend, std::unique_ptr<FtdiPort> port)
        : backend_(std::move(backend)), port_(std::move(port)),
          packetSize_(std::max(port_->packetSize(), StatusBytesPerPacket + 1)),
          chunk_(packetSize_ * PacketsPerTransfer) {}

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

    // Every byte a transfer brought is handed on, now or by a later read, even when a later
    // transfer times out or finds the device gone; the loss is told once nothing is left.
    FT_STATUS read(uint8_t* buffer, uint32_t count, uint32_t readTimeoutMs,
                   uint32_t& got) override {
        got = takeKept(buffer, count);
        if (got == count) {
            return FT_OK;
        }
        if (!port_) {
            return got > 0 ? FT_OK : FT_IO_ERROR;
        }
        const uint64_t deadline = backend_->nowMs() + readTimeoutMs;
        for (;;) {
            const uint64_t before = backend_->nowMs();
            const UsbResult result = transfer(before < deadline ? deadline - before : 0);
            const uint32_t brought = keptCount();
            got += takeKept(buffer + got, count - got);
            if (IsFailure(result)) {
                const FT_STATUS status = settle(result);
                return got > 0 ? FT_OK : status;
            }
            const uint64_t now = backend_->nowMs();
            if (got == count || now >= deadline) {
                return FT_OK;
            }
            if (brought == 0 && result == UsbResult::Ok) {
                backend_->pauseMs(
                    static_cast<uint32_t>(std::min<uint64_t>(IdlePauseMs, deadline - now)));
            }
        }
    }

    FT_STATUS queueStatus(uint32_t& rxBytes) override {
        rxBytes = keptCount();
        if (rxBytes > 0) {
            return FT_OK;
        }
        if (!port_) {
            return FT_IO_ERROR;
        }
        const UsbResult result = transfer(QueueLookTimeoutMs);
        rxBytes = keptCount();
        if (IsFailure(result)) {
            const FT_STATUS status = settle(result);
            return rxBytes > 0 ? FT_OK : status;
        }
        return FT_OK;
    }

private:
    // Fills the chunk with the data of one transfer; called only when nothing is kept.
    UsbResult transfer(uint64_t timeoutMs) {
        uint32_t transferred = 0;
        const UsbResult result = port_->transferIn(
            chunk_.data(), static_cast<uint32_t>(chunk_.size()),
            static_cast<uint32_t>(std::clamp<uint64_t>(timeoutMs, 1, UINT32_MAX)), transferred);
        keptBegin_ = 0;
        keptEnd_ = StripStatusBytes(chunk_.data(),
                                    std::min(transferred, static_cast<uint32_t>(chunk_.size())),
                                    packetSize_);
        return result;
    }

    uint32_t keptCount() const { return keptEnd_ - keptBegin_; }

    uint32_t takeKept(uint8_t* buffer, uint32_t room) {
        const uint32_t n = std::min(room, keptCount());
        std::memcpy(buffer, chunk_.data() + keptBegin_, n);
        keptBegin_ += n;
        return n;
    }

    // A device that is gone or failing is released now, so that a new open can claim it.
    FT_STATUS settle(UsbResult result) {
        if (result == UsbResult::Gone || result == UsbResult::IoError) {
            port_.reset();
        }
        return StatusOf(result);
    }

    std::shared_ptr<FtdiBackend> backend_;
    std::unique_ptr<FtdiPort> port_;
    uint32_t packetSize_;
    // The data of the last transfer, status bytes removed; keptBegin_ to keptEnd_ is not
    // handed on yet.
    std::vector<uint8_t> chunk_;
    uint32_t keptBegin_ = 0;
    uint32_t keptEnd_ = 0;
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
    case UsbResult::TimedOut:
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
