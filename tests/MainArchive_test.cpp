#include "app/Main.h"
#include "app/ReportArchive.h"
#include "common/BlockedFile.h"
#include "common/window/ArchiveExportFixture.h"
#include "support/VexDateTime.h"
#include "support/widgets/VexFrmMsgBox.h"

#include <QLabel>
#include <QMessageBox>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

std::string MsgBoxText(QWidget& box) {
    return AsMsgBox(box).Text();
}

class MainArchiveTest : public ArchiveExportFixture {
protected:
    // Confirms the export and answers each box that follows with OK, keeping their texts.
    std::vector<std::string> ClickExport(size_t boxesAfterQuestion) {
        std::vector<std::string> texts;
        ModalBoxAnswerer answer;
        answer.Press("&OK");
        for (size_t i = 0; i < boxesAfterQuestion; ++i) {
            answer.Inspect([&](QWidget& box) { texts.push_back(MsgBoxText(box)); }).Press("&OK");
        }
        form_->BtnExport->click();
        EXPECT_TRUE(answer.Finished());
        return texts;
    }

    std::string ExpectedBaseName() const {
        return "A_47_11_" + FormatDateTimeByMask("YYYYMMDD-HHNNSS", form_->Measurement.MeasuredAt);
    }
};

// The copy is the report the measurement got, also after the one in the PDF folder is gone
// (the settings dialog's OK removes it).
TEST_F(MainArchiveTest, CopyIsTheMeasurementsReportAndTheRecordNamesIt) {
    ASSERT_NO_FATAL_FAILURE(Measure());
    const std::string report = ReadBytes(ReportPath());
    fs::remove(ReportPath());
    SetOptions(true, true);

    EXPECT_TRUE(ClickExport(0).empty());
    EXPECT_FALSE(form_->BtnExport->isEnabled());

    const auto lines = ParseGdtRecord(ReadBytes(result_));
    const fs::path copy = archive_ / (ExpectedBaseName() + ".pdf");
    EXPECT_EQ(ArchiveFiles(), std::vector<fs::path>{copy});
    EXPECT_EQ(ReadBytes(copy), report);
    EXPECT_EQ(ContentOf(lines, 6302), ExpectedBaseName());
    EXPECT_EQ(ContentOf(lines, 6303), "PDF");
    EXPECT_EQ(ContentOf(lines, 6304), "Blutdruckmessung");
    EXPECT_EQ(ContentOf(lines, 6305), copy.string());
    EXPECT_EQ(ContentOf(lines, 6201),
              FormatDateTimeByMask("HHNNSS", form_->Measurement.MeasuredAt));
    EXPECT_EQ(ContentsOf(lines, 8420),
              (std::vector<std::string>{Label(form_->LblUSBSystole), Label(form_->LblUSBDiastole),
                                        Label(form_->LblUSBPuls), Label(form_->LblUSBMad)}));
    EXPECT_EQ(ContentsOf(lines, 8480), std::vector<std::string>{Label(form_->LblUSBArr)});
}

// The copy belongs to the measurement the user confirmed, not to one that arrived under the
// question and replaced lirn.pdf.
TEST_F(MainArchiveTest, MeasurementUnderTheQuestionLeavesTheConfirmedReport) {
    ASSERT_NO_FATAL_FAILURE(Measure());
    const std::string confirmed = ReadBytes(ReportPath());
    const std::string name = ExpectedBaseName() + ".pdf";
    SetOptions(false, true);
    ModalBoxAnswerer answer(std::chrono::seconds(5));
    answer
        .Inspect([&](QWidget&) {
            WriteBytes(request_, L("80006302") + L("30000815") + L("3101Anders"));
            script_->arrive("802D5A3C6B0121");
            form_->TmUSBTimer();
        })
        .Press("&OK");
    form_->BtnExport->click();
    ASSERT_TRUE(answer.Finished());
    ASSERT_NE(ReadBytes(ReportPath()), confirmed) << "the second measurement wrote no report";
    EXPECT_EQ(ArchiveFiles(), std::vector<fs::path>{archive_ / name});
    EXPECT_EQ(ReadBytes(archive_ / name), confirmed);
    EXPECT_TRUE(form_->BtnExport->isEnabled()) << "the newer measurement lost its export";
}

TEST_F(MainArchiveTest, NoLaterExportOverwritesACopy) {
    ASSERT_NO_FATAL_FAILURE(Measure());
    SetOptions(false, true);
    ASSERT_TRUE(form_->ExportFile(result_.string()));
    const fs::path first = archive_ / (ExpectedBaseName() + ".pdf");
    WriteBytes(first, "the practice's own copy");
    ASSERT_TRUE(form_->ExportFile(result_.string()));
    ASSERT_TRUE(form_->ExportFile(result_.string()));

    const fs::path second = archive_ / (ExpectedBaseName() + "_2.pdf");
    const fs::path third = archive_ / (ExpectedBaseName() + "_3.pdf");
    EXPECT_EQ(ArchiveFiles(), (std::vector<fs::path>{first, second, third}));
    EXPECT_EQ(ReadBytes(first), "the practice's own copy");
    EXPECT_EQ(ReadBytes(third), ReadBytes(ReportPath()));
    const auto lines = ParseGdtRecord(ReadBytes(result_));
    EXPECT_EQ(ContentOf(lines, 6302), ExpectedBaseName() + "_3");
    EXPECT_EQ(ContentOf(lines, 6305), third.string());
    EXPECT_EQ(ContentOf(lines, 8410), "<missing>");
}

// Nothing is lost: the export waits until the folder is there.
TEST_F(MainArchiveTest, MissingArchiveFolderStopsTheExportUntilItIsThere) {
    ASSERT_NO_FATAL_FAILURE(Measure());
    SetOptions(true, true);
    const fs::path missing = home_.root() / "nicht-da";
    settings_->WriteString(ArchiveFolderKey, missing.string());
    EXPECT_EQ(ClickExport(1),
              std::vector<std::string>{ArchiveFolderMissingMessage(missing.string())});
    EXPECT_FALSE(fs::exists(result_));
    EXPECT_TRUE(form_->BtnExport->isEnabled());

    settings_->WriteString(ArchiveFolderKey, "");
    EXPECT_EQ(ClickExport(1), std::vector<std::string>{ArchiveFolderMissingMessage("")});
    EXPECT_FALSE(fs::exists(result_));

    fs::create_directory(missing);
    settings_->WriteString(ArchiveFolderKey, missing.string());
    EXPECT_TRUE(ClickExport(0).empty());
    EXPECT_EQ(ContentOf(ParseGdtRecord(ReadBytes(result_)), 6305),
              (missing / (ExpectedBaseName() + ".pdf")).string());
    EXPECT_FALSE(form_->BtnExport->isEnabled());
}

TEST_F(MainArchiveTest, WithoutAReportTheRecordGoesWithoutReferenceAfterABox) {
    settings_->WriteString(PdfFolderKey, (home_.root() / "kein-pdf-ordner").string());
    {
        ModalBoxAnswerer folderQuestion;
        folderQuestion.Press("&OK");
        ASSERT_NO_FATAL_FAILURE(Measure());
        EXPECT_TRUE(folderQuestion.Finished());
    }
    SetOptions(true, true);
    EXPECT_EQ(ClickExport(1), std::vector<std::string>{NoReportToArchiveMessage});
    const auto lines = ParseGdtRecord(ReadBytes(result_));
    EXPECT_EQ(ContentOf(lines, 6305), "<missing>");
    EXPECT_EQ(ContentsOf(lines, 8410).size(), 5u);
    EXPECT_TRUE(ArchiveFiles().empty());
    EXPECT_FALSE(form_->BtnExport->isEnabled());
}

TEST_F(MainArchiveTest, InvalidOwnIdentsStopTheExport) {
    ASSERT_NO_FATAL_FAILURE(Measure());
    SetOptions(true, false);
    settings_->WriteString(GdtTestIdentsKey, "SYS;DIA;HF");
    EXPECT_EQ(ClickExport(1), std::vector<std::string>{InvalidTestIdentsMessage});
    EXPECT_FALSE(fs::exists(result_));
    EXPECT_TRUE(form_->BtnExport->isEnabled());

    settings_->WriteString(GdtTestIdentsKey, "SYS;DIA;HF;MAD;ARR");
    EXPECT_TRUE(ClickExport(0).empty());
    EXPECT_EQ(ContentsOf(ParseGdtRecord(ReadBytes(result_)), 8410),
              (std::vector<std::string>{"SYS", "DIA", "HF", "MAD", "ARR"}));
}

// The options count at the export, not at the measurement; off, the record is what it was.
TEST_F(MainArchiveTest, OptionsAreReadAtTheExport) {
    SetOptions(true, true);
    ASSERT_NO_FATAL_FAILURE(Measure());
    SetOptions(false, false);
    EXPECT_TRUE(ClickExport(0).empty());
    EXPECT_EQ(LinesOf(ReadBytes(result_)).size(), 21u);
    EXPECT_TRUE(ArchiveFiles().empty());
}

// A record that cannot be written leaves no copy that nothing references.
TEST_F(MainArchiveTest, BlockedRecordLeavesNoCopy) {
    ASSERT_NO_FATAL_FAILURE(Measure());
    SetOptions(false, true);
    WriteBytes(result_, "old");
    ModalBoxAnswerer answer;
    answer.Press("&OK").Press("OK");
    {
        ScopedBlockedFile blocked(result_);
        form_->BtnExport->click();
    }
    EXPECT_TRUE(answer.Finished());
    EXPECT_TRUE(form_->BtnExport->isEnabled());
    EXPECT_EQ(ReadBytes(result_), "old");
    EXPECT_TRUE(ArchiveFiles().empty());
}

// The validator's test runs this with QUARN_PDFA_OUT naming a folder, into which the report
// and its archive copy go for the check of their PDF/A form.
TEST_F(MainArchiveTest, ReportAndItsCopyForTheValidator) {
    ASSERT_NO_FATAL_FAILURE(Measure());
    SetOptions(false, true);
    EXPECT_TRUE(ClickExport(0).empty());
    const fs::path copy = ContentOf(ParseGdtRecord(ReadBytes(result_)), 6305);
    ASSERT_TRUE(fs::exists(copy)) << copy;
    const std::string bytes = ReadBytes(copy);
    EXPECT_EQ(bytes, ReadBytes(ReportPath()));
    EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
    if (const char* out = std::getenv("QUARN_PDFA_OUT")) {
        fs::copy_file(ReportPath(), fs::path(out) / "report.pdf",
                      fs::copy_options::overwrite_existing);
        fs::copy_file(copy, fs::path(out) / copy.filename(), fs::copy_options::overwrite_existing);
    }
}

TEST(ArchiveNameTest, PatientNumberAndTimeWithForbiddenCharactersReplaced) {
    TDateTime day = 0;
    TDateTime time = 0;
    ASSERT_TRUE(TryEncodeDate(2026, 12, 11, day));
    ASSERT_TRUE(TryEncodeTime(9, 41, 5, 0, time));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"4711", "4711_20261211-094105"},
        {"A\\b/c:d*e", "A_b_c_d_e_20261211-094105"},
        {"?\"<>|", "______20261211-094105"},
        {"..", ".._20261211-094105"},
    };
    for (const auto& [patientNo, name] : cases) {
        EXPECT_EQ(ArchiveBaseName(patientNo, day + time), name) << patientNo;
    }
}

} // namespace
