#include "app/Main.h"
#include "app/ReportFile.h"
#include "app/SettingKeys.h"
#include "app/UntSettings.h"
#include "common/BlockedFile.h"
#include "common/FileBytes.h"
#include "common/GdtFiles.h"
#include "common/TestEnvironment.h"
#include "common/report/PdfTools.h"
#include "common/widgets/ModalBoxAnswerer.h"
#include "common/window/MainWindowFixture.h"
#include "platform/files/Files.h"
#include "platform/shell/Shell.h"
#include "support/VexFiles.h"
#include "support/VexMsgFlags.h"
#include "support/widgets/VexFrmMsgBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const char* const ValidFrame = "801E50485F0059";
const char* const OtherFrame = "802D5A3C6B0121";
// 120/80, pulse 70.
const char* const ThirdFrame = "8028504660005E";
const char* const ChecksumErrorFrame = "801E50485F0058";
const char* const NoFolderText =
    "PDF-Datei konnte nicht erzeugt werden, da kein Zielordner festgelegt wurde.";
const char* const ProjectFiles[] = {"LirnQuarn.rav", "LirnQuarnLogo.png",
                                    "LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf",
                                    "LiberationSans-Italic.ttf"};

const std::string MusterErika = L("80006302") + L("8316PRAXIS01") + L("921802.10") + L("30004711") +
                                L("3101Muster") + L("3102Erika") + L("310305031950");

std::string Contains(const std::string& text, const std::string& part) {
    return text.find(part) == std::string::npos ? "\"" + part + "\" missing in: " + text : "";
}

bool ShowsWarningIcon(TFrmMsgBox& box) {
    const QPixmap expected = box.style()
                                 ->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, &box)
                                 .pixmap(QSize(32, 32), box.devicePixelRatio());
    return box.ImgIcon()->pixmap().toImage() == expected.toImage();
}

// The error guard's box: the platform box with the stop icon.
std::string GuardBoxText(QWidget& box) {
    auto* platformBox = dynamic_cast<QMessageBox*>(&box);
    if (!platformBox) {
        return "<not the error guard's box>";
    }
    EXPECT_EQ(platformBox->icon(), QMessageBox::Critical);
    return platformBox->text().toStdString();
}

struct HandOff {
    ShellVerb verb;
    std::string path;

    bool operator==(const HandOff&) const = default;
};

void PrintTo(const HandOff& handOff, std::ostream* out) {
    *out << (handOff.verb == ShellVerb::Open ? "open " : "print ") << handOff.path;
}

// The connected window with the program's own report project beside a program folder of the
// test, a PDF folder, and a shell that only records what it is handed.
class MainReportTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        savedProgramDir_ = ProgramDir;
        programDir_ = home_.root() / "program";
        pdfDir_ = home_.root() / "pdf";
        fs::create_directories(programDir_);
        fs::create_directories(pdfDir_);
        for (const char* file : ProjectFiles) {
            fs::copy_file(fs::path(QUARN_BIN_DIR) / file, programDir_ / file);
        }
        ProgramDir = programDir_.string() + PathSeparator;
        report_ = pdfDir_ / "lirn.pdf";
        request_ = home_.root() / "import.gdt";
        settings_->WriteString(PdfFolderKey, pdfDir_.string());
        settings_->WriteString(ImportPathKey, request_.string());

        ASSERT_NO_FATAL_FAILURE(ShowConnected());
        // Ticks are run by the tests, so that each frame is handled exactly when they say.
        form_->TmUSB->stop();
    }

    void TearDown() override {
        fs::permissions(pdfDir_, fs::perms::owner_all);
        ProgramDir = savedProgramDir_;
        MainWindowFixture::TearDown();
    }

    void Receive(const std::string& frame) {
        script_->arrive(frame);
        form_->TmUSBTimer();
    }

    // A frame handled by the running poll timer, so that errors meet the handler's guard.
    void ReceiveThroughTheTimer(const std::string& frame, ModalBoxAnswerer& answer) {
        script_->arrive(frame);
        form_->TmUSB->start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer.Finished(); }, WaitMs));
        form_->TmUSB->stop();
    }

    std::vector<std::string> ShownValues() const {
        std::vector<std::string> values;
        for (QLabel* label : {form_->LblUSBSystole, form_->LblUSBDiastole, form_->LblUSBPuls,
                              form_->LblUSBMad, form_->LblUSBArr}) {
            values.push_back(Label(label));
        }
        return values;
    }

    void ReplaceProject(const std::string& json) {
        WriteBytes(programDir_ / "LirnQuarn.rav", json);
    }

    ScopedTestHome home_;
    std::string savedProgramDir_;
    fs::path programDir_;
    fs::path pdfDir_;
    fs::path report_;
    fs::path request_;
    std::vector<HandOff> handOffs_;
    ScopedShellHandOff shell_{[this](ShellVerb verb, const std::string& path) {
        handOffs_.push_back({verb, path});
    }};
};

TEST_F(MainReportTest, ConnectionDeclaresFiveStringColumnsAndOneRowOfTheCaptions) {
    form_->LblUSBSystole->setText("128");
    form_->LblUSBDiastole->setText("84");
    form_->LblUSBPuls->setText("72");
    form_->LblUSBMad->setText("99");
    form_->LblUSBArr->setText("Ja");
    TRvCustomConnection& connection = form_->RvConMeasurement;
    EXPECT_EQ(connection.Name(), "RvConMeasurement");

    for (int run = 1; run <= 2; ++run) {
        const std::vector<TRvRow> rows = connection.ReadRows();
        const std::vector<TRvField>& fields = connection.Fields();
        ASSERT_EQ(fields.size(), 5u);
        const char* names[] = {"Systole", "Diastole", "Puls", "MAD", "Arrhythmie"};
        for (size_t i = 0; i < fields.size(); ++i) {
            EXPECT_EQ(fields[i].Name, names[i]);
            EXPECT_EQ(fields[i].Type, dtString);
            EXPECT_EQ(fields[i].Width, 20);
            EXPECT_EQ(fields[i].FullName, "");
            EXPECT_EQ(fields[i].Description, "");
        }
        ASSERT_EQ(rows.size(), 1u) << "run " << run;
        const char* captions[] = {"128", "84", "72", "99", "Ja"};
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(rows[0][i].Formatted, "");
            EXPECT_EQ(rows[0][i].Native, captions[i]);
        }
        EXPECT_EQ(form_->ReportRow, 1);
    }
}

TEST_F(MainReportTest, EndTestAnswersNoBeforeTheAdvanceAndYesAfterIt) {
    TRvCustomConnection& connection = form_->RvConMeasurement;
    const TRvCustomConnection::EofEvent endTest = connection.OnEOF;
    std::vector<bool> answers;
    connection.OnEOF = [&](TRvCustomConnection& con, bool& eof) {
        endTest(con, eof);
        answers.push_back(eof);
    };
    connection.ReadRows();
    connection.ReadRows();
    EXPECT_EQ(answers, (std::vector<bool>{false, true, false, true}));
}

TEST_F(MainReportTest, DiscoveryNamesTheProjectBesideTheProgram) {
    EXPECT_EQ(form_->RvProject.ProjectFile(), (programDir_ / "LirnQuarn.rav").string());
    EXPECT_EQ(form_->RvProject.Engine, &form_->RvSystem);
}

TEST_F(MainReportTest, MeasurementWithARequestGivesAnArchivalReportOfValuesAndPatient) {
    WriteBytes(request_, MusterErika);
    Receive(ValidFrame);
    ASSERT_TRUE(fs::exists(report_));
    EXPECT_EQ(form_->RvSystem.DefaultDest, rdFile);
    EXPECT_FALSE(form_->RvSystem.DoNativeOutput);
    EXPECT_EQ(form_->RvSystem.RenderObject, &form_->RvRenderPDF);
    EXPECT_EQ(form_->RvSystem.OutputFileName, report_.string());
    EXPECT_EQ(form_->RvSystem.SystemSetups & ssAllowSetup, 0u);
    EXPECT_EQ(form_->RvSystem.SystemOptions & soShowStatus, 0u);

    const std::string pdf = report_.string();
    const std::string text = PdfText(pdf);
    const char* rows[] = {"Systole", "Diastole", "Puls", "MAD", "Arrhythmie"};
    const char* units[] = {"mmHg", "mmHg", "PUL/min.", "mmHg", ""};
    const std::vector<std::string> values = ShownValues();
    for (size_t i = 0; i < 5; ++i) {
        const std::string row = std::string(rows[i]) + " " + values[i] + " " + units[i];
        // The layout spreads a row's texts with blanks between them.
        std::string line;
        for (size_t start = text.find(rows[i]); start != std::string::npos && line.empty();
             start = text.find(rows[i], start + 1)) {
            line = text.substr(start, text.find('\n', start) - start);
            if (line.find(values[i]) == std::string::npos) {
                line.clear();
            }
        }
        EXPECT_NE(line, "") << "no line with " << row << " in: " << text;
        EXPECT_EQ(Contains(line, units[i]), "");
    }
    EXPECT_EQ(Contains(text, "Muster, Erika"), "");
    EXPECT_EQ(Contains(text, "4711"), "");
    EXPECT_EQ(Contains(text, "05.03.1950"), "");
    EXPECT_EQ(Contains(text, "Messung vom " + Label(form_->LblDateTime)), "");
    EXPECT_EQ(Contains(text, "Blutdruckmessung"), "");

    const std::string metadata = PdfMetadata(pdf);
    EXPECT_EQ(Contains(metadata, "pdfaid:part=\"1\""), "");
    EXPECT_EQ(Contains(metadata, "pdfaid:conformance=\"B\""), "");
    const std::vector<PdfFont> fonts = PdfFonts(pdf);
    ASSERT_FALSE(fonts.empty());
    for (const PdfFont& font : fonts) {
        EXPECT_TRUE(font.embedded) << font.name;
    }
    const CommandResult check = QpdfCheck(pdf);
    EXPECT_EQ(check.exitCode, 0) << check.out;
}

TEST_F(MainReportTest, MeasurementWithoutRequestNamesNoPatientEvenAfterOneWithIt) {
    WriteBytes(request_, MusterErika);
    Receive(ValidFrame);
    ASSERT_EQ(Contains(PdfText(report_.string()), "Muster, Erika"), "");
    Receive(OtherFrame);
    const std::string text = PdfText(report_.string());
    EXPECT_EQ(text.find("Erika"), std::string::npos);
    EXPECT_EQ(text.find("4711"), std::string::npos);
    EXPECT_EQ(Contains(text, "Kein Patient aus der Praxissoftware übernommen"), "");
}

TEST_F(MainReportTest, BirthDateIsWrittenInTheUsersShortDateFormat) {
    SetFormatSettings({"en_US", "M/d/yyyy", "h:mm AP"});
    WriteBytes(request_, MusterErika);
    Receive(ValidFrame);
    EXPECT_EQ(Contains(PdfText(report_.string()), "3/5/1950"), "");
}

TEST_F(MainReportTest, TwoMeasurementsInARowReplaceTheFileWithoutAnyWindow) {
    ModalBoxAnswerer noBox(std::chrono::seconds(2));
    Receive(ValidFrame);
    const std::vector<std::string> first = ShownValues();
    Receive(OtherFrame);
    const std::vector<std::string> second = ShownValues();
    ASSERT_NE(first[0], second[0]);
    const std::string text = PdfText(report_.string());
    EXPECT_EQ(Contains(text, second[0]), "");
    EXPECT_EQ(text.find(" " + first[0] + " "), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(pdfDir_), fs::directory_iterator()), 1);
    EXPECT_TRUE(noBox.Finished()) << "a box was shown";
    EXPECT_EQ(QApplication::topLevelWidgets().size(), 1) << "a window besides the main one";
}

// What a program ended while writing a report left: a whole report of a patient.
fs::path LeaveStaleTemporary(const fs::path& folder) {
    const fs::path left = folder / ".lirn.pdf.Ab3dEfGhIjKlMnOp.tmp";
    WriteBytes(left, "%PDF-1.4 Mustermann");
    fs::last_write_time(left, fs::file_time_type::clock::now() - std::chrono::minutes(10));
    return left;
}

TEST_F(MainReportTest, ReportRemovesWhatAReportBrokenOffLeftInTheFolder) {
    const fs::path left = LeaveStaleTemporary(pdfDir_);
    Receive(ValidFrame);
    EXPECT_TRUE(fs::exists(report_));
    EXPECT_FALSE(fs::exists(left));
}

using StartUpTest = MainWindowFixture;

TEST_F(StartUpTest, ShowingTheWindowRemovesWhatAReportBrokenOffLeftInTheFolder) {
    const fs::path left = LeaveStaleTemporary(report_->PdfFolder());
    ASSERT_NO_FATAL_FAILURE(ShowConnected());
    EXPECT_FALSE(fs::exists(left));
}

TEST_F(MainReportTest, ReportMissingFromTheProjectGivesNoFileAndNoMessage) {
    Receive(ValidFrame);
    ASSERT_TRUE(fs::exists(report_));
    ReplaceProject(R"({"version": 1, "reports": [{"name": "RptAnders", "elements": []}]})");
    form_->RvProject.SetProjectFile("");
    form_->RvProject.SetProjectFile((programDir_ / "LirnQuarn.rav").string());
    ModalBoxAnswerer noBox(std::chrono::seconds(2));
    Receive(OtherFrame);
    EXPECT_TRUE(noBox.Finished()) << "a box was shown";
    EXPECT_FALSE(fs::exists(report_)) << "the earlier measurement's report is not left in place";
}

TEST_F(MainReportTest, ShowingAfterAMeasurementWithoutReportNeverHandsOverAnEarlierOne) {
    Receive(ValidFrame);
    ReplaceProject(R"({"version": 1, "reports": []})");
    form_->RvProject.SetProjectFile("");
    form_->RvProject.SetProjectFile((programDir_ / "LirnQuarn.rav").string());
    settings_->WriteString(PdfShowKey, "YES");
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            EXPECT_EQ(AsMsgBox(box).Text(), report_.string() + " ist nicht vorhanden.");
        })
        .Press("&OK");
    Receive(OtherFrame);
    EXPECT_TRUE(answer.Finished());
    EXPECT_TRUE(handOffs_.empty());
}

struct BrokenProjectCase {
    const char* name;
    std::string content;
    const char* errorPart;
};

void PrintTo(const BrokenProjectCase& c, std::ostream* out) {
    *out << c.name;
}

class BrokenProjectTest : public MainReportTest,
                          public ::testing::WithParamInterface<BrokenProjectCase> {};

TEST_P(BrokenProjectTest, ErrorReachesTheGuardAndTheCycleStopsWithTheValuesShown) {
    const fs::path project = programDir_ / "LirnQuarn.rav";
    if (GetParam().content.empty()) {
        fs::remove(project);
    } else {
        WriteBytes(project, GetParam().content);
    }
    settings_->WriteString(PdfShowKey, "YES");
    settings_->WriteString(PdfPrintKey, "YES");
    form_->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form_->isMinimized(); }, WaitMs));

    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            const std::string text = GuardBoxText(box);
            EXPECT_EQ(Contains(text, "Die Berichtsprojektdatei \"" + project.string() + "\""), "");
            EXPECT_EQ(Contains(text, GetParam().errorPart), "");
        })
        .Press("OK");
    ReceiveThroughTheTimer(ValidFrame, answer);
    EXPECT_EQ(Label(form_->LblUSBSystole), "110");
    EXPECT_NE(Label(form_->LblDateTime), "-");
    EXPECT_FALSE(fs::exists(report_));
    EXPECT_TRUE(handOffs_.empty()) << "viewing and printing ran";
    QApplication::processEvents();
    EXPECT_TRUE(form_->isMinimized()) << "the steps after the report ran";
}

INSTANTIATE_TEST_SUITE_P(Projects, BrokenProjectTest,
                         ::testing::Values(BrokenProjectCase{"Missing", "", "\" fehlt."},
                                           BrokenProjectCase{
                                               "Malformed", "{\"version\": 1,\n  \"reports\": [}",
                                               "\" ist fehlerhaft: Zeile 2, Spalte 15: "}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainReportTest, PdfThatCannotBeWrittenLeavesThePreviousOneAndIsShownByTheGuard) {
    Receive(ValidFrame);
    const std::string previous = ReadBytes(report_);
    settings_->WriteString(PdfShowKey, "YES");
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            const std::string text = GuardBoxText(box);
            EXPECT_EQ(Contains(text, "Der Bericht \"RptMeasurement\" wurde nicht gespeichert."),
                      "");
            EXPECT_EQ(Contains(text, report_.string()), "");
            EXPECT_EQ(Contains(text, report_.string() + " konnte nicht gelöscht werden."), "");
        })
        .Press("OK");
    {
        ScopedBlockedFile blocked(report_);
        ReceiveThroughTheTimer(OtherFrame, answer);
    }
    EXPECT_EQ(ReadBytes(report_), previous);
    EXPECT_TRUE(handOffs_.empty());
}

struct FolderCase {
    const char* name;
    // Relative to the test's home; empty for an empty setting.
    const char* folder;
};

void PrintTo(const FolderCase& c, std::ostream* out) {
    *out << c.name;
}

class MissingFolderTest : public MainReportTest,
                          public ::testing::WithParamInterface<FolderCase> {};

TEST_P(MissingFolderTest, AsksForAFolderWithAnUntickedBoxAndProducesNoReport) {
    const std::string folder =
        *GetParam().folder ? (home_.root() / GetParam().folder).string() : "";
    settings_->WriteString(PdfFolderKey, folder);
    for (int measurement = 1; measurement <= 2; ++measurement) {
        ModalBoxAnswerer answer;
        answer
            .Inspect([&](QWidget& box) {
                TFrmMsgBox& msgBox = AsMsgBox(box);
                EXPECT_EQ(msgBox.Text(), NoFolderText);
                ASSERT_TRUE(msgBox.ChkDsa()->isVisible());
                EXPECT_EQ(msgBox.ChkDsa()->text(), "Zielordner jetzt festlegen");
                EXPECT_FALSE(msgBox.ChkDsa()->isChecked()) << "measurement " << measurement;
                EXPECT_TRUE(ShowsWarningIcon(msgBox));
            })
            .Press("&OK");
        Receive(ValidFrame);
        EXPECT_TRUE(answer.Finished());
    }
    EXPECT_TRUE(fs::is_empty(pdfDir_));
    EXPECT_FALSE(form_->RvProject.Loaded()) << "the report step stopped before the project";
}

INSTANTIATE_TEST_SUITE_P(Folders, MissingFolderTest,
                         ::testing::Values(FolderCase{"Empty", ""},
                                           FolderCase{"NotThere", "gibt-es-nicht"},
                                           FolderCase{"AFile", "import.gdt"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainReportTest, TickingTheBoxOpensTheSettingsOnceAndNoReportFollows) {
    settings_->WriteString(PdfFolderKey, "");
    settings_->WriteString(ExportPathKey, (home_.root() / "export.gdt").string());
    int settingsShown = 0;
    ModalBoxAnswerer answer(std::chrono::seconds(5));
    answer.Inspect([](QWidget& box) { AsMsgBox(box).ChkDsa()->click(); })
        .Press("&OK")
        .Inspect([&](QWidget& box) {
            auto* dialog = dynamic_cast<TFrmSettings*>(&box);
            ASSERT_NE(dialog, nullptr) << "not the settings dialog";
            ++settingsShown;
            dialog->EdtDirectory->setText(QString::fromStdString(pdfDir_.string()));
        })
        .Press("OK");
    Receive(ValidFrame);
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(settingsShown, 1);
    EXPECT_EQ(settings_->ReadString(PdfFolderKey), pdfDir_.string()) << "the dialog's OK stored";
    EXPECT_TRUE(fs::is_empty(pdfDir_)) << "a report followed the dialog";
}

struct HandOffCase {
    const char* name;
    const char* show;
    const char* print;
    std::vector<ShellVerb> verbs;
};

void PrintTo(const HandOffCase& c, std::ostream* out) {
    *out << c.name;
}

class HandOffTest : public MainReportTest, public ::testing::WithParamInterface<HandOffCase> {};

TEST_P(HandOffTest, OnlyAnExactYesViewsOrPrintsTheNewReport) {
    settings_->WriteString(PdfShowKey, GetParam().show);
    settings_->WriteString(PdfPrintKey, GetParam().print);
    Receive(ValidFrame);
    std::vector<HandOff> expected;
    for (ShellVerb verb : GetParam().verbs) {
        expected.push_back({verb, report_.string()});
    }
    EXPECT_EQ(handOffs_, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, HandOffTest,
    ::testing::Values(HandOffCase{"Neither", "NO", "NO", {}},
                      HandOffCase{"Show", "YES", "NO", {ShellVerb::Open}},
                      HandOffCase{"Print", "NO", "YES", {ShellVerb::Print}},
                      HandOffCase{"Both", "YES", "YES", {ShellVerb::Open, ShellVerb::Print}},
                      HandOffCase{"LowerCase", "yes", "yes", {}},
                      HandOffCase{"Mixed", "Yes", "YES ", {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct MissingFileCase {
    const char* name;
    void (TFrmMain::*click)();
    // Relative to the test's home; empty for an empty setting.
    const char* folder;
};

void PrintTo(const MissingFileCase& c, std::ostream* out) {
    *out << c.name;
}

class MissingFileTest : public MainReportTest,
                        public ::testing::WithParamInterface<MissingFileCase> {};

TEST_P(MissingFileTest, SaysThePathIsNotThere) {
    const std::string folder =
        *GetParam().folder ? (home_.root() / GetParam().folder).string() : "";
    settings_->WriteString(PdfFolderKey, folder);
    const std::string path = ReportFilePath(folder);
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            EXPECT_EQ(AsMsgBox(box).Text(), path + " ist nicht vorhanden.");
            EXPECT_TRUE(ShowsWarningIcon(AsMsgBox(box)));
        })
        .Press("&OK");
    (form_.get()->*GetParam().click)();
    EXPECT_TRUE(answer.Finished());
    EXPECT_TRUE(handOffs_.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, MissingFileTest,
    ::testing::Values(MissingFileCase{"ShowNoFile", &TFrmMain::BtnPDFShowClick, "pdf"},
                      MissingFileCase{"PrintNoFile", &TFrmMain::BtnPDFPrintClick, "pdf"},
                      MissingFileCase{"ShowNoFolder", &TFrmMain::BtnPDFShowClick, "fehlt"},
                      MissingFileCase{"PrintEmptyFolder", &TFrmMain::BtnPDFPrintClick, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainReportTest, ShowAndPrintHandOverTheFileOfTheFolderSetNow) {
    Receive(ValidFrame);
    const fs::path other = home_.root() / "anderer";
    fs::create_directory(other);
    fs::copy_file(report_, other / "lirn.pdf");
    settings_->WriteString(PdfFolderKey, other.string() + PathSeparator);
    form_->BtnPDFShowClick();
    form_->BtnPDFPrintClick();
    EXPECT_EQ(handOffs_, (std::vector<HandOff>{{ShellVerb::Open, (other / "lirn.pdf").string()},
                                               {ShellVerb::Print, (other / "lirn.pdf").string()}}));
}

// Without a folder no report is written: a file of the report's name at the root belongs to
// someone else and is never handed over.
TEST_F(MainReportTest, EmptyFolderNeverHandsOverAFileAtTheRoot) {
    const fs::path atRoot = ReportFilePath("");
    if (fs::exists(atRoot)) {
        GTEST_SKIP() << atRoot << " exists already";
    }
    if (!std::ofstream(atRoot)) {
        GTEST_SKIP() << atRoot << " cannot be created by this user";
    }
    const auto removeIt = qScopeGuard([&] { fs::remove(atRoot); });
    std::ofstream(atRoot) << "%PDF-1.4 fremd";
    settings_->WriteString(PdfFolderKey, "");
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            EXPECT_EQ(AsMsgBox(box).Text(), atRoot.string() + " ist nicht vorhanden.");
        })
        .Press("&OK");
    form_->BtnPDFShowClick();
    EXPECT_TRUE(answer.Finished());
    EXPECT_TRUE(handOffs_.empty());
}

// A measurement that arrives under an earlier one's box is handled whole; the earlier one's
// remaining steps never act on it.
TEST_F(MainReportTest, MeasurementUnderAnEarlierOnesBoxIsPrintedOnceAndReportedAlone) {
    settings_->WriteString(PdfPrintKey, "YES");
    WriteBytes(request_, L("80006310") + L("30004711"));
    ModalBoxAnswerer answer(std::chrono::seconds(5));
    answer.Inspect([&](QWidget&) { Receive(OtherFrame); }).Press("&OK");
    Receive(ValidFrame);
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(Label(form_->LblUSBSystole), "135");
    EXPECT_EQ(handOffs_, (std::vector<HandOff>{{ShellVerb::Print, report_.string()}}));
    const std::string text = PdfText(report_.string());
    EXPECT_EQ(Contains(text, "135"), "");
    EXPECT_EQ(text.find("110"), std::string::npos);
}

enum class BoxCause { NoFolder, InvalidRequest, ReportFails };

std::string BoxCauseName(BoxCause cause) {
    switch (cause) {
    case BoxCause::NoFolder:
        return "NoFolder";
    case BoxCause::InvalidRequest:
        return "InvalidRequest";
    case BoxCause::ReportFails:
        return "ReportFails";
    }
    return "Unknown";
}

class StackedBoxTest : public MainReportTest, public ::testing::WithParamInterface<BoxCause> {};

TEST_P(StackedBoxTest, MeasurementsUnderABoxAreShownButOpenNoFurtherBoxOfItsKind) {
    const char* button = "&OK";
    switch (GetParam()) {
    case BoxCause::NoFolder:
        settings_->WriteString(PdfFolderKey, "");
        break;
    case BoxCause::InvalidRequest:
        WriteBytes(request_, L("80006310"));
        break;
    case BoxCause::ReportFails:
        fs::remove(programDir_ / "LirnQuarn.rav");
        button = "OK";
        break;
    }
    ModalBoxAnswerer answer(std::chrono::seconds(5));
    answer
        .Inspect([&](QWidget&) {
            for (const char* frame : {OtherFrame, ValidFrame, OtherFrame, ThirdFrame}) {
                Receive(frame);
            }
        })
        .Press(button);
    Receive(ValidFrame);
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(Label(form_->LblUSBSystole), "120");
    EXPECT_EQ(Label(form_->LblUSBPuls), "70");
}

INSTANTIATE_TEST_SUITE_P(Causes, StackedBoxTest,
                         ::testing::Values(BoxCause::NoFolder, BoxCause::InvalidRequest,
                                           BoxCause::ReportFails),
                         [](const auto& info) { return BoxCauseName(info.param); });

// The viewer, the printer and the practice software's archive would take it for the new one.
TEST_F(MainReportTest, MeasurementWithoutItsOwnReportLeavesNoneOfAnEarlierOne) {
    struct Ending {
        const char* name;
        std::function<void()> during;
        std::vector<const char*> buttons;
    };
    const std::vector<Ending> endings = {
        {"ReportFails", [&] { fs::remove(programDir_ / "LirnQuarn.rav"); }, {"OK"}},
        {"ChecksumErrorUnderTheRequestBox",
         [&] { WriteBytes(request_, L("80006310")); },
         {"&OK", "&OK"}},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        ReplaceProject(ReadBytes(fs::path(QUARN_BIN_DIR) / "LirnQuarn.rav"));
        Receive(ValidFrame);
        ASSERT_TRUE(fs::exists(report_));
        ending.during();
        form_->RvProject.SetProjectFile("");
        form_->RvProject.SetProjectFile((programDir_ / "LirnQuarn.rav").string());
        ModalBoxAnswerer answer(std::chrono::seconds(5));
        answer.Inspect([&](QWidget& box) {
            auto* msgBox = dynamic_cast<TFrmMsgBox*>(&box);
            if (msgBox && msgBox->Text() == "Ungültige Importdatei gefunden.") {
                Receive(ChecksumErrorFrame);
            }
        });
        for (const char* button : ending.buttons) {
            answer.Press(button);
        }
        Receive(OtherFrame);
        EXPECT_TRUE(answer.Finished());
        EXPECT_FALSE(fs::exists(report_));
        fs::remove(request_);
    }
}

struct CloseCase {
    const char* name;
    // The report as the window left it is replaced by another program's file.
    bool replacedByAnother;
    bool writtenByTheWindow;
};

class ReportAtCloseTest : public MainReportTest, public ::testing::WithParamInterface<CloseCase> {};

// A second window that never got the monitor must not take away the report the first shows.
TEST_P(ReportAtCloseTest, OnlyTheReportTheWindowWroteGoes) {
    const CloseCase& c = GetParam();
    if (c.writtenByTheWindow) {
        Receive(ValidFrame);
    }
    if (c.replacedByAnother) {
        WriteBytes(report_, "%PDF-1.4 des anderen Fensters");
    }
    form_->close();
    EXPECT_EQ(fs::exists(report_), !c.writtenByTheWindow || c.replacedByAnother);
}

INSTANTIATE_TEST_SUITE_P(Reports, ReportAtCloseTest,
                         ::testing::Values(CloseCase{"OwnReport", false, true},
                                           CloseCase{"OwnReportReplacedByAnother", true, true},
                                           CloseCase{"AnotherWindowsReport", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainReportTest, OwnReportThatCannotBeDeletedAtCloseSaysWhy) {
    Receive(ValidFrame);
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            EXPECT_EQ(AsMsgBox(box).Text(), report_.string() + " konnte nicht gelöscht werden.");
        })
        .Press("&OK");
    {
        ScopedBlockedFile blocked(report_);
        form_->close();
    }
    EXPECT_TRUE(answer.Finished());
    EXPECT_TRUE(fs::exists(report_));
}

} // namespace
