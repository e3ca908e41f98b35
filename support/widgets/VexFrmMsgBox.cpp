#include "support/widgets/VexFrmMsgBox.h"

#include "support/VexMsgFlags.h"
#include "support/VexStrings.h"
#include "support/widgets/ErrorGuard.h"
#include "support/widgets/VexFonts.h"
#include "support/widgets/VexMisc.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTextLayout>
#include <QTimer>
#include <QtMath>
#include <algorithm>
#include <cstdlib>

using namespace MsgBoxLayout;

uint32_t HighlightColor = 0x0080FFFF;

namespace {

TButtonCaptions DefaultButtonCaptions() {
    return {"&OK", "&Abbrechen", "&Wiederholen", "&Ignorieren", "&Ja", "&Nein"};
}

constexpr const char* kGapLine = "Ägy";
constexpr const char* kCopyHint = "Meldungs-Text in Zwischenablage kopieren";

// The area the text is painted into; it covers the whole scroll range.
class TPaintBox : public QWidget {
public:
    TPaintBox(QWidget* parent, std::function<void(QPainter&)> onPaint)
        : QWidget(parent), onPaint_(std::move(onPaint)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        GuardHandler([this] {
            QPainter painter(this);
            onPaint_(painter);
        });
    }

private:
    std::function<void(QPainter&)> onPaint_;
};

// Windows line breaks and lone carriage returns break the line, as the platform draws them.
QString DisplayText(const std::string& text) {
    QString result = QString::fromStdString(text);
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

// Lays the text out as the platform's word-breaking text drawing does: lines break at blanks and
// line breaks, a word longer than the width runs past it, and each line is the font's height
// plus its external leading. Draws at the top offset when a painter is given; returns the size
// the text takes.
QSize LayOutText(const QString& text, const QFont& font, int width, QPainter* painter = nullptr,
                 int top = 0) {
    const QFontMetrics metrics(font);
    const int lineHeight = metrics.height() + std::max(metrics.leading(), 0);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    int height = 0;
    qreal widest = 0;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, height));
            widest = std::max(widest, line.naturalTextWidth());
            height += lineHeight;
        }
        layout.endLayout();
        if (painter) {
            layout.draw(painter, QPointF(0, top));
        }
    }
    return {qCeil(widest), height};
}

QColor FromPlatformColor(uint32_t color) {
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

std::string TrimTrailing(const std::string& text) {
    return TrimCharSet(text, BlankAndControlChars(), false, true);
}

QRect ScreenRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

// Abort has no caption of its own: it reads as Cancel.
const std::string& CaptionOf(MsgBoxButton button) {
    const TButtonCaptions& c = ButtonCaptions;
    switch (button) {
    case MsgBoxButton::OK:
        return c.OK;
    case MsgBoxButton::Retry:
        return c.Retry;
    case MsgBoxButton::Ignore:
        return c.Ignore;
    case MsgBoxButton::Yes:
        return c.Yes;
    case MsgBoxButton::No:
        return c.No;
    case MsgBoxButton::Cancel:
    case MsgBoxButton::Abort:
        break;
    }
    return c.Cancel;
}

void SetBackground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

int CentredStart(int targetStart, int targetLength, int screenStart, int screenLength, int length) {
    if (length > screenLength) {
        return screenStart;
    }
    return targetStart + (targetLength - length) / 2;
}

} // namespace

TButtonCaptions ButtonCaptions;

TFrmMsgBox::TFrmMsgBox(QWidget* owner) : QDialog(owner) {
    RegisterWindowsFontReplacements();
    setObjectName("FrmMsgBox");
    setFont(QFont("Tahoma", 8));
    setFixedSize(kClientWidth, kClientHeight);
    CreateComponents();
    LayoutPanels();
}

TFrmMsgBox::~TFrmMsgBox() = default;

void TFrmMsgBox::CreateComponents() {
    ImgIcon_ = new QLabel(this);
    ImgIcon_->setObjectName("ImgIcon");
    ImgIcon_->setGeometry(kMargin, kMargin, kIconSize, kIconSize);

    ScrollBox_ = new QScrollArea(this);
    ScrollBox_->setObjectName("ScrollBox");
    ScrollBox_->setGeometry(kTextLeft, kMargin, kTextWidth, kMinTextHeight);
    ScrollBox_->setFrameShape(QFrame::NoFrame);
    ScrollBox_->setFocusPolicy(Qt::NoFocus);
    ScrollBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollBox_->viewport()->setAutoFillBackground(false);
    PaintBox_ = new TPaintBox(ScrollBox_, [this](QPainter& painter) { PaintBoxPaint(painter); });
    PaintBox_->setObjectName("PaintBox");
    PaintBox_->resize(kTextWidth, kMinTextHeight);
    PaintBox_->setContextMenuPolicy(Qt::CustomContextMenu);
    ScrollBox_->setWidget(PaintBox_);

    PnlButtons_ = new QWidget(this);
    PnlButtons_->setObjectName("PnlButtons");
    for (int k = 0; k < 3; ++k) {
        QPushButton* button = new QPushButton(PnlButtons_);
        button->setObjectName(QStringLiteral("Button%1").arg(k + 1));
        button->setGeometry(kTextLeft + k * (kButtonWidth + kButtonGap), kButtonTop, kButtonWidth,
                            kButtonHeight);
        button->setAutoDefault(true);
        connect(button, &QPushButton::clicked, this, Guarded([this, k] { ButtonClick(k); }));
        Buttons_[k] = button;
    }

    PnlDsa_ = new QWidget(this);
    PnlDsa_->setObjectName("PnlDsa");
    ChkDsa_ = new QCheckBox(PnlDsa_);
    ChkDsa_->setObjectName("ChkDsa");
    ChkDsa_->setGeometry(kTextLeft, 1, kTextWidth, 17);

    TimBlink_ = new QTimer(this);
    TimBlink_->setObjectName("TimBlink");
    TimBlink_->setInterval(kBlinkInterval);
    connect(TimBlink_, &QTimer::timeout, this, Guarded([this] { TimBlinkTimer(); }));
    TimBlink_->start();

    MnuText_ = new QMenu(this);
    MnuText_->setObjectName("MnuText");
    MnuCopy_ = MnuText_->addAction(QStringLiteral("&Kopieren"));
    MnuCopy_->setObjectName("MnuCopy");
    MnuCopy_->setStatusTip(QString::fromUtf8(kCopyHint));
    MnuCopy_->setToolTip(QString::fromUtf8(kCopyHint));
    connect(MnuCopy_, &QAction::triggered, this, Guarded([this] { MnuCopyClick(); }));
    connect(PaintBox_, &QWidget::customContextMenuRequested, this,
            Guarded([this](const QPoint& pos) { MnuText_->popup(PaintBox_->mapToGlobal(pos)); }));
}

QPushButton* TFrmMsgBox::Button(int index) const {
    if (index < 1 || index > 3) {
        return nullptr;
    }
    return Buttons_[index - 1];
}

void TFrmMsgBox::CopyToClipboard() {
    const std::string text = JoinNonEmpty(FText, FDetail, "\r\n\r\n");
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    QApplication::beep();
}

void TFrmMsgBox::ButtonClick(int index) {
    ResultSet_ = true;
    done(Results_[index]);
}

bool TFrmMsgBox::FormCloseQuery() const {
    return ResultSet_ || HasSystemMenu_;
}

void TFrmMsgBox::keyPressEvent(QKeyEvent* event) {
    GuardHandler([this, event] { FormKeyPress(event); });
}

void TFrmMsgBox::FormKeyPress(QKeyEvent* event) {
    if (event->key() == Qt::Key_C && (event->modifiers() & Qt::ControlModifier)) {
        CopyToClipboard();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        if (CancelButton_) {
            CancelButton_->click();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFrmMsgBox::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    if (!ResultSet_) {
        ResultSet_ = true;
        setResult(IDCANCEL);
    }
    event->accept();
}

void TFrmMsgBox::reject() {
    close();
}

void TFrmMsgBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (Foreground_) {
        raise();
        activateWindow();
    }
}

void TFrmMsgBox::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayoutPanels();
}

void TFrmMsgBox::LayoutPanels() {
    const int checkHeight = PnlDsa_->isHidden() ? 0 : kCheckStripHeight;
    PnlDsa_->setGeometry(0, height() - kCheckStripHeight, width(), kCheckStripHeight);
    PnlButtons_->setGeometry(0, height() - checkHeight - kButtonStripHeight, width(),
                             kButtonStripHeight);
}

void TFrmMsgBox::SetTexts(const std::string& text, const std::string& detail) {
    FText = TrimTrailing(text);
    FDetail = TrimTrailing(detail);
    if (FDetail.empty()) {
        return;
    }
    if (FTextFont->pointSize() > 0) {
        FTextFont->setPointSize(FTextFont->pointSize() * 12 / 10);
    } else {
        FTextFont->setPixelSize(FTextFont->pixelSize() * 12 / 10);
    }
    FTextFont->setBold(true);
}

void TFrmMsgBox::ApplyColors() {
    const bool highlight = (FOptions & moHighlight) != 0;
    const QColor highlightColor = FromPlatformColor(HighlightColor);
    const QPalette designed = palette();
    SetBackground(this, highlight ? highlightColor : designed.color(QPalette::Base));
    const QColor stripColor = highlight ? highlightColor : designed.color(QPalette::Window);
    SetBackground(PnlButtons_, stripColor);
    SetBackground(PnlDsa_, stripColor);
    if (highlight) {
        QPalette checkPalette = ChkDsa_->palette();
        checkPalette.setColor(QPalette::WindowText, Qt::black);
        ChkDsa_->setPalette(checkPalette);
    }
}

void TFrmMsgBox::ChooseIcon() {
    QStyle::StandardPixmap kind;
    switch (DecodeMsgBoxStyle(FFlags).icon) {
    case MsgBoxIcon::Stop:
        kind = QStyle::SP_MessageBoxCritical;
        break;
    case MsgBoxIcon::Question:
        kind = QStyle::SP_MessageBoxQuestion;
        break;
    case MsgBoxIcon::Warning:
        kind = QStyle::SP_MessageBoxWarning;
        break;
    case MsgBoxIcon::Information:
        kind = QStyle::SP_MessageBoxInformation;
        break;
    case MsgBoxIcon::None:
    default:
        ImgIcon_->clear();
        return;
    }
    const QIcon icon = style()->standardIcon(kind, nullptr, this);
    ImgIcon_->setPixmap(icon.pixmap(QSize(kIconSize, kIconSize), devicePixelRatio()));
}

QSize TFrmMsgBox::MeasureText(const std::string& text, const QFont& font, int width) const {
    return LayOutText(DisplayText(text), font, width);
}

QSize TFrmMsgBox::MeasureTexts(int width) {
    const QSize main = MeasureText(FText, *FTextFont, width);
    FTextHeight = main.height();
    if (FDetail.empty()) {
        FDetailHeight = 0;
        FGapHeight = 0;
        return {main.width(), FTextHeight};
    }
    const QSize detail = MeasureText(FDetail, font(), width);
    FDetailHeight = detail.height();
    FGapHeight = MeasureText(kGapLine, font(), width).height();
    return {std::max(main.width(), detail.width()), FTextHeight + FGapHeight + FDetailHeight};
}

void TFrmMsgBox::SetupCheckBox(const std::string& caption, bool state) {
    if (caption.empty()) {
        PnlDsa_->hide();
        return;
    }
    PnlDsa_->show();
    ChkDsa_->setText(QString::fromStdString(caption));
    ChkDsa_->setChecked(state);
}

int TFrmMsgBox::SetupStandardButtons() {
    const MsgBoxStyle style = DecodeMsgBoxStyle(FFlags);
    std::string captions[3];
    int32_t results[3] = {};
    for (size_t k = 0; k < style.buttons.size() && k < 3; ++k) {
        captions[k] = CaptionOf(style.buttons[k]);
        results[k] = MsgBoxButtonId(style.buttons[k]);
    }
    return SetupButtons(captions[0], results[0], captions[1], results[1], captions[2], results[2],
                        style.cancelButton);
}

int TFrmMsgBox::SetupCallerButtons(const std::string& buttons) {
    return SetupButtons(GetToken(buttons, "|", 1), -1, GetToken(buttons, "|", 2), -2,
                        GetToken(buttons, "|", 3), -3, TokenCount(buttons, "|"));
}

int TFrmMsgBox::SetupButtons(const std::string& caption1, int32_t result1,
                             const std::string& caption2, int32_t result2,
                             const std::string& caption3, int32_t result3, int cancelIndex) {
    const std::string* captions[3] = {&caption1, &caption2, &caption3};
    const int32_t results[3] = {result1, result2, result3};
    for (int k = 0; k < 3; ++k) {
        Buttons_[k]->setText(QString::fromStdString(*captions[k]));
        Buttons_[k]->setHidden(k > 0 && captions[k]->empty());
        Results_[k] = results[k];
    }
    const int right = ArrangeButtons();
    ChooseFocusButton();
    ChooseCancelButton(cancelIndex);
    return right;
}

int TFrmMsgBox::ArrangeButtons() {
    const QFontMetrics metrics(font());
    int widest = 0;
    for (QPushButton* button : Buttons_) {
        widest = std::max(widest, metrics.horizontalAdvance(button->text()));
    }
    const int width = widest + kCaptionPadding;
    if (width > kButtonWidth) {
        int left = kTextLeft;
        for (QPushButton* button : Buttons_) {
            button->setGeometry(left, kButtonTop, width, kButtonHeight);
            left += width + kWideButtonGap;
        }
    }
    int right = 0;
    for (QPushButton* button : Buttons_) {
        if (!button->isHidden()) {
            right = button->geometry().right() + 1;
        }
    }
    return right;
}

void TFrmMsgBox::ChooseFocusButton() {
    const int index = DecodeMsgBoxStyle(FFlags).defaultButton;
    FocusButton_ = Buttons_[index]->isHidden() ? nullptr : Buttons_[index];
    if (FocusButton_) {
        FocusButton_->setDefault(true);
        FocusButton_->setFocus();
    }
}

void TFrmMsgBox::ChooseCancelButton(int cancelIndex) {
    if (cancelIndex == 0) {
        HasSystemMenu_ = false;
        return;
    }
    if (cancelIndex < 1 || cancelIndex > 3) {
        return;
    }
    QPushButton* button = Buttons_[cancelIndex - 1];
    // A caller's empty last piece names a hidden button, which must not answer Escape.
    CancelButton_ = button->isHidden() ? nullptr : button;
}

void TFrmMsgBox::FitWidth(int textWidth, int buttonsRight) {
    if (!PnlDsa_->isHidden()) {
        ScrollBox_->setFixedWidth(kTextWidth);
        setFixedWidth(kClientWidth);
        return;
    }
    const int buttonsWidth = buttonsRight - kTextLeft;
    const int outerWidth = kClientWidth + WindowFrameExtent().width();
    const int limit = ScreenRect().width() - (outerWidth - kTextWidth) - kScreenReserve;
    // The limit shortens long text lines only; every button stays reachable.
    const int width = std::max(std::min(std::max(textWidth, buttonsWidth), limit), buttonsWidth);
    ScrollBox_->setFixedWidth(width);
    setFixedWidth(kTextLeft + width + kMargin);
}

void TFrmMsgBox::FitHeight() {
    int paintWidth = ScrollBox_->width();
    int textHeight = MeasureTexts(paintWidth).height();
    int visibleHeight = kMinTextHeight;
    if (textHeight > kMinTextHeight) {
        const int outerHeight = kClientHeight + WindowFrameExtent().height();
        const int limit = ScreenRect().height() - (outerHeight - kMinTextHeight) - kScreenReserve;
        visibleHeight = std::max(std::min(textHeight, limit), kMinTextHeight);
    }
    if (textHeight > visibleHeight) {
        // The scroll bar takes its width from the text, which must wrap inside what is left.
        paintWidth -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ScrollBox_);
        textHeight = MeasureTexts(paintWidth).height();
    }
    ScrollBox_->setFixedHeight(visibleHeight);
    PaintBox_->setFixedSize(paintWidth, std::max(textHeight, visibleHeight));
    const int checkHeight = PnlDsa_->isHidden() ? 0 : kCheckStripHeight;
    setFixedHeight(kMargin + visibleHeight + kTextToButtons + kButtonStripHeight + checkHeight);
    LayoutPanels();
}

void TFrmMsgBox::ApplyWindowFlags() {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if (HasSystemMenu_) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    const MsgBoxStyle style = DecodeMsgBoxStyle(FFlags);
    if (style.staysOnTop) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    setWindowFlags(flags);
    Foreground_ = style.setForeground;
}

void TFrmMsgBox::PlaceOnScreen(QWidget* owner) {
    const QRect screen = ScreenRect();
    const QSize outer = size() + WindowFrameExtent();
    QRect target = screen;
    if (owner) {
        QWidget* over = owner->isWindow() ? owner : MainForm();
        if (over) {
            target = over->frameGeometry();
        }
    }
    move(
        CentredStart(target.left(), target.width(), screen.left(), screen.width(), outer.width()),
        CentredStart(target.top(), target.height(), screen.top(), screen.height(), outer.height()));
}

void TFrmMsgBox::PaintBoxPaint(QPainter& painter) {
    const bool highlight = (FOptions & moHighlight) != 0;
    const QColor textColor = highlight ? QColor(Qt::black) : palette().color(QPalette::Text);
    painter.setPen(textColor);
    const int width = PaintBox_->width();
    LayOutText(DisplayText(FText), *FTextFont, width, &painter);
    if (FDetail.empty()) {
        return;
    }
    LayOutText(DisplayText(FDetail), font(), width, &painter, FTextHeight + FGapHeight);
}

void TFrmMsgBox::TimBlinkTimer() {
    if (FOptions & moBlinkIcon) {
        FIconShown = !FIconShown;
        ImgIcon_->setVisible(FIconShown);
        ImgIcon_->repaint();
    }
    if ((FOptions & moFlashWindow) && !FFlashed) {
        QApplication::alert(this, kBlinkInterval);
        FFlashed = true;
    }
}

void TFrmMsgBox::MnuCopyClick() {
    CopyToClipboard();
}

void TFrmMsgBox::PlayIconSound() const {
    // Qt offers one sound for every icon type, the default sound included.
    QApplication::beep();
}

QSize WindowFrameExtent() {
    if (QWidget* main = MainForm(); main && main->isVisible()) {
        const QSize frame = main->frameGeometry().size() - main->geometry().size();
        if (frame.width() > 0 || frame.height() > 0) {
            return frame;
        }
    }
    const QStyle* style = QApplication::style();
    const int border = 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth);
    return {border, style->pixelMetric(QStyle::PM_TitleBarHeight) + border};
}

QWidget* MainForm() {
    QWidget* firstMainWindow = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("FrmMain")) {
            return widget;
        }
        if (!firstMainWindow && qobject_cast<QMainWindow*>(widget)) {
            firstMainWindow = widget;
        }
    }
    return firstMainWindow;
}

std::unique_ptr<TFrmMsgBox> CreateFrmMsgBox(QWidget* owner) {
    return std::make_unique<TFrmMsgBox>(owner);
}

int32_t ExecuteMsgBox(const TFrmMsgBoxClass& formClass, const std::string& text,
                      const std::string& detail, const std::string& caption,
                      const std::string& buttons, int32_t flags, const std::string& checkCaption,
                      bool& checkState, QWidget* owner, TMsgBoxOptions options) {
    std::unique_ptr<TFrmMsgBox> box = formClass ? formClass(owner) : nullptr;
    if (!box) {
        box = CreateFrmMsgBox(owner);
    }
    box->setWindowTitle(QString::fromStdString(caption.empty() ? ApplicationTitle : caption));
    if (QWidget* main = MainForm()) {
        box->setFont(main->font());
    }
    box->FTextFont = std::make_unique<QFont>(box->font());
    box->SetTexts(text, detail);
    box->FFlags = flags;
    box->FOptions = options;
    box->FIconShown = true;
    box->FFlashed = false;
    box->ApplyColors();
    box->ChooseIcon();
    const int textWidth = box->MeasureTexts(kTextWidth).width();
    box->SetupCheckBox(checkCaption, checkState);
    const int buttonsRight =
        buttons.empty() ? box->SetupStandardButtons() : box->SetupCallerButtons(buttons);
    box->FitWidth(textWidth, buttonsRight);
    box->FitHeight();
    box->ApplyWindowFlags();
    box->PlaceOnScreen(owner);
    if (options & moBeep) {
        box->PlayIconSound();
    }
    const int32_t result = box->exec();
    checkState = box->ChkDsa_->isChecked();
    return result;
}

int32_t ShowMsg(const std::string& text, int32_t flags, QWidget* owner) {
    bool checkState = false;
    return std::abs(ExecuteMsgBox(CreateFrmMsgBox, text, "", ApplicationTitle, "", flags, "",
                                  checkState, owner, 0));
}

int32_t ShowMsgCheck(const std::string& text, const std::string& checkCaption, bool& checkState,
                     int32_t flags, TMsgBoxOptions options) {
    return std::abs(ExecuteMsgBox(CreateFrmMsgBox, text, "", ApplicationTitle, "", flags,
                                  checkCaption, checkState, nullptr, options));
}

int32_t ShowMsgEx(const std::string& text, const std::string& detail, const std::string& buttons,
                  int32_t flags, QWidget* owner) {
    bool checkState = false;
    return ExecuteMsgBox(CreateFrmMsgBox, text, detail, ApplicationTitle, buttons, flags, "",
                         checkState, owner, 0);
}

void VexFrmMsgBoxStartup() {
    MessageBoxHook = &ShowMsg;
    MessageBoxExHook = &ShowMsgEx;
    ButtonCaptions = DefaultButtonCaptions();
}

void VexFrmMsgBoxShutdown() {
    ButtonCaptions = {};
}
