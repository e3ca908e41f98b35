#include "app/Main.h"

#include "app/DateTimeText.h"
#include "app/ElidingLabel.h"
#include "app/Logo.h"
#include "app/ReportArchive.h"
#include "app/ReportFile.h"
#include "app/SettingKeys.h"
#include "app/UntSettings.h"
#include "device/D2XXUnit.h"
#include "device/MeasurementFrame.h"
#include "platform/Errors.h"
#include "platform/files/Files.h"
#include "platform/registry/Registry.h"
#include "support/VexAbstract.h"
#include "support/VexMsgFlags.h"
#include "support/VexSettings.h"
#include "support/VexStrings.h"
#include "support/widgets/ErrorGuard.h"
#include "support/widgets/VexFrmMsgBox.h"
#include "support/widgets/VexMisc.h"
#include "support/widgets/VexPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <string>

namespace {

constexpr int TopPanelHeight = 305;
constexpr int BottomPanelHeight = 60;
constexpr int ExtendPanelHeight = 50;
constexpr int StatusBarHeight = 19;
constexpr int PollInterval = 150;
constexpr int ReconnectInterval = 1000;
constexpr int ValueRightEdge = 172;
constexpr int ValueWidth = 90;
constexpr uint32_t MonitorBaudRate = 9600;
constexpr uint8_t MonitorWordLength = 8;
constexpr uint8_t MonitorStopBits = 2;
constexpr uint8_t MonitorParity = 0;
constexpr uint32_t MonitorReadTimeout = 50;
const char* const IncompleteRequestNote = "Die Importdatei ist noch nicht vollständig geschrieben.";
const char* const RequestTakenBeforeNote = "Die Importdatei wurde bereits übernommen.";
const char* const ChecksumMessage =
    "Es ist ein Prüfsummen-Fehler bei der Datenübertragung aufgetreten.\r\n"
    "Bitte Messung wiederholen.";

QFont PixelFont(const char* family, int pixels, bool bold) {
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

bool CanBeBold(const QString& family) {
    if (QFontDatabase::isSmoothlyScalable(family)) {
        return true;
    }
    const QStringList styles = QFontDatabase::styles(family);
    return std::any_of(styles.begin(), styles.end(),
                       [&](const QString& style) { return QFontDatabase::bold(family, style); });
}

// A bitmap-only MS Sans Serif cannot be emboldened here as on the platform it was made for;
// Arial, the face of the window's other bold texts, then carries the bold panel texts.
QFont PanelFont() {
    const char* family = "MS Sans Serif";
    if (QFontDatabase::hasFamily(family) && !CanBeBold(family)) {
        family = "Arial";
    }
    return PixelFont(family, 11, true);
}

QFrame* MakePanel(QWidget* parent, const char* name, const QRect& geometry) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setGeometry(geometry);
    return panel;
}

// Auto-sizing like a desktop label: the text decides the size, the top-left corner stays.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLabel* MakeBigLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = MakeLabel(parent, name, text, left, top);
    label->setFont(PixelFont("Arial", 19, true));
    label->adjustSize();
    return label;
}

// A value sits right-aligned against a fixed right edge so that numbers line up.
QLabel* MakeValueLabel(QWidget* parent, const char* name, int top) {
    auto* label = new QLabel("-", parent);
    label->setObjectName(name);
    label->setFont(PixelFont("Arial", 19, true));
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    label->setGeometry(ValueRightEdge - ValueWidth, top, ValueWidth, label->sizeHint().height());
    return label;
}

QLabel* MakeUnitLabel(QWidget* parent, const char* name, const QString& text, int top) {
    auto* label = MakeLabel(parent, name, text, 184, top);
    label->setFont(PixelFont("Arial", 11, true));
    label->adjustSize();
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text,
                        const QRect& geometry) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

void ApplyLineSettings() {
    BaudRate = MonitorBaudRate;
    SetFTDeviceBaudRate();
    WordLength = MonitorWordLength;
    StopBits = MonitorStopBits;
    Parity = MonitorParity;
    SetFTDeviceDataCharacteristics();
    SetFTDeviceTimeouts(MonitorReadTimeout, 0);
}

std::string StatusTextOf(uint32_t status) {
    std::string text;
    FTStatusText(status, text);
    return text;
}

std::string ReadErrorText() {
    std::string text;
    FTReadErrorText(text);
    return text;
}

std::string RequestNotRemovedMessage(const std::string& fileName) {
    return "Die Importdatei \"" + fileName +
           "\" konnte nicht gelöscht werden. Sie wird erst wieder übernommen, wenn die "
           "Praxissoftware sie neu schreibt.";
}

std::string ForeignSettingsMessage(const std::string& foreign) {
    return "Die Einstellungen unter " + foreign +
           " gehören einem anderen Benutzer und werden nicht verwendet. Das Programm arbeitet "
           "mit den Voreinstellungen und speichert dort nichts.";
}

std::string SettingsResetMessage(const std::string& movedTo) {
    return "Die Einstellungen waren beschädigt und wurden zurückgesetzt. Die alte Datei liegt "
           "unter " +
           movedTo + ".";
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// A tick queued before its timer stopped is dropped, as a stopped timer delivers none.
template <typename Handler> auto WhileRunning(const QTimer* timer, Handler handler) {
    return [timer, handler = std::move(handler)]() mutable {
        if (timer->isActive()) {
            handler();
        }
    };
}

} // namespace

void MainStartup() {
    AppSettings = std::make_unique<TRegistrySettings>("Software/Lirn/Quarn", 1);
    ApplicationTitle = "lirn-quarn professional";
}

TFrmMain::TFrmMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("FrmMain");
    setWindowTitle("lirn Quarn professional - Blutdruckmessung");
    setFont(PixelFont("Tahoma", 11, false));
    CreateHeadPanel();
    CreateValueRows();
    CreateButtonPanel();
    CreateDevicePanel();
    CreateStatusBar();
    CreateTimers();
    CreateReportComponents();
    SetClientHeight(MainClientHeightCompact);
}

TFrmMain::~TFrmMain() = default;

void TFrmMain::CreateHeadPanel() {
    PnlTop = MakePanel(this, "PnlTop", QRect(0, 0, MainClientWidth, TopPanelHeight));
    Panel1 = new QFrame(PnlTop);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(1, 1, MainClientWidth - 2, 147);
    Panel1->setFont(PanelFont());
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);

    Label6 = MakeLabel(Panel1, "Label6", "Name:", 12, 12);
    LblName = new TElidingLabel("-", Panel1);
    LblName->setObjectName("LblName");
    LblName->move(101, 12);
    LblName->adjustSize();
    Label7 = MakeLabel(Panel1, "Label7", "Patienten-Nr.:", 12, 29);
    LblPatNo = MakeLabel(Panel1, "LblPatNo", "-", 101, 29);
    // Patient texts may be long: they end before the logo instead of running under it, a name
    // with "…" and the whole of it as a tool tip.
    LblName->setFixedWidth(183);
    LblPatNo->setFixedWidth(183);
    // Names come from the practice software's file: never read as markup.
    LblName->setTextFormat(Qt::PlainText);
    LblPatNo->setTextFormat(Qt::PlainText);

    Bevel1 = new QFrame(Panel1);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel1->setGeometry(12, 55, 267, 2);

    Label4 = new QLabel("Um eine Messung durchzuführen, drücken Sie bitte die Start-Taste am Gerät",
                        Panel1);
    Label4->setObjectName("Label4");
    Label4->setFont(PixelFont("Arial", 11, true));
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Two lines in the designed font; a wider one wraps into the room above the time.
    Label4->setGeometry(12, 74, 260, std::max(28, Label4->heightForWidth(260)));

    LblDateTime = MakeBigLabel(Panel1, "LblDateTime", "-", 12, 114);
    LblDateTime->setFixedWidth(260);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    Image1->setGeometry(288, 5, 95, 74);
    Image1->setPixmap(MakeLogoPixmap());
}

void TFrmMain::CreateValueRows() {
    Label10 = MakeBigLabel(PnlTop, "Label10", "Systole", 12, 153);
    Label11 = MakeBigLabel(PnlTop, "Label11", "Diastole", 12, 183);
    Label12 = MakeBigLabel(PnlTop, "Label12", "Puls", 12, 213);
    Label13 = MakeBigLabel(PnlTop, "Label13", "MAD", 12, 243);
    Label14 = MakeBigLabel(PnlTop, "Label14", "Arrhythmie", 12, 273);
    LblUSBSystole = MakeValueLabel(PnlTop, "LblUSBSystole", 153);
    LblUSBDiastole = MakeValueLabel(PnlTop, "LblUSBDiastole", 183);
    LblUSBPuls = MakeValueLabel(PnlTop, "LblUSBPuls", 213);
    LblUSBMad = MakeValueLabel(PnlTop, "LblUSBMad", 243);
    LblUSBArr = MakeValueLabel(PnlTop, "LblUSBArr", 273);
    Label1 = MakeUnitLabel(PnlTop, "Label1", "mmHg", 159);
    Label2 = MakeUnitLabel(PnlTop, "Label2", "mmHg", 189);
    Label3 = MakeUnitLabel(PnlTop, "Label3", "PUL/min.", 219);
    Label5 = MakeUnitLabel(PnlTop, "Label5", "mmHg", 249);
}

void TFrmMain::CreateButtonPanel() {
    PnlBottom =
        MakePanel(this, "PnlBottom", QRect(0, TopPanelHeight, MainClientWidth, BottomPanelHeight));
    BtnExport = MakeButton(PnlBottom, "BtnExport", "GDT-Export", QRect(20, 21, 85, 25));
    BtnExport->setEnabled(false);
    connect(BtnExport, &QPushButton::clicked, this, Guarded([this] { BtnExportClick(); }));
    BtnSettings = MakeButton(PnlBottom, "BtnSettings", "&Einstellungen", QRect(202, 21, 85, 25));
    connect(BtnSettings, &QPushButton::clicked, this, Guarded([this] { BtnSettingsClick(); }));
    BtnClose = MakeButton(PnlBottom, "BtnClose", "S&chließen", QRect(298, 21, 85, 25));
    connect(BtnClose, &QPushButton::clicked, this, Guarded([this] { close(); }));
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, BtnClose, &QPushButton::click);
}

void TFrmMain::CreateDevicePanel() {
    PnlExtend =
        MakePanel(this, "PnlExtend",
                  QRect(0, TopPanelHeight + BottomPanelHeight, MainClientWidth, ExtendPanelHeight));
    LblDevice = MakeLabel(PnlExtend, "LblDevice", "Gerät", 13, 18);
    CmbUSBDevices = new QComboBox(PnlExtend);
    CmbUSBDevices->setObjectName("CmbUSBDevices");
    CmbUSBDevices->setEditable(false);
    CmbUSBDevices->setGeometry(45, 14, 233, 21);
    BtnConnect = MakeButton(PnlExtend, "BtnConnect", "Verbinden", QRect(298, 12, 85, 25));
    connect(BtnConnect, &QPushButton::clicked, this, Guarded([this] { BtnConnectClick(); }));
    // Only the user's choice counts as a change, as when the list is filled by code.
    connect(CmbUSBDevices, &QComboBox::activated, this, Guarded([this] { CmbUSBDevicesChange(); }));
    PnlExtend->hide();

    setTabOrder(BtnExport, BtnSettings);
    setTabOrder(BtnSettings, BtnClose);
    setTabOrder(BtnClose, CmbUSBDevices);
    setTabOrder(CmbUSBDevices, BtnConnect);
}

void TFrmMain::CreateStatusBar() {
    StbMain = new QStatusBar(this);
    StbMain->setObjectName("StbMain");
    StbMain->setSizeGripEnabled(false);
}

void TFrmMain::CreateTimers() {
    TmUSB = new QTimer(this);
    TmUSB->setObjectName("TmUSB");
    TmUSB->setInterval(PollInterval);
    TmConnect = new QTimer(this);
    TmConnect->setObjectName("TmConnect");
    TmConnect->setInterval(ReconnectInterval);
    // Queued, so that a handler waiting in a modal box has left the timer's own event: Qt
    // does not deliver a timer again while its event is still being handled, and the cycle
    // relies on ticks inside its boxes.
    connect(TmUSB, &QTimer::timeout, this, Guarded(WhileRunning(TmUSB, [this] { TmUSBTimer(); })),
            Qt::QueuedConnection);
    connect(TmConnect, &QTimer::timeout, this,
            Guarded(WhileRunning(TmConnect, [this] { TmConnectTimer(); })), Qt::QueuedConnection);
}

std::string TFrmMain::StatusText() const {
    return StbMain->currentMessage().toStdString();
}

void TFrmMain::SetStatusText(const std::string& text) {
    StbMain->showMessage(QString::fromStdString(text));
}

void TFrmMain::SetClientHeight(int height) {
    setFixedSize(MainClientWidth, height);
    StbMain->setGeometry(0, height - StatusBarHeight, MainClientWidth, StatusBarHeight);
}

void TFrmMain::ShowDeviceRow(bool shown) {
    PnlExtend->setVisible(shown);
    SetClientHeight(shown ? MainClientHeightExtended : MainClientHeightCompact);
}

void TFrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A restore from the task bar is no new show.
    if (event->spontaneous()) {
        return;
    }
    GuardHandler([this] { FormShow(this); });
    // Queued, so that the notice comes once the window is up.
    QTimer::singleShot(0, this, Guarded([this] { ShowSettingsNotices(); }));
}

void TFrmMain::closeEvent(QCloseEvent* event) {
    GuardHandler([this] { FormClose(); });
    event->accept();
}

void TFrmMain::FormShow(QObject* sender) {
    if (sender) {
        RestoreFormPlacement(*this);
        RemoveStaleReportTemporaries(AppSettings->ReadString(PdfFolderKey));
    }
    ErrorReportsEnabled = false;
    const uint32_t status = GetFTDeviceCount();
    if (status != 0) {
        ShowDiscoveryMessage("Fehler DeviceCount." + std::to_string(status), MB_OK);
        return;
    }
    if (DeviceCount == 0) {
        ShowNoDevice();
        return;
    }
    if (DeviceCount == 1) {
        if (!ConnectOnlyDevice()) {
            return;
        }
    } else {
        OfferDevices();
    }
    SetReportProjectFile();
}

void TFrmMain::ShowDiscoveryMessage(const std::string& text, int32_t flags) {
    ShowBoxOnce(BoxKind::Discovery, [&] { ShowMsg(text, flags); });
}

bool TFrmMain::ShowBoxOnce(BoxKind kind, const std::function<void()>& show) {
    if (!OpenBoxes.insert(kind).second) {
        return false;
    }
    const auto closed = qScopeGuard([this, kind] { OpenBoxes.erase(kind); });
    show();
    return true;
}

bool TFrmMain::IsBoxOpen(BoxKind kind) const {
    return OpenBoxes.count(kind) > 0;
}

void TFrmMain::ShowNoDevice() {
    SetStatusText("Kein Gerät zur Blutdruckmessung gefunden.");
    ShowDeviceRow(false);
    Connected = false;
    TmConnect->start();
}

bool TFrmMain::ConnectOnlyDevice() {
    ShowDeviceRow(false);
    GetFTDeviceSerialNo(0);
    SerialNo = DeviceInfo;
    GetFTDeviceDescription(0);
    SetStatusText(SerialNo + " - " + DeviceInfo);
    const uint32_t status = Open_USB_Device_By_Serial_Number(SerialNo);
    if (status != 0) {
        SetStatusText("Fehler beim Öffnen: " + StatusTextOf(status));
        return false;
    }
    ApplyLineSettings();
    EnterConnected();
    return true;
}

void TFrmMain::OfferDevices() {
    ShowDeviceRow(true);
    CmbUSBDevices->clear();
    for (uint32_t i = 0; i < DeviceCount; ++i) {
        GetFTDeviceSerialNo(i);
        SerialNo = DeviceInfo;
        GetFTDeviceDescription(i);
        CmbUSBDevices->addItem(Q(SerialNo + " - " + DeviceInfo));
    }
    const int stored = IndexOfDeviceEntry(AppSettings->ReadString(LastConnectedKey));
    CmbUSBDevices->setCurrentIndex(stored >= 0 ? stored : 0);
    if (IndexOfDeviceEntry(AppSettings->ReadString(LastConnectedKey)) >= 0) {
        BtnConnectClick();
    }
}

int TFrmMain::IndexOfDeviceEntry(const std::string& entry) const {
    for (int i = 0; i < CmbUSBDevices->count(); ++i) {
        if (CmbUSBDevices->itemText(i).compare(Q(entry), Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

void TFrmMain::EnterConnected() {
    // Bytes of an earlier connection never join the new one's into a frame.
    ClearReceivedBytes();
    Connected = true;
    TmUSB->start();
    TmConnect->stop();
}

void TFrmMain::BtnConnectClick() {
    const std::string entry = CmbUSBDevices->currentText().toStdString();
    SerialNo = GetToken(entry, " - ", 1);
    if (Connected) {
        CloseFTDevice();
    }
    const uint32_t status = Open_USB_Device_By_Serial_Number(SerialNo);
    if (status != 0) {
        ShowDiscoveryMessage("Fehler beim Öffnen: " + StatusTextOf(status), MB_ICONHAND);
        return;
    }
    ApplyLineSettings();
    SetStatusText(entry);
    EnterConnected();
    AppSettings->WriteString(LastConnectedKey, entry);
}

void TFrmMain::CmbUSBDevicesChange() {
    BtnConnect->setEnabled(CmbUSBDevices->currentIndex() >= 0);
}

void TFrmMain::BtnSettingsClick() {
    TFrmSettings::Execute(this);
}

void TFrmMain::TmConnectTimer() {
    // A retry under discovery's own open box would stack one box per second on it.
    if (Connected || IsBoxOpen(BoxKind::Discovery)) {
        return;
    }
    FormShow(nullptr);
}

void TFrmMain::FormClose() {
    // A tick while a closing box is open would reopen the device that is being released.
    TmUSB->stop();
    TmConnect->stop();
    if (!SerialNo.empty()) {
        CloseFTDevice();
    }
    SaveFormPlacement(*this);
    DeleteReportFile();
    // What happened to the settings during the run is told before the program ends.
    ShowSettingsNotices();
}

void TFrmMain::ShowSettingsNotices() {
    if (const auto aside = TakeMovedAsideHive()) {
        ShowMsg(SettingsResetMessage(aside->string()), MB_OK | MB_ICONEXCLAMATION);
    }
    if (const auto foreign = TakeForeignHive()) {
        ShowMsg(ForeignSettingsMessage(foreign->string()), MB_OK | MB_ICONEXCLAMATION);
    }
}

// Only the report this window wrote, as it wrote it: a second window that never got the monitor
// leaves the first one's report alone, and so does one whose report was since replaced.
void TFrmMain::DeleteReportFile() {
    if (!WrittenReport) {
        return;
    }
    const auto& [path, stamp] = *WrittenReport;
    if (FileStampOf(path) == stamp && !DeleteFile(path)) {
        ShowMsg(ReportNotDeletedMessage(path), MB_ICONASTERISK);
    }
}

void TFrmMain::TmUSBTimer() {
    ReceiveFrameBytes();
    if (LastReadStatus != 0) {
        LoseDevice();
    }
    // Every frame that came is shown, however many came since the last poll.
    for (DecodeOutcome outcome = DecodeFrame(Measurement); outcome != NoFrame;
         outcome = DecodeFrame(Measurement)) {
        ShowDecoded(outcome);
    }
}

void TFrmMain::ShowDecoded(DecodeOutcome outcome) {
    if (outcome == NoFrame) {
        return;
    }
    ++ShownFrame;
    switch (outcome) {
    case NoFrame:
        return;
    case ChecksumError:
        ShowMeasurementTexts();
        // The zeros are no measurement: none of them may reach the practice software.
        BtnExport->setEnabled(false);
        ShowChecksumMessage();
        return;
    case StatusFrame:
        ShowMeasurementTexts();
        ClearPatientLabels();
        BtnExport->setEnabled(false);
        return;
    case ValidMeasurement:
        ShowValidMeasurement();
        return;
    }
}

// Ticks go on inside the box: a stream of bad frames updates the values under it instead of
// stacking one box on the other.
void TFrmMain::ShowChecksumMessage() {
    ShowBoxOnce(BoxKind::Checksum, [] { ShowMsg(ChecksumMessage, MB_ICONEXCLAMATION); });
}

void TFrmMain::LoseDevice() {
    TmUSB->stop();
    SetStatusText(ReadErrorText());
    Connected = false;
    // libftdi cannot open a device this process still holds: give the handle back first.
    CloseFTDevice();
    TmConnect->start();
}

void TFrmMain::ShowMeasurementTexts() {
    LblUSBSystole->setText(Q(Measurement.Systole));
    LblUSBDiastole->setText(Q(Measurement.Diastole));
    LblUSBPuls->setText(Q(Measurement.Puls));
    LblUSBMad->setText(Q(Measurement.MAD));
    LblUSBArr->setText(Q(Measurement.Arrhythmie));
}

void TFrmMain::ClearPatientLabels() {
    LblName->setText("-");
    LblPatNo->setText("-");
    PatientTaken = false;
}

// Every step that may have waited in a box goes on only while its frame is still the last one
// shown: a frame that arrived meanwhile was handled whole, and the window is that one's now.
void TFrmMain::ShowValidMeasurement() {
    const uint64_t frame = ShownFrame;
    LastValidFrame = frame;
    ShowMeasurementTexts();
    Measurement.MeasuredAt = NowAsDateTime();
    LblDateTime->setText(Q(FormatShortDateTime(Measurement.MeasuredAt, FormatSettings)));
    ClearPatientLabels();
    BtnExport->setEnabled(false);
    TakeGdtRequest(frame);
    if (!IsShown(frame)) {
        EndWithoutReport(frame);
        return;
    }
    if (!ProduceReportOf(frame) || !IsShown(frame)) {
        return;
    }
    QApplication::beep();
    BringToFront();
    HandOverReport(frame);
}

bool TFrmMain::IsShown(uint64_t frame) const {
    return ShownFrame == frame;
}

// A newer measurement replaced or removed the report itself; after a checksum error or a status
// frame the one on disk would be an earlier measurement's.
void TFrmMain::EndWithoutReport(uint64_t frame) {
    const std::string folder = AppSettings->ReadString(PdfFolderKey);
    if (LastValidFrame != frame || ReportFrame == frame || folder.empty()) {
        return;
    }
    DeleteEarlierReport(ReportFilePath(folder));
}

// A request still being written, or one taken before that could not be deleted, is not taken:
// the measurement stays without patient, and so it does when the request cannot be read.
void TFrmMain::TakeGdtRequest(uint64_t frame) {
    ClearGdtNote();
    const std::string path = AppSettings->ReadString(ImportPathKey);
    if (!FileExists(path)) {
        return;
    }
    if (ConsumedRequest && FileStampOf(path) == ConsumedRequest) {
        ShowGdtNote(RequestTakenBeforeNote);
        return;
    }
    const std::optional<GdtRequestFile> request = ReadRequest(path);
    if (!request || !IsShown(frame)) {
        return;
    }
    if (request->state == GdtRequestState::Incomplete) {
        ShowGdtNote(IncompleteRequestNote);
        return;
    }
    if (!ImportFile(*request) || !IsShown(frame)) {
        return;
    }
    LblName->setText(Q(PatientDisplayName(Patient)));
    LblPatNo->setText(Q(Patient.PatientNo));
    PatientTaken = true;
    ConsumeRequest(path, request->stamp);
    if (IsShown(frame)) {
        BtnExport->setEnabled(true);
    }
}

std::optional<GdtRequestFile> TFrmMain::ReadRequest(const std::string& path) {
    try {
        return ReadGdtRequestFile(path, PauseForRequestWriter);
    } catch (const FileError& error) {
        ShowBoxOnce(BoxKind::UnreadableRequest, [&] {
            ShowMsg(UnreadableRequestMessage(path, UncaughtErrorText(error.what())),
                    MB_OK | MB_ICONEXCLAMATION);
        });
        return std::nullopt;
    }
}

// A request without a patient number names nobody a measurement could be filed under.
bool TFrmMain::ImportFile(const GdtRequestFile& request) {
    if (request.state == GdtRequestState::Complete &&
        ParseGdtRequest(request.bytes, Patient, SenderId) && !Patient.PatientNo.empty()) {
        return true;
    }
    Patient = PatientRecord{};
    ShowBoxOnce(BoxKind::InvalidRequest,
                [] { ShowMsg(InvalidImportMessage, MB_OK | MB_ICONEXCLAMATION); });
    return false;
}

// A request serves one measurement. One that cannot be deleted stays remembered, so that it
// does not give its patient to the next measurement too; it still serves this one.
void TFrmMain::ConsumeRequest(const std::string& fileName, const FileStamp& stamp) {
    // A request put in its place meanwhile stays for the next measurement.
    if (ConsumeGdtRequest(fileName, stamp, BeforeRequestConsumed) !=
        RequestConsumption::NotRemoved) {
        ConsumedRequest.reset();
        return;
    }
    ConsumedRequest = stamp;
    ShowBoxOnce(BoxKind::RequestNotRemoved,
                [&] { ShowMsg(RequestNotRemovedMessage(fileName), MB_OK | MB_ICONEXCLAMATION); });
}

void TFrmMain::ShowGdtNote(const std::string& note) {
    StatusBeforeGdtNote = StatusText();
    GdtNote = note;
    SetStatusText(note);
}

void TFrmMain::ClearGdtNote() {
    if (!GdtNote.empty() && StatusText() == GdtNote) {
        SetStatusText(StatusBeforeGdtNote);
    }
    GdtNote.clear();
}

// What is exported is what the user confirmed: the measurement and patient shown when the
// button was pressed, even when a newer measurement arrived while the question was open.
void TFrmMain::BtnExportClick() {
    const uint64_t frame = ShownFrame;
    const GdtResultData data = ResultData();
    const std::optional<std::string> report = ReportOf(frame);
    if (ShowMsg(ExportConfirmationText(data.Patient), MB_OKCANCEL | MB_ICONASTERISK) != IDOK) {
        return;
    }
    if (ExportFile(AppSettings->ReadString(ExportPathKey), data, report) && IsShown(frame)) {
        BtnExport->setEnabled(false);
    }
}

bool TFrmMain::ExportFile(const std::string& fileName) {
    return ExportFile(fileName, ResultData(), ReportOf(ShownFrame));
}

// A copy that cannot be made stops the export rather than sending the record without it: the
// practice asked for the report, and the one in the PDF folder is gone when the program ends.
// The measurement stays exportable, so the user can mend the folder and press again.
bool TFrmMain::ExportFile(const std::string& fileName, const GdtResultData& data,
                          const std::optional<std::string>& report) {
    const std::string folder = GdtFolderPart(fileName);
    if (folder.empty() || !DirectoryExists(folder)) {
        ShowMsg(InvalidExportPathMessage(fileName), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    const std::optional<GdtResultOptions> options = ExportOptions(data, report);
    if (!options) {
        return false;
    }
    const std::optional<std::string> record = BuildGdtResult(data, *options);
    if (!record) {
        ShowMsg(NoMonitorValuesMessage, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (options->Attachment) {
        try {
            WriteFileInOnePiece(options->Attachment->Path, *report);
        } catch (const FileError& error) {
            ShowMsg(ArchiveCopyFailedMessage(error.what()), MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
    }
    try {
        return ExportGdtResultFile(fileName, *record);
    } catch (const FileError&) {
        // Without its record the copy would lie in the archive unreferenced; a retry makes it
        // again.
        if (options->Attachment) {
            DeleteFile(options->Attachment->Path);
        }
        throw;
    }
}

std::optional<GdtResultOptions> TFrmMain::ExportOptions(const GdtResultData& data,
                                                        const std::optional<std::string>& report) {
    GdtResultOptions options;
    options.TestValues = AppSettings->ReadString(GdtTestValuesKey) == FlagOn;
    if (options.TestValues) {
        const auto idents = ParseTestIdents(AppSettings->ReadString(GdtTestIdentsKey));
        if (!idents) {
            ShowMsg(InvalidTestIdentsMessage, MB_OK | MB_ICONEXCLAMATION);
            return std::nullopt;
        }
        options.TestIdents = *idents;
    }
    if (AppSettings->ReadString(GdtAttachmentKey) != FlagOn) {
        return options;
    }
    if (!report) {
        ShowMsg(NoReportToArchiveMessage, MB_OK | MB_ICONEXCLAMATION);
        return options;
    }
    const std::string archive = AppSettings->ReadString(ArchiveFolderKey);
    if (!DirectoryExists(archive)) {
        ShowMsg(ArchiveFolderMissingMessage(archive), MB_OK | MB_ICONEXCLAMATION);
        return std::nullopt;
    }
    try {
        options.Attachment =
            FreeArchiveName(archive, ArchiveBaseName(data.Patient.PatientNo, data.MeasuredAt));
    } catch (const FileError& error) {
        ShowMsg(ArchiveCopyFailedMessage(error.what()), MB_OK | MB_ICONEXCLAMATION);
        return std::nullopt;
    }
    if (!FitsRecordCodePage(options.Attachment->Path)) {
        ShowMsg(ArchiveFolderUnreadableMessage(archive), MB_OK | MB_ICONEXCLAMATION);
        return std::nullopt;
    }
    return options;
}

GdtResultData TFrmMain::ResultData() const {
    const auto caption = [](const QLabel* label) { return label->text().toStdString(); };
    GdtResultData data;
    data.SenderId = SenderId;
    data.Patient = Patient;
    data.MeasuredAt = Measurement.MeasuredAt;
    data.NameCaption = caption(LblName);
    data.DateTimeCaption = caption(LblDateTime);
    data.SystoleCaption = caption(LblUSBSystole);
    data.DiastoleCaption = caption(LblUSBDiastole);
    data.PulsCaption = caption(LblUSBPuls);
    data.MadCaption = caption(LblUSBMad);
    data.ArrCaption = caption(LblUSBArr);
    return data;
}

void TFrmMain::BringToFront() {
    if (isMinimized()) {
        showNormal();
    }
    QWidget* active = QApplication::activeWindow();
    QWidget* front = active ? active : this;
    front->raise();
    front->activateWindow();
}
