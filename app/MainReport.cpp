// The main window's report step: the PDF of each valid measurement and its hand-off to the
// desktop's viewer and printer.

#include "app/DateTimeText.h"
#include "app/Main.h"
#include "app/ReportFile.h"
#include "app/SettingKeys.h"
#include "platform/Errors.h"
#include "platform/files/Files.h"
#include "platform/shell/Shell.h"
#include "support/VexAbstract.h"
#include "support/VexDateTime.h"
#include "support/VexFiles.h"
#include "support/VexMsgFlags.h"
#include "support/widgets/ErrorGuard.h"
#include "support/widgets/VexFrmMsgBox.h"
#include "support/widgets/VexMisc.h"

#include <QLabel>

namespace {

const char* const ReportProjectFileName = "LirnQuarn.rav";
const char* const MeasurementReport = "RptMeasurement";
const char* const NoFolderMessage =
    "PDF-Datei konnte nicht erzeugt werden, da kein Zielordner festgelegt wurde.";
const char* const SetFolderNowCaption = "Zielordner jetzt festlegen";
constexpr int ReportColumnWidth = 20;
const char* const ReportColumns[] = {"Systole", "Diastole", "Puls", "MAD", "Arrhythmie"};

} // namespace

void TFrmMain::CreateReportComponents() {
    RvProject.Engine = &RvSystem;
    RvProject.AddConnection(RvConMeasurement);
    RvSystem.SystemSetups = 0;
    RvSystem.SystemOptions = soAllowPrintFromPreview | soAllowSaveFromPreview | soPreviewModal;
    RvConMeasurement.OnGetCols = [this](TRvCustomConnection& connection) {
        RvConMeasurementGetCols(connection);
    };
    RvConMeasurement.OnEOF = [this](TRvCustomConnection& connection, bool& eof) {
        RvConMeasurementEOF(connection, eof);
    };
    RvConMeasurement.OnGetRow = [this](TRvCustomConnection& connection) {
        RvConMeasurementGetRow(connection);
    };
    RvConMeasurement.OnNext = [this](TRvCustomConnection& connection) {
        RvConMeasurementNext(connection);
    };
}

void TFrmMain::SetReportProjectFile() {
    RvProject.SetProjectFile(ProgramDir + ReportProjectFileName);
}

void TFrmMain::ProduceReport() {
    if (!DirectoryExists(AppSettings->ReadString(PdfFolderKey))) {
        AskForReportFolder();
        return;
    }
    RvSystem.DefaultDest = rdFile;
    RvSystem.DoNativeOutput = false;
    RvSystem.RenderObject = &RvRenderPDF;
    RvSystem.OutputFileName = ReportFilePath(AppSettings->ReadString(PdfFolderKey));
    SetReportParams();
    const std::string path = RvSystem.OutputFileName;
    WrittenReportBytes.reset();
    try {
        if (!RvProject.SelectReport(MeasurementReport)) {
            DeleteEarlierReport(path);
            return;
        }
        RvProject.Execute();
    } catch (const QuarnError& error) {
        if (!RemoveReport(path)) {
            throw ReportError(std::string(error.what()) + "\r\n" + ReportNotDeletedMessage(path));
        }
        throw;
    }
    ReportFrame = ShownFrame;
    if (const auto stamp = FileStampOf(path)) {
        WrittenReport.emplace(path, *stamp);
        KeepReportBytes(path);
    }
    RemoveStaleReportTemporaries(AppSettings->ReadString(PdfFolderKey));
}

// A report that cannot be read back has no copy for the archive; the export says so.
void TFrmMain::KeepReportBytes(const std::string& path) {
    try {
        WrittenReportBytes = ReadFileBytes(path);
    } catch (const FileError&) {
        WrittenReportBytes.reset();
    }
}

std::optional<std::string> TFrmMain::ReportOf(uint64_t frame) const {
    if (ReportFrame != frame) {
        return std::nullopt;
    }
    return WrittenReportBytes;
}

// An error ends the measurement's steps; a stream of measurements onto a disk that fails shows
// its box once.
bool TFrmMain::ProduceReportOf(uint64_t frame) {
    try {
        ProduceReport();
        return true;
    } catch (const QuarnError& error) {
        ReportFrame = frame;
        ShowBoxOnce(BoxKind::ReportFailed, [&] { ShowUncaughtError(error); });
        return false;
    }
}

void TFrmMain::AskForReportFolder() {
    ShowBoxOnce(BoxKind::NoReportFolder, [this] {
        bool setFolderNow = false;
        ShowMsgCheck(NoFolderMessage, SetFolderNowCaption, setFolderNow, MB_ICONEXCLAMATION, 0);
        if (setFolderNow) {
            BtnSettingsClick();
        }
    });
}

// The patient only when this measurement's request named one; the time as the window shows it.
void TFrmMain::SetReportParams() {
    const bool birthDateKnown = PatientTaken && Patient.BirthDate != 0;
    RvProject.SetParam("MeasuredAt", LblDateTime->text().toStdString());
    RvProject.SetParam("PatientName", PatientTaken ? PatientDisplayName(Patient) : "");
    RvProject.SetParam("PatientNo", PatientTaken ? Patient.PatientNo : "");
    RvProject.SetParam("PatientBirthDate",
                       birthDateKnown ? FormatShortDate(Patient.BirthDate, FormatSettings) : "");
}

// A measurement without its own report must not leave an earlier one, perhaps of another
// patient, to be shown or printed in its place.
void TFrmMain::DeleteEarlierReport(const std::string& path) {
    if (!RemoveReport(path)) {
        ShowBoxOnce(BoxKind::ReportFailed,
                    [&] { ShowMsg(ReportNotDeletedMessage(path), MB_ICONEXCLAMATION); });
    }
}

void TFrmMain::HandOverReport(uint64_t frame) {
    if (AppSettings->ReadString(PdfShowKey) == FlagOn) {
        BtnPDFShowClick();
    }
    if (IsShown(frame) && AppSettings->ReadString(PdfPrintKey) == FlagOn) {
        BtnPDFPrintClick();
    }
}

void TFrmMain::BtnPDFShowClick() {
    HandReportToShell(ShellVerb::Open);
}

void TFrmMain::BtnPDFPrintClick() {
    HandReportToShell(ShellVerb::Print);
}

void TFrmMain::HandReportToShell(ShellVerb verb) {
    const std::string folder = AppSettings->ReadString(PdfFolderKey);
    const std::string path = ReportFilePath(folder);
    // Without a folder no report was written; a file of that name elsewhere is not ours.
    if (folder.empty() || !FileExists(path)) {
        ShowBoxOnce(BoxKind::ReportMissing,
                    [&] { ShowMsg(path + " ist nicht vorhanden.", MB_ICONEXCLAMATION); });
        return;
    }
    ShellExecute(verb, path);
}

void TFrmMain::RvConMeasurementGetCols(TRvCustomConnection& connection) {
    ReportRow = 0;
    for (const char* column : ReportColumns) {
        connection.WriteField(column, dtString, ReportColumnWidth, "", "");
    }
}

void TFrmMain::RvConMeasurementEOF(TRvCustomConnection& /*connection*/, bool& eof) {
    eof = ReportRow > 0;
}

void TFrmMain::RvConMeasurementGetRow(TRvCustomConnection& connection) {
    for (const QLabel* value : {LblUSBSystole, LblUSBDiastole, LblUSBPuls, LblUSBMad, LblUSBArr}) {
        connection.WriteStrData("", value->text().toStdString());
    }
}

void TFrmMain::RvConMeasurementNext(TRvCustomConnection& /*connection*/) {
    ReportRow = 1;
}
