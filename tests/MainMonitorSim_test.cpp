#include "app/Main.h"
#include "common/Process.h"
#include "common/TestEnvironment.h"
#include "common/support/MemorySettings.h"
#include "common/widgets/TestApplication.h"
#include "common/window/ReportSetup.h"
#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"
#include "platform/ftd2xx/DefaultDrivers.h"
#include "platform/ftd2xx/Driver.h"
#include "platform/ftd2xx/VirtualMonitorLink.h"
#include "support/widgets/VexFrmMsgBox.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int WaitMs = 10000;
constexpr const char* SerialNumber = "QSIM0001";

int WaitForExit(ChildProcess& process) {
    const bool ended = QTest::qWaitFor([&] { return process.poll().has_value(); }, WaitMs);
    return ended ? *process.poll() : -1;
}

// Runs monitor-sim to its end while the window's event loop goes on.
int RunMonitorSim(const std::vector<std::string>& args) {
    ChildProcess process("monitor-sim", args);
    return process.started() ? WaitForExit(process) : -1;
}

// Sends the bytes through the monitor as the next poll begins, so that its first bytes land
// inside that read. The request goes from here, not from a monitor-sim process, whose start
// takes longer than a poll on some systems and would land the bytes anywhere in the cycle.
bool SendAtPoll(QTimer* poll, const std::string& bytes, int pauseMs) {
    using namespace ftd2xx::virtualmonitor;
    std::string error;
    const auto folder = MonitorFolder(error);
    if (!folder) {
        ADD_FAILURE() << error;
        return false;
    }
    const std::string address = MonitorAddress(*folder, SerialNumber);
    const std::string request = "SEND " + std::to_string(pauseMs) + " " + HexEncode(bytes);
    std::future<bool> sent;
    const auto started = QObject::connect(poll, &QTimer::timeout, [&] {
        if (!sent.valid()) {
            sent = std::async(std::launch::async, [address, request] {
                std::string answer;
                return Ask(address, request, answer, WaitMs) && answer == "OK";
            });
        }
    });
    const bool begun = QTest::qWaitFor([&] { return sent.valid(); }, WaitMs);
    QObject::disconnect(started);
    const auto done = [&] {
        return sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    };
    return begun && QTest::qWaitFor(done, WaitMs) && sent.get();
}

std::unique_ptr<ChildProcess> PlugIn() {
    return std::make_unique<ChildProcess>(
        "monitor-sim", std::vector<std::string>{"plug", "--serial", SerialNumber, "--description",
                                                "Quarn Monitor"});
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
        ClearReceivedBytes();
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
    struct Frame {
        std::string bytes;
        std::string systole;
        std::string pulse;
    };
    const std::vector<Frame> frames = {
        {"8028503C5D0019", "120", "60"}, {"8029503D5D0019", "121", "61"},
        {"802A503E5D0019", "122", "62"}, {"802B503F5D0019", "123", "63"},
        {"802C50405D0061", "124", "64"},
    };
    for (const Frame& frame : frames) {
        SCOPED_TRACE(frame.bytes);
        ASSERT_TRUE(SendAtPoll(form_->TmUSB, frame.bytes, 40));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return form_->LblUSBSystole->text().toStdString() == frame.systole; }, WaitMs));
        EXPECT_EQ(form_->LblUSBPuls->text().toStdString(), frame.pulse);
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
