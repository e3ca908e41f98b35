#include "common/ScriptedDriver.h"
#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"
#include "support/VexMsgFlags.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using ftd2xx::ScopedDrivers;
using ftd2xx::ScriptedDevice;
using ftd2xx::ScriptedDriver;

struct ShownError {
    std::string text;
    int32_t flags;
};

std::vector<ShownError> Shown;

int32_t RecordError(const std::string& text, int32_t flags, QWidget*) {
    Shown.push_back({text, flags});
    return IDOK;
}

std::unique_ptr<ScriptedDriver> NewDriver(std::shared_ptr<ScriptedDriver::Script>& script) {
    auto driver = std::make_unique<ScriptedDriver>();
    script = driver->script();
    return driver;
}

class D2XXUnitTest : public testing::Test {
protected:
    D2XXUnitTest() : drivers_(NewDriver(script_)) {
        DeviceHandle = nullptr;
        ErrorReportsEnabled = true;
        LastReadStatus = FT_OK;
        DeviceCount = 0;
        QueuedBytes = 0;
        DeviceInfo.clear();
        ClearReceivedBytes();
        FTErrorDialog = RecordError;
        Shown.clear();
    }
    ~D2XXUnitTest() override { FTErrorDialog = nullptr; }

    void openMonitor() {
        script_->devices.push_back({"MON1", "Monitor", FT_OK});
        ASSERT_EQ(Open_USB_Device_By_Serial_Number("MON1"), FT_OK);
        ASSERT_EQ(SetFTDeviceTimeouts(50, 0), FT_OK);
    }

    void fillBuffer(char c) { ReceiveBuffer.fill(static_cast<uint8_t>(c)); }

    std::string bufferText(size_t from, size_t count) const {
        return std::string(reinterpret_cast<const char*>(ReceiveBuffer.data()) + from, count);
    }

    std::shared_ptr<ScriptedDriver::Script> script_;
    ScopedDrivers drivers_;
};

TEST_F(D2XXUnitTest, NoDeviceCountsZero) {
    DeviceCount = 5;
    EXPECT_EQ(GetFTDeviceCount(), FT_OK);
    EXPECT_EQ(DeviceCount, 0u);
    EXPECT_TRUE(Shown.empty());
}

TEST_F(D2XXUnitTest, ListsSerialNumbersAndDescriptionsByIndex) {
    script_->devices = {{"A1", "Erster Monitor"}, {"B2", "Zweiter Monitor"}};
    ASSERT_EQ(GetFTDeviceCount(), FT_OK);
    EXPECT_EQ(DeviceCount, 2u);
    ASSERT_EQ(GetFTDeviceSerialNo(1), FT_OK);
    EXPECT_EQ(DeviceInfo, "B2");
    ASSERT_EQ(GetFTDeviceDescription(0), FT_OK);
    EXPECT_EQ(DeviceInfo, "Erster Monitor");
    ASSERT_EQ(GetFTDeviceSerialNo(0), FT_OK);
    EXPECT_EQ(DeviceInfo, "A1");
}

struct ListedTextCase {
    const char* name;
    std::string serialNumber;
    std::string description;
    std::string listedSerialNumber;
    std::string listedDescription;
};

void PrintTo(const ListedTextCase& c, std::ostream* os) {
    *os << c.name;
}

class ListedTextTest : public D2XXUnitTest, public testing::WithParamInterface<ListedTextCase> {};

TEST_P(ListedTextTest, KeepsWhatFitsTheListingBuffers) {
    const auto& c = GetParam();
    script_->devices = {{c.serialNumber, c.description}};
    ASSERT_EQ(GetFTDeviceSerialNo(0), FT_OK);
    EXPECT_EQ(DeviceInfo, c.listedSerialNumber);
    ASSERT_EQ(GetFTDeviceDescription(0), FT_OK);
    EXPECT_EQ(DeviceInfo, c.listedDescription);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ListedTextTest,
    testing::Values(ListedTextCase{"Short", "FT1", "Monitor", "FT1", "Monitor"},
                    ListedTextCase{"SerialFillsSixteenBytes", "ABCDEFGHIJKLMNOP", "M",
                                   "ABCDEFGHIJKLMNOP", "M"},
                    ListedTextCase{"SerialLongerThanRoom", "ABCDEFGHIJKLMNOPQRST", "M",
                                   "ABCDEFGHIJKLMNOP", "M"},
                    ListedTextCase{"DescriptionFillsRoom", "S", std::string(64, 'd'), "S",
                                   std::string(64, 'd')},
                    ListedTextCase{"DescriptionLongerThanRoom", "S", std::string(70, 'd'), "S",
                                   std::string(64, 'd')},
                    ListedTextCase{"Empty", "", "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(D2XXUnitTest, ShorterListingAfterLongerOneLeavesNothingBehind) {
    script_->devices = {{"ABCDEFGHIJKLMNOP", "M"}, {"XY", "N"}};
    ASSERT_EQ(GetFTDeviceSerialNo(0), FT_OK);
    ASSERT_EQ(GetFTDeviceSerialNo(1), FT_OK);
    EXPECT_EQ(DeviceInfo, "XY");
}

TEST_F(D2XXUnitTest, FailedListingKeepsEarlierTextAndReports) {
    script_->devices = {{"A1", "Monitor"}};
    ASSERT_EQ(GetFTDeviceSerialNo(0), FT_OK);

    EXPECT_EQ(GetFTDeviceDescription(3), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(DeviceInfo, "A1");

    script_->listStatus = FT_IO_ERROR;
    DeviceCount = 9;
    EXPECT_EQ(GetFTDeviceCount(), FT_IO_ERROR);
    EXPECT_EQ(DeviceCount, 9u);
    ASSERT_EQ(Shown.size(), 2u);
    EXPECT_EQ(Shown[0].text, "GetFTDeviceDescription - Device not found...");
    EXPECT_EQ(Shown[1].text, "GetFTDeviceCount - General IO error...");
}

struct OpenCase {
    const char* name;
    std::string asked;
    std::string deviceSerialNumber;
    FT_STATUS status;
};

void PrintTo(const OpenCase& c, std::ostream* os) {
    *os << c.name;
}

class OpenBufferTest : public D2XXUnitTest, public testing::WithParamInterface<OpenCase> {};

TEST_P(OpenBufferTest, LooksUpAtMostFortyNineCharacters) {
    const auto& c = GetParam();
    script_->devices = {{c.deviceSerialNumber, "Monitor"}};
    EXPECT_EQ(Open_USB_Device_By_Serial_Number(c.asked), c.status);
    EXPECT_EQ(DeviceHandle != nullptr, c.status == FT_OK);
}

const std::string Sixty = std::string(30, 'a') + std::string(30, 'b');

INSTANTIATE_TEST_SUITE_P(
    Serials, OpenBufferTest,
    testing::Values(OpenCase{"Exact", "MON1", "MON1", FT_OK},
                    OpenCase{"SixtyByFirstFortyNine", Sixty, Sixty.substr(0, 49), FT_OK},
                    OpenCase{"SixtyNotWhole", Sixty, Sixty, FT_DEVICE_NOT_FOUND},
                    OpenCase{"FortyNineWhole", Sixty.substr(0, 49), Sixty.substr(0, 49), FT_OK},
                    OpenCase{"EmptyAsEmptyString", "", "", FT_OK},
                    OpenCase{"EmptyFindsNoNamedDevice", "", "MON1", FT_DEVICE_NOT_FOUND},
                    OpenCase{"Unknown", "MON2", "MON1", FT_DEVICE_NOT_FOUND}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(D2XXUnitTest, FailedOpenReturnsStatusAndKeepsHandle) {
    script_->devices = {{"MON1", "Monitor", FT_DEVICE_NOT_OPENED}};
    EXPECT_EQ(Open_USB_Device_By_Serial_Number("MON1"), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(DeviceHandle, nullptr);
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].text, "Open_USB_Device_By_Serial_Number - Device not opened...");
    EXPECT_EQ(Shown[0].flags, MB_ICONHAND);
}

TEST_F(D2XXUnitTest, AppliesTheMonitorsLineSettings) {
    openMonitor();
    BaudRate = 9600;
    WordLength = FT_BITS_8;
    StopBits = FT_STOP_BITS_2;
    Parity = FT_PARITY_NONE;
    EXPECT_EQ(SetFTDeviceBaudRate(), FT_OK);
    EXPECT_EQ(SetFTDeviceDataCharacteristics(), FT_OK);
    EXPECT_EQ(script_->log.baudRate, 9600u);
    EXPECT_EQ(script_->log.lineSettings.wordLength, FT_BITS_8);
    EXPECT_EQ(script_->log.lineSettings.stopBits, FT_STOP_BITS_2);
    EXPECT_EQ(script_->log.lineSettings.parity, FT_PARITY_NONE);
    ReadFTDevice(14);
    EXPECT_EQ(script_->log.lastReadTimeoutMs, 50u);
}

TEST_F(D2XXUnitTest, RejectsSettingsTheChipCannotTake) {
    openMonitor();
    BaudRate = 0;
    EXPECT_EQ(SetFTDeviceBaudRate(), FT_INVALID_BAUD_RATE);
    BaudRate = 9600;
    WordLength = 9;
    StopBits = FT_STOP_BITS_2;
    EXPECT_EQ(SetFTDeviceDataCharacteristics(), FT_INVALID_PARAMETER);
    ASSERT_EQ(Shown.size(), 2u);
    EXPECT_EQ(Shown[0].text, "FT_SetBaudRate - Invalid baud rate...");
    EXPECT_EQ(Shown[1].text, "FT_SetDataCharacteristics - Invalid parameter...");
}

TEST_F(D2XXUnitTest, ReadWithNothingPendingWaitsTheTimeoutAndKeepsBuffer) {
    openMonitor();
    fillBuffer('x');
    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(LastReadStatus, FT_OK);
    EXPECT_EQ(script_->nowMs, 50u);
    EXPECT_EQ(bufferText(0, 16), std::string(16, 'x'));
}

TEST_F(D2XXUnitTest, PartialReadReplacesOnlyWhatArrived) {
    openMonitor();
    fillBuffer('x');
    script_->arrive("801E5048");
    script_->arriveIn(120, "5F0059");

    EXPECT_EQ(ReadFTDevice(14), 8u);
    EXPECT_EQ(LastReadStatus, FT_OK);
    EXPECT_EQ(bufferText(0, 16), "801E5048xxxxxxxx");

    // The rest waits in the driver for a later read.
    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(ReadFTDevice(14), 6u);
    EXPECT_EQ(bufferText(0, 16), "5F0059" + std::string("48xxxxxxxx"));
}

TEST_F(D2XXUnitTest, ReadReturnsOnceAllRequestedBytesArrived) {
    openMonitor();
    script_->arriveIn(20, "801E50485F0059");
    EXPECT_EQ(ReadFTDevice(14), 14u);
    EXPECT_EQ(script_->nowMs, 20u);
    EXPECT_EQ(bufferText(0, 14), "801E50485F0059");
}

TEST_F(D2XXUnitTest, BytesBeyondTheRequestWaitForTheNextRead) {
    openMonitor();
    script_->arrive("801E50485F005985000000");
    EXPECT_EQ(ReadFTDevice(14), 14u);
    EXPECT_EQ(script_->nowMs, 0u);
    EXPECT_EQ(ReadFTDevice(14), 8u);
    EXPECT_EQ(bufferText(0, 8), "85000000");
}

TEST_F(D2XXUnitTest, ReadLargerThanTheBufferIsCutToIt) {
    openMonitor();
    script_->arrive(std::string(ReceiveBufferSize + 100, 'z'));
    EXPECT_EQ(ReadFTDevice(ReceiveBufferSize + 100), ReceiveBufferSize);
    EXPECT_EQ(script_->pendingBytes(), 100u);
}

TEST_F(D2XXUnitTest, ReadAtAnOffsetKeepsTheBytesBeforeIt) {
    openMonitor();
    fillBuffer('x');
    script_->arrive("801E5048");
    EXPECT_EQ(ReadFTDevice(14), 8u);
    script_->arrive("5F0059");
    EXPECT_EQ(ReadFTDeviceAt(8, 6), 6u);
    EXPECT_EQ(bufferText(0, 16), "801E50485F0059xx");

    script_->arrive("abcdef");
    EXPECT_EQ(ReadFTDeviceAt(ReceiveBufferSize - 2, 6), 2u);
    EXPECT_EQ(bufferText(ReceiveBufferSize - 3, 3), "xab");
    EXPECT_EQ(script_->pendingBytes(), 4u);

    script_->readStatus = FT_IO_ERROR;
    EXPECT_EQ(ReadFTDeviceAt(8, 6), 0u);
    EXPECT_EQ(LastReadStatus, FT_IO_ERROR);
    EXPECT_EQ(bufferText(0, 16), "801E50485F0059xx");
}

TEST_F(D2XXUnitTest, FailedReadKeepsBufferAndTellsWhy) {
    openMonitor();
    fillBuffer('x');
    script_->arrive("801E50485F0059");
    script_->readStatus = FT_IO_ERROR;

    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(LastReadStatus, FT_IO_ERROR);
    EXPECT_EQ(bufferText(0, 14), std::string(14, 'x'));
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].text, "FT_Read - General IO error...");
    std::string text;
    FTReadErrorText(text);
    EXPECT_EQ(text, "Fehler: General IO error...");

    script_->readStatus = FT_OK;
    EXPECT_EQ(ReadFTDevice(14), 14u);
    EXPECT_EQ(LastReadStatus, FT_OK);
}

TEST_F(D2XXUnitTest, QueueStatusCountsWhatWaitsWithoutWaiting) {
    openMonitor();
    script_->arrive("801E5048");
    script_->arriveIn(20, "5F0059");
    QueuedBytes = 99;
    EXPECT_EQ(GetFTDeviceQueueStatus(), FT_OK);
    EXPECT_EQ(QueuedBytes, 8u);
    EXPECT_EQ(script_->nowMs, 0u);
    EXPECT_EQ(ReadFTDevice(QueuedBytes), 8u);
    EXPECT_EQ(script_->nowMs, 0u);
    EXPECT_EQ(GetFTDeviceQueueStatus(), FT_OK);
    EXPECT_EQ(QueuedBytes, 0u);
    EXPECT_TRUE(Shown.empty());
}

TEST_F(D2XXUnitTest, QueueStatusOfALostOrClosedDeviceFailsAndReports) {
    openMonitor();
    script_->unplug("MON1");
    EXPECT_EQ(GetFTDeviceQueueStatus(), FT_IO_ERROR);
    EXPECT_EQ(QueuedBytes, 0u);
    EXPECT_EQ(CloseFTDevice(), FT_OK);
    EXPECT_EQ(GetFTDeviceQueueStatus(), FT_INVALID_HANDLE);
    ASSERT_EQ(Shown.size(), 2u);
    EXPECT_EQ(Shown[0].text, "FT_GetQueueStatus - General IO error...");
    EXPECT_EQ(Shown[1].text, "FT_GetQueueStatus - Invalid handle...");
}

// The poll's read, as the measurement cycle makes it.
class FrameReceptionTest : public D2XXUnitTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openMonitor());
        ErrorReportsEnabled = false;
    }

    std::string waiting() const { return bufferText(0, ReceivedCount); }

    DecodeOutcome decode() {
        Measurement measurement;
        return DecodeFrame(measurement);
    }
};

TEST_F(FrameReceptionTest, TakesAllTheDriverHoldsInOneRead) {
    const std::string noise(1400, '\xff');
    script_->arrive(noise + "801E50485F0059");
    ReceiveFrameBytes();
    EXPECT_EQ(waiting(), noise + "801E50485F0059");
    EXPECT_EQ(script_->log.reads, 1);
    EXPECT_EQ(script_->log.lastReadTimeoutMs, 50u);
    EXPECT_EQ(decode(), ValidMeasurement);
}

TEST_F(FrameReceptionTest, AppendsBehindTheWaitingBytes) {
    const std::string begun = "xx801E50";
    std::copy(begun.begin(), begun.end(), ReceiveBuffer.begin());
    ReceivedCount = static_cast<uint32_t>(begun.size());
    script_->arrive("485F0059");
    ReceiveFrameBytes();
    EXPECT_EQ(waiting(), "xx801E50485F0059");
    EXPECT_EQ(decode(), ValidMeasurement);
    EXPECT_EQ(waiting(), "");
}

// The rest comes at line speed: the poll waits for it, and for nothing behind it.
TEST_F(FrameReceptionTest, BegunFrameGetsOneMoreReadForItsRestOnly) {
    script_->arrive("801E5048");
    script_->arriveIn(7, "5F0059");
    script_->arriveIn(30, "85000000000000");
    ReceiveFrameBytes();
    EXPECT_EQ(script_->log.reads, 2);
    EXPECT_EQ(script_->nowMs, 7u);
    EXPECT_EQ(waiting(), "801E50485F0059");
    EXPECT_EQ(decode(), ValidMeasurement);
}

TEST_F(FrameReceptionTest, PollWithNothingQueuedReturnsAtOnceAndALaterOneTakesTheFrame) {
    script_->arriveIn(30, "801E50485F0059");
    ReceiveFrameBytes();
    EXPECT_EQ(script_->nowMs, 0u);
    EXPECT_EQ(script_->log.reads, 0);
    EXPECT_EQ(LastReadStatus, FT_OK);
    EXPECT_EQ(decode(), NoFrame);

    script_->nowMs = 150;
    ReceiveFrameBytes();
    EXPECT_EQ(script_->nowMs, 150u);
    EXPECT_EQ(script_->log.reads, 1);
    EXPECT_EQ(decode(), ValidMeasurement);
}

TEST_F(FrameReceptionTest, LookAtTheQueueTellsALostDevice) {
    script_->arrive("801E50485F0059");
    script_->unplug("MON1");
    ReceiveFrameBytes();
    EXPECT_EQ(LastReadStatus, FT_IO_ERROR);
    EXPECT_EQ(script_->log.reads, 0);
    std::string text;
    FTReadErrorText(text);
    EXPECT_EQ(text, "Fehler: General IO error...");
    EXPECT_EQ(decode(), NoFrame);
}

struct CutCase {
    const char* name;
    int readsBeforeUnplug;
    FT_STATUS status;
};

class CutShortTest : public FrameReceptionTest, public testing::WithParamInterface<CutCase> {};

// 96/80/64 with MAD 0: the first eight characters pass the checksum when zeros stand for the
// missing rest.
TEST_P(CutShortTest, MeasurementWhoseRestNeverComesIsAChecksumError) {
    script_->readsBeforeUnplug = GetParam().readsBeforeUnplug;
    script_->arrive("80105040");
    ReceiveFrameBytes();
    EXPECT_EQ(LastReadStatus, GetParam().status);
    Measurement measurement;
    EXPECT_EQ(DecodeFrame(measurement), ChecksumError);
    EXPECT_EQ(measurement.Systole, "0");
    EXPECT_EQ(waiting(), "");
    EXPECT_EQ(decode(), NoFrame);
}

INSTANTIATE_TEST_SUITE_P(Cuts, CutShortTest,
                         testing::Values(CutCase{"Unplugged", 1, FT_IO_ERROR},
                                         CutCase{"LineFallsSilent", -1, FT_OK}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(D2XXUnitTest, UnpluggedDeviceFailsTheNextRead) {
    openMonitor();
    script_->unplug("MON1");
    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(LastReadStatus, FT_IO_ERROR);
    EXPECT_EQ(GetFTDeviceCount(), FT_OK);
    EXPECT_EQ(DeviceCount, 0u);
}

TEST_F(D2XXUnitTest, CloseKeepsHandleAndLaterCallsSeeItInvalid) {
    openMonitor();
    const FT_HANDLE opened = DeviceHandle;
    EXPECT_EQ(CloseFTDevice(), FT_OK);
    EXPECT_EQ(DeviceHandle, opened);
    EXPECT_EQ(script_->log.closes, 1);

    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(LastReadStatus, FT_INVALID_HANDLE);
    EXPECT_EQ(CloseFTDevice(), FT_INVALID_HANDLE);
    ASSERT_EQ(Shown.size(), 2u);
    EXPECT_EQ(Shown[0].text, "FT_Read - Invalid handle...");
    EXPECT_EQ(Shown[1].text, "FT_Close - Invalid handle...");
}

TEST_F(D2XXUnitTest, ReportsFailedCloseOnlyWhileEnabled) {
    openMonitor();
    script_->closeStatus = FT_DEVICE_NOT_OPENED_FOR_WRITE;
    EXPECT_EQ(CloseFTDevice(), FT_DEVICE_NOT_OPENED_FOR_WRITE);
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].text, "FT_Close Device not opened for write...");
    EXPECT_EQ(Shown[0].flags, MB_ICONHAND);

    ASSERT_EQ(Open_USB_Device_By_Serial_Number("MON1"), FT_OK);
    ErrorReportsEnabled = false;
    EXPECT_EQ(CloseFTDevice(), FT_DEVICE_NOT_OPENED_FOR_WRITE);
    EXPECT_EQ(Open_USB_Device_By_Serial_Number("NONE"), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(Shown.size(), 1u);
}

struct StatusCase {
    FT_STATUS code;
    const char* statusText;
    const char* readErrorText;
    const char* reported;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << "status " << c.code;
}

class StatusTextTest : public D2XXUnitTest, public testing::WithParamInterface<StatusCase> {};

TEST_P(StatusTextTest, GivesEachColumnsText) {
    const auto& c = GetParam();
    std::string status;
    FTStatusText(c.code, status);
    EXPECT_EQ(status, c.statusText);

    LastReadStatus = c.code;
    std::string readError;
    FTReadErrorText(readError);
    EXPECT_EQ(readError, c.readErrorText);

    ReportFTError("FT_Read", c.code);
    if (*c.reported) {
        ASSERT_EQ(Shown.size(), 1u);
        EXPECT_EQ(Shown[0].text, c.reported);
    } else {
        EXPECT_TRUE(Shown.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, StatusTextTest,
    testing::Values(
        StatusCase{0, "", "", ""},
        StatusCase{1, "Invalid handle...", "Fehler: Invalid handle...",
                   "FT_Read - Invalid handle..."},
        StatusCase{2, "Device not found...", "Fehler: Device not found...",
                   "FT_Read - Device not found..."},
        StatusCase{7, "Invalid baud rate...", "Fehler: Invalid baud rate...",
                   "FT_Read - Invalid baud rate..."},
        StatusCase{8, "Device not opened for erase...", "Fehler: Device not opened for erase...",
                   "FT_Read Device not opened for erase..."},
        StatusCase{9, "Device not opened for write...", "Fehler: Device not opened for write...",
                   "FT_Read Device not opened for write..."},
        StatusCase{10, "Failed to write...", "Fehler: Failed to write...",
                   "FT_Read - Failed to write..."},
        StatusCase{15, "EEPROM not programmed...", "Fehler: EEPROM not programmed...",
                   "FT_Read - EEPROM not programmed..."},
        StatusCase{16, "Invalid arguments...", "Fehler: Invalid arguments...",
                   "FT_Read - Invalid arguments..."},
        StatusCase{17, "Other error ...", "Fehler: Other error ...", "FT_Read - Other error ..."},
        StatusCase{18, "", "", ""}, StatusCase{0xFFFFFFFFu, "", "", ""}));

TEST(StatusText, CodeWithoutTextLeavesTargetAsItWas) {
    std::string target = "vorher";
    FTStatusText(18, target);
    EXPECT_EQ(target, "vorher");
    LastReadStatus = FT_OK;
    FTReadErrorText(target);
    EXPECT_EQ(target, "vorher");
}

} // namespace
