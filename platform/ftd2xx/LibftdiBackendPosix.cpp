// The real libftdi1/libusb calls behind FtdiBackend; all decisions live in UsbDriver.

#include "platform/ftd2xx/LibftdiBackendPosix.h"

#include <chrono>
#include <climits>
#include <ftdi.h>
#include <libusb.h>
#include <thread>

namespace ftd2xx {
namespace {

// Short, so that the chip hands on what it holds soon after it came.
constexpr unsigned char LatencyTimerMs = 2;

struct ContextExit {
    void operator()(libusb_context* context) const { libusb_exit(context); }
};
struct DeviceListFree {
    void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
struct HandleClose {
    void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};
struct FtdiFree {
    void operator()(ftdi_context* context) const {
        ftdi_usb_close(context);
        ftdi_free(context);
    }
};
using UsbContext = std::unique_ptr<libusb_context, ContextExit>;
using DeviceList = std::unique_ptr<libusb_device*, DeviceListFree>;
using UsbHandle = std::unique_ptr<libusb_device_handle, HandleClose>;
using FtdiContext = std::unique_ptr<ftdi_context, FtdiFree>;

UsbResult FromLibusb(int code) {
    switch (code) {
    case LIBUSB_SUCCESS:
        return UsbResult::Ok;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
        return UsbResult::NoDevice;
    case LIBUSB_ERROR_ACCESS:
    case LIBUSB_ERROR_BUSY:
        return UsbResult::NotClaimable;
    default:
        return UsbResult::IoError;
    }
}

UsbResult FromBulkTransfer(int code) {
    switch (code) {
    case LIBUSB_SUCCESS:
        return UsbResult::Ok;
    case LIBUSB_ERROR_TIMEOUT:
        return UsbResult::TimedOut;
    case LIBUSB_ERROR_NO_DEVICE:
        return UsbResult::Gone;
    default:
        return UsbResult::IoError;
    }
}

// libftdi names its endpoints from its own side; the one that carries the chip's data to us
// is the one with the IN direction bit.
int InEndpoint(const ftdi_context& context) {
    return (context.out_ep & LIBUSB_ENDPOINT_IN) != 0 ? context.out_ep : context.in_ep;
}

// The devices on the bus at this moment; each stays referenced while the listing lives.
struct DeviceListing {
    DeviceList list;
    ssize_t count = 0;

    libusb_device* at(ssize_t i) const { return list.get()[i]; }
};

UsbResult ListBus(libusb_context* context, DeviceListing& out) {
    libusb_device** raw = nullptr;
    const ssize_t count = libusb_get_device_list(context, &raw);
    if (count < 0) {
        return FromLibusb(static_cast<int>(count));
    }
    out.list.reset(raw);
    out.count = count;
    return UsbResult::Ok;
}

// The device id names, found in a fresh listing that keeps it referenced.
UsbResult FindDevice(libusb_context* context, const UsbDeviceId& id, DeviceListing& listing,
                     libusb_device*& device) {
    const UsbResult listed = ListBus(context, listing);
    if (listed != UsbResult::Ok) {
        return listed;
    }
    for (ssize_t i = 0; i < listing.count; ++i) {
        if (libusb_get_bus_number(listing.at(i)) == id.bus &&
            libusb_get_device_address(listing.at(i)) == id.address) {
            device = listing.at(i);
            return UsbResult::Ok;
        }
    }
    return UsbResult::NoDevice;
}

UsbResult OpenHandle(libusb_device* device, UsbHandle& handle) {
    libusb_device_handle* raw = nullptr;
    const int result = libusb_open(device, &raw);
    if (result != LIBUSB_SUCCESS) {
        return FromLibusb(result);
    }
    handle.reset(raw);
    return UsbResult::Ok;
}

std::string StringDescriptor(libusb_device_handle* handle, uint8_t index) {
    if (index == 0) {
        return {};
    }
    unsigned char text[256];
    const int n = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text);
    return n > 0 ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(n))
                 : std::string();
}

// libftdi folds the reasons why a device cannot be opened into one code; libusb tells an
// unplugged device from a missing permission. The handle is closed again at once.
UsbResult ProbeOpen(libusb_device* device) {
    UsbHandle handle;
    return OpenHandle(device, handle);
}

class LibftdiPort : public FtdiPort {
public:
    explicit LibftdiPort(FtdiContext context) : context_(std::move(context)) {}

    UsbResult setBaudRate(uint32_t baudRate) override {
        if (baudRate > INT_MAX) {
            return UsbResult::InvalidValue;
        }
        const int result = ftdi_set_baudrate(context_.get(), static_cast<int>(baudRate));
        if (result == -1) {
            return UsbResult::InvalidValue;
        }
        return result == -3 ? UsbResult::Gone : result < 0 ? UsbResult::IoError : UsbResult::Ok;
    }

    UsbResult setLineProperty(uint8_t wordLength, uint8_t stopBits, uint8_t parity) override {
        const int result = ftdi_set_line_property(
            context_.get(), static_cast<ftdi_bits_type>(wordLength),
            static_cast<ftdi_stopbits_type>(stopBits), static_cast<ftdi_parity_type>(parity));
        return result == -2 ? UsbResult::Gone : result < 0 ? UsbResult::IoError : UsbResult::Ok;
    }

    uint32_t packetSize() const override { return context_->max_packet_size; }

    // Our own transfer rather than ftdi_read_data, which loses what it has copied when a later
    // transfer of the same call fails or times out.
    UsbResult transferIn(uint8_t* buffer, uint32_t size, uint32_t timeoutMs,
                         uint32_t& transferred) override {
        transferred = 0;
        if (!context_->usb_dev) {
            return UsbResult::Gone;
        }
        int actual = 0;
        const int result = libusb_bulk_transfer(
            context_->usb_dev, static_cast<unsigned char>(InEndpoint(*context_)), buffer,
            size > INT_MAX ? INT_MAX : static_cast<int>(size), &actual,
            static_cast<unsigned int>(timeoutMs));
        transferred = actual > 0 ? static_cast<uint32_t>(actual) : 0;
        return FromBulkTransfer(result);
    }

private:
    FtdiContext context_;
};

class LibftdiBackend : public FtdiBackend {
public:
    UsbResult listDevices(std::vector<UsbDeviceId>& out) override {
        libusb_context* context = usbContext();
        if (!context) {
            return UsbResult::IoError;
        }
        DeviceListing listing;
        const UsbResult listed = ListBus(context, listing);
        if (listed != UsbResult::Ok) {
            return listed;
        }
        for (ssize_t i = 0; i < listing.count; ++i) {
            libusb_device* device = listing.at(i);
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) {
                continue;
            }
            out.push_back({libusb_get_bus_number(device), libusb_get_device_address(device),
                           descriptor.idVendor, descriptor.idProduct});
        }
        return UsbResult::Ok;
    }

    UsbResult readStrings(const UsbDeviceId& id, std::string& serialNumber,
                          std::string& description) override {
        libusb_context* context = usbContext();
        if (!context) {
            return UsbResult::IoError;
        }
        DeviceListing listing;
        libusb_device* device = nullptr;
        const UsbResult found = FindDevice(context, id, listing, device);
        if (found != UsbResult::Ok) {
            return found;
        }
        libusb_device_descriptor descriptor{};
        const int result = libusb_get_device_descriptor(device, &descriptor);
        if (result != LIBUSB_SUCCESS) {
            return FromLibusb(result);
        }
        UsbHandle handle;
        const UsbResult opened = OpenHandle(device, handle);
        if (opened != UsbResult::Ok) {
            return opened;
        }
        serialNumber = StringDescriptor(handle.get(), descriptor.iSerialNumber);
        description = StringDescriptor(handle.get(), descriptor.iProduct);
        return UsbResult::Ok;
    }

    UsbResult open(const UsbDeviceId& id, std::unique_ptr<FtdiPort>& out) override {
        FtdiContext context(ftdi_new());
        if (!context) {
            return UsbResult::IoError;
        }
        // The kernel's serial driver comes back when we let the device go.
        context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
        DeviceListing listing;
        libusb_device* device = nullptr;
        const UsbResult found = FindDevice(context->usb_ctx, id, listing, device);
        if (found != UsbResult::Ok) {
            return found;
        }
        const UsbResult probe = ProbeOpen(device);
        if (probe != UsbResult::Ok) {
            return probe;
        }
        const int result = ftdi_usb_open_dev(context.get(), device);
        if (result < 0) {
            return result >= -5 ? UsbResult::NotClaimable : UsbResult::IoError;
        }
        ftdi_set_latency_timer(context.get(), LatencyTimerMs);
        out = std::make_unique<LibftdiPort>(std::move(context));
        return UsbResult::Ok;
    }

    uint64_t nowMs() override {
        using namespace std::chrono;
        return static_cast<uint64_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }

    void pauseMs(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

private:
    libusb_context* usbContext() {
        if (!context_) {
            libusb_context* raw = nullptr;
            if (libusb_init(&raw) == LIBUSB_SUCCESS) {
                context_.reset(raw);
            }
        }
        return context_.get();
    }

    UsbContext context_;
};

} // namespace

std::shared_ptr<FtdiBackend> MakeLibftdiBackend() {
    return std::make_shared<LibftdiBackend>();
}

} // namespace ftd2xx
