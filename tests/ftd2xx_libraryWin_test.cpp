// The driver that loads the vendor's D2XX library at run time, tested against the stand-in
// library of our build, through the device unit as the program calls it.

#include "common/TestEnvironment.h"
#include "common/device/MonitorLine.h"
#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"
#include "platform/ftd2xx/DefaultDrivers.h"
#include "platform/ftd2xx/Ftd2xxLibraryWin.h"
#include "standin/Ftd2xxStandIn.h"

#include <chrono>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

const std::string StandInPath = std::string(QUARN_BIN_DIR) + "\\ftd2xx-standin.dll";

// The stand-in as the driver loads it: the same module, so the test steers what the driver sees.
class StandIn {
public:
    explicit StandIn(const std::string& path) : module_(LoadLibraryA(path.c_str())) {
        if (module_) {
            plug = Bind<standin::PlugCall>(standin::PlugName);
            unplug = Bind<standin::UnplugCall>(standin::UnplugName);
            send = Bind<standin::SendCall>(standin::SendName);
            line = Bind<standin::LineCall>(standin::LineName);
            openHandles = Bind<standin::OpenHandlesCall>(standin::OpenHandlesName);
            reset = Bind<standin::ResetCall>(standin::ResetName);
            reset();
        }
    }
    ~StandIn() {
        if (module_) {
            reset();
            FreeLibrary(module_);
        }
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    bool loaded() const { return module_ != nullptr; }
    void sendText(const char* serialNumber, const std::string& bytes, uint32_t afterMs) {
        send(serialNumber, bytes.data(), static_cast<uint32_t>(bytes.size()), afterMs);
    }

    standin::PlugCall plug = nullptr;
    standin::UnplugCall unplug = nullptr;
    standin::SendCall send = nullptr;
    standin::LineCall line = nullptr;
    standin::OpenHandlesCall openHandles = nullptr;
    standin::ResetCall reset = nullptr;

private:
    template <typename Call> Call Bind(const char* name) {
        return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    HMODULE module_;
};

std::string Received(uint32_t count) {
    return std::string(reinterpret_cast<const char*>(ReceiveBuffer.data()), count);
}

class LibraryDriverTest : public testing::Test {
protected:
    LibraryDriverTest() : drivers_(ftd2xx::MakeFtd2xxLibraryDriver(StandInPath)) {
        ResetDeviceUnit();
    }

    void SetUp() override { ASSERT_TRUE(standIn_.loaded()) << StandInPath; }

    StandIn standIn_{StandInPath};
    ftd2xx::ScopedDrivers drivers_;
};

TEST_F(LibraryDriverTest, ListsSerialNumbersAndDescriptionsInTheLibrarysOrder) {
    ASSERT_EQ(GetFTDeviceCount(), FT_OK);
    EXPECT_EQ(DeviceCount, 0u);

    const std::string fullSerial = "ABCDEFGHIJKLMNOP";
    const std::string fullDescription(64, 'd');
    standIn_.plug("FT5QX1A", "Blutdruckmonitor");
    standIn_.plug(fullSerial.c_str(), fullDescription.c_str());
    ASSERT_EQ(GetFTDeviceCount(), FT_OK);
    ASSERT_EQ(DeviceCount, 2u);

    struct Case {
        uint32_t index;
        std::string serialNumber;
        std::string description;
    };
    for (const Case& c :
         {Case{0, "FT5QX1A", "Blutdruckmonitor"}, Case{1, fullSerial, fullDescription}}) {
        SCOPED_TRACE(c.index);
        ASSERT_EQ(GetFTDeviceSerialNo(c.index), FT_OK);
        EXPECT_EQ(DeviceInfo, c.serialNumber);
        ASSERT_EQ(GetFTDeviceDescription(c.index), FT_OK);
        EXPECT_EQ(DeviceInfo, c.description);
    }
    DeviceInfo = "unchanged";
    EXPECT_EQ(GetFTDeviceSerialNo(2), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(DeviceInfo, "unchanged");
}

TEST_F(LibraryDriverTest, OpensBySerialNumberAndAppliesTheLineSettings) {
    standIn_.plug("FT5QX1A", "Blutdruckmonitor");
    standIn_.plug("FT5QX1B", "Zweiter Monitor");
    EXPECT_EQ(Open_USB_Device_By_Serial_Number("FT5QX1"), FT_DEVICE_NOT_FOUND);
    ASSERT_NO_FATAL_FAILURE(OpenWithMonitorSettings("FT5QX1B"));
    // The read time-out reaches the library with the first read.
    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(LastReadStatus, FT_OK);

    uint32_t baudRate = 0;
    uint8_t wordLength = 0;
    uint8_t stopBits = 0;
    uint8_t parity = 99;
    uint32_t readTimeoutMs = 0;
    ASSERT_TRUE(
        standIn_.line("FT5QX1B", &baudRate, &wordLength, &stopBits, &parity, &readTimeoutMs));
    EXPECT_EQ(baudRate, 9600u);
    EXPECT_EQ(wordLength, FT_BITS_8);
    EXPECT_EQ(stopBits, FT_STOP_BITS_2);
    EXPECT_EQ(parity, FT_PARITY_NONE);
    EXPECT_EQ(readTimeoutMs, 50u);

    BaudRate = 4000000;
    EXPECT_EQ(SetFTDeviceBaudRate(), FT_INVALID_BAUD_RATE);
    EXPECT_EQ(standIn_.openHandles(), 1u);
    EXPECT_EQ(CloseFTDevice(), FT_OK);
    EXPECT_EQ(standIn_.openHandles(), 0u);
}

TEST_F(LibraryDriverTest, ReadsWhatArrivesWithinTheTimeOutAndKeepsTheRestForTheNextRead) {
    standIn_.plug("FT5QX1A", "Blutdruckmonitor");
    ASSERT_NO_FATAL_FAILURE(OpenWithMonitorSettings("FT5QX1A"));
    ReceiveBuffer.fill('x');

    // Eight bytes in time, six after the read has given up.
    standIn_.sendText("FT5QX1A", "801E5048", 0);
    standIn_.sendText("FT5QX1A", "5F0059", 400);
    ASSERT_EQ(ReadFTDevice(14), 8u);
    EXPECT_EQ(LastReadStatus, FT_OK);
    EXPECT_EQ(Received(14), "801E5048xxxxxx");
    uint32_t got = 0;
    for (int poll = 0; poll < 100 && got == 0; ++poll) {
        got = ReadFTDeviceAt(8, 6);
    }
    EXPECT_EQ(Received(14), "801E50485F0059");

    // More than asked for stays for the next read.
    standIn_.sendText("FT5QX1A", "85000000000000801E", 0);
    ASSERT_EQ(ReadFTDevice(14), 14u);
    EXPECT_EQ(Received(14), "85000000000000");
    ASSERT_EQ(ReadFTDevice(14), 4u);
    EXPECT_EQ(Received(4), "801E");
}

TEST_F(LibraryDriverTest, QueueStatusCountsWhatHasArrivedAndFailsOnceTheDeviceIsLost) {
    standIn_.plug("FT5QX1A", "Blutdruckmonitor");
    ASSERT_NO_FATAL_FAILURE(OpenWithMonitorSettings("FT5QX1A"));
    ASSERT_EQ(GetFTDeviceQueueStatus(), FT_OK);
    EXPECT_EQ(QueuedBytes, 0u);

    standIn_.sendText("FT5QX1A", "801E5048", 0);
    standIn_.sendText("FT5QX1A", "5F0059", 60000);
    ASSERT_EQ(GetFTDeviceQueueStatus(), FT_OK);
    EXPECT_EQ(QueuedBytes, 8u);
    ASSERT_EQ(ReadFTDevice(QueuedBytes), 8u);
    EXPECT_EQ(Received(8), "801E5048");

    standIn_.unplug("FT5QX1A");
    EXPECT_EQ(GetFTDeviceQueueStatus(), FT_IO_ERROR);
    EXPECT_EQ(standIn_.openHandles(), 0u);
}

TEST_F(LibraryDriverTest, PollTakesTheQueuedFrameAndDecodesIt) {
    standIn_.plug("FT5QX1A", "Blutdruckmonitor");
    ASSERT_NO_FATAL_FAILURE(OpenWithMonitorSettings("FT5QX1A"));
    standIn_.sendText("FT5QX1A", "801E50485F0059", 0);
    ReceiveFrameBytes();
    EXPECT_EQ(LastReadStatus, FT_OK);
    Measurement measurement;
    EXPECT_EQ(DecodeFrame(measurement), ValidMeasurement);
    EXPECT_EQ(measurement.Systole, "110");

    standIn_.unplug("FT5QX1A");
    ReceiveFrameBytes();
    EXPECT_EQ(LastReadStatus, FT_IO_ERROR);
}

TEST_F(LibraryDriverTest, ReadBeforeAnyTimeOutIsSetReturnsInsteadOfWaitingWithoutEnd) {
    standIn_.plug("FT5QX1A", "Blutdruckmonitor");
    ASSERT_EQ(Open_USB_Device_By_Serial_Number("FT5QX1A"), FT_OK);
    auto read = std::async(std::launch::async, [] { return ReadFTDevice(14); });
    const bool returned = read.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!returned) {
        // Frees the read that waits for ever, so the test can end.
        standIn_.unplug("FT5QX1A");
    }
    EXPECT_TRUE(returned);
    EXPECT_EQ(read.get(), 0u);
}

TEST_F(LibraryDriverTest, LostDeviceFailsTheReadIsGivenBackAndCanBeOpenedAgain) {
    standIn_.plug("FT5QX1A", "Blutdruckmonitor");
    ASSERT_NO_FATAL_FAILURE(OpenWithMonitorSettings("FT5QX1A"));
    ReceiveBuffer.fill('x');
    standIn_.unplug("FT5QX1A");

    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(LastReadStatus, FT_IO_ERROR);
    EXPECT_EQ(Received(3), "xxx");
    // Closed at once, so that the device is free when it comes back.
    EXPECT_EQ(standIn_.openHandles(), 0u);
    ASSERT_EQ(GetFTDeviceCount(), FT_OK);
    EXPECT_EQ(DeviceCount, 0u);

    standIn_.plug("FT5QX1A", "Blutdruckmonitor");
    ASSERT_EQ(GetFTDeviceCount(), FT_OK);
    EXPECT_EQ(DeviceCount, 1u);
    ASSERT_NO_FATAL_FAILURE(OpenWithMonitorSettings("FT5QX1A"));
    standIn_.sendText("FT5QX1A", "85000000000000", 0);
    EXPECT_EQ(ReadFTDevice(14), 14u);
}

// --- no library ----------------------------------------------------------------------------------

class WithoutLibraryTest : public testing::Test {
protected:
    WithoutLibraryTest() { ResetDeviceUnit(); }

    ScopedTestHome home_;
};

TEST_F(WithoutLibraryTest, MissingOrForeignLibraryListsNoDevicesAndOpensNone) {
    const std::string missing = (home_.root() / "FTD2XX.DLL").string();
    for (const std::string& path : {missing, std::string("kernel32.dll")}) {
        SCOPED_TRACE(path);
        ftd2xx::ScopedDrivers drivers(ftd2xx::MakeFtd2xxLibraryDriver(path));
        DeviceCount = 7;
        EXPECT_EQ(GetFTDeviceCount(), FT_OK);
        EXPECT_EQ(DeviceCount, 0u);
        EXPECT_EQ(Open_USB_Device_By_Serial_Number("FT5QX1A"), FT_DEVICE_NOT_FOUND);
    }
}

TEST_F(WithoutLibraryTest, LibraryInstalledLaterIsFoundAtTheNextListing) {
    const fs::path path = home_.root() / "FTD2XX.DLL";
    ftd2xx::ScopedDrivers drivers(ftd2xx::MakeFtd2xxLibraryDriver(path.string()));
    ASSERT_EQ(GetFTDeviceCount(), FT_OK);
    EXPECT_EQ(DeviceCount, 0u);

    fs::copy_file(StandInPath, path);
    {
        StandIn installed(path.string());
        ASSERT_TRUE(installed.loaded());
        installed.plug("FT5QX1A", "Blutdruckmonitor");
        ASSERT_EQ(GetFTDeviceCount(), FT_OK);
        EXPECT_EQ(DeviceCount, 1u);
    }
}

} // namespace
