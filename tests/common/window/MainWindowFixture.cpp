#include "common/window/MainWindowFixture.h"

#include "common/widgets/TestApplication.h"
#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"
#include "support/widgets/VexMisc.h"

namespace {

std::unique_ptr<ftd2xx::ScriptedDriver>
NewDriver(std::shared_ptr<ftd2xx::ScriptedDriver::Script>& script) {
    auto driver = std::make_unique<ftd2xx::ScriptedDriver>();
    script = driver->script();
    return driver;
}

} // namespace

TFrmMsgBox& AsMsgBox(QWidget& box) {
    auto* msgBox = dynamic_cast<TFrmMsgBox*>(&box);
    EXPECT_NE(msgBox, nullptr) << "not our message box";
    return *msgBox;
}

MainWindowFixture::MainWindowFixture() : drivers_(NewDriver(script_)) {}

void MainWindowFixture::SetUp() {
    TestApplication();
    savedFormats_ = FormatSettings;
    SetFormatSettings({"de_DE", "dd.MM.yyyy", "HH:mm"});
    VexFrmMsgBoxStartup();
    ApplicationTitle = "lirn-quarn professional";
    settings_ = new MemorySettings;
    AppSettings.reset(settings_);
    report_ = std::make_unique<ScopedReportSetup>(*settings_);
    ErrorReportsEnabled = true;
    LastReadStatus = FT_OK;
    ClearReceivedBytes();
}

void MainWindowFixture::TearDown() {
    form_.reset();
    report_.reset();
    AppSettings.reset();
    VexFrmMsgBoxShutdown();
    SetFormatSettings(savedFormats_);
}

void MainWindowFixture::Plug(const std::string& serial, const std::string& description,
                             FT_STATUS openStatus) {
    script_->devices.push_back(ftd2xx::ScriptedDevice{serial, description, openStatus});
}

void MainWindowFixture::Show() {
    form_ = std::make_unique<TFrmMain>();
    form_->show();
}

void MainWindowFixture::ShowConnected() {
    Plug("QSIM0001", "Quarn Monitor");
    Show();
    ASSERT_TRUE(form_->Connected);
}
