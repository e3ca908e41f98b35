// monitor-sim on POSIX: signals that kill or stop a monitor, and the runtime folder's rights.

#include "common/FileBytes.h"
#include "common/TestEnvironment.h"
#include "common/Waiting.h"
#include "common/device/MonitorLine.h"
#include "device/D2XXUnit.h"
#include "platform/ftd2xx/DefaultDrivers.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <utility>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string Tool = std::string(QUARN_BIN_DIR) + "/monitor-sim";

pid_t Spawn(const std::vector<std::string>& args, const fs::path& errors,
            const fs::path& output = "/dev/null") {
    std::vector<char*> argv;
    std::string program = Tool;
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
    const int result = posix_spawn(&pid, Tool.c_str(), &actions, nullptr, argv.data(), environ);
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
    MonitorSimTest() : drivers_(ftd2xx::MakeVirtualMonitorDriver()) {
        ResetDeviceUnit();
    }

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

} // namespace
