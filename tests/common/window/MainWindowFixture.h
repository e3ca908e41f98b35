#pragma once
// The main window over the scripted driver, with settings in memory, the real message boxes
// and German date and time formats, shared by the window's test programs.

#include "app/Main.h"
#include "common/ScriptedDriver.h"
#include "common/support/MemorySettings.h"
#include "common/window/ReportSetup.h"
#include "platform/ftd2xx/ftd2xx.h"
#include "support/VexDateTime.h"
#include "support/widgets/VexFrmMsgBox.h"

#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <string>

// How long a test waits for a condition before it fails.
constexpr int WaitMs = 5000;

// The box as our message box; a test failure when it is another kind of box.
TFrmMsgBox& AsMsgBox(QWidget& box);

class MainWindowFixture : public ::testing::Test {
protected:
    MainWindowFixture();

    void SetUp() override;
    void TearDown() override;

    void Plug(const std::string& serial, const std::string& description,
              FT_STATUS openStatus = FT_OK);
    void Show();
    // One monitor plugged in and the window shown and connected to it.
    void ShowConnected();

    std::string Label(QLabel* label) const { return label->text().toStdString(); }

    std::shared_ptr<ftd2xx::ScriptedDriver::Script> script_;
    ftd2xx::ScopedDrivers drivers_;
    MemorySettings* settings_ = nullptr;
    std::unique_ptr<ScopedReportSetup> report_;
    std::unique_ptr<TFrmMain> form_;

private:
    TFormatSettings savedFormats_;
};
