#include "app/Main.h"
#include "common/TestEnvironment.h"
#include "common/support/MemorySettings.h"
#include "common/widgets/TestApplication.h"
#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"
#include "platform/ftd2xx/DefaultDrivers.h"
#include "platform/ftd2xx/Driver.h"
#include "support/widgets/VexFrmMsgBox.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

constexpr int WaitMs = 10000;
const std::string Tool = std::string(QUARN_BIN_DIR) + "/monitor-sim";

pid_t Spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    std::string program = Tool;
    argv.push_back(program.data());
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawn(&pid, Tool.c_str(), nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    const bool ended =
        QTest::qWaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, WaitMs);
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs monitor-sim to its end while the window's event loop goes on.
int RunMonitorSim(const std::vector<std::string>& args) {
    return WaitForExit(Spawn(args));
}

// Starts monitor-sim as the next poll begins, so that its first bytes land inside that read.
int RunMonitorSimAtPoll(QTimer* poll, const std::vector<std::string>& args) {
    pid_t pid = -1;
    const auto started = QObject::connect(poll, &QTimer::timeout, [&] {
        if (pid < 0) {
            pid = Spawn(args);
        }
    });
    const bool spawned = QTest::qWaitFor([&] { return pid > 0; }, WaitMs);
    QObject::disconnect(started);
    return spawned ? WaitForExit(pid) : -1;
}

// The window over the virtual-monitor driver, fed by a monitor-sim process.
class MainWithMonitorSimTest : public ::testing::Test {
protected:
    MainWithMonitorSimTest() : drivers_(ftd2xx::MakeVirtualMonitorDriver()) {}

    void SetUp() override {
        TestApplication();
        VexFrmMsgBoxStartup();
        ApplicationTitle = "lirn-quarn professional";
        AppSettings = std::make_unique<MemorySettings>();
        ClearReceivedBytes();
        plug_ = Spawn({"plug", "--serial", "QSIM0001", "--description", "Quarn Monitor"});
        ASSERT_GT(plug_, 0);
        // No checksum box may appear; one that does is closed so the test goes on.
        boxWatch_.setInterval(20);
        QObject::connect(&boxWatch_, &QTimer::timeout, [] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                auto* msgBox = dynamic_cast<TFrmMsgBox*>(box);
                ADD_FAILURE() << "box: " << (msgBox ? msgBox->Text() : "?");
                box->close();
            }
        });
        boxWatch_.start();
    }

    void TearDown() override {
        boxWatch_.stop();
        form_.reset();
        AppSettings.reset();
        VexFrmMsgBoxShutdown();
        if (plug_ > 0) {
            kill(plug_, SIGTERM);
            waitpid(plug_, nullptr, 0);
        }
    }

    ScopedTestHome home_;
    ftd2xx::ScopedDrivers drivers_;
    pid_t plug_ = -1;
    QTimer boxWatch_;
    std::unique_ptr<TFrmMain> form_;
};

TEST_F(MainWithMonitorSimTest, FramesSplitInTimeArriveWhole) {
    form_ = std::make_unique<TFrmMain>();
    form_->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form_->Connected; }, WaitMs));
    EXPECT_EQ(form_->StatusText(), "QSIM0001 - Quarn Monitor");

    // The first bytes arrive early in a 50 ms read; after a 40 ms pause the rest comes too late
    // for it.
    for (int i = 0; i < 5; ++i) {
        const std::string systole = std::to_string(120 + i);
        const std::string pulse = std::to_string(60 + i);
        ASSERT_EQ(RunMonitorSimAtPoll(form_->TmUSB,
                                      {"measure", "--split", "40", systole, "80", pulse, "93"}),
                  0);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return form_->LblUSBSystole->text().toStdString() == systole; }, WaitMs))
            << "frame " << i;
        EXPECT_EQ(form_->LblUSBPuls->text().toStdString(), pulse);
        EXPECT_EQ(form_->LblUSBMad->text(), "93");
    }
}

TEST_F(MainWithMonitorSimTest, UnpluggedMonitorIsSearchedAndFoundAgain) {
    form_ = std::make_unique<TFrmMain>();
    form_->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form_->Connected; }, WaitMs));
    kill(plug_, SIGTERM);
    waitpid(plug_, nullptr, 0);
    plug_ = -1;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form_->StatusText() == "Kein Gerät zur Blutdruckmessung gefunden."; },
        WaitMs));
    EXPECT_FALSE(form_->Connected);

    plug_ = Spawn({"plug", "--serial", "QSIM0001", "--description", "Quarn Monitor"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_->Connected; }, WaitMs));
    ASSERT_EQ(RunMonitorSim({"measure", "121", "81", "71", "94"}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_->LblUSBSystole->text() == "121"; }, WaitMs));
}

} // namespace
