#include "app/Main.h"
#include "app/SettingKeys.h"
#include "app/UntSettings.h"
#include "common/BlockedFile.h"
#include "common/ReadOnlyRegistry.h"
#include "common/TestEnvironment.h"
#include "common/support/MemorySettings.h"
#include "common/widgets/ModalBoxAnswerer.h"
#include "common/widgets/TestApplication.h"
#include "common/window/MainWindowFixture.h"
#include "platform/Errors.h"
#include "platform/files/Files.h"
#include "platform/registry/Registry.h"
#include "support/VexMsgFlags.h"
#include "support/VexSettings.h"
#include "support/widgets/VexFonts.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const ValidFolderRequest = "\r\nBitte gültiges Verzeichnis angeben.";

TFrmSettings* AsSettings(QWidget& box) {
    auto* form = dynamic_cast<TFrmSettings*>(&box);
    EXPECT_NE(form, nullptr) << "not the settings dialog";
    return form;
}

// The dialogs still alive anywhere in the application.
int LiveSettingsDialogs() {
    int live = 0;
    for (QWidget* widget : QApplication::allWidgets()) {
        live += dynamic_cast<TFrmSettings*>(widget) ? 1 : 0;
    }
    return live;
}

struct BoxCall {
    std::string text;
    int32_t flags = 0;
    bool owned = false;
};

std::vector<BoxCall> boxCalls;

int32_t RecordingBox(const std::string& text, int32_t flags, QWidget* owner) {
    boxCalls.push_back({text, flags, owner != nullptr});
    return IDOK;
}

// Every write in its order; a write of failAt throws as a hive that cannot be written does.
class RecordingSettings : public MemorySettings {
public:
    void WriteString(const std::string& keyPath, const std::string& value) override {
        writes.push_back(keyPath);
        if (keyPath == failAt) {
            throw RegistryError("Fehler beim Setzen der Daten für 'Print'");
        }
        MemorySettings::WriteString(keyPath, value);
    }

    std::vector<std::string> writes;
    std::string failAt;
};

class SettingsDialogTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        savedBox_ = MessageBoxHook;
        boxCalls.clear();
        // No test ever opens a real platform dialog.
        FolderBrowserHook = [](QWidget*, const std::string&, const std::string&) {
            ADD_FAILURE() << "folder browser opened";
            return std::string();
        };
        FileOpenHook = [](QWidget*, const std::string&, const std::string&) {
            ADD_FAILURE() << "file dialog opened";
            return std::optional<std::string>();
        };
        pdf_ = MakeFolder("pdf");
        gdt_ = MakeFolder("gdt");
    }

    void TearDown() override {
        MessageBoxHook = savedBox_;
        FolderBrowserHook = savedBrowser_;
        FileOpenHook = savedFileOpen_;
        MainWindowFixture::TearDown();
    }

    std::string MakeFolder(const std::string& name) {
        const fs::path folder = home_.root() / name;
        fs::create_directories(folder);
        return folder.string();
    }

    static void MakeReport(const std::string& folder) {
        std::ofstream(fs::path(folder) / "lirn.pdf") << "%PDF-1.4";
    }

    // The report's path as the program writes it in a message.
    static std::string ReportIn(const std::string& folder) {
        return folder + PathSeparator + "lirn.pdf";
    }

    static bool HasReport(const std::string& folder) {
        return fs::exists(fs::path(folder) / "lirn.pdf");
    }

    // Settings that pass every check.
    void StoreValidSettings() {
        settings_->WriteString(PdfFolderKey, pdf_);
        settings_->WriteString(PdfShowKey, FlagOff);
        settings_->WriteString(PdfPrintKey, FlagOff);
        settings_->WriteString(ImportPathKey, gdt_ + "/import.gdt");
        settings_->WriteString(ExportPathKey, gdt_ + "/export.gdt");
    }

    std::string Stored(const char* section, const char* name) const {
        return settings_->Stored(section, name).value_or("<none>");
    }

    // The five stored settings in the dialog's order.
    std::vector<std::string> StoredFive() const {
        return {Stored("Directories", "PDF"), Stored("PDF", "Show"), Stored("PDF", "Print"),
                Stored("GDT", "Import"), Stored("GDT", "Export")};
    }

    ScopedTestHome home_;
    std::string pdf_;
    std::string gdt_;

private:
    TMessageBoxHook savedBox_ = nullptr;
    TFolderBrowserHook savedBrowser_ = FolderBrowserHook;
    TFileOpenHook savedFileOpen_ = FileOpenHook;
};

// --- the dialog as it opens ---------------------------------------------------------------------

class SettingsLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApplication();
        // Labels are measured in the font the dialog shows where the replacements are installed.
        RegisterWindowsFontReplacements();
        form_ = std::make_unique<TFrmSettings>(nullptr);
    }

    template <typename T = QWidget> T* Control(const char* name) {
        T* control = form_->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    std::unique_ptr<TFrmSettings> form_;
};

TEST_F(SettingsLayoutTest, DialogHasItsCaptionFixedSizeAndFont) {
    EXPECT_EQ(form_->objectName(), "FrmSettings");
    EXPECT_EQ(form_->windowTitle(), "Einstellungen");
    EXPECT_EQ(form_->size(), QSize(530, 272));
    EXPECT_EQ(form_->minimumSize(), form_->maximumSize());
    const Qt::WindowFlags flags = form_->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::Dialog));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(form_->font().family(), "MS Sans Serif");
    EXPECT_EQ(form_->font().pixelSize(), 11);
}

struct ControlCase {
    const char* name;
    const char* parent;
    QRect geometry;
    const char* caption;
};

TEST_F(SettingsLayoutTest, ControlsSitAtTheirPlacesWithTheirCaptions) {
    const ControlCase cases[] = {
        {"BtnCancel", "FrmSettings", QRect(435, 236, 85, 25), "Abbruch"},
        {"BtnOK", "FrmSettings", QRect(340, 236, 85, 25), "OK"},
        {"GrpPDF", "FrmSettings", QRect(8, 20, 512, 109), "PDF"},
        {"ChbShow", "GrpPDF", QRect(8, 64, 97, 17), "&Anzeigen"},
        {"ChbPrint", "GrpPDF", QRect(8, 84, 97, 17), "&Drucken"},
        {"GrpGDT", "FrmSettings", QRect(8, 138, 512, 88), "GDT"},
        {"EdtImportFile", "GrpGDT", QRect(75, 20, 400, 21), ""},
        {"EdtExportFile", "GrpGDT", QRect(75, 50, 400, 21), ""},
        {"EdtDirectory", "GrpPDF", QRect(8, 38, 400, 21), ""},
        {"BtnDirectory", "GrpPDF", QRect(415, 37, 23, 22), ""},
        {"BtnExpFile", "GrpGDT", QRect(478, 49, 23, 22), ""},
        {"BtnImpFile", "GrpGDT", QRect(478, 19, 23, 22), ""},
    };
    for (const ControlCase& c : cases) {
        QWidget* control = Control(c.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->parentWidget()->objectName(), c.parent) << c.name;
        EXPECT_EQ(control->geometry(), c.geometry) << c.name;
        QString caption;
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            caption = button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
            caption = group->title();
        } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            caption = edit->text();
        }
        EXPECT_EQ(caption, QString::fromUtf8(c.caption)) << c.name;
    }
    EXPECT_TRUE(form_->BtnOK->isDefault());
}

struct LabelCase {
    const char* name;
    const char* parent;
    QPoint topLeft;
    const char* text;
    const char* buddy;
};

TEST_F(SettingsLayoutTest, LabelsFitAndLeadToTheirEdits) {
    const LabelCase cases[] = {
        {"Label1", "GrpGDT", {8, 24}, "&Import-Datei", "EdtImportFile"},
        {"Label2", "GrpGDT", {8, 54}, "&Export-Datei", "EdtExportFile"},
        {"LblDir",
         "GrpPDF",
         {8, 18},
         "&Zielordner, in dem die PDF-Datei abgelegt werden soll",
         "EdtDirectory"},
    };
    for (const LabelCase& c : cases) {
        QLabel* label = Control<QLabel>(c.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->parentWidget()->objectName(), c.parent) << c.name;
        EXPECT_EQ(label->pos(), c.topLeft) << c.name;
        EXPECT_EQ(label->text(), QString::fromUtf8(c.text)) << c.name;
        ASSERT_NE(label->buddy(), nullptr) << c.name;
        EXPECT_EQ(label->buddy()->objectName(), c.buddy) << c.name;
        const QString shown = label->text().remove('&');
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(shown)) << c.name;
        EXPECT_LE(label->geometry().right(), label->parentWidget()->width()) << c.name;
    }
}

TEST_F(SettingsLayoutTest, BrowseButtonsAreFlatWithoutFocusAndShowTheMagnifier) {
    for (const char* name : {"BtnDirectory", "BtnExpFile", "BtnImpFile"}) {
        auto* button = Control<QToolButton>(name);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->autoRaise()) << name;
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus) << name;
        EXPECT_EQ(button->toolTip(), "Ordner suchen") << name;
        EXPECT_EQ(button->iconSize(), QSize(16, 16)) << name;
        const QImage picture = button->icon().pixmap(16, 16).toImage();
        ASSERT_EQ(picture.size(), QSize(16, 16)) << name;
        int inked = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                inked += qAlpha(picture.pixel(x, y)) > 128 ? 1 : 0;
            }
        }
        EXPECT_GT(inked, 16 * 16 / 5) << name;
        EXPECT_LT(inked, 16 * 16 * 3 / 4) << name;
        EXPECT_EQ(qAlpha(picture.pixel(0, 15)), 0) << name;
    }
}

TEST_F(SettingsLayoutTest, TabOrderRunsFromTheFolderToCancelThenToAdvanced) {
    QStringList order;
    QWidget* widget = form_->EdtDirectory;
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            order << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != form_->EdtDirectory);
    EXPECT_EQ(order, QStringList({"EdtDirectory", "ChbShow", "ChbPrint", "EdtImportFile",
                                  "EdtExportFile", "BtnOK", "BtnCancel", "BtnAdvanced"}));
    EXPECT_EQ(form_->focusWidget(), form_->EdtDirectory);
}

TEST_F(SettingsLayoutTest, FileDialogFiltersGdtFilesAndAddsTheirExtension) {
    EXPECT_EQ(form_->DlgOpen.Filter, "gdt-Dateien (*.gdt)");
    EXPECT_EQ(form_->DlgOpen.DefaultExt, "gdt");
}

// --- first use, loading and the three checks ----------------------------------------------------

std::optional<std::string> HiveText(const char* section, const char* name) {
    const auto key = RegistryKey::Open(RegistryRoot::CurrentUser,
                                       std::string("Software\\Lirn\\Quarn\\") + section);
    if (!key) {
        return std::nullopt;
    }
    const auto value = key->QueryValue(name);
    if (!value) {
        return std::nullopt;
    }
    return value->data.substr(0, value->data.find('\0'));
}

TEST_F(SettingsDialogTest, FirstUseOnAFreshHiveShowsDefaultsAndRefusesTheEmptyFolder) {
    AppSettings = std::make_unique<TRegistrySettings>("Software/Lirn/Quarn", 1);
    settings_ = nullptr;
    ASSERT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn"));
    Show();

    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& box) {
            TFrmSettings* form = AsSettings(box);
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(form->EdtDirectory->text(), "");
            EXPECT_FALSE(form->ChbShow->isChecked());
            EXPECT_FALSE(form->ChbPrint->isChecked());
            EXPECT_EQ(form->EdtImportFile->text(), "import.gdt");
            EXPECT_EQ(form->EdtExportFile->text(), "export.gdt");
            EXPECT_EQ(form->focusWidget(), form->EdtDirectory);
            form->ChbShow->setChecked(true);
        })
        .Press("OK")
        .Inspect([](QWidget& box) {
            EXPECT_EQ(AsMsgBox(box).Text(), std::string("Der angegebene Ordner <> exitstiert "
                                                        "nicht.\r\nBitte gültiges Verzeichnis "
                                                        "angeben."));
        })
        .Press("&OK")
        .Inspect([](QWidget& box) {
            TFrmSettings* form = AsSettings(box);
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(form->focusWidget(), form->EdtDirectory);
        })
        .Press("Abbruch");
    form_->BtnSettings->click();
    EXPECT_TRUE(answer.Finished());

    // Loading wrote the defaults back; Cancel stored nothing of the edits.
    EXPECT_EQ(HiveText("Directories", "PDF"), "");
    EXPECT_EQ(HiveText("PDF", "Show"), "NO");
    EXPECT_EQ(HiveText("PDF", "Print"), "NO");
    EXPECT_EQ(HiveText("GDT", "Import"), "import.gdt");
    EXPECT_EQ(HiveText("GDT", "Export"), "export.gdt");
}

// Texts with "{pdf}", "{gdt}" (existing folders, closing "/" included) and "{missing}" (a folder
// that does not exist) in them.
struct CheckCase {
    const char* name;
    const char* folder;
    const char* importFile;
    const char* exportFile;
    const char* expectedMessage;
    const char* focused;
};

class CheckOrderTest : public SettingsDialogTest, public ::testing::WithParamInterface<CheckCase> {
protected:
    std::string Expand(std::string text) const {
        const std::pair<std::string, std::string> places[] = {
            {"{pdf}", pdf_ + "/"},
            {"{gdt}", gdt_ + "/"},
            {"{missing}", (home_.root() / "nowhere/").string()}};
        for (const auto& [place, folder] : places) {
            for (size_t at = text.find(place); at != std::string::npos; at = text.find(place)) {
                text.replace(at, place.size(), folder);
            }
        }
        return text;
    }
};

TEST_P(CheckOrderTest, OnlyTheFirstFailingCheckIsReported) {
    const CheckCase& c = GetParam();
    std::ofstream(fs::path(gdt_) / "request.gdt") << "8000";
    settings_->WriteString(PdfFolderKey, Expand(c.folder));
    settings_->WriteString(ImportPathKey, Expand(c.importFile));
    settings_->WriteString(ExportPathKey, Expand(c.exportFile));
    settings_->WriteString(PdfShowKey, FlagOn);
    settings_->WriteString(PdfPrintKey, FlagOff);
    const std::vector<std::string> before = StoredFive();
    MessageBoxHook = RecordingBox;
    Show();

    ModalBoxAnswerer answer;
    answer.Press("OK")
        .Inspect([&](QWidget& box) {
            TFrmSettings* form = AsSettings(box);
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(form->focusWidget()->objectName(), c.focused);
        })
        .Press("Abbruch");
    form_->BtnSettings->click();
    EXPECT_TRUE(answer.Finished());

    ASSERT_EQ(boxCalls.size(), 1u);
    EXPECT_EQ(boxCalls[0].text, Expand(c.expectedMessage) + ValidFolderRequest);
    EXPECT_EQ(boxCalls[0].flags, MB_ICONEXCLAMATION);
    EXPECT_FALSE(boxCalls[0].owned);
    EXPECT_EQ(StoredFive(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckOrderTest,
    ::testing::Values(
        CheckCase{"AllThreeWrong", "{missing}pdf", "{missing}import.gdt", "{missing}export.gdt",
                  "Der angegebene Ordner <{missing}pdf> exitstiert nicht.", "EdtDirectory"},
        CheckCase{"FolderIsAFile", "{gdt}request.gdt", "{gdt}import.gdt", "{gdt}export.gdt",
                  "Der angegebene Ordner <{gdt}request.gdt> exitstiert nicht.", "EdtDirectory"},
        CheckCase{"ImportWithoutFolder", "{pdf}", "import.gdt", "export.gdt",
                  "Der angegebene Ordner der Import-Datei <> exitstiert nicht.", "EdtImportFile"},
        CheckCase{"ImportInMissingFolder", "{pdf}", "{missing}import.gdt", "{missing}export.gdt",
                  "Der angegebene Ordner der Import-Datei <{missing}> exitstiert nicht.",
                  "EdtImportFile"},
        CheckCase{"ExportWithoutFolder", "{pdf}", "{gdt}import.gdt", "export.gdt",
                  "Der angegebene Ordner der Export-Datei <> exitstiert nicht.", "EdtExportFile"},
        CheckCase{"ExportInMissingFolder", "{pdf}", "{gdt}import.gdt", "{missing}export.gdt",
                  "Der angegebene Ordner der Export-Datei <{missing}> exitstiert nicht.",
                  "EdtExportFile"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FlagCase {
    const char* stored;
    bool ticked;
    const char* storedBack;
};

class FlagTest : public SettingsDialogTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(FlagTest, OnlyExactlyYesTicksAndOkStoresYesOrNo) {
    const FlagCase& c = GetParam();
    StoreValidSettings();
    settings_->WriteString(PdfShowKey, c.stored);
    settings_->WriteString(PdfPrintKey, c.stored);
    Show();

    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            TFrmSettings* form = AsSettings(box);
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(form->ChbShow->isChecked(), c.ticked);
            EXPECT_EQ(form->ChbPrint->isChecked(), c.ticked);
        })
        .Press("OK");
    form_->BtnSettings->click();
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(Stored("PDF", "Show"), c.storedBack);
    EXPECT_EQ(Stored("PDF", "Print"), c.storedBack);
}

INSTANTIATE_TEST_SUITE_P(Stored, FlagTest,
                         ::testing::Values(FlagCase{"YES", true, "YES"},
                                           FlagCase{"yes", false, "NO"},
                                           FlagCase{"Yes ", false, "NO"},
                                           FlagCase{"NO", false, "NO"}, FlagCase{"", false, "NO"}));

// --- what OK and Cancel store -------------------------------------------------------------------

TEST_F(SettingsDialogTest, OkStoresTheEditTextsExactlyInOrderAndReturnsOk) {
    auto* recording = new RecordingSettings;
    AppSettings.reset(recording);
    settings_ = recording;
    StoreValidSettings();
    const std::string blankFolder = MakeFolder(" pdf ");
    Show();

    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            TFrmSettings* form = AsSettings(box);
            ASSERT_NE(form, nullptr);
            form->EdtDirectory->setText(QString::fromStdString(blankFolder));
            form->ChbShow->setChecked(true);
            form->EdtImportFile->setText(QString::fromStdString(gdt_ + "/ anfrage.gdt "));
            form->EdtExportFile->setText(QString::fromStdString(gdt_ + "/Ergebnis"));
            recording->writes.clear();
        })
        .Press("OK");
    EXPECT_EQ(TFrmSettings::Execute(form_.get()), mrOk);
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(StoredFive(),
              (std::vector<std::string>{blankFolder, "YES", "NO", gdt_ + "/ anfrage.gdt ",
                                        gdt_ + "/Ergebnis"}));
    // The five writes, then the folder read again for the report file (its value is no
    // default, so reading it writes nothing).
    EXPECT_EQ(recording->writes, (std::vector<std::string>{PdfFolderKey, PdfShowKey, PdfPrintKey,
                                                           ImportPathKey, ExportPathKey}));
    EXPECT_EQ(LiveSettingsDialogs(), 0);
}

struct CancelCase {
    const char* name;
    std::function<void(ModalBoxAnswerer&)> cancel;
};

class CancelTest : public SettingsDialogTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, CancelAfterEditingStoresAndDeletesNothing) {
    StoreValidSettings();
    MakeReport(pdf_);
    const std::string other = MakeFolder("other");
    MakeReport(other);
    const std::vector<std::string> before = StoredFive();
    Show();

    ModalBoxAnswerer answer;
    answer.Inspect([&](QWidget& box) {
        TFrmSettings* form = AsSettings(box);
        ASSERT_NE(form, nullptr);
        form->EdtDirectory->setText(QString::fromStdString(other));
        form->ChbShow->setChecked(true);
        form->ChbPrint->setChecked(true);
        form->EdtImportFile->setText(QString::fromStdString(gdt_ + "/neu.gdt"));
        form->EdtExportFile->setText(QString::fromStdString(gdt_ + "/neu-export.gdt"));
        form->EdtDirectory->setFocus();
    });
    GetParam().cancel(answer);
    EXPECT_EQ(TFrmSettings::Execute(form_.get()), mrCancel);
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(StoredFive(), before);
    EXPECT_TRUE(HasReport(pdf_));
    EXPECT_TRUE(HasReport(other));
    EXPECT_EQ(LiveSettingsDialogs(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, CancelTest,
    ::testing::Values(CancelCase{"Abbruch", [](ModalBoxAnswerer& a) { a.Press("Abbruch"); }},
                      CancelCase{"Escape", [](ModalBoxAnswerer& a) { a.Key(Qt::Key_Escape); }},
                      CancelCase{"CloseBox", [](ModalBoxAnswerer& a) { a.Close(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsDialogTest, EnterInAnEditPressesOk) {
    StoreValidSettings();
    Show();
    ModalBoxAnswerer answer;
    answer.Key(Qt::Key_Return);
    EXPECT_EQ(TFrmSettings::Execute(form_.get()), mrOk);
    EXPECT_TRUE(answer.Finished());
}

// --- the report file after OK -------------------------------------------------------------------

TEST_F(SettingsDialogTest, OkDeletesTheReportInTheNewFolderOnly) {
    StoreValidSettings();
    const std::string newFolder = MakeFolder("neu");
    MakeReport(pdf_);
    MakeReport(newFolder);
    MessageBoxHook = RecordingBox;
    Show();

    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            AsSettings(box)->EdtDirectory->setText(QString::fromStdString(newFolder));
        })
        .Press("OK");
    form_->BtnSettings->click();
    EXPECT_TRUE(answer.Finished());
    EXPECT_FALSE(HasReport(newFolder));
    EXPECT_TRUE(HasReport(pdf_));
    EXPECT_TRUE(boxCalls.empty());
}

TEST_F(SettingsDialogTest, ReportThatCannotBeDeletedIsReportedAndTheSettingsAreStored) {
    StoreValidSettings();
    const std::string newFolder = MakeFolder("gesperrt");
    MakeReport(newFolder);
    Show();

    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            AsSettings(box)->EdtDirectory->setText(QString::fromStdString(newFolder));
            AsSettings(box)->ChbPrint->setChecked(true);
        })
        .Press("OK")
        .Inspect([&](QWidget& box) {
            EXPECT_EQ(AsMsgBox(box).Text(), ReportIn(newFolder) + " konnte nicht gelöscht werden.");
            EXPECT_FALSE(AsMsgBox(box).ImgIcon()->pixmap().isNull());
        })
        .Press("&OK");
    {
        ScopedBlockedFile blocked(ReportIn(newFolder));
        form_->BtnSettings->click();
    }
    EXPECT_TRUE(answer.Finished());
    EXPECT_TRUE(HasReport(newFolder));
    EXPECT_EQ(Stored("Directories", "PDF"), newFolder);
    EXPECT_EQ(Stored("PDF", "Print"), "YES");
}

TEST_F(SettingsDialogTest, DeletionMessageCarriesTheInformationFlagAndNoOwner) {
    StoreValidSettings();
    MakeReport(pdf_);
    MessageBoxHook = RecordingBox;
    Show();

    ModalBoxAnswerer answer;
    answer.Press("OK");
    {
        ScopedBlockedFile blocked(ReportIn(pdf_));
        EXPECT_EQ(TFrmSettings::Execute(form_.get()), mrOk);
    }
    EXPECT_TRUE(answer.Finished());
    ASSERT_EQ(boxCalls.size(), 1u);
    EXPECT_EQ(boxCalls[0].text, ReportIn(pdf_) + " konnte nicht gelöscht werden. ");
    EXPECT_EQ(boxCalls[0].flags, MB_ICONASTERISK);
    EXPECT_FALSE(boxCalls[0].owned);
}

// --- a store that cannot be written -------------------------------------------------------------

TEST_F(SettingsDialogTest, FailingWriteSkipsTheRestAndReachesTheGuardAfterTheDialogIsGone) {
    auto* recording = new RecordingSettings;
    AppSettings.reset(recording);
    settings_ = recording;
    StoreValidSettings();
    MakeReport(pdf_);
    Show();

    QPointer<QWidget> dialog;
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            dialog = AsSettings(box);
            ASSERT_FALSE(dialog.isNull());
            AsSettings(box)->EdtImportFile->setText(QString::fromStdString(gdt_ + "/neu.gdt"));
            recording->writes.clear();
            // After loading, whose write-back of defaults would meet the failure first.
            recording->failAt = PdfPrintKey;
        })
        .Press("OK")
        .Inspect([&](QWidget& box) {
            auto* platformBox = dynamic_cast<QMessageBox*>(&box);
            ASSERT_NE(platformBox, nullptr);
            EXPECT_EQ(platformBox->text().toStdString(),
                      "Fehler beim Setzen der Daten für 'Print'");
            EXPECT_EQ(platformBox->icon(), QMessageBox::Critical);
            EXPECT_TRUE(dialog.isNull());
        })
        .Press("OK");
    form_->BtnSettings->click();
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(recording->writes, (std::vector<std::string>{PdfFolderKey, PdfShowKey, PdfPrintKey}));
    EXPECT_EQ(Stored("GDT", "Import"), gdt_ + "/import.gdt");
    EXPECT_TRUE(HasReport(pdf_));
    EXPECT_EQ(LiveSettingsDialogs(), 0);
}

TEST_F(SettingsDialogTest, ReadOnlyRegistryRaisesTheWriteErrorThroughTheGuard) {
    AppSettings = std::make_unique<TRegistrySettings>("Software/Lirn/Quarn", 1);
    settings_ = nullptr;
    AppSettings->WriteString(PdfFolderKey, pdf_);
    AppSettings->WriteString(ImportPathKey, gdt_ + "/import.gdt");
    AppSettings->WriteString(ExportPathKey, gdt_ + "/export.gdt");
    MakeReport(pdf_);
    Show();

    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& box) {
            TFrmSettings* form = AsSettings(box);
            ASSERT_NE(form, nullptr);
            EXPECT_FALSE(form->ChbShow->isChecked());
            form->ChbShow->setChecked(true);
        })
        .Press("OK")
        .Inspect([](QWidget& box) {
            auto* platformBox = dynamic_cast<QMessageBox*>(&box);
            ASSERT_NE(platformBox, nullptr);
            EXPECT_EQ(platformBox->text().toStdString(), "Fehler beim Setzen der Daten für 'PDF'");
            EXPECT_EQ(platformBox->icon(), QMessageBox::Critical);
            EXPECT_EQ(box.windowTitle(), "lirn-quarn professional");
        })
        .Press("OK");
    {
        ScopedReadOnlyRegistry readOnly;
        form_->BtnSettings->click();
    }
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(LiveSettingsDialogs(), 0);
    EXPECT_TRUE(HasReport(pdf_));
    EXPECT_NE(HiveText("PDF", "Show"), "YES");
    EXPECT_TRUE(form_->isVisible());
}

// --- folder browser and file dialog -------------------------------------------------------------

struct BrowserCase {
    const char* name;
    const char* result;
    const char* edit;
};

class BrowserTest : public SettingsDialogTest, public ::testing::WithParamInterface<BrowserCase> {};

TEST_P(BrowserTest, FolderBrowserResultReplacesTheFolderUnlessBlank) {
    const BrowserCase& c = GetParam();
    settings_->WriteString(PdfFolderKey, "/srv/alt");
    std::vector<std::pair<std::string, std::string>> asked;
    FolderBrowserHook = [&](QWidget*, const std::string& root, const std::string& title) {
        asked.emplace_back(root, title);
        return std::string(c.result);
    };
    Show();

    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            TFrmSettings* form = AsSettings(box);
            ASSERT_NE(form, nullptr);
            form->BtnDirectory->click();
            EXPECT_EQ(form->EdtDirectory->text().toStdString(), c.edit);
        })
        .Press("Abbruch");
    form_->BtnSettings->click();
    EXPECT_TRUE(answer.Finished());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].first, QDir::toNativeSeparators(QDir::rootPath()).toStdString());
    EXPECT_EQ(asked[0].second, "Bitte wählen Sie einen Ordner aus.");
}

INSTANTIATE_TEST_SUITE_P(Results, BrowserTest,
                         ::testing::Values(BrowserCase{"Cancelled", "", "/srv/alt"},
                                           BrowserCase{"Blanks", "  \t ", "/srv/alt"},
                                           BrowserCase{"Chosen", "/srv/pdf", "/srv/pdf"},
                                           BrowserCase{"ChosenWithBlanks", " /srv/pdf ",
                                                       " /srv/pdf "}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BrowseForFolderTest, StartsAtTheFileSystemRootAndShowsNothingForAnUnknownFolderId) {
    TestApplication();
    const TFolderBrowserHook saved = FolderBrowserHook;
    std::vector<std::string> roots;
    FolderBrowserHook = [&](QWidget*, const std::string& root, const std::string&) {
        roots.push_back(root);
        return std::string("/srv");
    };
    EXPECT_EQ(BrowseForFolder(CSIDL_DRIVES, "Titel"), "/srv");
    EXPECT_EQ(BrowseForFolder(5, "Titel"), "");
    FolderBrowserHook = saved;
    ASSERT_EQ(roots.size(), 1u);
    const fs::path root(roots[0]);
    EXPECT_EQ(root, root.root_path());
    EXPECT_TRUE(fs::is_directory(root));
}

struct FileCase {
    const char* name;
    std::optional<std::string> result;
    const char* edit;
};

class FileDialogTest : public SettingsDialogTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(FileDialogTest, ChosenFileReplacesTheEditWithTheGdtExtensionWhereMissing) {
    const FileCase& c = GetParam();
    settings_->WriteString(ImportPathKey, "/srv/gdt/anfrage.gdt");
    settings_->WriteString(ExportPathKey, "/srv/gdt/ergebnis.gdt");
    std::vector<std::pair<std::string, std::string>> asked;
    FileOpenHook = [&](QWidget*, const std::string& fileName, const std::string& filter) {
        asked.emplace_back(fileName, filter);
        return c.result;
    };
    Show();

    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            TFrmSettings* form = AsSettings(box);
            ASSERT_NE(form, nullptr);
            form->BtnImpFile->click();
            EXPECT_EQ(form->EdtImportFile->text().toStdString(), c.edit);
            EXPECT_EQ(form->EdtExportFile->text().toStdString(), "/srv/gdt/ergebnis.gdt");
            form->BtnExpFile->click();
            EXPECT_EQ(form->EdtExportFile->text().toStdString(),
                      c.result ? c.edit : "/srv/gdt/ergebnis.gdt");
        })
        .Press("Abbruch");
    form_->BtnSettings->click();
    EXPECT_TRUE(answer.Finished());
    using Asked = std::pair<std::string, std::string>;
    EXPECT_EQ(asked, (std::vector<Asked>{{"/srv/gdt/anfrage.gdt", "gdt-Dateien (*.gdt)"},
                                         {"/srv/gdt/ergebnis.gdt", "gdt-Dateien (*.gdt)"}}));
}

INSTANTIATE_TEST_SUITE_P(
    Results, FileDialogTest,
    ::testing::Values(
        FileCase{"Cancelled", std::nullopt, "/srv/gdt/anfrage.gdt"},
        FileCase{"WithExtension", "/praxis/gdt/auftrag.gdt", "/praxis/gdt/auftrag.gdt"},
        FileCase{"OtherExtension", "/praxis/gdt/AUFTRAG.TXT", "/praxis/gdt/AUFTRAG.TXT"},
        FileCase{"TypedWithoutExtension", "/praxis/gdt/auftrag", "/praxis/gdt/auftrag.gdt"},
        FileCase{"DotInTheFolderOnly", "/praxis/gdt.v2/auftrag", "/praxis/gdt.v2/auftrag.gdt"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlatformDialogsTest, FolderBrowserOffersFoldersOnlyFromTheRoot) {
    TestApplication();
    const QString root = QDir::rootPath();
    const auto browser =
        NewFolderBrowser(nullptr, root.toStdString(), "Bitte wählen Sie einen Ordner aus.");
    EXPECT_EQ(browser->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(browser->testOption(QFileDialog::ShowDirsOnly));
    EXPECT_EQ(browser->directory().absolutePath(), root);
    EXPECT_EQ(browser->windowTitle(), "Bitte wählen Sie einen Ordner aus.");
    EXPECT_FALSE(browser->isVisible());
}

TEST(PlatformDialogsTest, FileDialogOpensAnyGdtNameInTheFolderOfTheEdit) {
    TestApplication();
    ScopedTestHome home;
    const fs::path folder = home.root() / "gdt";
    fs::create_directories(folder);
    const auto dialog =
        NewFileOpenDialog(nullptr, (folder / "import.gdt").string(), "gdt-Dateien (*.gdt)");
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(dialog->nameFilters(), QStringList({"gdt-Dateien (*.gdt)"}));
    EXPECT_TRUE(fs::equivalent(dialog->directory().absolutePath().toStdString(), folder));
    EXPECT_FALSE(dialog->isVisible());
}

// --- the dialog beside the main window ----------------------------------------------------------

TEST_F(SettingsDialogTest, MeasurementArrivingWhileTheDialogIsOpenIsShown) {
    StoreValidSettings();
    ShowConnected();
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            ASSERT_NE(AsSettings(box), nullptr);
            script_->arrive("802D5A3C6B0121");
        })
        .WaitFor([&](QWidget&) { return Label(form_->LblUSBSystole) == "135"; })
        .Inspect([&](QWidget& box) {
            EXPECT_NE(dynamic_cast<TFrmSettings*>(&box), nullptr);
            EXPECT_EQ(Label(form_->LblUSBArr), "Ja");
            EXPECT_NE(Label(form_->LblDateTime), "-");
        })
        .Press("Abbruch");
    form_->BtnSettings->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.Finished(); }, WaitMs));
    EXPECT_TRUE(form_->TmUSB->isActive());
}

TEST_F(SettingsDialogTest, DialogOpensCentredOverItsOwner) {
    StoreValidSettings();
    Show();
    form_->move(300, 300);
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            EXPECT_EQ(box.parentWidget(), form_.get());
            const QPoint offset = box.frameGeometry().center() - form_->frameGeometry().center();
            EXPECT_LE(offset.manhattanLength(), 2);
        })
        .Press("Abbruch");
    form_->BtnSettings->click();
    EXPECT_TRUE(answer.Finished());
}

struct AccessKeyCase {
    Qt::Key key;
    const char* focused;
};

TEST_F(SettingsDialogTest, AccessKeysReachTheirControls) {
    StoreValidSettings();
    Show();
    const AccessKeyCase cases[] = {{Qt::Key_I, "EdtImportFile"},
                                   {Qt::Key_E, "EdtExportFile"},
                                   {Qt::Key_Z, "EdtDirectory"},
                                   {Qt::Key_A, "ChbShow"},
                                   {Qt::Key_D, "ChbPrint"}};
    ModalBoxAnswerer answer;
    answer.WaitFor([](QWidget& box) { return box.isActiveWindow(); });
    for (const AccessKeyCase& c : cases) {
        answer.Key(c.key, Qt::AltModifier).Inspect([&](QWidget& box) {
            EXPECT_EQ(box.focusWidget()->objectName(), c.focused);
        });
    }
    // A check box's access key ticks it with the button's short press animation.
    answer
        .WaitFor([](QWidget& box) {
            TFrmSettings* form = AsSettings(box);
            return form && form->ChbShow->isChecked() && form->ChbPrint->isChecked();
        })
        .Press("Abbruch");
    form_->BtnSettings->click();
    EXPECT_TRUE(answer.Finished());
}

} // namespace
