#pragma once
// The program's own message box: German button captions, an optional check box, a bold heading
// over a detail text, up to three caller-defined buttons, a size that follows the text, copying.

#include <QDialog>
#include <QFont>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;
class QTimer;

// A set of box options, one bit each.
using TMsgBoxOptions = uint8_t;
constexpr TMsgBoxOptions moBlinkIcon = 1;   // icon hidden and shown in turn every 500 ms
constexpr TMsgBoxOptions moFlashWindow = 2; // caption flashes once, 500 ms after opening
constexpr TMsgBoxOptions moBeep = 4;        // the sound of the icon type plays on opening
constexpr TMsgBoxOptions moHighlight = 8;   // light yellow background, black texts

// Background of highlighted boxes as the platform stores colours (0x00BBGGRR): light yellow.
extern uint32_t HighlightColor;

// Captions of the standard buttons, filled by the unit's start-up and read whenever a box is
// built. Cancel also serves as Abort.
struct TButtonCaptions {
    std::string OK;
    std::string Cancel;
    std::string Retry;
    std::string Ignore;
    std::string Yes;
    std::string No;
};
extern TButtonCaptions ButtonCaptions;

// Layout constants in pixels at 96 dots per inch.
namespace MsgBoxLayout {
constexpr int kClientWidth = 479;
constexpr int kClientHeight = 128;
constexpr int kMargin = 12;        // icon and text from the top, text from the right edge
constexpr int kTextLeft = 60;      // text area and first button
constexpr int kTextWidth = 405;    // designed text area width
constexpr int kMinTextHeight = 33; // designed text area height, the smallest it gets
constexpr int kTextToButtons = 20; // gap between text area and button strip
constexpr int kButtonStripHeight = 47;
constexpr int kCheckStripHeight = 25;
constexpr int kButtonTop = 11;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 10;     // designed gap between buttons
constexpr int kWideButtonGap = 16; // gap once captions widen the buttons
constexpr int kCaptionPadding = 8; // added to the widest caption
constexpr int kScreenReserve = 200;
constexpr int kIconSize = 32;
constexpr int kBlinkInterval = 500;
} // namespace MsgBoxLayout

class TFrmMsgBox;
// Creates a box of TFrmMsgBox or a class derived from it, with the owner as its parent.
using TFrmMsgBoxClass = std::function<std::unique_ptr<TFrmMsgBox>(QWidget* owner)>;

// The modal message box form; one instance per call of ExecuteMsgBox.
class TFrmMsgBox : public QDialog {
    Q_OBJECT

public:
    explicit TFrmMsgBox(QWidget* owner = nullptr);
    ~TFrmMsgBox() override;

    // Puts the main text and the detail text, a blank line apart, on the clipboard.
    void CopyToClipboard();

    QLabel* ImgIcon() const { return ImgIcon_; }
    QScrollArea* ScrollBox() const { return ScrollBox_; }
    QWidget* PaintBox() const { return PaintBox_; }
    QWidget* PnlButtons() const { return PnlButtons_; }
    QPushButton* Button(int index) const; // 1 to 3
    QWidget* PnlDsa() const { return PnlDsa_; }
    QCheckBox* ChkDsa() const { return ChkDsa_; }
    QTimer* TimBlink() const { return TimBlink_; }
    QMenu* MnuText() const { return MnuText_; }
    QAction* MnuCopy() const { return MnuCopy_; }

    const std::string& Text() const { return FText; }
    const std::string& Detail() const { return FDetail; }
    const QFont& TextFont() const { return *FTextFont; }
    int TextHeight() const { return FTextHeight; }
    int DetailHeight() const { return FDetailHeight; }
    int GapHeight() const { return FGapHeight; }
    // The button Escape presses; none when the box cannot be closed without a button.
    QPushButton* CancelButton() const { return CancelButton_; }
    // The button given the focus by the default-button flags; none when that one is hidden.
    QPushButton* FocusButton() const { return FocusButton_; }
    bool HasSystemMenu() const { return HasSystemMenu_; }

    friend int32_t ExecuteMsgBox(const TFrmMsgBoxClass&, const std::string&, const std::string&,
                                 const std::string&, const std::string&, int32_t,
                                 const std::string&, bool&, QWidget*, TMsgBoxOptions);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;

private:
    void CreateComponents();
    void SetTexts(const std::string& text, const std::string& detail);
    void ApplyColors();
    void ChooseIcon();
    QSize MeasureText(const std::string& text, const QFont& font, int width) const;
    // Measures main and detail text at the width; the size of both with the gap between.
    QSize MeasureTexts(int width);
    void SetupCheckBox(const std::string& caption, bool state);
    int SetupStandardButtons();
    int SetupCallerButtons(const std::string& buttons);
    // Returns the right edge of the last visible button.
    int SetupButtons(const std::string& caption1, int32_t result1, const std::string& caption2,
                     int32_t result2, const std::string& caption3, int32_t result3,
                     int cancelIndex);
    int ArrangeButtons();
    void ChooseFocusButton();
    void ChooseCancelButton(int cancelIndex);
    void FitWidth(int textWidth, int buttonsRight);
    void FitHeight();
    void ApplyWindowFlags();
    void PlaceOnScreen(QWidget* owner);
    void LayoutPanels();
    void ButtonClick(int index);
    bool FormCloseQuery() const;
    void FormKeyPress(QKeyEvent* event);
    void PaintBoxPaint(QPainter& painter);
    void TimBlinkTimer();
    void MnuCopyClick();
    void PlayIconSound() const;

    QLabel* ImgIcon_ = nullptr;
    QScrollArea* ScrollBox_ = nullptr;
    QWidget* PaintBox_ = nullptr;
    QWidget* PnlButtons_ = nullptr;
    QPushButton* Buttons_[3] = {};
    int32_t Results_[3] = {};
    QWidget* PnlDsa_ = nullptr;
    QCheckBox* ChkDsa_ = nullptr;
    QTimer* TimBlink_ = nullptr;
    QMenu* MnuText_ = nullptr;
    QAction* MnuCopy_ = nullptr;
    QPushButton* CancelButton_ = nullptr;
    QPushButton* FocusButton_ = nullptr;
    bool HasSystemMenu_ = true;
    bool Foreground_ = false;
    bool ResultSet_ = false;

    std::string FText;
    std::string FDetail;
    int32_t FFlags = 0;
    TMsgBoxOptions FOptions = 0;
    bool FIconShown = true;
    bool FFlashed = false;
    std::unique_ptr<QFont> FTextFont;
    int FTextHeight = 0;
    int FDetailHeight = 0;
    int FGapHeight = 0;
};

std::unique_ptr<TFrmMsgBox> CreateFrmMsgBox(QWidget* owner);

// Builds, shows and frees one box. Buttons holds up to three captions separated by "|"; empty
// chooses the standard buttons by flags. Returns the button id, 2 for a close, or -1 to -3 for
// the caller-defined buttons.
int32_t ExecuteMsgBox(const TFrmMsgBoxClass& formClass, const std::string& text,
                      const std::string& detail, const std::string& caption,
                      const std::string& buttons, int32_t flags, const std::string& checkCaption,
                      bool& checkState, QWidget* owner, TMsgBoxOptions options);

int32_t ShowMsg(const std::string& text, int32_t flags, QWidget* owner = nullptr);
int32_t ShowMsgCheck(const std::string& text, const std::string& checkCaption, bool& checkState,
                     int32_t flags, TMsgBoxOptions options);
int32_t ShowMsgEx(const std::string& text, const std::string& detail, const std::string& buttons,
                  int32_t flags, QWidget* owner = nullptr);

// The frame a top-level window adds around its client area, as far as it is known before the
// box is shown.
QSize WindowFrameExtent();
// The program's main window: the top-level widget named "FrmMain", else the first main window.
QWidget* MainForm();

// Points the message-box hooks at this box and fills the button captions.
void VexFrmMsgBoxStartup();
// Empties the button captions.
void VexFrmMsgBoxShutdown();
