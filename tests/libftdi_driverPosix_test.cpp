#include "platform/ftd2xx/UsbDriverPosix.h"
#include "platform/ftd2xx/ftd2xx.h"

#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace ftd2xx;

struct FakeUsbDevice {
    UsbDeviceId id;
    std::string serialNumber;
    std::string description;
    UsbResult stringsResult = UsbResult::Ok;
    UsbResult openResult = UsbResult::Ok;
};

struct Arrival {
    uint64_t atMs;
    std::string bytes;
};

// A bus whose chip sends what it has received in packets, on a clock of its own. Each packet
// begins with two status bytes; a short one ends the transfer. The chip sends a packet when a
// full one is held, or once its latency timer has run since its last packet. With nothing held a
// real chip still sends its status bytes then; QEMU's answers nothing (a NAK) until bytes come
// or the transfer's time-out passes.
class FakeBackend : public FtdiBackend {
public:
    static constexpr uint64_t LatencyMs = 2;
    static constexpr uint8_t StatusBytes[2] = {0x01, 0x60};

    std::vector<FakeUsbDevice> devices;
    UsbResult listResult = UsbResult::Ok;
    UsbResult readResult = UsbResult::Ok;
    UsbResult baudResult = UsbResult::Ok;
    // Transfers that begin at or after this moment find the device gone.
    uint64_t goneFromMs = UINT64_MAX;
    uint32_t packetSize = 64;
    bool naksWhenIdle = false;
    std::vector<Arrival> arrivals;
    uint64_t now = 1000;
    int openPorts = 0;
    int readCalls = 0;

    UsbResult listDevices(std::vector<UsbDeviceId>& out) override {
        for (const auto& device : devices) {
            out.push_back(device.id);
        }
        return listResult;
    }

    UsbResult readStrings(const UsbDeviceId& id, std::string& serialNumber,
                          std::string& description) override {
        const FakeUsbDevice* device = find(id);
        if (!device) {
            return UsbResult::NoDevice;
        }
        if (device->stringsResult != UsbResult::Ok) {
            serialNumber = "garbage";
            return device->stringsResult;
        }
        serialNumber = device->serialNumber;
        description = device->description;
        return UsbResult::Ok;
    }

    UsbResult open(const UsbDeviceId& id, std::unique_ptr<FtdiPort>& out) override;

    uint64_t nowMs() override { return now; }
    void pauseMs(uint32_t ms) override { now += ms; }

    UsbResult transfer(uint8_t* buffer, uint32_t size, uint32_t timeoutMs, uint32_t& transferred) {
        const uint64_t deadline = now + timeoutMs;
        uint64_t sendAt = std::max(now, lastPacketAt_ + LatencyMs);
        for (;;) {
            if (naksWhenIdle && held(sendAt) == 0) {
                sendAt = std::max(sendAt, nextArrival());
            }
            if (sendAt > deadline) {
                now = deadline;
                return UsbResult::TimedOut;
            }
            now = sendAt;
            lastPacketAt_ = now;
            std::memcpy(buffer + transferred, StatusBytes, sizeof StatusBytes);
            const uint32_t data =
                take(buffer + transferred + sizeof StatusBytes, packetSize - sizeof StatusBytes);
            transferred += static_cast<uint32_t>(sizeof StatusBytes) + data;
            if (data < packetSize - sizeof StatusBytes || transferred == size) {
                return UsbResult::Ok;
            }
            sendAt = held(now) >= packetSize - sizeof StatusBytes ? now : now + LatencyMs;
        }
    }

private:
    const FakeUsbDevice* find(const UsbDeviceId& id) const {
        for (const auto& device : devices) {
            if (device.id.bus == id.bus && device.id.address == id.address) {
                return &device;
            }
        }
        return nullptr;
    }

    size_t held(uint64_t at) const {
        size_t n = 0;
        for (const auto& arrival : arrivals) {
            n += arrival.atMs <= at ? arrival.bytes.size() : 0;
        }
        return n;
    }

    uint64_t nextArrival() const { return arrivals.empty() ? UINT64_MAX : arrivals.front().atMs; }

    // Bytes the chip has received by now, at most size of them.
    uint32_t take(uint8_t* buffer, uint32_t size) {
        uint32_t got = 0;
        while (got < size && !arrivals.empty() && arrivals.front().atMs <= now) {
            auto& next = arrivals.front();
            const size_t n = std::min<size_t>(size - got, next.bytes.size());
            std::memcpy(buffer + got, next.bytes.data(), n);
            got += static_cast<uint32_t>(n);
            next.bytes.erase(0, n);
            if (next.bytes.empty()) {
                arrivals.erase(arrivals.begin());
            }
        }
        return got;
    }

    uint64_t lastPacketAt_ = 0;
};

class FakePort : public FtdiPort {
public:
    explicit FakePort(FakeBackend& backend) : backend_(backend) { ++backend_.openPorts; }
    ~FakePort() override { --backend_.openPorts; }

    UsbResult setBaudRate(uint32_t) override { return backend_.baudResult; }
    UsbResult setLineProperty(uint8_t, uint8_t, uint8_t) override { return UsbResult::Ok; }
    uint32_t packetSize() const override { return backend_.packetSize; }

    UsbResult transferIn(uint8_t* buffer, uint32_t size, uint32_t timeoutMs,
                         uint32_t& transferred) override {
        ++backend_.readCalls;
        transferred = 0;
        // libusb overflows a buffer that ends inside a packet, and waits for ever on 0.
        EXPECT_EQ(size % backend_.packetSize, 0u);
        EXPECT_GE(timeoutMs, 1u);
        if (backend_.readResult != UsbResult::Ok) {
            return backend_.readResult;
        }
        if (backend_.now >= backend_.goneFromMs) {
            return UsbResult::Gone;
        }
        return backend_.transfer(buffer, size, timeoutMs, transferred);
    }

private:
    FakeBackend& backend_;
};

UsbResult FakeBackend::open(const UsbDeviceId& id, std::unique_ptr<FtdiPort>& out) {
    const FakeUsbDevice* device = find(id);
    if (!device) {
        return UsbResult::NoDevice;
    }
    if (device->openResult != UsbResult::Ok) {
        return device->openResult;
    }
    out = std::make_unique<FakePort>(*this);
    return UsbResult::Ok;
}

FakeUsbDevice Ftdi(uint8_t address, uint16_t product, std::string serial,
                   std::string description = "FT232R USB UART") {
    return {{1, address, FtdiVendorId, product}, std::move(serial), std::move(description)};
}

class UsbDriverTest : public testing::Test {
protected:
    UsbDriverTest()
        : backend_(std::make_shared<FakeBackend>()),
          drivers_(std::make_unique<UsbDriver>(backend_)) {}

    std::vector<std::string> listedSerialNumbers() {
        uint32_t count = 0;
        EXPECT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
        std::vector<std::string> serials;
        for (uint32_t i = 0; i < count; ++i) {
            char buffer[FT_SERIAL_NUMBER_SIZE + 1] = {};
            EXPECT_EQ(FT_ListDevices(reinterpret_cast<void*>(uintptr_t{i}), buffer,
                                     FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER),
                      FT_OK);
            serials.emplace_back(buffer);
        }
        return serials;
    }

    std::string description(uint32_t index) {
        char buffer[FT_DESCRIPTION_SIZE + 1] = {};
        EXPECT_EQ(FT_ListDevices(reinterpret_cast<void*>(uintptr_t{index}), buffer,
                                 FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION),
                  FT_OK);
        return buffer;
    }

    FT_HANDLE open(const std::string& serial, FT_STATUS expected = FT_OK) {
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(FT_OpenEx(const_cast<char*>(serial.c_str()), FT_OPEN_BY_SERIAL_NUMBER, &handle),
                  expected);
        return handle;
    }

    std::shared_ptr<FakeBackend> backend_;
    ScopedDrivers drivers_;
};

TEST_F(UsbDriverTest, ListsEveryFtdiDeviceWhateverItsProductId) {
    backend_->devices = {Ftdi(2, 0x6001, "A"),
                         Ftdi(3, 0x6015, "B"),
                         Ftdi(4, 0xFAF0, "C"),
                         {{1, 5, 0x1234, 0x6001}, "OTHER", "Not FTDI"}};
    EXPECT_EQ(listedSerialNumbers(), (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(UsbDriverTest, CutsStringsToTheListingRoomAndOpensByTheCutSerial) {
    backend_->devices = {Ftdi(2, 0x6001, "ABCDEFGHIJKLMNOPQRST", std::string(80, 'd'))};
    EXPECT_EQ(listedSerialNumbers(), (std::vector<std::string>{"ABCDEFGHIJKLMNOP"}));
    EXPECT_EQ(description(0), std::string(64, 'd'));
    EXPECT_NE(open("ABCDEFGHIJKLMNOP"), nullptr);
    open("ABCDEFGHIJKLMNOPQRST", FT_DEVICE_NOT_FOUND);
}

TEST_F(UsbDriverTest, DeviceWithUnreadableStringsIsListedEmptyAndVanishedOneNot) {
    backend_->devices = {Ftdi(2, 0x6001, "A"), Ftdi(3, 0x6001, "B"), Ftdi(4, 0x6001, "C")};
    backend_->devices[0].stringsResult = UsbResult::NotClaimable;
    backend_->devices[1].stringsResult = UsbResult::NoDevice;
    EXPECT_EQ(listedSerialNumbers(), (std::vector<std::string>{"", "C"}));
}

TEST_F(UsbDriverTest, ListingFailureOfTheBusIsAnIoError) {
    backend_->listResult = UsbResult::IoError;
    uint32_t count = 7;
    EXPECT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_IO_ERROR);
    EXPECT_EQ(count, 7u);
}

struct OpenFailureCase {
    const char* name;
    UsbResult openResult;
    FT_STATUS status;
};

void PrintTo(const OpenFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class UsbOpenFailureTest : public UsbDriverTest,
                           public testing::WithParamInterface<OpenFailureCase> {};

TEST_P(UsbOpenFailureTest, MapsToTheStatusAUserExpects) {
    backend_->devices = {Ftdi(2, 0x6001, "A")};
    backend_->devices[0].openResult = GetParam().openResult;
    EXPECT_EQ(open("A", GetParam().status), nullptr);
    EXPECT_EQ(backend_->openPorts, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, UsbOpenFailureTest,
    testing::Values(OpenFailureCase{"UnpluggedMeanwhile", UsbResult::NoDevice, FT_DEVICE_NOT_FOUND},
                    OpenFailureCase{"GoneWhileOpening", UsbResult::Gone, FT_DEVICE_NOT_FOUND},
                    OpenFailureCase{"BusyOrNoPermission", UsbResult::NotClaimable,
                                    FT_DEVICE_NOT_OPENED},
                    OpenFailureCase{"UsbFailure", UsbResult::IoError, FT_IO_ERROR}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UsbDriverTest, UnknownSerialIsNotFound) {
    backend_->devices = {Ftdi(2, 0x6001, "A"), {{1, 3, 0x1234, 0x6001}, "B", "Not FTDI"}};
    open("B", FT_DEVICE_NOT_FOUND);
}

struct ReadCase {
    const char* name;
    std::vector<Arrival> arrivals; // times from the read's start
    uint32_t timeoutMs;
    std::string expected;
    bool returnsBeforeTimeout;
    bool naksWhenIdle = false;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class UsbReadTest : public UsbDriverTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(UsbReadTest, ReturnsWhenAllArrivedOrTheTimeoutPassed) {
    const auto& c = GetParam();
    backend_->devices = {Ftdi(2, 0x6001, "A")};
    backend_->naksWhenIdle = c.naksWhenIdle;
    FT_HANDLE handle = open("A");
    ASSERT_EQ(FT_SetTimeouts(handle, c.timeoutMs, 0), FT_OK);
    const uint64_t start = backend_->now;
    for (const auto& arrival : c.arrivals) {
        backend_->arrivals.push_back({start + arrival.atMs, arrival.bytes});
    }
    char buffer[32] = {};
    uint32_t got = 99;
    ASSERT_EQ(FT_Read(handle, buffer, 14, &got), FT_OK);
    EXPECT_EQ(std::string(buffer, got), c.expected);
    const uint64_t waited = backend_->now - start;
    if (c.returnsBeforeTimeout) {
        EXPECT_LT(waited, c.timeoutMs);
    } else {
        EXPECT_GE(waited, c.timeoutMs);
        EXPECT_LT(waited, c.timeoutMs + 2 * FakeBackend::LatencyMs + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Timing, UsbReadTest,
    testing::Values(
        ReadCase{"WholeFrameEarly", {{5, "801E50485F0059"}}, 50, "801E50485F0059", true},
        ReadCase{"FrameInPieces",
                 {{1, "801E"}, {9, "50485F"}, {20, "0059"}},
                 50,
                 "801E50485F0059",
                 true},
        ReadCase{"PartOnTime", {{3, "801E5048"}, {200, "5F0059"}}, 50, "801E5048", false},
        ReadCase{"Nothing", {}, 50, "", false},
        ReadCase{"ZeroTimeoutTakesWhatWaits", {{0, "8085"}, {10, "FF"}}, 0, "8085", false},
        ReadCase{"IdleChipThatNaksWholeFrameEarly",
                 {{5, "801E50485F0059"}},
                 50,
                 "801E50485F0059",
                 true,
                 true},
        ReadCase{"IdleChipThatNaksPartOnTime",
                 {{3, "801E5048"}, {200, "5F0059"}},
                 50,
                 "801E5048",
                 false,
                 true},
        ReadCase{"IdleChipThatNaksNothing", {}, 50, "", false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The device unit asks for all the room of its buffer; the chip falls silent after the frames.
TEST_F(UsbDriverTest, ReadOfTheWholeBufferKeepsEveryFrameThatCame) {
    backend_->naksWhenIdle = true;
    backend_->devices = {Ftdi(2, 0x6001, "A")};
    FT_HANDLE handle = open("A");
    ASSERT_EQ(FT_SetTimeouts(handle, 50, 0), FT_OK);
    const uint64_t start = backend_->now;
    backend_->arrivals = {{start + 3, "801E50485F0059"},
                          {start + 20, "802D5A3C6B0121"},
                          {start + 37, "85000000000000"}};
    std::vector<char> buffer(0x10000);
    uint32_t got = 0;
    ASSERT_EQ(FT_Read(handle, buffer.data(), 0x10000, &got), FT_OK);
    EXPECT_EQ(std::string(buffer.data(), got), "801E50485F0059802D5A3C6B012185000000000000");
}

// Payload bytes that no status bytes can be mistaken for.
std::string Payload(size_t count) {
    std::string bytes;
    for (size_t i = 0; i < count; ++i) {
        bytes += static_cast<char>('A' + i % 26);
    }
    return bytes;
}

class UsbPacketTest : public UsbDriverTest, public testing::WithParamInterface<uint32_t> {
protected:
    void SetUp() override {
        backend_->packetSize = GetParam();
        backend_->devices = {Ftdi(2, 0x6001, "A")};
        handle_ = open("A");
        ASSERT_EQ(FT_SetTimeouts(handle_, 50, 0), FT_OK);
    }

    std::string read(uint32_t count) {
        std::vector<char> buffer(count);
        uint32_t got = 0;
        EXPECT_EQ(FT_Read(handle_, buffer.data(), count, &got), FT_OK);
        return std::string(buffer.data(), got);
    }

    uint32_t dataPerPacket() const { return GetParam() - 2; }

    FT_HANDLE handle_ = nullptr;
};

// Full packets and then nothing: QEMU's chip lets the transfer time out after them.
TEST_P(UsbPacketTest, TransferThatTimesOutAfterDataDeliversTheData) {
    backend_->naksWhenIdle = true;
    const std::string payload = Payload(2 * dataPerPacket());
    backend_->arrivals = {{backend_->now, payload}};
    EXPECT_EQ(read(static_cast<uint32_t>(payload.size())), payload);
    EXPECT_EQ(backend_->readCalls, 1);
}

TEST_P(UsbPacketTest, PacketsSplitAcrossReadsLoseNothingAndKeepNoStatusBytes) {
    const std::string payload = Payload(2 * dataPerPacket() + 26);
    backend_->arrivals = {{backend_->now, payload}};
    const uint32_t head = dataPerPacket() - 4;
    std::string received = read(14);
    EXPECT_EQ(backend_->readCalls, 1);
    received += read(head);
    received += read(dataPerPacket());
    EXPECT_EQ(backend_->readCalls, 1) << "the rest of a transfer waits in the driver";
    received += read(static_cast<uint32_t>(payload.size()));
    EXPECT_EQ(received, payload);
}

TEST_P(UsbPacketTest, BytesKeptFromBeforeTheDeviceWasLostComeFirst) {
    backend_->arrivals = {{backend_->now, "801E50485F005985000000"}};
    EXPECT_EQ(read(14), "801E50485F0059");
    backend_->goneFromMs = backend_->now;
    EXPECT_EQ(read(14), "85000000");
    EXPECT_EQ(backend_->openPorts, 0) << "released at once";
    char buffer[14];
    uint32_t got = 99;
    EXPECT_EQ(FT_Read(handle_, buffer, 14, &got), FT_IO_ERROR);
    EXPECT_EQ(got, 0u);
}

INSTANTIATE_TEST_SUITE_P(PacketSizes, UsbPacketTest, testing::Values(64u, 512u));

TEST_F(UsbDriverTest, DeviceLostWhileAFrameComesHandsOnWhatCameThenFails) {
    backend_->devices = {Ftdi(2, 0x6001, "A")};
    FT_HANDLE handle = open("A");
    ASSERT_EQ(FT_SetTimeouts(handle, 50, 0), FT_OK);
    backend_->arrivals = {{backend_->now, "801E"}};
    backend_->goneFromMs = backend_->now + 1;
    char buffer[14];
    uint32_t got = 0;
    ASSERT_EQ(FT_Read(handle, buffer, 14, &got), FT_OK);
    EXPECT_EQ(std::string(buffer, got), "801E");
    EXPECT_EQ(backend_->openPorts, 0);
    EXPECT_EQ(FT_Read(handle, buffer, 14, &got), FT_IO_ERROR);
    uint32_t queued = 99;
    EXPECT_EQ(FT_GetQueueStatus(handle, &queued), FT_IO_ERROR);
    EXPECT_EQ(queued, 0u);
}

struct QueueCase {
    const char* name;
    bool naksWhenIdle;
    std::string waiting;
};

void PrintTo(const QueueCase& c, std::ostream* os) {
    *os << c.name;
}

class UsbQueueTest : public UsbDriverTest, public testing::WithParamInterface<QueueCase> {};

TEST_P(UsbQueueTest, CountsWhatWaitsAtOnceAndTheReadTakesItWithoutWaiting) {
    const auto& c = GetParam();
    backend_->naksWhenIdle = c.naksWhenIdle;
    backend_->devices = {Ftdi(2, 0x6001, "A")};
    FT_HANDLE handle = open("A");
    ASSERT_EQ(FT_SetTimeouts(handle, 50, 0), FT_OK);
    const uint64_t start = backend_->now;
    if (!c.waiting.empty()) {
        backend_->arrivals.push_back({start, c.waiting});
    }
    backend_->arrivals.push_back({start + 5, "later"});
    uint32_t queued = 99;
    ASSERT_EQ(FT_GetQueueStatus(handle, &queued), FT_OK);
    EXPECT_EQ(queued, c.waiting.size());
    EXPECT_LE(backend_->now - start, 2u);
    if (queued == 0) {
        return;
    }
    const int transfers = backend_->readCalls;
    std::vector<char> buffer(queued);
    uint32_t got = 0;
    ASSERT_EQ(FT_Read(handle, buffer.data(), queued, &got), FT_OK);
    EXPECT_EQ(std::string(buffer.data(), got), c.waiting);
    EXPECT_EQ(backend_->readCalls, transfers);
    EXPECT_LE(backend_->now - start, 2u);
}

INSTANTIATE_TEST_SUITE_P(Chips, UsbQueueTest,
                         testing::Values(QueueCase{"IdleChipSendsItsStatus", false, ""},
                                         QueueCase{"IdleChipNaks", true, ""},
                                         QueueCase{"FrameWaiting", false, "801E50485F0059"},
                                         QueueCase{"FrameWaitingOnAChipThatNaks", true,
                                                   "801E50485F0059"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UsbDriverTest, QueueCountsBytesKeptFromAReadWithoutAskingTheChip) {
    backend_->devices = {Ftdi(2, 0x6001, "A")};
    FT_HANDLE handle = open("A");
    backend_->arrivals = {{backend_->now, "801E50485F005985000000"}};
    char buffer[14];
    uint32_t got = 0;
    ASSERT_EQ(FT_Read(handle, buffer, 14, &got), FT_OK);
    const int transfers = backend_->readCalls;
    uint32_t queued = 0;
    ASSERT_EQ(FT_GetQueueStatus(handle, &queued), FT_OK);
    EXPECT_EQ(queued, 8u);
    EXPECT_EQ(backend_->readCalls, transfers);
}

TEST_F(UsbDriverTest, QueueOfALostDeviceFailsAndReleasesIt) {
    backend_->devices = {Ftdi(2, 0x6001, "A")};
    FT_HANDLE handle = open("A");
    backend_->readResult = UsbResult::Gone;
    uint32_t queued = 99;
    EXPECT_EQ(FT_GetQueueStatus(handle, &queued), FT_IO_ERROR);
    EXPECT_EQ(queued, 0u);
    EXPECT_EQ(backend_->openPorts, 0);
    EXPECT_EQ(FT_GetQueueStatus(handle, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_GetQueueStatus(nullptr, &queued), FT_INVALID_HANDLE);
}

TEST_F(UsbDriverTest, BytesArrivingBetweenReadsAreKept) {
    backend_->devices = {Ftdi(2, 0x6001, "A")};
    FT_HANDLE handle = open("A");
    ASSERT_EQ(FT_SetTimeouts(handle, 50, 0), FT_OK);
    backend_->arrivals.push_back({backend_->now + 70, "801E50485F0059"});
    char buffer[14];
    uint32_t got = 0;
    ASSERT_EQ(FT_Read(handle, buffer, 14, &got), FT_OK);
    EXPECT_EQ(got, 0u);
    backend_->now += 500;
    ASSERT_EQ(FT_Read(handle, buffer, 14, &got), FT_OK);
    EXPECT_EQ(std::string(buffer, got), "801E50485F0059");
}

TEST_F(UsbDriverTest, LostDeviceIsReleasedAtOnceAndCanBeOpenedAgain) {
    backend_->devices = {Ftdi(2, 0x6001, "A")};
    FT_HANDLE lost = open("A");
    ASSERT_EQ(FT_SetTimeouts(lost, 50, 0), FT_OK);
    backend_->readResult = UsbResult::Gone;
    char buffer[14];
    uint32_t got = 99;
    EXPECT_EQ(FT_Read(lost, buffer, 14, &got), FT_IO_ERROR);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(backend_->openPorts, 0);

    const int callsBefore = backend_->readCalls;
    EXPECT_EQ(FT_Read(lost, buffer, 14, &got), FT_IO_ERROR);
    EXPECT_EQ(backend_->readCalls, callsBefore);

    backend_->readResult = UsbResult::Ok;
    FT_HANDLE again = open("A");
    EXPECT_NE(again, lost);
    EXPECT_EQ(backend_->openPorts, 1);
    EXPECT_EQ(FT_Close(lost), FT_OK);
    EXPECT_EQ(FT_Close(again), FT_OK);
    EXPECT_EQ(backend_->openPorts, 0);
}

TEST_F(UsbDriverTest, UsbFailureDuringReadIsAnIoError) {
    backend_->devices = {Ftdi(2, 0x6001, "A")};
    FT_HANDLE handle = open("A");
    backend_->readResult = UsbResult::IoError;
    char buffer[14];
    uint32_t got = 0;
    EXPECT_EQ(FT_Read(handle, buffer, 14, &got), FT_IO_ERROR);
}

TEST_F(UsbDriverTest, BaudRateTheChipCannotTakeIsInvalid) {
    backend_->devices = {Ftdi(2, 0x6001, "A")};
    FT_HANDLE handle = open("A");
    EXPECT_EQ(FT_SetBaudRate(handle, 9600), FT_OK);
    backend_->baudResult = UsbResult::InvalidValue;
    EXPECT_EQ(FT_SetBaudRate(handle, 12345678), FT_INVALID_BAUD_RATE);
    EXPECT_EQ(FT_SetBaudRate(handle, 0), FT_INVALID_BAUD_RATE);
    EXPECT_EQ(FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_2, FT_PARITY_NONE), FT_OK);
    EXPECT_EQ(FT_SetDataCharacteristics(handle, FT_BITS_8, 3, FT_PARITY_NONE),
              FT_INVALID_PARAMETER);
}

} // namespace
