#pragma once
// TFrmMain: the program's one window, showing the measurement and driving the monitor.

#include "app/Gdt.h"
#include "device/MeasurementFrame.h"
#include "report/RvConnection.h"
#include "report/RvProject.h"
#include "report/RvRenderPDF.h"
#include "report/RvSystem.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>

enum class ShellVerb;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QStatusBar;
class QTimer;

constexpr int MainClientWidth = 394;

// The boxes the window opens on its own. At most one of a kind is open at a time: measurements
// that arrive under a box are shown, but stack no box on it.
enum class BoxKind {
    Discovery,
    Checksum,
    InvalidRequest,
    UnreadableRequest,
    RequestNotRemoved,
    NoReportFolder,
    ReportFailed,
    ReportMissing,
};
constexpr int MainClientHeightCompact = 384;
constexpr int MainClientHeightExtended = 434;

class TFrmMain : public QWidget {
    Q_OBJECT

public:
    explicit TFrmMain(QWidget* parent = nullptr);
    ~TFrmMain() override;

    QFrame* PnlTop = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* LblName = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* LblPatNo = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* LblDateTime = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* LblUSBSystole = nullptr;
    QLabel* LblUSBDiastole = nullptr;
    QLabel* LblUSBPuls = nullptr;
    QLabel* LblUSBMad = nullptr;
    QLabel* LblUSBArr = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QFrame* PnlBottom = nullptr;
    QPushButton* BtnExport = nullptr;
    QPushButton* BtnSettings = nullptr;
    QPushButton* BtnClose = nullptr;
    QFrame* PnlExtend = nullptr;
    QLabel* LblDevice = nullptr;
    QComboBox* CmbUSBDevices = nullptr;
    QPushButton* BtnConnect = nullptr;
    QStatusBar* StbMain = nullptr;
    QTimer* TmUSB = nullptr;
    QTimer* TmConnect = nullptr;
    TRvProject RvProject;
    TRvSystem RvSystem;
    TRvRenderPDF RvRenderPDF;
    TRvCustomConnection RvConMeasurement{"RvConMeasurement"};

    std::string SerialNo;
    bool Connected = false;
    // The shown measurement with its reception time MeasuredAt.
    ::Measurement Measurement;
    // The patient of the last GDT request and the requesting program's identifier (raw bytes).
    PatientRecord Patient;
    std::string SenderId;
    // Row position of the report connection: 0 before its one row, 1 after it.
    int32_t ReportRow = 0;

    // The one text of the status bar.
    std::string StatusText() const;
    void SetStatusText(const std::string& text);

    // Device discovery; the sender is the window when the platform shows it, none on a retry.
    void FormShow(QObject* sender);
    void BtnConnectClick();
    void CmbUSBDevicesChange();
    // The settings dialog over this window; also run by the report step.
    void BtnSettingsClick();
    void TmConnectTimer();
    void FormClose();
    void TmUSBTimer();
    void BtnExportClick();

    // The report step of the measurement cycle: the PDF of the shown measurement into the PDF
    // folder, or the question for a folder when there is none.
    void ProduceReport();
    // Hand the PDF to the desktop's viewer or printer, or say that it is not there.
    void BtnPDFShowClick();
    void BtnPDFPrintClick();

    // The report connection's events.
    void RvConMeasurementGetCols(TRvCustomConnection& connection);
    void RvConMeasurementEOF(TRvCustomConnection& connection, bool& eof);
    void RvConMeasurementGetRow(TRvCustomConnection& connection);
    void RvConMeasurementNext(TRvCustomConnection& connection);

    // Takes a complete request into Patient and SenderId; false, after its message, for an
    // invalid or too large one, which clears Patient.
    bool ImportFile(const GdtRequestFile& request);
    // Runs show unless a box of its kind is open; false when it did not run.
    bool ShowBoxOnce(BoxKind kind, const std::function<void()>& show);
    bool IsBoxOpen(BoxKind kind) const;
    // Runs just before a request that was read is removed (tests delay there).
    std::function<void()> BeforeRequestConsumed = [] {};
    // Writes the result record, with the options the settings hold now; with the attachment on,
    // report (the bytes of the measurement's report, if it has one) is first copied into the
    // archive folder. False, after its message, when the path's folder does not exist or the
    // copy cannot be made: nothing is written then, and the export can be done again. A record
    // that cannot be written throws FileError and leaves no copy behind.
    bool ExportFile(const std::string& fileName);
    bool ExportFile(const std::string& fileName, const GdtResultData& data,
                    const std::optional<std::string>& report);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateHeadPanel();
    void CreateValueRows();
    void CreateButtonPanel();
    void CreateDevicePanel();
    void CreateStatusBar();
    void CreateTimers();
    void SetClientHeight(int height);
    void ShowDeviceRow(bool shown);
    // Shows a box of discovery or connection; the reconnect timer waits while it is open.
    void ShowDiscoveryMessage(const std::string& text, int32_t flags);
    void ShowNoDevice();
    // False when the device could not be opened.
    bool ConnectOnlyDevice();
    void OfferDevices();
    int IndexOfDeviceEntry(const std::string& entry) const;
    void EnterConnected();
    void LoseDevice();
    void ShowDecoded(DecodeOutcome outcome);
    void ShowChecksumMessage();
    void ShowMeasurementTexts();
    void ClearPatientLabels();
    void ShowValidMeasurement();
    bool IsShown(uint64_t frame) const;
    // A measurement that ends before its report leaves no report of an earlier one.
    void EndWithoutReport(uint64_t frame);
    void TakeGdtRequest(uint64_t frame);
    // The request at path, or nothing after the box that names it when it cannot be read.
    std::optional<GdtRequestFile> ReadRequest(const std::string& path);
    void ConsumeRequest(const std::string& fileName, const FileStamp& stamp);
    // A note of the GDT step in the status bar, until the next measurement's GDT step.
    void ShowGdtNote(const std::string& note);
    void ClearGdtNote();
    GdtResultData ResultData() const;
    // The bytes of the report written for frame; nothing when it has none.
    std::optional<std::string> ReportOf(uint64_t frame) const;
    // The options of the record; nothing, after its message, when the export cannot be done.
    std::optional<GdtResultOptions> ExportOptions(const GdtResultData& data,
                                                  const std::optional<std::string>& report);
    void BringToFront();
    void DeleteReportFile();
    // Tells the user once that the settings were broken and where the old file lies, or that
    // they belong to another user and are not used.
    void ShowSettingsNotices();
    void CreateReportComponents();
    void SetReportProjectFile();
    void SetReportParams();
    void AskForReportFolder();
    // The report step within the cycle: false, after its box, when the report failed.
    bool ProduceReportOf(uint64_t frame);
    // Removes a report that is not the shown measurement's; says so when it cannot.
    void DeleteEarlierReport(const std::string& path);
    void HandOverReport(uint64_t frame);
    void HandReportToShell(ShellVerb verb);
    void KeepReportBytes(const std::string& path);

    // True while the patient labels show the patient of this measurement's request.
    bool PatientTaken = false;

    // The kinds of box open now.
    std::set<BoxKind> OpenBoxes;
    // Counts the frames shown: a step that resumes after a box goes on only while the frame it
    // serves is still the last one shown.
    uint64_t ShownFrame = 0;
    // The last shown frame that was a valid measurement, and the one whose report was written.
    uint64_t LastValidFrame = 0;
    uint64_t ReportFrame = 0;
    // The report this window wrote, as it left it: only that one is removed at the end.
    std::optional<std::pair<std::string, FileStamp>> WrittenReport;
    // What the report of ReportFrame holds, as it was written: its archive copy is that report
    // even when the file was replaced or removed since.
    std::optional<std::string> WrittenReportBytes;
    // A request that was taken but could not be deleted: the same unchanged file is not taken
    // again.
    std::optional<FileStamp> ConsumedRequest;
    // The GDT note shown and the status text it covers.
    std::string GdtNote;
    std::string StatusBeforeGdtNote;
};

// Creates AppSettings and sets the application title.
void MainStartup();
