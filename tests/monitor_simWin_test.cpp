// monitor-sim on Windows: a monitor that is killed leaves its announcement, which the next
// listing clears; the pipe it listens on lets only this user in; monitors that never answer
// hold discovery up for a moment only.

#include "common/Process.h"
#include "common/TestEnvironment.h"
#include "common/Waiting.h"
#include "common/device/MonitorLine.h"
#include "device/D2XXUnit.h"
#include "platform/files/Files.h"
#include "platform/ftd2xx/DefaultDrivers.h"
#include "platform/ftd2xx/VirtualMonitorLinkWin.h"
#include "platform/text/WideTextWin.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>
#include <windows.h>
// After <windows.h>, which it builds on.
#include <aclapi.h>

namespace {

namespace fs = std::filesystem;
using namespace ftd2xx::virtualmonitor;

std::string Folder() {
    std::string error;
    return MonitorFolder(error).value_or("");
}

// The user this process runs as.
std::string CurrentUser() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    return buffer;
}

class MonitorSimWinTest : public testing::Test {
protected:
    MonitorSimWinTest() : drivers_(ftd2xx::MakeVirtualMonitorDriver()) { ResetDeviceUnit(); }

    ScopedTestHome home_;
    ftd2xx::ScopedDrivers drivers_;
};

TEST_F(MonitorSimWinTest, KilledMonitorIsNotListedAndItsAnnouncementGoes) {
    ChildProcess plug("monitor-sim", {"plug", "--serial", "QTEST04"});
    ASSERT_TRUE(WaitUntil([] { return Listed(1); }));
    ASSERT_EQ(Open_USB_Device_By_Serial_Number("QTEST04"), FT_OK);
    ASSERT_EQ(SetFTDeviceTimeouts(50, 0), FT_OK);
    plug.stop();

    EXPECT_TRUE(fs::exists(fs::path(Folder()) / "QTEST04.monitor"));
    EXPECT_EQ(ReadFTDevice(14), 0u);
    EXPECT_EQ(LastReadStatus, FT_IO_ERROR);
    EXPECT_TRUE(Listed(0));
    EXPECT_FALSE(fs::exists(fs::path(Folder()) / "QTEST04.monitor"));
    EXPECT_EQ(Open_USB_Device_By_Serial_Number("QTEST04"), FT_DEVICE_NOT_FOUND);
}

TEST_F(MonitorSimWinTest, OnlyThisUserMayOpenTheMonitorsPipe) {
    ChildProcess plug("monitor-sim", {"plug", "--serial", "QTEST09"});
    ASSERT_TRUE(WaitUntil([] { return Listed(1); }));
    const std::wstring pipe = Widen(MonitorAddress(Folder(), "QTEST09"));
    HANDLE client = CreateFileW(pipe.c_str(), READ_CONTROL, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(client, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              nullptr, nullptr, &descriptor),
              ERROR_SUCCESS);
    CloseHandle(client);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    ACL* dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    // One entry: this user may do everything; nobody else is named, so nobody else gets in.
    ASSERT_EQ(dacl->AceCount, 1);
    void* entry = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, &entry));
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_TRUE(allowed->Mask == GENERIC_ALL || allowed->Mask == FILE_ALL_ACCESS) << allowed->Mask;
    const std::string user = CurrentUser();
    EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&allowed->SidStart),
                         reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid));
    LocalFree(descriptor);
}

// An announced pipe that takes the request but never answers; with its one instance held by
// another client, a further connection finds it busy.
class HungMonitor {
public:
    HungMonitor(const std::string& folder, const std::string& serial, bool busy) {
        std::string error;
        pipe_ = CreateMonitorPipe(MonitorAddress(folder, serial), true, error);
        if (!pipe_) {
            ADD_FAILURE() << error;
            return;
        }
        WriteFileInOnePiece(AnnouncementPath(folder, serial), serial + "\n");
        if (busy) {
            filler_.reset(CreateFileW(Widen(MonitorAddress(folder, serial)).c_str(),
                                      GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
        }
        listening_ = !busy || filler_;
    }
    bool listening() const { return listening_; }

private:
    OwnedHandle pipe_;
    OwnedHandle filler_;
    bool listening_ = false;
};

TEST_F(MonitorSimWinTest, MonitorsThatNeverAnswerHoldDiscoveryUpAFractionOfASecond) {
    ChildProcess plug("monitor-sim", {"plug", "--serial", "QTEST07"});
    ASSERT_TRUE(WaitUntil([] { return Listed(1); }));
    std::vector<std::unique_ptr<HungMonitor>> hung;
    for (int i = 0; i < 6; ++i) {
        hung.push_back(
            std::make_unique<HungMonitor>(Folder(), "QHUNG" + std::to_string(i), i == 0));
        ASSERT_TRUE(hung.back()->listening());
    }

    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(GetFTDeviceCount(), FT_OK);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(DeviceCount, 1u);
    EXPECT_EQ(SerialAt(0), "QTEST07");
    // Asked one after the other, each would take its whole time.
    EXPECT_LT(took, std::chrono::seconds(1));
    // Silent is not gone: the announcement stays.
    EXPECT_TRUE(fs::exists(fs::path(Folder()) / "QHUNG1.monitor"));
}

} // namespace
