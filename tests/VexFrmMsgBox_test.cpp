#include "common/Printing.h"
#include "common/TestEnvironment.h"
#include "common/widgets/ModalBoxAnswerer.h"
#include "common/widgets/TestApplication.h"
#include "support/VexMsgFlags.h"
#include "support/widgets/VexFrmMsgBox.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <vector>

using namespace MsgBoxLayout;

namespace {

const std::string kTitle = "Lirn Quarn Test";

class MsgBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApplication();
        VexFrmMsgBoxStartup();
        ApplicationTitle = kTitle;
        QGuiApplication::clipboard()->clear();
    }

    ScopedTestHome home_;
};

template <typename Case>
class MsgBoxCaseTest : public MsgBoxTest, public ::testing::WithParamInterface<Case> {};

TFrmMsgBox& AsBox(QWidget& widget) {
    auto* box = qobject_cast<TFrmMsgBox*>(&widget);
    if (!box) {
        throw std::runtime_error("the modal widget is no TFrmMsgBox");
    }
    return *box;
}

std::vector<std::string> VisibleCaptions(TFrmMsgBox& box) {
    std::vector<std::string> captions;
    for (int k = 1; k <= 3; ++k) {
        if (box.Button(k)->isVisible()) {
            captions.push_back(box.Button(k)->text().toStdString());
        }
    }
    return captions;
}

// The font every box has while no main window exists.
QFont DesignedFont() {
    return TFrmMsgBox().font();
}

std::string Clipboard() {
    return QGuiApplication::clipboard()->text().toStdString();
}

int ScreenWidth() {
    return QGuiApplication::primaryScreen()->geometry().width();
}

int ScreenHeight() {
    return QGuiApplication::primaryScreen()->geometry().height();
}

// Widest text area the screen leaves: 200 pixels of the screen stay free beside the box.
int TextWidthLimit() {
    return ScreenWidth() - (kClientWidth + WindowFrameExtent().width() - kTextWidth) -
           kScreenReserve;
}

int TextHeightLimit() {
    return ScreenHeight() - (kClientHeight + WindowFrameExtent().height() - kMinTextHeight) -
           kScreenReserve;
}

int ClientHeight(int textHeight, bool checkBox) {
    return kMargin + textHeight + kTextToButtons + kButtonStripHeight +
           (checkBox ? kCheckStripHeight : 0);
}

// Height of a text of that many lines: each line is the font's height plus its external
// leading, which never draws lines into each other.
int LinesHeight(const QFont& font, int lines) {
    const QFontMetrics metrics(font);
    return lines * (metrics.height() + std::max(metrics.leading(), 0));
}

// ---------------------------------------------------------------------------------------------
// Standard button sets

struct ButtonSetCase {
    int32_t flags;
    std::vector<std::string> captions;
    std::vector<int32_t> results;
    std::optional<int32_t> escapeResult; // none: Escape does nothing
    bool closable;
};

void PrintTo(const ButtonSetCase& c, std::ostream* os) {
    *os << "flags " << c.flags;
}

const ButtonSetCase kButtonSets[] = {
    {MB_OK, {"&OK"}, {IDOK}, IDOK, true},
    {MB_OKCANCEL, {"&OK", "&Abbrechen"}, {IDOK, IDCANCEL}, IDCANCEL, true},
    {MB_ABORTRETRYIGNORE,
     {"&Abbrechen", "&Wiederholen", "&Ignorieren"},
     {IDABORT, IDRETRY, IDIGNORE},
     std::nullopt,
     false},
    {MB_YESNOCANCEL, {"&Ja", "&Nein", "&Abbrechen"}, {IDYES, IDNO, IDCANCEL}, IDCANCEL, true},
    {MB_YESNO, {"&Ja", "&Nein"}, {IDYES, IDNO}, IDNO, true},
    {MB_RETRYCANCEL, {"&Wiederholen", "&Abbrechen"}, {IDRETRY, IDCANCEL}, IDCANCEL, true},
    {6, {"&OK"}, {IDOK}, IDOK, true},
    {15, {"&OK"}, {IDOK}, IDOK, true},
    {MB_OKCANCEL | MB_ICONASTERISK, {"&OK", "&Abbrechen"}, {IDOK, IDCANCEL}, IDCANCEL, true},
};

using ButtonSetTest = MsgBoxCaseTest<ButtonSetCase>;

TEST_P(ButtonSetTest, EachButtonGivesItsId) {
    const ButtonSetCase& c = GetParam();
    for (std::size_t k = 0; k < c.captions.size(); ++k) {
        ModalBoxAnswerer answer;
        answer.Inspect([&](QWidget& w) { EXPECT_EQ(VisibleCaptions(AsBox(w)), c.captions); })
            .Press(QString::fromStdString(c.captions[k]));
        EXPECT_EQ(ShowMsg("Frage an den Anwender", c.flags), c.results[k]) << "button " << k;
        EXPECT_TRUE(answer.Finished());
    }
}

TEST_P(ButtonSetTest, EscapePressesTheCancelButton) {
    const ButtonSetCase& c = GetParam();
    ModalBoxAnswerer answer;
    answer.Key(Qt::Key_Escape);
    if (!c.escapeResult) {
        answer.Inspect([](QWidget& w) { EXPECT_TRUE(w.isVisible()); })
            .Press(QString::fromStdString(c.captions.front()));
    }
    EXPECT_EQ(ShowMsg("Text", c.flags), c.escapeResult.value_or(c.results.front()));
    EXPECT_TRUE(answer.Finished());
}

TEST_P(ButtonSetTest, CloseBoxGivesCancelWhereTheBoxHasOne) {
    const ButtonSetCase& c = GetParam();
    ModalBoxAnswerer answer;
    answer.Inspect([&](QWidget& w) {
        EXPECT_EQ(AsBox(w).HasSystemMenu(), c.closable);
        EXPECT_EQ(w.windowFlags().testFlag(Qt::WindowCloseButtonHint), c.closable);
        EXPECT_EQ(w.windowFlags().testFlag(Qt::WindowSystemMenuHint), c.closable);
    });
    answer.Close();
    if (!c.closable) {
        answer.Inspect([](QWidget& w) { EXPECT_TRUE(w.isVisible()); })
            .Press(QString::fromStdString(c.captions.back()));
    }
    EXPECT_EQ(ShowMsg("Text", c.flags), c.closable ? IDCANCEL : c.results.back());
    EXPECT_TRUE(answer.Finished());
}

INSTANTIATE_TEST_SUITE_P(Flags, ButtonSetTest, ::testing::ValuesIn(kButtonSets));

// ---------------------------------------------------------------------------------------------
// Focus by the default-button flags

struct FocusCase {
    int32_t flags;
    std::optional<std::string> focused; // none: no button focused explicitly
    int32_t enterResult;
};

void PrintTo(const FocusCase& c, std::ostream* os) {
    *os << "flags 0x" << std::hex << c.flags;
}

const FocusCase kFocusCases[] = {
    {MB_YESNOCANCEL, "&Ja", IDYES},
    {MB_YESNOCANCEL | MB_DEFBUTTON2, "&Nein", IDNO},
    {MB_YESNOCANCEL | MB_DEFBUTTON3, "&Abbrechen", IDCANCEL},
    {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, "&Ignorieren", IDIGNORE},
    {MB_OK | MB_DEFBUTTON2, std::nullopt, IDOK},
    {MB_OKCANCEL | MB_DEFBUTTON3, std::nullopt, IDOK},
    {MB_OKCANCEL | MB_DEFBUTTON2 | MB_DEFBUTTON3, "&OK", IDOK},
};

using FocusTest = MsgBoxCaseTest<FocusCase>;

TEST_P(FocusTest, EnterPressesTheFocusedButton) {
    const FocusCase& c = GetParam();
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& w) {
            TFrmMsgBox& box = AsBox(w);
            if (!c.focused) {
                EXPECT_EQ(box.FocusButton(), nullptr);
                return;
            }
            ASSERT_NE(box.FocusButton(), nullptr);
            EXPECT_EQ(box.FocusButton()->text().toStdString(), *c.focused);
            EXPECT_EQ(box.focusWidget(), box.FocusButton());
        })
        .Key(Qt::Key_Return);
    EXPECT_EQ(ShowMsg("Text", c.flags), c.enterResult);
    EXPECT_TRUE(answer.Finished());
}

INSTANTIATE_TEST_SUITE_P(Flags, FocusTest, ::testing::ValuesIn(kFocusCases));

// ---------------------------------------------------------------------------------------------
// Caller-defined buttons

struct CallerButtonsCase {
    std::string buttons;
    std::vector<std::string> captions;
    std::vector<int32_t> results;
    std::optional<int32_t> escapeResult;
};

void PrintTo(const CallerButtonsCase& c, std::ostream* os) {
    *os << "buttons \"" << c.buttons << "\"";
}

const CallerButtonsCase kCallerButtons[] = {
    {"Speichern", {"Speichern"}, {-1}, -1},
    {"Speichern|Verwerfen", {"Speichern", "Verwerfen"}, {-1, -2}, -2},
    {"Eins|Zwei|Drei", {"Eins", "Zwei", "Drei"}, {-1, -2, -3}, -3},
    {"Eins|Zwei|Drei|Vier", {"Eins", "Zwei", "Drei"}, {-1, -2, -3}, std::nullopt},
    {"Eins||Drei", {"Eins", "Drei"}, {-1, -3}, -3},
    // The cancel piece is empty: its hidden button must not answer Escape.
    {"Eins|", {"Eins"}, {-1}, std::nullopt},
};

using CallerButtonsTest = MsgBoxCaseTest<CallerButtonsCase>;

TEST_P(CallerButtonsTest, EachButtonGivesItsNegativeIndex) {
    const CallerButtonsCase& c = GetParam();
    for (std::size_t k = 0; k < c.captions.size(); ++k) {
        ModalBoxAnswerer answer;
        answer.Inspect([&](QWidget& w) { EXPECT_EQ(VisibleCaptions(AsBox(w)), c.captions); })
            .Press(QString::fromStdString(c.captions[k]));
        EXPECT_EQ(ShowMsgEx("Text", "", c.buttons, MB_ICONQUESTION), c.results[k]);
        EXPECT_TRUE(answer.Finished());
    }
}

TEST_P(CallerButtonsTest, EscapeAndCloseBox) {
    const CallerButtonsCase& c = GetParam();
    ModalBoxAnswerer answer;
    answer.Key(Qt::Key_Escape);
    if (!c.escapeResult) {
        answer.Inspect([](QWidget& w) { EXPECT_TRUE(w.isVisible()); }).Close();
    }
    EXPECT_EQ(ShowMsgEx("Text", "", c.buttons, 0), c.escapeResult.value_or(IDCANCEL));
    ModalBoxAnswerer close;
    close.Close();
    EXPECT_EQ(ShowMsgEx("Text", "", c.buttons, 0), IDCANCEL);
    EXPECT_TRUE(answer.Finished());
    EXPECT_TRUE(close.Finished());
}

INSTANTIATE_TEST_SUITE_P(Captions, CallerButtonsTest, ::testing::ValuesIn(kCallerButtons));

// ---------------------------------------------------------------------------------------------
// Check box

struct CheckCase {
    bool stateIn;
    bool toggle;
    bool stateOut;
};

void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << "in " << c.stateIn << " toggle " << c.toggle;
}

const CheckCase kCheckCases[] = {
    {true, false, true},
    {true, true, false},
    {false, true, true},
    {false, false, false},
};

using CheckStateTest = MsgBoxCaseTest<CheckCase>;

TEST_P(CheckStateTest, StateGoesInAndComesOut) {
    const CheckCase& c = GetParam();
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& w) {
            TFrmMsgBox& box = AsBox(w);
            EXPECT_TRUE(box.PnlDsa()->isVisible());
            EXPECT_EQ(box.ChkDsa()->text(), QString("Zielordner jetzt festlegen"));
            EXPECT_EQ(box.ChkDsa()->isChecked(), c.stateIn);
            if (c.toggle) {
                box.ChkDsa()->click();
            }
        })
        .Press("&OK");
    bool state = c.stateIn;
    EXPECT_EQ(ShowMsgCheck("Es ist kein Zielordner festgelegt.", "Zielordner jetzt festlegen",
                           state, MB_ICONEXCLAMATION, 0),
              IDOK);
    EXPECT_EQ(state, c.stateOut);
    EXPECT_TRUE(answer.Finished());
}

INSTANTIATE_TEST_SUITE_P(States, CheckStateTest, ::testing::ValuesIn(kCheckCases));

TEST_F(MsgBoxTest, WithoutCheckBoxTheStateComesBackFalse) {
    ModalBoxAnswerer answer;
    answer.Inspect([](QWidget& w) { EXPECT_FALSE(AsBox(w).PnlDsa()->isVisible()); }).Press("&OK");
    bool state = true;
    EXPECT_EQ(ExecuteMsgBox(CreateFrmMsgBox, "Text", "", "", "", MB_OK, "", state, nullptr, 0),
              IDOK);
    EXPECT_FALSE(state);
    EXPECT_TRUE(answer.Finished());
}

struct CheckWidthCase {
    std::string text;
};

void PrintTo(const CheckWidthCase& c, std::ostream* os) {
    *os << OneLine(c.text);
}

using CheckWidthTest = MsgBoxCaseTest<CheckWidthCase>;

TEST_P(CheckWidthTest, CheckBoxKeepsTheDesignedWidth) {
    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& w) {
            TFrmMsgBox& box = AsBox(w);
            EXPECT_EQ(box.width(), kClientWidth);
            EXPECT_EQ(box.ScrollBox()->width(), kTextWidth);
            EXPECT_EQ(box.PnlDsa()->geometry(),
                      QRect(0, box.height() - kCheckStripHeight, kClientWidth, kCheckStripHeight));
            EXPECT_EQ(box.PnlButtons()->geometry().bottom() + 1, box.PnlDsa()->geometry().top());
            EXPECT_EQ(box.height(), ClientHeight(box.ScrollBox()->height(), true));
        })
        .Press("&OK");
    bool state = false;
    ShowMsgCheck(GetParam().text, "Nicht mehr anzeigen", state, MB_OK, 0);
    EXPECT_TRUE(answer.Finished());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CheckWidthTest,
    ::testing::Values(CheckWidthCase{"Kurz"}, CheckWidthCase{std::string(120, 'W')},
                      CheckWidthCase{"Ein Satz, der länger ist als eine Zeile der Box und "
                                     "darum umbrochen werden muss, ganz sicher."}),
    [](const auto& info) { return "Length" + std::to_string(info.param.text.size()); });

// ---------------------------------------------------------------------------------------------
// Width

struct ButtonsWidthCase {
    int32_t flags;
    int buttons;
};

void PrintTo(const ButtonsWidthCase& c, std::ostream* os) {
    *os << "flags " << c.flags;
}

const ButtonsWidthCase kButtonsWidths[] = {
    {MB_OK, 1}, {MB_OKCANCEL, 2}, {MB_YESNO, 2}, {MB_YESNOCANCEL, 3}, {MB_ABORTRETRYIGNORE, 3}};

using ButtonsWidthTest = MsgBoxCaseTest<ButtonsWidthCase>;

TEST_P(ButtonsWidthTest, ShortTextGivesABoxAsNarrowAsItsButtons) {
    const ButtonsWidthCase& c = GetParam();
    const int textWidth = c.buttons * kButtonWidth + (c.buttons - 1) * kButtonGap;
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& w) {
            TFrmMsgBox& box = AsBox(w);
            EXPECT_EQ(box.ScrollBox()->width(), textWidth);
            EXPECT_EQ(box.width(), kTextLeft + textWidth + kMargin);
            EXPECT_EQ(box.height(), ClientHeight(kMinTextHeight, false));
            for (int k = 1; k <= c.buttons; ++k) {
                EXPECT_EQ(box.Button(k)->geometry(),
                          QRect(kTextLeft + (k - 1) * (kButtonWidth + kButtonGap), kButtonTop,
                                kButtonWidth, kButtonHeight));
            }
        })
        .Key(Qt::Key_Return);
    ShowMsg("Ok.", c.flags);
    EXPECT_TRUE(answer.Finished());
}

INSTANTIATE_TEST_SUITE_P(Sets, ButtonsWidthTest, ::testing::ValuesIn(kButtonsWidths));

// A word of letters whose width in the font lies past the given one.
std::string WordWiderThan(const QFont& font, int width) {
    const QFontMetrics metrics(font);
    std::string word = "Blutdruck";
    while (metrics.horizontalAdvance(QString::fromStdString(word)) <= width) {
        word += "messung";
    }
    return word;
}

struct LongWordCase {
    const char* name;
    bool beyondScreen;
};

void PrintTo(const LongWordCase& c, std::ostream* os) {
    *os << c.name;
}

using LongWordTest = MsgBoxCaseTest<LongWordCase>;

TEST_P(LongWordTest, LongWordWidensTheTextAreaUpToTheScreenReserve) {
    const QFont font = DesignedFont();
    const int limit = TextWidthLimit();
    ASSERT_GT(limit, kTextWidth + 40) << "screen too narrow for this test";
    const std::string word = WordWiderThan(font, GetParam().beyondScreen ? limit : kTextWidth);
    const int wordWidth = QFontMetrics(font).horizontalAdvance(QString::fromStdString(word));
    ASSERT_EQ(GetParam().beyondScreen, wordWidth > limit);
    const int expected = std::min(wordWidth, limit);
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& w) {
            TFrmMsgBox& box = AsBox(w);
            EXPECT_EQ(box.ScrollBox()->width(), expected);
            EXPECT_EQ(box.width(), kTextLeft + expected + kMargin);
        })
        .Press("&OK");
    ShowMsg("Ein " + word + " ist zu lang", MB_OK);
    EXPECT_TRUE(answer.Finished());
}

INSTANTIATE_TEST_SUITE_P(Words, LongWordTest,
                         ::testing::Values(LongWordCase{"WiderThanTextArea", false},
                                           LongWordCase{"WiderThanScreenAllows", true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct WideCaptionCase {
    std::string buttons;
    std::string widest;
    int count;
};

void PrintTo(const WideCaptionCase& c, std::ostream* os) {
    *os << "buttons \"" << c.buttons << "\"";
}

const WideCaptionCase kWideCaptions[] = {
    {"Ja, Datei jetzt überschreiben", "Ja, Datei jetzt überschreiben", 1},
    {"Nein|Ja, Datei jetzt überschreiben", "Ja, Datei jetzt überschreiben", 2},
    {"Nein|Ja, Datei jetzt überschreiben|Abbruch", "Ja, Datei jetzt überschreiben", 3},
};

using WideCaptionTest = MsgBoxCaseTest<WideCaptionCase>;

TEST_P(WideCaptionTest, WideCaptionWidensAllButtonsAlike) {
    const WideCaptionCase& c = GetParam();
    const int buttonWidth =
        QFontMetrics(DesignedFont()).horizontalAdvance(QString::fromStdString(c.widest)) +
        kCaptionPadding;
    ASSERT_GT(buttonWidth, kButtonWidth);
    const int textWidth = c.count * buttonWidth + (c.count - 1) * kWideButtonGap;
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& w) {
            TFrmMsgBox& box = AsBox(w);
            for (int k = 1; k <= 3; ++k) {
                EXPECT_EQ(box.Button(k)->geometry(),
                          QRect(kTextLeft + (k - 1) * (buttonWidth + kWideButtonGap), kButtonTop,
                                buttonWidth, kButtonHeight));
            }
            EXPECT_EQ(box.ScrollBox()->width(), textWidth);
            EXPECT_EQ(box.width(), kTextLeft + textWidth + kMargin);
        })
        .Press(QString::fromStdString(c.widest));
    ShowMsgEx("Kurz", "", c.buttons, 0);
    EXPECT_TRUE(answer.Finished());
}

INSTANTIATE_TEST_SUITE_P(Captions, WideCaptionTest, ::testing::ValuesIn(kWideCaptions));

TEST_F(MsgBoxTest, CaptionsThatFitKeepTheDesignedPlaces) {
    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& w) {
            TFrmMsgBox& box = AsBox(w);
            EXPECT_EQ(box.Button(1)->geometry(),
                      QRect(kTextLeft, kButtonTop, kButtonWidth, kButtonHeight));
            EXPECT_EQ(box.Button(2)->geometry(), QRect(kTextLeft + kButtonWidth + kButtonGap,
                                                       kButtonTop, kButtonWidth, kButtonHeight));
        })
        .Press("Nein");
    EXPECT_EQ(ShowMsgEx("Kurz", "", "Ja|Nein", 0), -2);
    EXPECT_TRUE(answer.Finished());
}

// ---------------------------------------------------------------------------------------------
// Height

enum class Expected { MinHeight, TextHeight, ScreenLimit };

std::string Lines(int count) {
    std::string text;
    for (int k = 1; k <= count; ++k) {
        text += "Zeile " + std::to_string(k) + "\r\n";
    }
    return text;
}

struct HeightCase {
    const char* name;
    std::string text;
    int lines;
    Expected expected;
};

void PrintTo(const HeightCase& c, std::ostream* os) {
    *os << c.name;
}

using HeightTest = MsgBoxCaseTest<HeightCase>;

TEST_P(HeightTest, TextHeightWithinMinimumAndScreenLimit) {
    const HeightCase& c = GetParam();
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& w) {
            TFrmMsgBox& box = AsBox(w);
            const int textHeight = LinesHeight(box.TextFont(), c.lines);
            const int visible = box.ScrollBox()->height();
            QScrollBar* bar = box.ScrollBox()->verticalScrollBar();
            switch (c.expected) {
            case Expected::MinHeight:
                ASSERT_LE(textHeight, kMinTextHeight);
                EXPECT_EQ(visible, kMinTextHeight);
                EXPECT_FALSE(bar->isVisible());
                break;
            case Expected::TextHeight:
                ASSERT_GT(textHeight, kMinTextHeight);
                EXPECT_EQ(visible, textHeight);
                EXPECT_FALSE(bar->isVisible());
                break;
            case Expected::ScreenLimit:
                EXPECT_EQ(visible, TextHeightLimit());
                EXPECT_TRUE(bar->isVisible());
                EXPECT_EQ(box.PaintBox()->height(), textHeight);
                EXPECT_EQ(bar->maximum(), textHeight - visible);
                // The text wraps beside the scroll bar, not under it.
                EXPECT_LE(box.PaintBox()->width() + bar->width(), box.ScrollBox()->width());
                break;
            }
            EXPECT_EQ(box.height(), ClientHeight(visible, false));
        })
        .Press("&OK");
    ShowMsg(c.text, MB_OK);
    EXPECT_TRUE(answer.Finished());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HeightTest,
    ::testing::Values(HeightCase{"OneLine", Lines(1), 1, Expected::MinHeight},
                      HeightCase{"FiveLines", Lines(5), 5, Expected::TextHeight},
                      HeightCase{"BlankLinesCount", "Kopf\r\n\r\n\nFuß\rEnde", 5,
                                 Expected::TextHeight},
                      HeightCase{"ManyLines", Lines(300), 300, Expected::ScreenLimit}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Texts: trimming, heading with detail, copying

struct TextCase {
    const char* name;
    std::string text;
    std::string detail;
    std::string shownText;
    std::string shownDetail;
    std::string copied;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

const TextCase kTextCases[] = {
    {"TrailingBreaksAndBlanks", "Fehler beim Export\r\n \t", "", "Fehler beim Export", "",
     "Fehler beim Export"},
    {"InnerBreaksStay", "Zeile 1\r\nZeile 2\r\n\r\n", "", "Zeile 1\r\nZeile 2", "",
     "Zeile 1\r\nZeile 2"},
    {"HeadingAndDetail", "Überschrift  ", "Einzelheiten\r\n\r\n", "Überschrift", "Einzelheiten",
     "Überschrift\r\n\r\nEinzelheiten"},
    {"DetailOnly", "", "Nur die Einzelheiten", "", "Nur die Einzelheiten", "Nur die Einzelheiten"},
    {"BlankDetailIsNone", "Nur Text", " \r\n", "Nur Text", "", "Nur Text"},
    {"LeadingBlanksStay", "  eingerückt", "", "  eingerückt", "", "  eingerückt"},
};

using TextTest = MsgBoxCaseTest<TextCase>;

void ExpectTexts(TFrmMsgBox& box, const TextCase& c) {
    EXPECT_EQ(box.Text(), c.shownText);
    EXPECT_EQ(box.Detail(), c.shownDetail);
    const QFont designed = box.font();
    const bool heading = !c.shownDetail.empty();
    EXPECT_EQ(box.TextFont().bold(), heading);
    EXPECT_EQ(box.TextFont().pointSize(),
              heading ? designed.pointSize() * 12 / 10 : designed.pointSize());
    if (!heading) {
        EXPECT_EQ(box.GapHeight(), 0);
        EXPECT_EQ(box.DetailHeight(), 0);
        return;
    }
    EXPECT_EQ(box.GapHeight(), LinesHeight(designed, 1));
    EXPECT_EQ(box.DetailHeight(), LinesHeight(designed, 1));
    EXPECT_GE(box.PaintBox()->height(), box.TextHeight() + box.GapHeight() + box.DetailHeight());
}

TEST_P(TextTest, CtrlCCopiesWhatIsShown) {
    const TextCase& c = GetParam();
    ModalBoxAnswerer answer;
    answer.Inspect([&](QWidget& w) { ExpectTexts(AsBox(w), c); })
        .Key(Qt::Key_C, Qt::ControlModifier)
        .Inspect([&](QWidget& w) {
            EXPECT_TRUE(w.isVisible());
            EXPECT_EQ(Clipboard(), c.copied);
        })
        .Press("&OK");
    EXPECT_EQ(ShowMsgEx(c.text, c.detail, "", MB_ICONASTERISK), IDOK);
    EXPECT_TRUE(answer.Finished());
}

TEST_P(TextTest, MenuItemCopiesWhatIsShown) {
    const TextCase& c = GetParam();
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& w) {
            TFrmMsgBox& box = AsBox(w);
            EXPECT_EQ(box.MnuCopy()->text(), QString("&Kopieren"));
            box.MnuCopy()->trigger();
            EXPECT_EQ(Clipboard(), c.copied);
        })
        .Press("&OK");
    ShowMsgEx(c.text, c.detail, "", 0);
    EXPECT_TRUE(answer.Finished());
}

INSTANTIATE_TEST_SUITE_P(Texts, TextTest, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Icons, window flags, colours, caption, blinking

struct IconCase {
    int32_t flags;
    std::optional<QStyle::StandardPixmap> icon;
};

void PrintTo(const IconCase& c, std::ostream* os) {
    *os << "flags 0x" << std::hex << c.flags;
}

const IconCase kIconCases[] = {
    {MB_OK, std::nullopt},
    {MB_ICONHAND, QStyle::SP_MessageBoxCritical},
    {MB_ICONQUESTION, QStyle::SP_MessageBoxQuestion},
    {MB_ICONEXCLAMATION | MB_OKCANCEL, QStyle::SP_MessageBoxWarning},
    {MB_ICONASTERISK | MB_OKCANCEL, QStyle::SP_MessageBoxInformation},
    {0x50, std::nullopt},
    {0xF0, std::nullopt},
};

using IconTest = MsgBoxCaseTest<IconCase>;

TEST_P(IconTest, IconByFlagsTextStaysInPlace) {
    const IconCase& c = GetParam();
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& w) {
            TFrmMsgBox& box = AsBox(w);
            const QPixmap shown = box.ImgIcon()->pixmap();
            EXPECT_EQ(box.ScrollBox()->x(), kTextLeft);
            EXPECT_EQ(box.ImgIcon()->geometry(), QRect(kMargin, kMargin, kIconSize, kIconSize));
            if (!c.icon) {
                EXPECT_TRUE(shown.isNull());
                return;
            }
            const QPixmap expected =
                box.style()
                    ->standardIcon(*c.icon, nullptr, &box)
                    .pixmap(QSize(kIconSize, kIconSize), box.devicePixelRatio());
            EXPECT_EQ(shown.toImage(), expected.toImage());
        })
        .Press("&OK");
    ShowMsg("Text", c.flags);
    EXPECT_TRUE(answer.Finished());
}

INSTANTIATE_TEST_SUITE_P(Flags, IconTest, ::testing::ValuesIn(kIconCases));

struct OnTopCase {
    int32_t flags;
    bool onTop;
};

void PrintTo(const OnTopCase& c, std::ostream* os) {
    *os << "flags 0x" << std::hex << c.flags;
}

const OnTopCase kOnTopCases[] = {
    {MB_OK, false},     {MB_SYSTEMMODAL, true},      {MB_TASKMODAL, true},      {0x3000, false},
    {MB_TOPMOST, true}, {MB_TOPMOST | 0x3000, true}, {MB_SETFOREGROUND, false},
};

using OnTopTest = MsgBoxCaseTest<OnTopCase>;

TEST_P(OnTopTest, StaysOnTopByFlags) {
    const OnTopCase& c = GetParam();
    ModalBoxAnswerer answer;
    answer
        .Inspect([&](QWidget& w) {
            EXPECT_EQ(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint), c.onTop);
            EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
            EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        })
        .Press("&OK");
    ShowMsg("Text", c.flags);
    EXPECT_TRUE(answer.Finished());
}

INSTANTIATE_TEST_SUITE_P(Flags, OnTopTest, ::testing::ValuesIn(kOnTopCases));

TEST_F(MsgBoxTest, HighlightColoursFormAndPanels) {
    const QColor lightYellow(255, 255, 128);
    for (const TMsgBoxOptions options : {TMsgBoxOptions(0), moHighlight}) {
        ModalBoxAnswerer answer;
        answer
            .Inspect([&](QWidget& w) {
                TFrmMsgBox& box = AsBox(w);
                const bool highlight = options == moHighlight;
                const QColor form = box.palette().color(QPalette::Window);
                EXPECT_EQ(form == lightYellow, highlight);
                EXPECT_EQ(box.PnlButtons()->palette().color(QPalette::Window) == lightYellow,
                          highlight);
                EXPECT_EQ(box.PnlDsa()->palette().color(QPalette::Window) == lightYellow,
                          highlight);
            })
            .Press("&OK");
        bool state = false;
        ShowMsgCheck("Hervorgehoben", "Merken", state, MB_OK, options);
        EXPECT_TRUE(answer.Finished());
    }
}

TEST_F(MsgBoxTest, CaptionIsTheGivenOneElseTheApplicationTitle) {
    const std::pair<std::string, std::string> cases[] = {{"Eigener Titel", "Eigener Titel"},
                                                         {"", kTitle}};
    for (const auto& [caption, expected] : cases) {
        ModalBoxAnswerer answer;
        answer.Inspect([&](QWidget& w) { EXPECT_EQ(w.windowTitle().toStdString(), expected); })
            .Press("&OK");
        bool state = false;
        ExecuteMsgBox(CreateFrmMsgBox, "Text", "", caption, "", MB_OK, "", state, nullptr, 0);
        EXPECT_TRUE(answer.Finished());
    }
    ModalBoxAnswerer answer;
    answer.Inspect([](QWidget& w) { EXPECT_EQ(w.windowTitle().toStdString(), kTitle); })
        .Press("&OK");
    ShowMsg("Text", MB_OK);
    EXPECT_TRUE(answer.Finished());
}

TEST_F(MsgBoxTest, BlinkingIconHidesAndReturns) {
    ModalBoxAnswerer answer;
    answer.WaitFor([](QWidget& w) { return AsBox(w).ImgIcon()->isHidden(); })
        .WaitFor([](QWidget& w) { return AsBox(w).ImgIcon()->isVisible(); })
        .Press("&OK");
    bool state = false;
    ShowMsgCheck("Achtung", "Merken", state, MB_ICONEXCLAMATION, moBlinkIcon | moFlashWindow);
    EXPECT_TRUE(answer.Finished());
}

// ---------------------------------------------------------------------------------------------
// Main window: font and placement

class MainFormTest : public MsgBoxTest {
protected:
    void SetUp() override {
        MsgBoxTest::SetUp();
        main_ = std::make_unique<QMainWindow>();
        main_->setObjectName("FrmMain");
        main_->setFont(QFont("Tahoma", 10));
        main_->setGeometry(40, 30, 700, 500);
        main_->show();
    }

    std::unique_ptr<QMainWindow> main_;
};

TEST_F(MainFormTest, BoxTakesTheMainFormsFont) {
    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& w) {
            EXPECT_EQ(w.font().pointSize(), 10);
            EXPECT_EQ(AsBox(w).TextFont().pointSize(), 12);
        })
        .Press("&OK");
    ShowMsgEx("Kopf", "Einzelheiten", "", 0);
    EXPECT_TRUE(answer.Finished());
}

TEST_F(MainFormTest, OwnedBoxIsCentredOverItsOwnersForm) {
    QWidget other;
    other.setGeometry(300, 200, 400, 300);
    other.show();
    QWidget* child = new QWidget(&other);
    struct Case {
        QWidget* owner;
        QWidget* over;
    };
    for (const Case& c : {Case{&other, &other}, Case{child, main_.get()}}) {
        ModalBoxAnswerer answer;
        answer
            .Inspect([&](QWidget& w) {
                const QSize outer = w.size() + WindowFrameExtent();
                const QRect target = c.over->frameGeometry();
                EXPECT_EQ(w.pos(), QPoint(target.left() + (target.width() - outer.width()) / 2,
                                          target.top() + (target.height() - outer.height()) / 2));
            })
            .Press("&OK");
        ShowMsg("Text", MB_OK, c.owner);
        EXPECT_TRUE(answer.Finished());
    }
}

// ---------------------------------------------------------------------------------------------
// Unit start-up and shut-down

TEST_F(MsgBoxTest, StartupPointsTheHooksAtThisBox) {
    EXPECT_EQ(MessageBoxHook, &ShowMsg);
    EXPECT_EQ(MessageBoxExHook, &ShowMsgEx);
    ModalBoxAnswerer answer;
    answer.Inspect([](QWidget& w) { EXPECT_NE(qobject_cast<TFrmMsgBox*>(&w), nullptr); })
        .Press("&Abbrechen")
        .Press("Zwei");
    EXPECT_EQ(MessageBoxHook("Über den Haken", MB_OKCANCEL, nullptr), IDCANCEL);
    EXPECT_EQ(MessageBoxExHook("Text", "Detail", "Eins|Zwei", 0, nullptr), -2);
    EXPECT_TRUE(answer.Finished());
}

TEST_F(MsgBoxTest, ShutdownEmptiesTheButtonCaptions) {
    VexFrmMsgBoxShutdown();
    for (const std::string* caption :
         {&ButtonCaptions.OK, &ButtonCaptions.Cancel, &ButtonCaptions.Retry, &ButtonCaptions.Ignore,
          &ButtonCaptions.Yes, &ButtonCaptions.No}) {
        EXPECT_TRUE(caption->empty());
    }
    VexFrmMsgBoxStartup();
    EXPECT_EQ(ButtonCaptions.Cancel, "&Abbrechen");
}

TEST_F(MsgBoxTest, ChangedCaptionsAreReadWhenTheBoxIsBuilt) {
    ButtonCaptions.Yes = "&Sicher";
    ModalBoxAnswerer answer;
    answer.Press("&Sicher");
    EXPECT_EQ(ShowMsg("Text", MB_YESNO), IDYES);
    EXPECT_TRUE(answer.Finished());
}

// A class derived from the box, as callers may pass to ExecuteMsgBox.
class TFrmOwnMsgBox : public TFrmMsgBox {
public:
    using TFrmMsgBox::TFrmMsgBox;
};

TEST_F(MsgBoxTest, ExecuteMsgBoxBuildsTheGivenClass) {
    ModalBoxAnswerer answer;
    answer.Inspect([](QWidget& w) { EXPECT_NE(dynamic_cast<TFrmOwnMsgBox*>(&w), nullptr); })
        .Press("&OK");
    bool state = false;
    ExecuteMsgBox([](QWidget* owner) { return std::make_unique<TFrmOwnMsgBox>(owner); }, "Text", "",
                  "", "", MB_OK, "", state, nullptr, 0);
    EXPECT_TRUE(answer.Finished());
}

} // namespace
