#pragma once
// TFrmMain: the program's one window, showing the measurement and driving the monitor.

#include <QWidget>

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

    // The one text of the status bar.
    std::string StatusText() const;
    void SetStatusText(const std::string& text);

private:
    void CreateHeadPanel();
    void CreateValueRows();
    void CreateButtonPanel();
    void CreateDevicePanel();
    void CreateStatusBar();
    void CreateTimers();
    void SetClientHeight(int height);
};
