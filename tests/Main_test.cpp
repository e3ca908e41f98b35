#include "app/ElidingLabel.h"
#include "app/Main.h"
#include "common/BlockedFile.h"
#include "common/ScriptedDriver.h"
#include "common/TestEnvironment.h"
#include "common/support/MemorySettings.h"
#include "common/widgets/ModalBoxAnswerer.h"
#include "common/widgets/TestApplication.h"
#include "common/window/MainWindowFixture.h"
#include "device/D2XXUnit.h"
#include "platform/files/Files.h"
#include "platform/registry/Registry.h"
#include "support/VexDateTime.h"
#include "support/VexFiles.h"
#include "support/VexSettings.h"
#include "support/widgets/VexFonts.h"
#include "support/widgets/VexFrmMsgBox.h"
#include "support/widgets/VexMisc.h"
#include "support/widgets/VexPlacement.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace {

class MainLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApplication();
        form_ = std::make_unique<TFrmMain>();
    }

    template <typename T = QWidget> T* Control(const char* name) {
        T* control = form_->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    std::unique_ptr<TFrmMain> form_;
};

TEST_F(MainLayoutTest, WindowHasItsCaptionFixedSizeAndNoMaximizeBox) {
    EXPECT_EQ(form_->objectName(), "FrmMain");
    EXPECT_EQ(form_->windowTitle(), "lirn Quarn professional - Blutdruckmessung");
    EXPECT_EQ(form_->size(), QSize(394, 384));
    EXPECT_EQ(form_->minimumSize(), form_->maximumSize());
    const Qt::WindowFlags flags = form_->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(Control("PnlExtend")->isVisibleTo(form_.get()));
    EXPECT_FALSE(Control("BtnExport")->isEnabled());
    EXPECT_EQ(form_->StatusText(), "");
    EXPECT_FALSE(Control<QTimer>("TmUSB")->isActive());
    EXPECT_FALSE(Control<QTimer>("TmConnect")->isActive());
    EXPECT_EQ(Control<QTimer>("TmUSB")->interval(), 150);
    EXPECT_EQ(Control<QTimer>("TmConnect")->interval(), 1000);
}

struct GeometryCase {
    const char* name;
    const char* parent;
    QRect geometry;
};

TEST_F(MainLayoutTest, ControlsSitAtTheirPixelPositions) {
    const GeometryCase cases[] = {
        {"PnlTop", "FrmMain", QRect(0, 0, 394, 305)},
        {"Panel1", "PnlTop", QRect(1, 1, 392, 147)},
        {"Bevel1", "Panel1", QRect(12, 55, 267, 2)},
        {"Label4", "Panel1", QRect(12, 74, 260, 28)},
        {"Image1", "Panel1", QRect(288, 5, 95, 74)},
        {"PnlBottom", "FrmMain", QRect(0, 305, 394, 60)},
        {"BtnExport", "PnlBottom", QRect(20, 21, 85, 25)},
        {"BtnSettings", "PnlBottom", QRect(202, 21, 85, 25)},
        {"BtnClose", "PnlBottom", QRect(298, 21, 85, 25)},
        {"PnlExtend", "FrmMain", QRect(0, 365, 394, 50)},
        {"BtnConnect", "PnlExtend", QRect(298, 12, 85, 25)},
        {"StbMain", "FrmMain", QRect(0, 365, 394, 19)},
    };
    for (const GeometryCase& c : cases) {
        QWidget* control = Control(c.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->parentWidget()->objectName(), c.parent) << c.name;
        EXPECT_EQ(control->geometry(), c.geometry) << c.name;
    }
    QComboBox* devices = Control<QComboBox>("CmbUSBDevices");
    EXPECT_EQ(devices->pos(), QPoint(45, 14));
    EXPECT_EQ(devices->width(), 233);
    EXPECT_FALSE(devices->isEditable());
}

struct LabelCase {
    const char* name;
    const char* parent;
    QPoint topLeft;
    const char* text;
};

TEST_F(MainLayoutTest, LabelsCarryTheirTextsAtTheirPlaces) {
    const LabelCase cases[] = {
        {"Label6", "Panel1", {12, 12}, "Name:"},
        {"LblName", "Panel1", {101, 12}, "-"},
        {"Label7", "Panel1", {12, 29}, "Patienten-Nr.:"},
        {"LblPatNo", "Panel1", {101, 29}, "-"},
        {"Label4",
         "Panel1",
         {12, 74},
         "Um eine Messung durchzuführen, drücken Sie bitte die Start-Taste am Gerät"},
        {"LblDateTime", "Panel1", {12, 114}, "-"},
        {"Label10", "PnlTop", {12, 153}, "Systole"},
        {"Label11", "PnlTop", {12, 183}, "Diastole"},
        {"Label12", "PnlTop", {12, 213}, "Puls"},
        {"Label13", "PnlTop", {12, 243}, "MAD"},
        {"Label14", "PnlTop", {12, 273}, "Arrhythmie"},
        {"Label1", "PnlTop", {184, 159}, "mmHg"},
        {"Label2", "PnlTop", {184, 189}, "mmHg"},
        {"Label3", "PnlTop", {184, 219}, "PUL/min."},
        {"Label5", "PnlTop", {184, 249}, "mmHg"},
        {"LblDevice", "PnlExtend", {13, 18}, "Gerät"},
    };
    for (const LabelCase& c : cases) {
        QLabel* label = Control<QLabel>(c.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->parentWidget()->objectName(), c.parent) << c.name;
        EXPECT_EQ(label->pos(), c.topLeft) << c.name;
        EXPECT_EQ(label->text(), QString::fromUtf8(c.text)) << c.name;
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance("-")) << c.name;
    }
    EXPECT_TRUE(Control<QLabel>("Label4")->wordWrap());
}

TEST_F(MainLayoutTest, ValuesAlignRightAgainstOneEdgeOnTheirRows) {
    const std::pair<const char*, int> rows[] = {{"LblUSBSystole", 153},
                                                {"LblUSBDiastole", 183},
                                                {"LblUSBPuls", 213},
                                                {"LblUSBMad", 243},
                                                {"LblUSBArr", 273}};
    for (const auto& [name, top] : rows) {
        QLabel* value = Control<QLabel>(name);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->parentWidget()->objectName(), "PnlTop") << name;
        EXPECT_EQ(value->y(), top) << name;
        EXPECT_EQ(value->geometry().right() + 1, 172) << name;
        EXPECT_TRUE(value->alignment().testFlag(Qt::AlignRight)) << name;
        EXPECT_EQ(value->text(), "-") << name;
        value->setText("510");
        EXPECT_LE(value->fontMetrics().horizontalAdvance("Nein"), value->width()) << name;
    }
}

struct FontCase {
    const char* name;
    const char* family;
    int pixelSize;
    bool bold;
};

TEST_F(MainLayoutTest, ControlsUseTheirFonts) {
    const FontCase cases[] = {
        {"FrmMain", "Tahoma", 11, false},      {"BtnClose", "Tahoma", 11, false},
        {"LblDevice", "Tahoma", 11, false},    {"Panel1", "MS Sans Serif", 11, true},
        {"Label6", "MS Sans Serif", 11, true}, {"LblPatNo", "MS Sans Serif", 11, true},
        {"Label4", "Arial", 11, true},         {"LblDateTime", "Arial", 19, true},
        {"Label14", "Arial", 19, true},        {"LblUSBArr", "Arial", 19, true},
        {"Label3", "Arial", 11, true},
    };
    for (const FontCase& c : cases) {
        QWidget* control = std::string(c.name) == "FrmMain" ? form_.get() : Control(c.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->font().family(), c.family) << c.name;
        EXPECT_EQ(control->font().pixelSize(), c.pixelSize) << c.name;
        EXPECT_EQ(control->font().bold(), c.bold) << c.name;
    }
}

TEST(MainFontsTest, PanelTextsRenderBoldWithTheReplacementFonts) {
    TestApplication();
    if (RegisterWindowsFontReplacements().empty()) {
        GTEST_SKIP() << "no Windows font replacements installed";
    }
    TFrmMain form;
    for (QWidget* label : {static_cast<QWidget*>(form.Label6), static_cast<QWidget*>(form.LblName),
                           static_cast<QWidget*>(form.Label7)}) {
        EXPECT_TRUE(QFontInfo(label->font()).bold()) << label->objectName().toStdString();
        EXPECT_EQ(QFontInfo(label->font()).pixelSize(), 11);
    }
    EXPECT_EQ(QFontInfo(form.font()).family(), "Tahoma");
    EXPECT_EQ(QFontInfo(form.LblUSBSystole->font()).family(), "Liberation Sans");
}

// The fonts beside the program stand in for the designed ones that a system lacks, on every
// system: a plain Wine has no Arial, and its fallback is a wide serif face.
TEST(MainFontsTest, DesignedFamiliesFallBackToTheProgramsOwnFonts) {
    TestApplication();
    const std::string saved = ProgramDir;
    ProgramDir = std::string(QUARN_BIN_DIR) + PathSeparator;
    const std::vector<std::string> families = RegisterProgramFonts();
    ProgramDir = saved;
    ASSERT_NE(std::find(families.begin(), families.end(), "Liberation Sans"), families.end())
        << "no fonts beside the program in " << ProgramDir;
    for (const char* designed : {"Arial", "Tahoma", "MS Sans Serif"}) {
        EXPECT_TRUE(QFont::substitutes(designed).contains("Liberation Sans", Qt::CaseInsensitive))
            << designed;
    }
}

// Whatever fonts are in use, no caption is cut: the widest texts the window shows included.
TEST_F(MainLayoutTest, EveryTextFitsItsControl) {
    const std::string saved = ProgramDir;
    ProgramDir = std::string(QUARN_BIN_DIR) + PathSeparator;
    RegisterProgramFonts();
    ProgramDir = saved;
    form_ = std::make_unique<TFrmMain>();
    for (QLabel* value :
         {form_->LblUSBSystole, form_->LblUSBDiastole, form_->LblUSBPuls, form_->LblUSBMad}) {
        value->setText("300");
    }
    form_->LblUSBArr->setText("Nein");
    form_->LblDateTime->setText("30.12.2026 23:59");
    for (QLabel* label : form_->findChildren<QLabel*>()) {
        if (label->text().isEmpty() || dynamic_cast<TElidingLabel*>(label)) {
            continue;
        }
        SCOPED_TRACE(label->objectName().toStdString());
        const QRect room = label->contentsRect();
        if (label->wordWrap()) {
            EXPECT_LE(label->heightForWidth(label->width()), label->height());
            continue;
        }
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), room.width());
        EXPECT_LE(label->fontMetrics().height(), room.height());
    }
    for (QPushButton* button : form_->findChildren<QPushButton*>()) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_LE(button->sizeHint().width(), button->width() + 16)
            << "the caption runs into the button's frame";
        EXPECT_LE(button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&')),
                  button->width() - 8);
    }
}

TEST_F(MainLayoutTest, ButtonsCarryCaptionsAndTabOrder) {
    EXPECT_EQ(Control<QPushButton>("BtnExport")->text(), "GDT-Export");
    EXPECT_EQ(Control<QPushButton>("BtnSettings")->text(), "&Einstellungen");
    EXPECT_EQ(Control<QPushButton>("BtnClose")->text(), QString::fromUtf8("S&chließen"));
    EXPECT_EQ(Control<QPushButton>("BtnConnect")->text(), "Verbinden");

    QStringList order;
    QWidget* widget = Control("BtnExport");
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            order << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != Control("BtnExport"));
    EXPECT_EQ(order,
              QStringList({"BtnExport", "BtnSettings", "BtnClose", "CmbUSBDevices", "BtnConnect"}));
}

TEST_F(MainLayoutTest, LogoHasVisibleDrawingOfItsSize) {
    const QPixmap logo = Control<QLabel>("Image1")->pixmap();
    ASSERT_EQ(logo.size(), QSize(95, 74));
    const QImage image = logo.toImage();
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            inked += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 95 * 74 / 20);
    EXPECT_LT(inked, 95 * 74 / 2);
}

namespace fs = std::filesystem;

const char* const LastConnectedKey = "Device\rLastConnected\r";
const char* const PdfFolderKey = "Directories\rPDF\r";

bool HasIcon(QWidget& box) {
    return !AsMsgBox(box).ImgIcon()->pixmap().isNull();
}

int OpenMsgBoxes() {
    int open = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        open += (dynamic_cast<TFrmMsgBox*>(widget) && widget->isVisible()) ? 1 : 0;
    }
    return open;
}

class MainWindowTest : public MainWindowFixture {
protected:
    std::vector<std::string> Values() const {
        return {Label(form_->LblUSBSystole), Label(form_->LblUSBDiastole), Label(form_->LblUSBPuls),
                Label(form_->LblUSBMad), Label(form_->LblUSBArr)};
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> entries;
        for (int i = 0; i < form_->CmbUSBDevices->count(); ++i) {
            entries.push_back(form_->CmbUSBDevices->itemText(i).toStdString());
        }
        return entries;
    }

    enum class State { Idle, Searching, Connected };

    void ExpectState(State state) const {
        EXPECT_EQ(form_->Connected, state == State::Connected);
        EXPECT_EQ(form_->TmUSB->isActive(), state == State::Connected);
        EXPECT_EQ(form_->TmConnect->isActive(), state == State::Searching);
    }
};

TEST_F(MainWindowTest, NoDeviceSearchesAndConnectsOncePluggedIn) {
    Show();
    EXPECT_EQ(form_->StatusText(), "Kein Gerät zur Blutdruckmessung gefunden.");
    EXPECT_EQ(form_->size(), QSize(394, 384));
    EXPECT_FALSE(form_->PnlExtend->isVisible());
    ExpectState(State::Searching);

    Plug("QSIM0001", "Quarn Monitor");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_->Connected; }, WaitMs));
    EXPECT_EQ(form_->StatusText(), "QSIM0001 - Quarn Monitor");
    ExpectState(State::Connected);
}

TEST_F(MainWindowTest, OneDeviceConnectsWithTheMonitorLineSettings) {
    ShowConnected();
    EXPECT_EQ(form_->StatusText(), "QSIM0001 - Quarn Monitor");
    EXPECT_EQ(form_->SerialNo, "QSIM0001");
    EXPECT_EQ(form_->size(), QSize(394, 384));
    EXPECT_FALSE(form_->PnlExtend->isVisible());
    ExpectState(State::Connected);
    EXPECT_EQ(script_->log.opens, 1);
    EXPECT_EQ(script_->log.baudRate, 9600u);
    EXPECT_EQ(script_->log.lineSettings.wordLength, FT_BITS_8);
    EXPECT_EQ(script_->log.lineSettings.stopBits, FT_STOP_BITS_2);
    EXPECT_EQ(script_->log.lineSettings.parity, FT_PARITY_NONE);
    EXPECT_FALSE(ErrorReportsEnabled);

    // A byte waiting, so that the poll reads.
    script_->arrive("x");
    form_->TmUSBTimer();
    EXPECT_EQ(script_->log.lastReadTimeoutMs, 50u);
}

struct TwoDeviceCase {
    const char* stored;
    int selected;
    bool connects;
};

class TwoDevicesTest : public MainWindowTest,
                       public ::testing::WithParamInterface<TwoDeviceCase> {};

TEST_P(TwoDevicesTest, ListsBothAndConnectsOnlyTheStoredOne) {
    const TwoDeviceCase& c = GetParam();
    settings_->WriteString(LastConnectedKey, c.stored);
    Plug("QSIM0001", "Monitor A");
    Plug("QSIM0002", "Monitor B");
    Show();

    EXPECT_EQ(form_->size(), QSize(394, 434));
    EXPECT_TRUE(form_->PnlExtend->isVisible());
    EXPECT_EQ(form_->StbMain->geometry(), QRect(0, 415, 394, 19));
    EXPECT_EQ(Entries(),
              (std::vector<std::string>{"QSIM0001 - Monitor A", "QSIM0002 - Monitor B"}));
    EXPECT_EQ(form_->CmbUSBDevices->currentIndex(), c.selected);
    EXPECT_TRUE(form_->BtnConnect->isEnabled());
    ExpectState(c.connects ? State::Connected : State::Idle);
    EXPECT_EQ(script_->log.opens, c.connects ? 1 : 0);
    if (c.connects) {
        EXPECT_EQ(form_->SerialNo, "QSIM0002");
        EXPECT_EQ(form_->StatusText(), "QSIM0002 - Monitor B");
        EXPECT_EQ(settings_->Stored("Device", "LastConnected"), "QSIM0002 - Monitor B");
    } else {
        EXPECT_EQ(form_->StatusText(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(StoredDevice, TwoDevicesTest,
                         ::testing::Values(TwoDeviceCase{"", 0, false},
                                           TwoDeviceCase{"QSIM0003 - Monitor C", 0, false},
                                           TwoDeviceCase{"QSIM0002 - Monitor B", 1, true},
                                           TwoDeviceCase{"qsim0002 - MONITOR b", 1, true}));

TEST_F(MainWindowTest, VerbindenWhileConnectedReopensAndStoresTheEntry) {
    Plug("QSIM0001", "Monitor A");
    Plug("QSIM0002", "Monitor B");
    settings_->WriteString(LastConnectedKey, "QSIM0002 - Monitor B");
    Show();
    ASSERT_TRUE(form_->Connected);

    form_->CmbUSBDevices->setCurrentIndex(0);
    form_->BtnConnect->click();

    EXPECT_EQ(script_->log.closes, 1);
    EXPECT_EQ(script_->log.opens, 2);
    EXPECT_EQ(form_->SerialNo, "QSIM0001");
    EXPECT_EQ(form_->StatusText(), "QSIM0001 - Monitor A");
    EXPECT_EQ(settings_->Stored("Device", "LastConnected"), "QSIM0001 - Monitor A");
    ExpectState(State::Connected);
}

TEST_F(MainWindowTest, DeviceChoiceEnablesVerbindenOnlyWithASelection) {
    Plug("QSIM0001", "Monitor A");
    Plug("QSIM0002", "Monitor B");
    Show();
    form_->CmbUSBDevices->setCurrentIndex(-1);
    form_->CmbUSBDevicesChange();
    EXPECT_FALSE(form_->BtnConnect->isEnabled());
    form_->CmbUSBDevices->setCurrentIndex(1);
    emit form_->CmbUSBDevices->activated(1);
    EXPECT_TRUE(form_->BtnConnect->isEnabled());
    ExpectState(State::Idle);
}

TEST_F(MainWindowTest, FailedOpenOfTheOnlyDeviceAtFirstShowDoesNotRetry) {
    Plug("QSIM0001", "Quarn Monitor", FT_DEVICE_NOT_OPENED);
    Show();
    EXPECT_EQ(form_->StatusText(), "Fehler beim Öffnen: Device not opened...");
    ExpectState(State::Idle);
    EXPECT_EQ(OpenMsgBoxes(), 0);
}

TEST_F(MainWindowTest, FailedOpenDuringRetriesKeepsRetrying) {
    Show();
    ExpectState(State::Searching);
    Plug("QSIM0001", "Quarn Monitor", FT_INSUFFICIENT_RESOURCES);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form_->StatusText() == "Fehler beim Öffnen: Insufficient resources..."; },
        WaitMs));
    ExpectState(State::Searching);

    script_->devices.front().openStatus = FT_OK;
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_->Connected; }, WaitMs));
    ExpectState(State::Connected);
}

TEST_F(MainWindowTest, FailedSettingsWriteEndsTheHandlerWithAStopBox) {
    Plug("QSIM0001", "Monitor A");
    Plug("QSIM0002", "Monitor B");
    settings_->WriteString(LastConnectedKey, "");
    Show();
    settings_->FailWrites = true;
    form_->CmbUSBDevices->setCurrentIndex(1);
    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& box) {
            auto* platformBox = dynamic_cast<QMessageBox*>(&box);
            ASSERT_NE(platformBox, nullptr);
            // Ends with a quote, whose code is below the full stop's: no stop is added.
            EXPECT_EQ(platformBox->text().toStdString(),
                      "Fehler beim Setzen der Daten für 'LastConnected'");
            EXPECT_EQ(platformBox->icon(), QMessageBox::Critical);
            EXPECT_EQ(box.windowTitle(), "lirn-quarn professional");
        })
        .Press("OK");
    form_->BtnConnect->click();
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(form_->StatusText(), "QSIM0002 - Monitor B");
    ExpectState(State::Connected);
}

TEST_F(MainWindowTest, FailedOpenOnVerbindenShowsStopBoxAndChangesNothing) {
    Plug("QSIM0001", "Monitor A", FT_DEVICE_NOT_FOUND);
    Plug("QSIM0002", "Monitor B");
    Show();
    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& box) {
            EXPECT_EQ(AsMsgBox(box).Text(), "Fehler beim Öffnen: Device not found...");
            EXPECT_TRUE(HasIcon(box));
            EXPECT_EQ(box.windowTitle(), "lirn-quarn professional");
        })
        .Press("&OK");
    form_->BtnConnect->click();
    EXPECT_TRUE(answer.Finished());
    ExpectState(State::Idle);
    EXPECT_EQ(settings_->Stored("Device", "LastConnected"), "");
}

TEST_F(MainWindowTest, FailedReopenOnVerbindenLeavesPollingTillTheReadFails) {
    Plug("QSIM0001", "Monitor A", FT_DEVICE_NOT_FOUND);
    Plug("QSIM0002", "Monitor B");
    settings_->WriteString(LastConnectedKey, "QSIM0002 - Monitor B");
    Show();
    ASSERT_TRUE(form_->Connected);
    form_->CmbUSBDevices->setCurrentIndex(0);
    ModalBoxAnswerer answer;
    answer.Press("&OK");
    form_->BtnConnect->click();
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(script_->log.closes, 1);
    ExpectState(State::Connected);

    form_->TmUSB->stop();
    form_->TmUSBTimer();
    EXPECT_EQ(form_->StatusText(), "Fehler: Invalid handle...");
    EXPECT_FALSE(form_->Connected);
    EXPECT_TRUE(form_->TmConnect->isActive());
}

TEST_F(MainWindowTest, LostDeviceReleasesItsHandleSearchesAndReconnects) {
    ShowConnected();
    form_->TmUSB->stop();
    script_->unplug("QSIM0001");
    form_->TmUSBTimer();

    EXPECT_EQ(form_->StatusText(), "Fehler: General IO error...");
    ExpectState(State::Searching);
    EXPECT_EQ(script_->log.closes, 1);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form_->StatusText() == "Kein Gerät zur Blutdruckmessung gefunden."; },
        WaitMs));

    Plug("QSIM0001", "Quarn Monitor");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_->Connected; }, WaitMs));
    EXPECT_EQ(script_->log.opens, 2);
    EXPECT_EQ(form_->StatusText(), "QSIM0001 - Quarn Monitor");
    ExpectState(State::Connected);
}

TEST_F(MainWindowTest, FailedReadWithoutTextEmptiesTheStatusBar) {
    ShowConnected();
    form_->TmUSB->stop();
    script_->readStatus = 18;
    form_->TmUSBTimer();
    EXPECT_EQ(form_->StatusText(), "");
    ExpectState(State::Searching);
}

TEST_F(MainWindowTest, FailedDeviceCountShowsPlainBoxAndLeavesTheState) {
    script_->listStatus = FT_IO_ERROR;
    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& box) {
            EXPECT_EQ(AsMsgBox(box).Text(), "Fehler DeviceCount.4");
            EXPECT_FALSE(HasIcon(box));
        })
        .Press("&OK");
    Show();
    EXPECT_TRUE(answer.Finished());
    ExpectState(State::Idle);
}

TEST_F(MainWindowTest, RetriesDoNotStackDeviceCountBoxes) {
    Show();
    ExpectState(State::Searching);
    int ticks = 0;
    QObject::connect(form_->TmConnect, &QTimer::timeout, [&] { ++ticks; });
    ModalBoxAnswerer answer;
    answer.WaitFor([&](QWidget&) { return ticks >= 3; })
        .Inspect([&](QWidget& box) {
            EXPECT_EQ(AsMsgBox(box).Text(), "Fehler DeviceCount.4");
            EXPECT_EQ(OpenMsgBoxes(), 1);
            script_->listStatus = FT_OK;
        })
        .Press("&OK");
    script_->listStatus = FT_IO_ERROR;
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.Finished(); }, 3 * WaitMs));
    EXPECT_EQ(OpenMsgBoxes(), 0);
    ExpectState(State::Searching);
}

struct FrameCase {
    const char* name;
    const char* frame;
    std::vector<std::string> values;
    bool exportEnabledAfter;
    bool stamped;
    bool checksumBox;
};

class FrameOutcomeTest : public MainWindowTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(FrameOutcomeTest, ShowsTheOutcome) {
    const FrameCase& c = GetParam();
    ShowConnected();
    form_->TmUSB->stop();
    form_->BtnExport->setEnabled(true);
    form_->LblName->setText("Muster, Erika");
    form_->LblPatNo->setText("4711");
    form_->LblDateTime->setText("earlier");
    const TDateTime before = NowAsDateTime();

    script_->arrive(c.frame);
    ModalBoxAnswerer answer;
    if (c.checksumBox) {
        answer
            .Inspect([](QWidget& box) {
                EXPECT_EQ(AsMsgBox(box).Text(),
                          "Es ist ein Prüfsummen-Fehler bei der Datenübertragung aufgetreten."
                          "\r\nBitte Messung wiederholen.");
                EXPECT_TRUE(HasIcon(box));
            })
            .Press("&OK");
    }
    form_->TmUSBTimer();
    EXPECT_TRUE(!c.checksumBox || answer.Finished());

    EXPECT_EQ(Values(), c.values);
    EXPECT_EQ(form_->BtnExport->isEnabled(), c.exportEnabledAfter);
    const bool patientCleared = c.stamped || std::string(c.frame).rfind("85", 0) == 0;
    const bool untouched = !patientCleared;
    EXPECT_EQ(Label(form_->LblName), untouched ? "Muster, Erika" : "-");
    EXPECT_EQ(Label(form_->LblPatNo), untouched ? "4711" : "-");
    if (c.stamped) {
        const TDateTime at = form_->Measurement.MeasuredAt;
        EXPECT_GE(at, before);
        EXPECT_LE(at, NowAsDateTime());
        const DateTimeParts p = DecodeDateTime(at);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%02d.%02d.%04d %02d:%02d", p.day, p.month, p.year,
                      p.hour, p.minute);
        EXPECT_EQ(Label(form_->LblDateTime), expected);
    } else {
        EXPECT_EQ(Label(form_->LblDateTime), "earlier");
        EXPECT_EQ(form_->Measurement.MeasuredAt, 0.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Frames, FrameOutcomeTest,
    ::testing::Values(
        FrameCase{"Valid", "801E50485F0059", {"110", "80", "72", "95", "Nein"}, false, true, false},
        FrameCase{
            "Arrhythmia", "802D5A3C6B0121", {"135", "90", "60", "107", "Ja"}, false, true, false},
        FrameCase{
            "LowerCase", "801e50485f0059", {"110", "80", "72", "95", "Nein"}, false, true, false},
        FrameCase{"Checksum", "801E50485F0058", {"0", "0", "0", "0", "0"}, false, false, true},
        FrameCase{"Status", "85000000000000", {"0", "0", "0", "0", "0"}, false, false, false},
        FrameCase{"Other", "90123456789012", {"-", "-", "-", "-", "-"}, true, false, false},
        FrameCase{"Nothing", "", {"-", "-", "-", "-", "-"}, true, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct SplitCase {
    const char* name;
    std::vector<std::pair<uint64_t, std::string>> arrivals;
    std::vector<std::string> values;
    bool checksumBox;
};

class SplitFrameTest : public MainWindowTest, public ::testing::WithParamInterface<SplitCase> {};

// A poll takes what waits and then only the rest of a begun frame, for 50 ms at most; bytes
// arriving after that belong to a later poll.
TEST_P(SplitFrameTest, FrameStraddlingTheReadTimeoutIsDecodedWhole) {
    const SplitCase& c = GetParam();
    ShowConnected();
    form_->TmUSB->stop();
    for (const auto& [atMs, bytes] : c.arrivals) {
        script_->arriveIn(atMs, bytes);
    }
    ModalBoxAnswerer answer;
    if (c.checksumBox) {
        answer.Press("&OK");
    }
    form_->TmUSBTimer();
    EXPECT_TRUE(!c.checksumBox || answer.Finished());
    EXPECT_EQ(Values(), c.values);

    const std::vector<std::string> shown = Values();
    form_->TmUSBTimer();
    EXPECT_EQ(Values(), shown) << "the next poll found a frame tail";
    EXPECT_EQ(OpenMsgBoxes(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Splits, SplitFrameTest,
    ::testing::Values(
        SplitCase{"AfterEightBytes",
                  {{0, "801E5048"}, {7, "5F0059"}},
                  {"110", "80", "72", "95", "Nein"},
                  false},
        SplitCase{"AfterTheFirstByte",
                  {{0, "8"}, {15, "02D5A3C6B0121"}},
                  {"135", "90", "60", "107", "Ja"},
                  false},
        SplitCase{
            "StatusFrame", {{0, "8500"}, {13, "0000000000"}}, {"0", "0", "0", "0", "0"}, false},
        SplitCase{"RestNeverComes", {{0, "801E5048"}}, {"0", "0", "0", "0", "0"}, true},
        SplitCase{"RestAfterTheReadTimeout",
                  {{0, "801E5048"}, {60, "5F0059"}},
                  {"0", "0", "0", "0", "0"},
                  true},
        SplitCase{"GarbledStaysAnError",
                  {{0, "801E5048"}, {15, "5F005B"}},
                  {"0", "0", "0", "0", "0"},
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

struct NoisyCase {
    const char* name;
    std::string before;
};

class NoisyLineTest : public MainWindowTest, public ::testing::WithParamInterface<NoisyCase> {};

TEST_P(NoisyLineTest, FrameBehindTheNoiseIsShownInTheSamePoll) {
    ShowConnected();
    form_->TmUSB->stop();
    script_->arrive(GetParam().before + "802D5A3C6B0121");
    form_->TmUSBTimer();
    EXPECT_EQ(Values(), (std::vector<std::string>{"135", "90", "60", "107", "Ja"}));
    EXPECT_EQ(OpenMsgBoxes(), 0);
}

std::string LineNoise(size_t count) {
    const std::string pattern("\x00\xff\x55\xaa\x13\x7f\x20\xfe", 8);
    std::string noise;
    while (noise.size() < count) {
        noise += pattern;
    }
    return noise.substr(0, count);
}

INSTANTIATE_TEST_SUITE_P(Noise, NoisyLineTest,
                         ::testing::Values(NoisyCase{"StrayByte", std::string(1, '\0')},
                                           NoisyCase{"NoiseOf1400Bytes", LineNoise(1400)},
                                           NoisyCase{"FalseMeasurementStart", "80"},
                                           NoisyCase{"FalseStatusStart", "85zz"}),
                         [](const auto& info) { return std::string(info.param.name); });

// 96/80/64 with MAD 0 would pass the checksum if zeros stood for the rest of the frame.
TEST_F(MainWindowTest, MeasurementCutShortByUnpluggingAsksToRepeatAndShowsNoValues) {
    ShowConnected();
    form_->TmUSB->stop();
    form_->LblDateTime->setText("earlier");
    script_->arrive("80105040");
    script_->readsBeforeUnplug = 1;
    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& box) {
            EXPECT_EQ(AsMsgBox(box).Text(),
                      "Es ist ein Prüfsummen-Fehler bei der Datenübertragung aufgetreten."
                      "\r\nBitte Messung wiederholen.");
        })
        .Press("&OK");
    form_->TmUSBTimer();
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(Values(), (std::vector<std::string>{"0", "0", "0", "0", "0"}));
    EXPECT_EQ(Label(form_->LblDateTime), "earlier");
    EXPECT_FALSE(form_->BtnExport->isEnabled());
    EXPECT_EQ(form_->StatusText(), "Fehler: General IO error...");
}

TEST_F(MainWindowTest, StreamOfBadFramesKeepsOneChecksumBoxAndUpdatesTheValues) {
    ShowConnected();
    script_->arrive("801E50485F0058");
    int fed = 0;
    ModalBoxAnswerer answer;
    answer.Inspect([&](QWidget&) { script_->arrive("802D5A3C6B0121"); })
        .WaitFor([&](QWidget&) { return Label(form_->LblUSBSystole) == "135"; })
        .WaitFor([&](QWidget&) {
            if (script_->pendingBytes() == 0 && fed < 5) {
                script_->arrive("801E50485F0058");
                ++fed;
            }
            return fed == 5 && script_->pendingBytes() == 0 && Label(form_->LblUSBSystole) == "0";
        })
        .Inspect([&](QWidget&) { EXPECT_EQ(OpenMsgBoxes(), 1); })
        .Press("&OK");
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.Finished(); }, WaitMs));
    EXPECT_EQ(OpenMsgBoxes(), 0);
    EXPECT_EQ(Values(), (std::vector<std::string>{"0", "0", "0", "0", "0"}));
}

TEST_F(MainWindowTest, FrameArrivingWhileTheChecksumBoxIsOpenIsHandledInside) {
    ShowConnected();
    script_->arrive("801E50485F0058");
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget&) {
            EXPECT_EQ(Values(), (std::vector<std::string>{"0", "0", "0", "0", "0"}));
            script_->arrive("802D5A3C6B0121");
        })
        .WaitFor([&](QWidget&) { return Label(form_->LblUSBSystole) == "135"; })
        .Press("&OK");
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.Finished(); }, WaitMs));
    EXPECT_EQ(Values(), (std::vector<std::string>{"135", "90", "60", "107", "Ja"}));
    EXPECT_EQ(OpenMsgBoxes(), 0);
}

TEST_F(MainWindowTest, ValidMeasurementRestoresAMinimizedWindow) {
    ShowConnected();
    form_->TmUSB->stop();
    form_->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form_->isMinimized(); }, WaitMs));
    script_->arrive("801E50485F0059");
    form_->TmUSBTimer();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form_->isMinimized(); }, WaitMs));
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(Label(form_->LblUSBSystole), "110");
}

struct PlacementCase {
    const char* stored;
    bool restored;
    QPoint position;
    bool maximized;
};

class PlacementTest : public MainWindowTest, public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(PlacementTest, FixedWindowKeepsItsSizeOnA1024x768Screen) {
    const PlacementCase& c = GetParam();
    form_ = std::make_unique<TFrmMain>();
    form_->move(33, 44);
    if (c.stored) {
        settings_->WriteString("Forms\rFrmMain", c.stored);
    }
    EXPECT_EQ(RestoreFormPlacement(*form_, nullptr, QSize(1024, 768)), c.restored);
    EXPECT_EQ(form_->isMaximized(), c.maximized);
    if (!c.maximized) {
        EXPECT_EQ(form_->pos(), c.position);
    }
    EXPECT_EQ(form_->size(), QSize(394, 384));
    EXPECT_EQ(settings_->Stored("Forms", "FrmMain"), std::string(c.stored ? c.stored : ""));
}

INSTANTIATE_TEST_SUITE_P(
    Screen1024x768, PlacementTest,
    ::testing::Values(PlacementCase{nullptr, false, {33, 44}, false},
                      PlacementCase{"408,245,400,460,0", true, {408, 245}, false},
                      PlacementCase{"900,100,300,200,0", true, {724, 100}, false},
                      PlacementCase{"0,0,1200,900,0", true, {624, 368}, false},
                      PlacementCase{"724,568,300,200,0", true, {724, 568}, false},
                      PlacementCase{"-50,10,300,200,0", true, {-50, 10}, false},
                      PlacementCase{"120,80,300,200,7", true, {120, 80}, false},
                      PlacementCase{"120,80,300,200,-1", true, {120, 80}, false},
                      PlacementCase{"120,80,300,200", true, {120, 80}, false},
                      PlacementCase{"120,80,300,200,2", true, {33, 44}, true}));

TEST_F(MainWindowTest, PlacementIsRestoredAtFirstShowOnlyAndSavedAtClose) {
    settings_->WriteString("Forms\rFrmMain", "120,80,394,384,0");
    Show();
    EXPECT_EQ(form_->pos(), QPoint(120, 80));
    form_->move(60, 70);
    form_->TmConnectTimer();
    EXPECT_EQ(form_->pos(), QPoint(60, 70));

    form_->close();
    const QRect outer = form_->frameGeometry();
    EXPECT_EQ(settings_->Stored("Forms", "FrmMain"),
              std::to_string(outer.x()) + "," + std::to_string(outer.y()) + "," +
                  std::to_string(outer.width()) + "," + std::to_string(outer.height()) + ",0");
}

TEST_F(MainWindowTest, EscapeClosesAndReleasesTheDevice) {
    ShowConnected();
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    QTest::keyClick(form_.get(), Qt::Key_Escape);
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(script_->log.closes, 1);
    EXPECT_FALSE(form_->TmUSB->isActive());
    EXPECT_TRUE(settings_->Stored("Forms", "FrmMain").has_value());
}

struct PdfCase {
    const char* name;
    bool fileExists;
    bool locked;
};

class PdfAtCloseTest : public MainWindowTest, public ::testing::WithParamInterface<PdfCase> {
protected:
    ScopedTestHome home_;
};

// A report the window did not write, perhaps the one another window shows, stays.
TEST_P(PdfAtCloseTest, LeavesAReportItDidNotWrite) {
    const PdfCase& c = GetParam();
    const fs::path folder = home_.root() / "pdf";
    fs::create_directories(folder);
    const fs::path pdf = folder / "lirn.pdf";
    if (c.fileExists) {
        std::ofstream(pdf) << "%PDF-1.4";
    }
    settings_->WriteString(PdfFolderKey, folder.string());
    Show();

    ModalBoxAnswerer noBox(std::chrono::seconds(2));
    {
        std::unique_ptr<ScopedBlockedFile> blocked;
        if (c.locked) {
            blocked = std::make_unique<ScopedBlockedFile>(pdf);
        }
        form_->close();
    }
    EXPECT_TRUE(noBox.Finished()) << "a box was shown";
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(fs::exists(pdf), c.fileExists);
}

INSTANTIATE_TEST_SUITE_P(Cases, PdfAtCloseTest,
                         ::testing::Values(PdfCase{"Deletable", true, false},
                                           PdfCase{"Missing", false, false},
                                           PdfCase{"Locked", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, CloseWithoutPdfFolderTouchesNoFileOutsideIt) {
    // The fixture's PDF folder taken away again.
    settings_->WriteString(PdfFolderKey, "");
    Show();
    form_->close();
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(settings_->Stored("Directories", "PDF"), "");
}

} // namespace
