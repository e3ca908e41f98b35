// monitor-sim on POSIX: signals that kill or stop a monitor, the runtime folder's rights, sockets
// that never answer, and the name the tool was started under.

#include "common/FileBytes.h"
#include "common/TestEnvironment.h"
#include "common/Waiting.h"
#include "common/device/MonitorLine.h"
#include "device/D2XXUnit.h"
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
    std::string errors() const { return ReadBytes(errors_); }

private:
    fs::path errors_;
    pid_t pid_;
};

class MonitorSimTest : public testing::Test {
protected:
    MonitorSimTest() : drivers_(ftd2xx::MakeVirtualMonitorDriver()) { ResetDeviceUnit(); }

    fs::path folder() const { return home_.runtimeDir() / "lirn-quarn"; }

    ScopedTestHome home_;
    ftd2xx::ScopedDrivers drivers_;
};

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
    ASSERT_NO_FATAL_FAILURE(OpenWithMonitorSettings("QTEST05"));
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

// Installed, the tool is quarn-monitor-sim: its help and messages name it so.
TEST_F(MonitorSimTest, MessagesUseTheNameItWasStartedUnder) {
    const fs::path installed = home_.root() / "quarn-monitor-sim";
    fs::create_symlink(Tool, installed);
    const fs::path output = home_.root() / "help.txt";
    const fs::path errors = home_.root() / "errors.txt";
    ASSERT_EQ(WaitExit(Spawn({"help"}, errors, output, installed)), 0);
    EXPECT_NE(ReadBytes(output).find("\n  quarn-monitor-sim plug [--serial S]"), std::string::npos)
        << ReadBytes(output);
    EXPECT_EQ(ReadBytes(output).find(" monitor-sim "), std::string::npos) << ReadBytes(output);
    EXPECT_EQ(WaitExit(Spawn({"explode"}, errors, output, installed)), 2);
    EXPECT_EQ(ReadBytes(errors), "quarn-monitor-sim: unknown command \"explode\"\n"
                                 "See 'quarn-monitor-sim help'.\n");
}

} // namespace
