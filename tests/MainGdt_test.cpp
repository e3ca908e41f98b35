#include "app/ElidingLabel.h"
#include "app/Gdt.h"
#include "app/Main.h"
#include "common/BlockedFile.h"
#include "common/FileBytes.h"
#include "common/GdtFiles.h"
#include "common/ScriptedDriver.h"
#include "common/TestEnvironment.h"
#include "common/support/MemorySettings.h"
#include "common/widgets/ModalBoxAnswerer.h"
#include "common/window/MainWindowFixture.h"
#include "device/D2XXUnit.h"
#include "support/VexDateTime.h"
#include "support/widgets/VexFrmMsgBox.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace {

namespace fs = std::filesystem;

const char* const ValidFrame = "801E50485F0059";
// 135/90, pulse 60.
const char* const OtherFrame = "802D5A3C6B0121";
const char* const ChecksumErrorFrame = "801E50485F0058";
const char* const StatusFrameBytes = "85000000000000";
const char* const ImportKey = "GDT\rImport\rimport.gdt";
const char* const ExportKey = "GDT\rExport\rexport.gdt";

const std::string MusterErika = L("80006302") + L("8316PRAXIS01") + L("921802.10") + L("30004711") +
                                L("3101Muster") + L("3102Erika") + L("310305031950");

std::string MsgBoxText(QWidget& box) {
    auto* msgBox = dynamic_cast<TFrmMsgBox*>(&box);
    return msgBox ? msgBox->Text() : "<not our message box>";
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

// The connected window with a folder for the GDT files.
class MainGdtTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        folder_ = home_.root() / "gdt";
        fs::create_directory(folder_);
        request_ = folder_ / "import.gdt";
        result_ = folder_ / "export.gdt";
        settings_->WriteString(ImportKey, request_.string());

        ASSERT_NO_FATAL_FAILURE(ShowConnected());
        // Ticks are run by the tests, so that each frame is handled exactly when they say.
        form_->TmUSB->stop();
    }

    void TearDown() override {
        fs::permissions(folder_, fs::perms::owner_all);
        MainWindowFixture::TearDown();
    }

    void Receive(const std::string& frame) {
        script_->arrive(frame);
        form_->TmUSBTimer();
    }

    void MeasureWithRequest(const std::string& request) {
        WriteBytes(request_, request);
        Receive(ValidFrame);
    }

    void ExportTo(const fs::path& path) { settings_->WriteString(ExportKey, path.string()); }

    ScopedTestHome home_;
    fs::path folder_;
    fs::path request_;
    fs::path result_;
};

struct RequestCase {
    const char* name;
    std::string request;
    std::string nameLabel;
    std::string patNoLabel;
};

class ShownRequestTest : public MainGdtTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(ShownRequestTest, MeasurementShowsThePatientAndConsumesTheRequest) {
    const RequestCase& c = GetParam();
    MeasureWithRequest(c.request);
    EXPECT_EQ(Label(form_->LblUSBSystole), "110");
    EXPECT_EQ(Label(form_->LblName), c.nameLabel);
    EXPECT_EQ(Label(form_->LblPatNo), c.patNoLabel);
    EXPECT_FALSE(fs::exists(request_));
    EXPECT_TRUE(form_->BtnExport->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ShownRequestTest,
    ::testing::Values(
        RequestCase{"MusterErika", MusterErika, "Muster, Erika", "4711"},
        RequestCase{"EmptyFirstName", L("30004711") + L("3101Muster") + L("3102"), "Muster",
                    "4711"},
        RequestCase{"Cp437Umlauts", ReadTestData("gdt/request_cp437_umlauts.gdt"),
                    "Müller-Lüdenscheid, Jörg ß", "4711"},
        RequestCase{"NegativeNumber", L("3000-42") + L("3101Muster"), "Muster", "-42"},
        RequestCase{"MarkupStaysText", L("3000<i>42") + L("3101<b>Muster</b>") + L("3102&Erika"),
                    "<b>Muster</b>, &Erika", "<i>42"},
        RequestCase{"NumberWithLettersAsItCame", L("3000 A4711 ") + L("3101Muster"), "Muster",
                    "A4711"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainGdtTest, MarkupInANameIsShownAsItsCharacters) {
    MeasureWithRequest(L("30004711") + L("3101<b>Muster</b>"));
    EXPECT_EQ(form_->LblName->textFormat(), Qt::PlainText);
    EXPECT_EQ(form_->LblPatNo->textFormat(), Qt::PlainText);
}

TEST_F(MainGdtTest, MeasurementWithoutRequestShowsDashesAndDisablesTheExport) {
    MeasureWithRequest(MusterErika);
    ASSERT_TRUE(form_->BtnExport->isEnabled());
    Receive(ValidFrame);
    EXPECT_EQ(Label(form_->LblName), "-");
    EXPECT_EQ(Label(form_->LblPatNo), "-");
    EXPECT_FALSE(form_->BtnExport->isEnabled());
    EXPECT_EQ(form_->Patient.Surname, "Muster") << "the last request's patient stays held";
}

TEST_F(MainGdtTest, RequestPathIsReadAtEachMeasurement) {
    const fs::path other = folder_ / "other.gdt";
    WriteBytes(other, L("30000815") + L("3101Anders"));
    settings_->WriteString(ImportKey, other.string());
    MeasureWithRequest(MusterErika);
    EXPECT_EQ(Label(form_->LblName), "Anders");
    EXPECT_FALSE(fs::exists(other));
    EXPECT_TRUE(fs::exists(request_));
}

struct InvalidCase {
    const char* name;
    std::string request;
};

class InvalidRequestTest : public MainGdtTest, public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(InvalidRequestTest, ShowsTheMessageKeepsTheFileAndClearsThePatient) {
    const InvalidCase& c = GetParam();
    form_->Patient = {"99", "Alt", "Vorher", 1000};
    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& box) {
            EXPECT_EQ(MsgBoxText(box), "Ungültige Importdatei gefunden.");
            EXPECT_FALSE(AsMsgBox(box).ImgIcon()->pixmap().isNull());
        })
        .Press("&OK");
    MeasureWithRequest(c.request);
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(Label(form_->LblName), "-");
    EXPECT_EQ(Label(form_->LblPatNo), "-");
    EXPECT_TRUE(fs::exists(request_));
    EXPECT_FALSE(form_->BtnExport->isEnabled());
    EXPECT_EQ(form_->Patient, PatientRecord{});
    EXPECT_EQ(Label(form_->LblUSBSystole), "110");
}

INSTANTIATE_TEST_SUITE_P(
    Requests, InvalidRequestTest,
    ::testing::Values(InvalidCase{"BadLength", ReadTestData("gdt/request_bad_length.gdt")},
                      InvalidCase{"ResultRecordType", L("80006310") + L("3101Muster")},
                      InvalidCase{"ImpossibleBirthDate",
                                  L("30004711") + L("3101Muster") + L("310329021999")},
                      InvalidCase{"WithoutPatientNo", L("80006302") + L("3101Muster")},
                      InvalidCase{"PatientNoWithBlankInside", L("300047 11") + L("3101Muster")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainGdtTest, UnreadableRequestIsNamedAndTheMeasurementGoesOnWithoutPatient) {
    WriteBytes(request_, MusterErika);
    form_->Patient = {"99", "Alt", "Vorher", 1000};
    form_->SenderId = "OLD";
    form_->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form_->isMinimized(); }, WaitMs));

    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            EXPECT_EQ(MsgBoxText(box),
                      "Die GDT-Importdatei \"" + request_.string() +
                          "\" kann nicht gelesen werden: " + ScopedBlockedFile::ReadErrorText() +
                          ".\r\nDie Messung wird ohne Patient angezeigt.");
        })
        .Press("&OK");
    {
        ScopedBlockedFile blocked(request_);
        script_->arrive(ValidFrame);
        form_->TmUSB->start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer.Finished(); }, WaitMs));
        form_->TmUSB->stop();
    }
    EXPECT_EQ(Label(form_->LblUSBSystole), "110");
    EXPECT_EQ(Label(form_->LblName), "-");
    EXPECT_FALSE(form_->BtnExport->isEnabled());
    EXPECT_TRUE(fs::exists(request_));
    EXPECT_EQ(form_->Patient, (PatientRecord{"99", "Alt", "Vorher", 1000}));
    EXPECT_EQ(form_->SenderId, "OLD");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form_->isMinimized(); }, WaitMs))
        << "the steps after the import did not run";
}

const char* const IncompleteNote = "Die Importdatei ist noch nicht vollständig geschrieben.";

struct IncompleteCase {
    const char* name;
    std::string written;
    // The writer still holds the file open for writing.
    bool heldOpen;
};

class IncompleteRequestTest : public MainGdtTest,
                              public ::testing::WithParamInterface<IncompleteCase> {};

TEST_P(IncompleteRequestTest, IsNeitherTakenNorDeletedAndTheStatusBarSaysSo) {
    const IncompleteCase& c = GetParam();
    form_->Patient = {"99", "Alt", "Vorher", 1000};
    form_->SenderId = "OLD";
    const std::string deviceText = form_->StatusText();
    std::ofstream writer(request_, std::ios::binary);
    writer << c.written << std::flush;
    if (!c.heldOpen) {
        writer.close();
    }
    Receive(ValidFrame);
    EXPECT_EQ(Label(form_->LblUSBSystole), "110");
    EXPECT_EQ(Label(form_->LblName), "-");
    EXPECT_EQ(Label(form_->LblPatNo), "-");
    EXPECT_FALSE(form_->BtnExport->isEnabled());
    EXPECT_TRUE(fs::exists(request_));
    EXPECT_EQ(form_->Patient, (PatientRecord{"99", "Alt", "Vorher", 1000}));
    EXPECT_EQ(form_->SenderId, "OLD");
    EXPECT_EQ(form_->StatusText(), IncompleteNote);

    // Once written whole, the next measurement takes it and the note goes.
    writer.close();
    WriteBytes(request_, MusterErika);
    Receive(ValidFrame);
    EXPECT_EQ(Label(form_->LblName), "Muster, Erika");
    EXPECT_FALSE(fs::exists(request_));
    EXPECT_EQ(form_->StatusText(), deviceText);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, IncompleteRequestTest,
    ::testing::Values(IncompleteCase{"WriterStillAtWork", L("80006302") + L("30004711"), true},
                      IncompleteCase{"RecordLengthCountsMoreThanThereIs",
                                     L("80006302") + L("810000200") + L("30004711"), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainGdtTest, NoPatientOrSenderCarriesOverToTheNextRequest) {
    ExportTo(result_);
    MeasureWithRequest(MusterErika);
    ASSERT_EQ(form_->SenderId, "PRAXIS01");
    MeasureWithRequest(L("80006302") + L("30000042"));
    EXPECT_EQ(form_->Patient, (PatientRecord{"0042", "", "", 0}));
    EXPECT_EQ(form_->SenderId, "");
    EXPECT_EQ(Label(form_->LblName), "");
    EXPECT_EQ(Label(form_->LblPatNo), "0042");

    ModalBoxAnswerer answer;
    answer.Press("&OK");
    form_->BtnExport->click();
    ASSERT_TRUE(answer.Finished());
    const std::vector<std::string> lines = LinesOf(ReadBytes(result_));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[2], "0098315");
    EXPECT_EQ(lines[5], "01330000042");
    EXPECT_EQ(lines[6], "0093101");
}

TEST_F(MainGdtTest, RequestThatCannotBeDeletedIsNotTakenTwice) {
    WriteBytes(request_, MusterErika);
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& box) {
            EXPECT_EQ(MsgBoxText(box), "Die Importdatei \"" + request_.string() +
                                           "\" konnte nicht gelöscht werden. Sie wird erst "
                                           "wieder übernommen, wenn die Praxissoftware sie neu "
                                           "schreibt.");
            EXPECT_EQ(Label(form_->LblName), "Muster, Erika");
        })
        .Press("&OK");
    {
        ScopedUndeletableFile kept(request_);
        Receive(ValidFrame);
    }
    ASSERT_TRUE(answer.Finished());
    EXPECT_TRUE(form_->BtnExport->isEnabled());

    {
        ScopedUndeletableFile kept(request_);
        Receive(ValidFrame);
    }
    EXPECT_EQ(Label(form_->LblName), "-");
    EXPECT_EQ(Label(form_->LblPatNo), "-");
    EXPECT_FALSE(form_->BtnExport->isEnabled());
    EXPECT_EQ(form_->StatusText(), "Die Importdatei wurde bereits übernommen.");

    // The practice software writes the next request over it.
    WriteBytes(request_, L("30000815") + L("3101Anders"));
    ModalBoxAnswerer again;
    again.Press("&OK");
    {
        ScopedUndeletableFile kept(request_);
        Receive(ValidFrame);
    }
    EXPECT_TRUE(again.Finished());
    EXPECT_EQ(Label(form_->LblName), "Anders");
    EXPECT_EQ(Label(form_->LblPatNo), "0815");
}

TEST_F(MainGdtTest, RequestLargerThanARecordIsInvalidAndStays) {
    std::string huge = L("30004711");
    while (huge.size() < MaxGdtRecordBytes + 1) {
        huge += L("5555" + std::string(90, 'x'));
    }
    form_->Patient = {"99", "Alt", "Vorher", 1000};
    ModalBoxAnswerer answer;
    answer
        .Inspect(
            [](QWidget& box) { EXPECT_EQ(MsgBoxText(box), "Ungültige Importdatei gefunden."); })
        .Press("&OK");
    MeasureWithRequest(huge);
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(Label(form_->LblName), "-");
    EXPECT_EQ(form_->Patient, PatientRecord{});
    EXPECT_FALSE(form_->BtnExport->isEnabled());
    EXPECT_TRUE(fs::exists(request_));
}

TEST_F(MainGdtTest, ExportWritesTheLabelsCaptionsAsTheExampleRecord) {
    form_->SenderId = "PRAXIS01";
    TDateTime birth = 0;
    ASSERT_TRUE(TryEncodeDate(1950, 3, 5, birth));
    form_->Patient = {"4711", "Schmidt", "Anna", birth};
    TDateTime day = 0;
    TDateTime time = 0;
    ASSERT_TRUE(TryEncodeDate(2024, 6, 12, day));
    ASSERT_TRUE(TryEncodeTime(9, 41, 0, 0, time));
    form_->Measurement.MeasuredAt = day + time;
    form_->LblName->setText("Schmidt, Anna");
    form_->LblDateTime->setText("12.06.2024 09:41");
    form_->LblUSBSystole->setText("128");
    form_->LblUSBDiastole->setText("84");
    form_->LblUSBPuls->setText("72");
    form_->LblUSBMad->setText("99");
    form_->LblUSBArr->setText("Nein");

    ASSERT_TRUE(form_->ExportFile(result_.string()));
    EXPECT_EQ(ReadBytes(result_), ReadTestData("gdt/result_example.gdt"));
}

TEST_F(MainGdtTest, UmlautsAreProgramTextInTheWindowAndOemInTheResult) {
    ExportTo(result_);
    MeasureWithRequest(ReadTestData("gdt/request_cp437_umlauts.gdt"));
    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& box) {
            EXPECT_EQ(MsgBoxText(box),
                      "Messwerte werden nach Müller-Lüdenscheid, Patientnr. 4711 exportiert.");
            EXPECT_FALSE(AsMsgBox(box).ImgIcon()->pixmap().isNull());
        })
        .Press("&OK");
    form_->BtnExport->click();
    EXPECT_TRUE(answer.Finished());
    EXPECT_FALSE(form_->BtnExport->isEnabled());

    const std::vector<std::string> lines = LinesOf(ReadBytes(result_));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[2], "0178315PRAXIS01");
    EXPECT_EQ(lines[5], "01330004711");
    EXPECT_EQ(lines[6], "0273101M\x81ller-L\x81"
                        "denscheid");
    EXPECT_EQ(lines[7], "0153102J\x94rg \xe1");
    EXPECT_EQ(lines[13], "0486228    Patient: M\x81ller-L\x81"
                         "denscheid, J\x94rg \xe1");
    EXPECT_EQ(lines[14], "0406228    Messdatum: " + Label(form_->LblDateTime));
    EXPECT_EQ(lines[15], "0256228    Systole: 110");
    EXPECT_EQ(lines[19], "0296228    Arrhythmie: Nein");
}

TEST_F(MainGdtTest, LongNameIsCutWithAnEllipsisToolTippedAndExportedWhole) {
    ExportTo(result_);
    MeasureWithRequest(L("80006302") + L("8316PRAXIS01") + L("30004711") +
                       L("3101M\x81ller-L\x81"
                         "denscheidt-Wagenknecht") +
                       L("3102Maximiliane-Charlotte"));
    const QString whole = "Müller-Lüdenscheidt-Wagenknecht, Maximiliane-Charlotte";
    EXPECT_EQ(form_->LblName->text(), whole);
    auto* label = dynamic_cast<TElidingLabel*>(form_->LblName);
    ASSERT_NE(label, nullptr);
    const QString shown = label->ShownText();
    ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(whole.startsWith(shown.chopped(1)));
    EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width());

    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(label, &help);
    EXPECT_EQ(QToolTip::text(), whole);
    QToolTip::hideText();

    ModalBoxAnswerer answer;
    answer.Press("&OK");
    form_->BtnExport->click();
    EXPECT_TRUE(answer.Finished());
    const std::vector<std::string> lines = LinesOf(ReadBytes(result_));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[13].substr(3), "6228    Patient: M\x81ller-L\x81"
                                   "denscheidt-Wagenknecht, Maximiliane-Charlotte");
}

TEST_F(MainGdtTest, NameThatFitsIsShownWholeWithoutToolTip) {
    MeasureWithRequest(MusterErika);
    auto* label = dynamic_cast<TElidingLabel*>(form_->LblName);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->ShownText(), "Muster, Erika");
    QToolTip::showText(label->mapToGlobal(QPoint(5, 5)), "earlier tip", label);
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(label, &help);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, WaitMs));
}

TEST_F(MainGdtTest, SecondExportOfTheSameMeasurementIsNotPossible) {
    ExportTo(result_);
    MeasureWithRequest(MusterErika);
    ModalBoxAnswerer answer;
    answer.Press("&OK");
    form_->BtnExport->click();
    EXPECT_TRUE(answer.Finished());
    EXPECT_FALSE(form_->BtnExport->isEnabled());
    EXPECT_TRUE(fs::exists(result_));
    fs::remove(result_);
    form_->BtnExport->click();
    EXPECT_FALSE(fs::exists(result_));
}

TEST_F(MainGdtTest, CancelWritesNothingAndKeepsTheExport) {
    ExportTo(result_);
    MeasureWithRequest(MusterErika);
    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& box) {
            EXPECT_EQ(MsgBoxText(box), "Messwerte werden nach Muster, Patientnr. 4711 exportiert.");
        })
        .Press("&Abbrechen");
    form_->BtnExport->click();
    EXPECT_TRUE(answer.Finished());
    EXPECT_TRUE(form_->BtnExport->isEnabled());
    EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(MainGdtTest, StatusFrameDisablesTheExport) {
    MeasureWithRequest(MusterErika);
    Receive(StatusFrameBytes);
    EXPECT_FALSE(form_->BtnExport->isEnabled());
    EXPECT_EQ(Label(form_->LblName), "-");
}

// The zeros of a checksum error or a status frame are no values a monitor sent.
TEST_F(MainGdtTest, ZerosAreNeverExportedAndTheNextMeasurementWithRequestIs) {
    ExportTo(result_);
    for (const char* zeros : {ChecksumErrorFrame, StatusFrameBytes}) {
        SCOPED_TRACE(zeros);
        MeasureWithRequest(MusterErika);
        ASSERT_TRUE(form_->BtnExport->isEnabled());
        if (zeros == std::string(ChecksumErrorFrame)) {
            ModalBoxAnswerer answer;
            answer
                .Inspect([](QWidget& box) {
                    EXPECT_EQ(MsgBoxText(box), "Es ist ein Prüfsummen-Fehler bei der "
                                               "Datenübertragung aufgetreten.\r\nBitte Messung "
                                               "wiederholen.");
                })
                .Press("&OK");
            Receive(zeros);
            EXPECT_TRUE(answer.Finished());
        } else {
            Receive(zeros);
        }
        EXPECT_EQ(Label(form_->LblUSBSystole), "0");
        EXPECT_FALSE(form_->BtnExport->isEnabled());
        form_->BtnExport->click();
        EXPECT_FALSE(fs::exists(result_));
    }
    MeasureWithRequest(MusterErika);
    EXPECT_TRUE(form_->BtnExport->isEnabled());
}

TEST_F(MainGdtTest, ChecksumErrorKeepsThePatientAndTheEarlierTime) {
    MeasureWithRequest(MusterErika);
    const std::string measuredAt = Label(form_->LblDateTime);
    ModalBoxAnswerer answer;
    answer.Press("&OK");
    Receive(ChecksumErrorFrame);
    ASSERT_TRUE(answer.Finished());
    EXPECT_EQ(Label(form_->LblName), "Muster, Erika");
    EXPECT_EQ(Label(form_->LblDateTime), measuredAt);
}

struct RejectedPathCase {
    const char* name;
    // Inside the GDT folder; empty leaves the setting to its default.
    std::string inGdtFolder;
};

class RejectedExportPathTest : public MainGdtTest,
                               public ::testing::WithParamInterface<RejectedPathCase> {};

TEST_P(RejectedExportPathTest, ShowsThePathMessageAndKeepsTheExport) {
    const RejectedPathCase& c = GetParam();
    const std::string path =
        c.inGdtFolder.empty() ? "export.gdt" : (folder_ / c.inGdtFolder).string();
    if (!c.inGdtFolder.empty()) {
        ExportTo(path);
    }
    MeasureWithRequest(MusterErika);
    ModalBoxAnswerer answer;
    answer.Press("&OK")
        .Inspect([&](QWidget& box) {
            EXPECT_EQ(MsgBoxText(box), "Ungültiger Pfad für Exportdatei: \r\n\r\n\"" + path +
                                           "\"\r\n\r\nSiehe Einstellungen -> Import/Export.");
            EXPECT_FALSE(AsMsgBox(box).ImgIcon()->pixmap().isNull());
        })
        .Press("&OK");
    form_->BtnExport->click();
    EXPECT_TRUE(answer.Finished());
    EXPECT_TRUE(form_->BtnExport->isEnabled());
    EXPECT_TRUE(fs::is_empty(folder_));
    EXPECT_EQ(settings_->Stored("GDT", "Export"), path);
}

INSTANTIATE_TEST_SUITE_P(Paths, RejectedExportPathTest,
                         ::testing::Values(RejectedPathCase{"Default", ""},
                                           RejectedPathCase{"MissingFolder", "missing/export.gdt"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainGdtTest, BlockedTargetIsShownByTheGuardAndKeepsTheExport) {
    ExportTo(result_);
    MeasureWithRequest(MusterErika);
    WriteBytes(result_, "old");
    ModalBoxAnswerer answer;
    answer.Press("&OK")
        .Inspect([&](QWidget& box) {
            const std::string text = "Datei \"" + result_.string() +
                                     "\" kann nicht erstellt werden. " +
                                     ScopedBlockedFile::ReplaceErrorText();
            EXPECT_EQ(GuardBoxText(box), text.back() == '.' ? text : text + ".");
        })
        .Press("OK");
    {
        ScopedBlockedFile blocked(result_);
        form_->BtnExport->click();
    }
    EXPECT_TRUE(answer.Finished());
    EXPECT_TRUE(form_->BtnExport->isEnabled());
    EXPECT_EQ(ReadBytes(result_), "old");
}

// The request box of the first measurement is open while a second, without request, arrives.
TEST_F(MainGdtTest, MeasurementUnderTheRequestBoxIsNeverExportedUnderTheEarlierPatient) {
    ExportTo(result_);
    WriteBytes(request_, MusterErika);
    ModalBoxAnswerer answer(std::chrono::seconds(5));
    answer.Inspect([&](QWidget&) { Receive(OtherFrame); }).Press("&OK");
    {
        ScopedUndeletableFile kept(request_);
        Receive(ValidFrame);
    }
    ASSERT_TRUE(answer.Finished());
    EXPECT_EQ(Label(form_->LblUSBSystole), "135");
    EXPECT_EQ(Label(form_->LblName), "-");
    EXPECT_FALSE(form_->BtnExport->isEnabled());
    form_->BtnExport->click();
    EXPECT_FALSE(fs::exists(result_));
}

// What the user confirmed goes out: the measurement and patient shown when the button was
// pressed, and the newer measurement keeps its own export.
TEST_F(MainGdtTest, MeasurementUnderTheConfirmationLeavesTheConfirmedExportAlone) {
    ExportTo(result_);
    MeasureWithRequest(MusterErika);
    ModalBoxAnswerer answer(std::chrono::seconds(5));
    answer
        .Inspect(
            [&](QWidget&) { MeasureWithRequest(L("80006302") + L("30000815") + L("3101Anders")); })
        .Press("&OK");
    form_->BtnExport->click();
    ASSERT_TRUE(answer.Finished());
    const std::vector<std::string> lines = LinesOf(ReadBytes(result_));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[5], "01330004711");
    EXPECT_EQ(lines[15], "0256228    Systole: 110");
    EXPECT_EQ(Label(form_->LblName), "Anders");
    EXPECT_TRUE(form_->BtnExport->isEnabled()) << "the newer measurement lost its export";
}

// The practice software puts the next patient's request in place between the program's read
// of a request and its removal.
TEST_F(MainGdtTest, RequestPutInPlaceWhileTheLastOneIsTakenServesTheNextMeasurement) {
    const std::string next = L("80006302") + L("30000815") + L("3101Anders");
    form_->BeforeRequestConsumed = [&] {
        const fs::path written = folder_ / "next.tmp";
        WriteBytes(written, next);
        fs::rename(written, request_);
    };
    MeasureWithRequest(MusterErika);
    EXPECT_EQ(Label(form_->LblName), "Muster, Erika");
    EXPECT_EQ(ReadBytes(request_), next);
    form_->BeforeRequestConsumed = [] {};
    Receive(ValidFrame);
    EXPECT_EQ(Label(form_->LblName), "Anders");
    EXPECT_EQ(Label(form_->LblPatNo), "0815");
    EXPECT_FALSE(fs::exists(request_));
}

} // namespace
