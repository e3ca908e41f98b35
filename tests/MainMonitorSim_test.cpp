#include "app/Main.h"
#include "common/Process.h"
#include "common/window/ReportSetup.h"
#include "common/TestEnvironment.h"
#include "common/support/MemorySettings.h"
#include "common/widgets/TestApplication.h"
#include "device/D2XXUnit.h"
#include "platform/ftd2xx/DefaultDrivers.h"
#include "platform/ftd2xx/Driver.h"
#include "support/widgets/VexFrmMsgBox.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int WaitMs = 10000;

int WaitForExit(ChildProcess& process) {
    const bool ended = QTest::qWaitFor([&] { return process.poll().has_value(); }, WaitMs);
    return ended ? *process.poll() : -1;
}

// Runs monitor-sim to its end while the window's event loop goes on.
int RunMonitorSim(const std::vector<std::string>& args) {
    ChildProcess process("monitor-sim", args);
    return process.started() ? WaitForExit(process) : -1;
}

// Starts monitor-sim as the next poll begins, so that its first bytes land inside that read.
int RunMonitorSimAtPoll(QTimer* poll, const std::vector<std::string>& args) {
    std::unique_ptr<ChildProcess> process;
    const auto started = QObject::connect(poll, &QTimer::timeout, [&] {
        if (!process) {
            process = std::make_unique<ChildProcess>("monitor-sim", args);
        }
    });
    const bool spawned = QTest::qWaitFor([&] { return process != nullptr; }, WaitMs);
    QObject::disconnect(started);
    return spawned && process->started() ? WaitForExit(*process) : -1;
}

std::unique_ptr<ChildProcess> PlugIn() {
    return std::make_unique<ChildProcess>(
        "monitor-sim",
        std::vector<std::string>{"plug", "--serial", "QSIM0001", "--description", "Quarn Monitor"});
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
        report_ = std::make_unique<ScopedReportSetup>(*AppSettings);
        ReceiveBuffer.fill(0);
        plug_ = PlugIn();
        ASSERT_TRUE(plug_->started());
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
        report_.reset();
        AppSettings.reset();
        VexFrmMsgBoxShutdown();
        plug_.reset();
    }

    ScopedTestHome home_;
    ftd2xx::ScopedDrivers drivers_;
    std::unique_ptr<ChildProcess> plug_;
    QTimer boxWatch_;
    std::unique_ptr<ScopedReportSetup> report_;
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
    plug_->stop();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form_->StatusText() == "Kein Gerät zur Blutdruckmessung gefunden."; },
        WaitMs));
    EXPECT_FALSE(form_->Connected);

    plug_ = PlugIn();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_->Connected; }, WaitMs));
    ASSERT_EQ(RunMonitorSim({"measure", "121", "81", "71", "94"}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_->LblUSBSystole->text() == "121"; }, WaitMs));
}

} // namespace
