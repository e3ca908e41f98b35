// monitor-sim and the virtual-monitor driver on every system, through the device unit as the
// program calls it. What only one system shows is in monitor_simPosix_test.cpp and
// monitor_simWin_test.cpp.

#include "common/FileBytes.h"
#include "common/Process.h"
#include "common/TestEnvironment.h"
#include "common/ToolRunner.h"
#include "common/Waiting.h"
#include "common/device/MonitorLine.h"
#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"
#include "platform/ftd2xx/DefaultDrivers.h"
#include "platform/ftd2xx/VirtualMonitorLink.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

namespace fs = std::filesystem;

ToolResult MonitorSim(const std::vector<std::string>& args) {
    return RunTool("monitor-sim", args);
}

// A monitor-sim plug process; stopped at the end unless it ended before.
class PlugProcess {
public:
    PlugProcess(const ScopedTestHome& home, const std::string& serial)
        : errors_(home.root() / ("plug-" + serial + ".txt")),
          process_("monitor-sim", {"plug", "--serial", serial, "--description", "Test " + serial},
                   {}, errors_) {}

    bool started() const { return process_.started(); }
    int waitExit() { return process_.wait(); }
    std::string errors() const { return ReadBytes(errors_); }

private:
    fs::path errors_;
    ChildProcess process_;
};

std::vector<std::string> AnnouncedMonitors() {
    std::string error;
    const auto folder = ftd2xx::virtualmonitor::MonitorFolder(error);
    return folder ? ftd2xx::virtualmonitor::MonitorSerialNumbers(*folder)
                  : std::vector<std::string>{};
}

class MonitorSimTest : public testing::Test {
protected:
    MonitorSimTest() : drivers_(ftd2xx::MakeVirtualMonitorDriver()) { ResetDeviceUnit(); }

    // Polls as the measurement cycle does until something arrives; the monitor may still be on
    // its way. What waits to be decoded.
    std::string nextBytes() {
        WaitUntil([&] {
            ReceiveFrameBytes();
            return ReceivedCount > 0 || LastReadStatus != FT_OK;
        });
        return std::string(reinterpret_cast<const char*>(ReceiveBuffer.data()), ReceivedCount);
    }

    // Gathers reads until count bytes have come; a read may end while a part is on its way.
    std::string collectBytes(std::size_t count) {
        std::string bytes;
        WaitUntil([&] {
            const uint32_t got = ReadFTDevice(static_cast<uint32_t>(count - bytes.size()));
            bytes.append(reinterpret_cast<const char*>(ReceiveBuffer.data()), got);
            return bytes.size() >= count || LastReadStatus != FT_OK;
        });
        return bytes;
    }

    ScopedTestHome home_;
    ftd2xx::ScopedDrivers drivers_;
};

TEST_F(MonitorSimTest, ListOpenReadUnplugThenReadFails) {
    PlugProcess plug(home_, "QTEST01");
    ASSERT_TRUE(plug.started());
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();
    EXPECT_EQ(SerialAt(0), "QTEST01");
    ASSERT_EQ(GetFTDeviceDescription(0), FT_OK);
    EXPECT_EQ(DeviceInfo, "Test QTEST01");

    ASSERT_NO_FATAL_FAILURE(OpenWithMonitorSettings("QTEST01"));
    ASSERT_EQ(MonitorSim({"measure", "120", "80", "72", "95"}).exitCode, 0);
    ASSERT_EQ(nextBytes(), "802850485F006F");
    Measurement m;
    ASSERT_EQ(DecodeFrame(m), ValidMeasurement);
    EXPECT_EQ(m.Systole, "120");
    EXPECT_EQ(m.Diastole, "80");
    EXPECT_EQ(m.Puls, "72");
    EXPECT_EQ(m.MAD, "95");
    EXPECT_EQ(m.Arrhythmie, "Nein");

    EXPECT_EQ(MonitorSim({"unplug"}).exitCode, 0);
    EXPECT_EQ(plug.waitExit(), 0);
    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(LastReadStatus, FT_IO_ERROR);
    EXPECT_TRUE(Listed(0));
    EXPECT_TRUE(AnnouncedMonitors().empty());
}

// A poll that finds nothing queued reads nothing, so its look at the queue tells the loss.
TEST_F(MonitorSimTest, LookAtTheQueueCountsWhatCameAndTellsAnUnpluggedMonitor) {
    PlugProcess plug(home_, "QTEST09");
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();
    ASSERT_NO_FATAL_FAILURE(OpenWithMonitorSettings("QTEST09"));
    ASSERT_EQ(GetFTDeviceQueueStatus(), FT_OK);
    EXPECT_EQ(QueuedBytes, 0u);

    ASSERT_EQ(MonitorSim({"send", "--serial", "QTEST09", "85000000000000"}).exitCode, 0);
    EXPECT_TRUE(WaitUntil([] { return GetFTDeviceQueueStatus() != FT_OK || QueuedBytes == 14; }));
    EXPECT_EQ(QueuedBytes, 14u);
    EXPECT_EQ(nextBytes(), "85000000000000");

    EXPECT_EQ(MonitorSim({"unplug"}).exitCode, 0);
    EXPECT_EQ(plug.waitExit(), 0);
    ReceiveFrameBytes();
    EXPECT_EQ(LastReadStatus, FT_IO_ERROR);
}

TEST_F(MonitorSimTest, SendsEveryKindOfFrame) {
    PlugProcess plug(home_, "QTEST02");
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();

    const ToolResult unopened = MonitorSim({"measure", "120", "80", "72", "95"});
    EXPECT_NE(unopened.exitCode, 0);
    EXPECT_NE(unopened.err.find("no program"), std::string::npos) << unopened.err;

    ASSERT_NO_FATAL_FAILURE(OpenWithMonitorSettings("QTEST02"));
    struct Case {
        std::vector<std::string> args;
        std::string bytes;
        DecodeOutcome outcome;
        const char* arrhythmie;
    };
    const std::vector<Case> cases = {
        {{"measure", "110", "80", "72", "95"}, "801E50485F0059", ValidMeasurement, "Nein"},
        {{"measure", "135", "90", "60", "107", "--arrhythmia", "1"},
         "802D5A3C6B0121",
         ValidMeasurement,
         "Ja"},
        {{"measure", "510", "255", "255", "255", "--arrhythmia", "255"},
         "80FFFFFFFFFFFF",
         ValidMeasurement,
         "Ja"},
        {{"measure", "110", "80", "72", "95", "--bad-checksum"},
         "801E50485F0058",
         ChecksumError,
         "0"},
        {{"status", "85"}, "85000000000000", StatusFrame, "0"},
        {{"send", "--serial", "QTEST02", "89abcdef012345"}, "89abcdef012345", StatusFrame, "0"},
        // A status frame cut short tells nothing.
        {{"send", "--serial", "QTEST02", "89abc"}, "89abc", NoFrame, "-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.bytes);
        const ToolResult sent = MonitorSim(c.args);
        ASSERT_EQ(sent.exitCode, 0) << sent.err;
        EXPECT_EQ(nextBytes(), c.bytes);
        Measurement m;
        EXPECT_EQ(DecodeFrame(m), c.outcome);
        EXPECT_EQ(m.Arrhythmie, c.arrhythmie);
    }
}

TEST_F(MonitorSimTest, SplitFrameArrivesInTwoParts) {
    PlugProcess plug(home_, "QTEST03");
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();
    ASSERT_NO_FATAL_FAILURE(OpenWithMonitorSettings("QTEST03"));
    const fs::path errors = home_.root() / "split.txt";
    ChildProcess measure("monitor-sim", {"measure", "110", "80", "72", "95", "--split", "1500"}, {},
                         errors);
    ASSERT_TRUE(measure.started());
    EXPECT_EQ(collectBytes(8), "801E5048");
    // The pause: nothing more until it has passed.
    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(collectBytes(6), "5F0059");
    EXPECT_EQ(measure.wait(), 0) << ReadBytes(errors);
}

TEST_F(MonitorSimTest, SeveralMonitorsWithDifferentSerialNumbers) {
    PlugProcess first(home_, "QB");
    PlugProcess second(home_, "QA");
    ASSERT_TRUE(WaitUntil([] { return Listed(2); })) << first.errors() << second.errors();
    EXPECT_EQ(SerialAt(0), "QA");
    EXPECT_EQ(SerialAt(1), "QB");

    const ToolResult ambiguous = MonitorSim({"status", "81"});
    EXPECT_NE(ambiguous.exitCode, 0);
    EXPECT_NE(ambiguous.err.find("--serial"), std::string::npos) << ambiguous.err;

    PlugProcess twin(home_, "QA");
    EXPECT_NE(twin.waitExit(), 0);
    EXPECT_NE(twin.errors().find("already"), std::string::npos) << twin.errors();

    EXPECT_EQ(MonitorSim({"unplug", "--serial", "QB"}).exitCode, 0);
    EXPECT_EQ(first.waitExit(), 0);
    EXPECT_TRUE(Listed(1));
    EXPECT_EQ(SerialAt(0), "QA");
}

// Each user's monitors live in a folder of that user: another folder, another user.
TEST_F(MonitorSimTest, MonitorsOfAnotherUsersFolderAreNotSeen) {
    PlugProcess plug(home_, "QTEST08");
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();
    {
        ScopedTestHome otherUser;
        EXPECT_TRUE(Listed(0));
        EXPECT_EQ(Open_USB_Device_By_Serial_Number("QTEST08"), FT_DEVICE_NOT_FOUND);
    }
    EXPECT_TRUE(Listed(1));
}

struct BadArgumentsCase {
    const char* name;
    std::vector<std::string> args;
    const char* mentions;
};

void PrintTo(const BadArgumentsCase& c, std::ostream* os) {
    *os << c.name;
}

class MonitorSimArgumentsTest : public MonitorSimTest,
                                public testing::WithParamInterface<BadArgumentsCase> {};

TEST_P(MonitorSimArgumentsTest, RefusesWithMessage) {
    const ToolResult result = MonitorSim(GetParam().args);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find(GetParam().mentions), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, MonitorSimArgumentsTest,
    testing::Values(
        BadArgumentsCase{"SystoleBelowDiastole", {"measure", "70", "80", "72", "95"}, "below"},
        BadArgumentsCase{"DifferenceTooLarge", {"measure", "400", "80", "72", "95"}, "255"},
        BadArgumentsCase{"PulseTooLarge", {"measure", "120", "80", "256", "95"}, "256"},
        BadArgumentsCase{"NegativeValue", {"measure", "120", "-1", "72", "95"}, "DIA"},
        BadArgumentsCase{"ArrhythmiaTooLarge",
                         {"measure", "120", "80", "72", "95", "--arrhythmia", "300"},
                         "--arrhythmia"},
        BadArgumentsCase{
            "SplitNotANumber", {"measure", "120", "80", "72", "95", "--split", "soon"}, "--split"},
        BadArgumentsCase{"TooFewValues", {"measure", "120", "80"}, "four values"},
        BadArgumentsCase{"StatusOutOfRange", {"status", "8A"}, "81 to 89"},
        BadArgumentsCase{"SerialWithSlash", {"plug", "--serial", "../x"}, "serial number"},
        BadArgumentsCase{"SerialWithBackslash", {"plug", "--serial", "..\\x"}, "serial number"},
        BadArgumentsCase{
            "SerialTooLong", {"plug", "--serial", "ABCDEFGHIJKLMNOPQ"}, "serial number"},
        BadArgumentsCase{"UnknownOption", {"unplug", "--force"}, "--force"},
        BadArgumentsCase{"UnknownCommand", {"explode"}, "explode"},
        BadArgumentsCase{"NoMonitorRunning", {"measure", "120", "80", "72", "95"}, "no monitor"},
        BadArgumentsCase{"NamedMonitorNotRunning", {"unplug", "--serial", "NOPE"}, "NOPE"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorSimTest, ListPrintsWhatTheDeviceLayerSees) {
    PlugProcess plug(home_, "QTEST07");
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();
    const ToolResult listed = MonitorSim({"list"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("QTEST07\tTest QTEST07\n"), std::string::npos) << listed.out;
}

} // namespace
