#include "common/TestEnvironment.h"
#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"
#include "platform/files/FileDescriptorPosix.h"
#include "platform/ftd2xx/DefaultDrivers.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <utility>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string Tool = std::string(QUARN_BIN_DIR) + "/monitor-sim";

pid_t Spawn(const std::vector<std::string>& args, const fs::path& errors,
            const fs::path& output = "/dev/null", const std::string& tool = Tool) {
    std::vector<char*> argv;
    std::string program = tool;
    argv.push_back(program.data());
    std::vector<std::string> copies(args);
    for (auto& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    const int result = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : -1;
}

int WaitExit(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ToolResult {
    int exitCode;
    std::string errors;
};

ToolResult RunTool(const ScopedTestHome& home, const std::vector<std::string>& args) {
    const fs::path errors = home.root() / "run-errors.txt";
    const pid_t pid = Spawn(args, errors);
    return {pid < 0 ? -1 : WaitExit(pid), ReadFile(errors)};
}

bool WaitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A monitor-sim plug child; stopped with SIGTERM at the end unless it ended before.
class PlugProcess {
public:
    PlugProcess(const ScopedTestHome& home, const std::string& serial)
        : errors_(home.root() / ("plug-" + serial + ".txt")),
          pid_(Spawn({"plug", "--serial", serial, "--description", "Test " + serial}, errors_)) {}
    ~PlugProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            WaitExit(pid_);
        }
    }
    PlugProcess(const PlugProcess&) = delete;
    PlugProcess& operator=(const PlugProcess&) = delete;

    bool started() const { return pid_ > 0; }
    int waitExit() {
        const pid_t pid = std::exchange(pid_, -1);
        return pid > 0 ? WaitExit(pid) : -1;
    }
    int signal(int number) {
        kill(pid_, number);
        return waitExit();
    }
    std::string errors() const { return ReadFile(errors_); }

private:
    fs::path errors_;
    pid_t pid_;
};

bool Listed(uint32_t count) {
    return GetFTDeviceCount() == FT_OK && DeviceCount == count;
}

std::string SerialAt(uint32_t index) {
    DeviceInfo.clear();
    GetFTDeviceSerialNo(index);
    return DeviceInfo;
}

class MonitorSimTest : public testing::Test {
protected:
    MonitorSimTest() : drivers_(ftd2xx::MakeVirtualMonitorDriver()) {
        ErrorReportsEnabled = false;
        DeviceHandle = nullptr;
        LastReadStatus = FT_OK;
        ClearReceivedBytes();
    }

    void openWithMonitorSettings(const std::string& serial) {
        ASSERT_EQ(Open_USB_Device_By_Serial_Number(serial), FT_OK);
        BaudRate = 9600;
        WordLength = FT_BITS_8;
        StopBits = FT_STOP_BITS_2;
        Parity = FT_PARITY_NONE;
        ASSERT_EQ(SetFTDeviceBaudRate(), FT_OK);
        ASSERT_EQ(SetFTDeviceDataCharacteristics(), FT_OK);
        ASSERT_EQ(SetFTDeviceTimeouts(50, 0), FT_OK);
    }

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

    fs::path folder() const { return home_.runtimeDir() / "lirn-quarn"; }

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

    openWithMonitorSettings("QTEST01");
    ASSERT_EQ(RunTool(home_, {"measure", "120", "80", "72", "95"}).exitCode, 0);
    ASSERT_EQ(nextBytes(), "802850485F006F");
    Measurement m;
    ASSERT_EQ(DecodeFrame(m), ValidMeasurement);
    EXPECT_EQ(m.Systole, "120");
    EXPECT_EQ(m.Diastole, "80");
    EXPECT_EQ(m.Puls, "72");
    EXPECT_EQ(m.MAD, "95");
    EXPECT_EQ(m.Arrhythmie, "Nein");

    EXPECT_EQ(RunTool(home_, {"unplug"}).exitCode, 0);
    EXPECT_EQ(plug.waitExit(), 0);
    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(LastReadStatus, FT_IO_ERROR);
    EXPECT_TRUE(Listed(0));
    EXPECT_FALSE(fs::exists(folder() / "QTEST01.sock"));
}

TEST_F(MonitorSimTest, SendsEveryKindOfFrame) {
    PlugProcess plug(home_, "QTEST02");
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();

    const ToolResult unopened = RunTool(home_, {"measure", "120", "80", "72", "95"});
    EXPECT_NE(unopened.exitCode, 0);
    EXPECT_NE(unopened.errors.find("no program"), std::string::npos) << unopened.errors;

    openWithMonitorSettings("QTEST02");
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
        const ToolResult sent = RunTool(home_, c.args);
        ASSERT_EQ(sent.exitCode, 0) << sent.errors;
        EXPECT_EQ(nextBytes(), c.bytes);
        Measurement m;
        EXPECT_EQ(DecodeFrame(m), c.outcome);
        EXPECT_EQ(m.Arrhythmie, c.arrhythmie);
    }
}

TEST_F(MonitorSimTest, SplitFrameArrivesInTwoParts) {
    PlugProcess plug(home_, "QTEST03");
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();
    openWithMonitorSettings("QTEST03");
    const fs::path errors = home_.root() / "split.txt";
    const pid_t measure = Spawn({"measure", "110", "80", "72", "95", "--split", "1500"}, errors);
    ASSERT_GT(measure, 0);
    EXPECT_EQ(collectBytes(8), "801E5048");
    // The pause: nothing more until it has passed.
    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(collectBytes(6), "5F0059");
    EXPECT_EQ(WaitExit(measure), 0) << ReadFile(errors);
}

TEST_F(MonitorSimTest, KilledMonitorIsNotListed) {
    PlugProcess plug(home_, "QTEST04");
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();
    EXPECT_EQ(plug.signal(SIGKILL), 128 + SIGKILL);
    EXPECT_TRUE(fs::exists(folder() / "QTEST04.sock"));
    EXPECT_TRUE(Listed(0));
    EXPECT_FALSE(fs::exists(folder() / "QTEST04.sock"));
    EXPECT_EQ(Open_USB_Device_By_Serial_Number("QTEST04"), FT_DEVICE_NOT_FOUND);
}

TEST_F(MonitorSimTest, TerminatedMonitorUnplugsCleanly) {
    PlugProcess plug(home_, "QTEST05");
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();
    openWithMonitorSettings("QTEST05");
    EXPECT_EQ(plug.signal(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(folder() / "QTEST05.sock"));
    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(LastReadStatus, FT_IO_ERROR);
}

TEST_F(MonitorSimTest, RuntimeFolderIsPrivate) {
    fs::create_directories(folder());
    fs::permissions(folder(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    PlugProcess plug(home_, "QTEST06");
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();
    EXPECT_EQ(fs::status(folder()).permissions() & fs::perms::all, fs::perms::owner_all);

    // A folder others may enter is not trusted for measurements.
    fs::permissions(folder(), fs::perms::others_exec, fs::perm_options::add);
    EXPECT_TRUE(Listed(0));
    EXPECT_EQ(Open_USB_Device_By_Serial_Number("QTEST06"), FT_DEVICE_NOT_FOUND);
}

// A socket that takes connections into its queue but never answers; with a queue of one that
// is full, a further connection is not even taken.
class HungMonitor {
public:
    HungMonitor(const fs::path& folder, const std::string& serial, bool queueFull)
        : listen_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = (folder / (serial + ".sock")).string();
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        bound_ =
            bind(listen_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            listen(listen_.get(), queueFull ? 0 : 16) == 0;
        if (bound_ && queueFull) {
            filler_.reset(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
            connect(filler_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
        }
    }
    bool bound() const { return bound_; }

private:
    FileDescriptor listen_;
    FileDescriptor filler_;
    bool bound_ = false;
};

TEST_F(MonitorSimTest, MonitorsThatNeverAnswerHoldDiscoveryUpAFractionOfASecond) {
    PlugProcess plug(home_, "QTEST07");
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();
    std::vector<std::unique_ptr<HungMonitor>> hung;
    for (int i = 0; i < 6; ++i) {
        hung.push_back(
            std::make_unique<HungMonitor>(folder(), "QHUNG" + std::to_string(i), i == 0));
        ASSERT_TRUE(hung.back()->bound());
    }

    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(GetFTDeviceCount(), FT_OK);
    EXPECT_EQ(SerialAt(0), "QTEST07");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(DeviceCount, 1u);
    // Each used to be given two seconds, one after the other.
    EXPECT_LT(took, std::chrono::seconds(1));
}

TEST_F(MonitorSimTest, SeveralMonitorsWithDifferentSerialNumbers) {
    PlugProcess first(home_, "QB");
    PlugProcess second(home_, "QA");
    ASSERT_TRUE(WaitUntil([] { return Listed(2); })) << first.errors() << second.errors();
    EXPECT_EQ(SerialAt(0), "QA");
    EXPECT_EQ(SerialAt(1), "QB");

    const ToolResult ambiguous = RunTool(home_, {"status", "81"});
    EXPECT_NE(ambiguous.exitCode, 0);
    EXPECT_NE(ambiguous.errors.find("--serial"), std::string::npos) << ambiguous.errors;

    PlugProcess twin(home_, "QA");
    EXPECT_NE(twin.waitExit(), 0);
    EXPECT_NE(twin.errors().find("already"), std::string::npos) << twin.errors();

    EXPECT_EQ(RunTool(home_, {"unplug", "--serial", "QB"}).exitCode, 0);
    EXPECT_EQ(first.waitExit(), 0);
    EXPECT_TRUE(Listed(1));
    EXPECT_EQ(SerialAt(0), "QA");
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
    const ToolResult result = RunTool(home_, GetParam().args);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.errors.find(GetParam().mentions), std::string::npos) << result.errors;
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
        BadArgumentsCase{
            "SerialTooLong", {"plug", "--serial", "ABCDEFGHIJKLMNOPQ"}, "serial number"},
        BadArgumentsCase{"UnknownOption", {"unplug", "--force"}, "--force"},
        BadArgumentsCase{"UnknownCommand", {"explode"}, "explode"},
        BadArgumentsCase{"NoMonitorRunning", {"measure", "120", "80", "72", "95"}, "no monitor"},
        BadArgumentsCase{"NamedMonitorNotRunning", {"unplug", "--serial", "NOPE"}, "NOPE"}),
    [](const auto& info) { return std::string(info.param.name); });

// Installed, the tool is quarn-monitor-sim: its help and messages name it so.
TEST_F(MonitorSimTest, MessagesUseTheNameItWasStartedUnder) {
    const fs::path installed = home_.root() / "quarn-monitor-sim";
    fs::create_symlink(Tool, installed);
    const fs::path output = home_.root() / "help.txt";
    const fs::path errors = home_.root() / "errors.txt";
    ASSERT_EQ(WaitExit(Spawn({"help"}, errors, output, installed)), 0);
    EXPECT_NE(ReadFile(output).find("\n  quarn-monitor-sim plug [--serial S]"), std::string::npos)
        << ReadFile(output);
    EXPECT_EQ(ReadFile(output).find(" monitor-sim "), std::string::npos) << ReadFile(output);
    EXPECT_EQ(WaitExit(Spawn({"explode"}, errors, output, installed)), 2);
    EXPECT_EQ(ReadFile(errors), "quarn-monitor-sim: unknown command \"explode\"\n"
                                "See 'quarn-monitor-sim help'.\n");
}

TEST_F(MonitorSimTest, ListPrintsWhatTheDeviceLayerSees) {
    PlugProcess plug(home_, "QTEST07");
    ASSERT_TRUE(WaitUntil([] { return Listed(1); })) << plug.errors();
    const fs::path output = home_.root() / "list.txt";
    const fs::path errors = home_.root() / "list-errors.txt";
    ASSERT_EQ(WaitExit(Spawn({"list"}, errors, output)), 0) << ReadFile(errors);
    EXPECT_NE(ReadFile(output).find("QTEST07\tTest QTEST07\n"), std::string::npos)
        << ReadFile(output);
}

} // namespace
