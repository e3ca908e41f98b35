#pragma once
// TFrmMain: the program's one window, showing the measurement and driving the monitor.

#include "app/Gdt.h"
#include "device/MeasurementFrame.h"
#include "report/RvConnection.h"
#include "report/RvProject.h"
#include "report/RvRenderPDF.h"
#include "report/RvSystem.h"

#include <QWidget>
#include <string>

enum class ShellVerb;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QStatusBar;
class QTimer;

constexpr int MainClientWidth = 394;
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

    // Takes the request into Patient and SenderId; false, after its message, for an invalid one.
    // A file that cannot be read throws FileError before Patient or SenderId has changed.
    bool ImportFile(const std::string& fileName);
    // Writes the result record; false, after its message, when the path's folder does not exist.
    // A file that cannot be written throws FileError.
    bool ExportFile(const std::string& fileName);

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
    void ShowMeasurementTexts();
    void ClearPatientLabels();
    void ShowValidMeasurement();
    void TakeGdtRequest();
    GdtResultData ResultData() const;
    void BringToFront();
    void DeleteReportFile();
    // Tells the user once that the settings were broken and where the old file lies.
    void ShowSettingsResetNotice();
    void CreateReportComponents();
    void SetReportProjectFile();
    void SetReportParams();
    void AskForReportFolder();
    void DeleteEarlierReport(const std::string& path);
    void HandOverReport();
    void HandReportToShell(ShellVerb verb);

    // True while the patient labels show the patient of this measurement's request.
    bool PatientTaken = false;

    // True while a box of discovery or connection is open.
    bool DiscoveryMessageOpen = false;
};

// Creates AppSettings and sets the application title.
void MainStartup();
