#include "common/support/MemorySettings.h"
#include "common/widgets/TestApplication.h"
#include "support/VexDateTime.h"
#include "support/VexLinkList.h"
#include "support/VexMsgFlags.h"
#include "support/widgets/VexMisc.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <clocale>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Restores the process locale a test changed.
class LocaleGuard {
public:
    LocaleGuard() : saved_(std::setlocale(LC_ALL, nullptr)) {}
    ~LocaleGuard() { std::setlocale(LC_ALL, saved_.c_str()); }

private:
    std::string saved_;
};

int32_t otherHook(const std::string&, int32_t, QWidget*) {
    return 99;
}
int32_t otherExHook(const std::string&, const std::string&, const std::string&, int32_t, QWidget*) {
    return 98;
}

TEST(VexMiscLifecycleTest, StartupInstallsPlainBoxAndStack) {
    LocaleGuard locale;
    MessageBoxHook = otherHook;
    MessageBoxExHook = otherExHook;
    VexMiscStartup();
    EXPECT_EQ(MessageBoxHook, &PlainMessageBox);
    EXPECT_EQ(MessageBoxExHook, nullptr);
    ASSERT_NE(GlobalStack, nullptr);
    EXPECT_EQ(GlobalStack->First(), nullptr);
    VexMiscShutdown();
}

TEST(VexMiscLifecycleTest, ShutdownFreesStackAndResetsHooks) {
    LocaleGuard locale;
    VexMiscStartup();
    MessageBoxHook = otherHook;
    MessageBoxExHook = otherExHook;
    VexMiscShutdown();
    EXPECT_EQ(GlobalStack, nullptr);
    EXPECT_EQ(AppSettings, nullptr);
    EXPECT_EQ(MessageBoxHook, &PlainMessageBox);
    EXPECT_EQ(MessageBoxExHook, nullptr);
}

// Notes whether the global stack was already gone when the store was freed.
class ObservedSettings : public MemorySettings {
public:
    explicit ObservedSettings(bool& freedAfterStack) : freedAfterStack_(freedAfterStack) {}
    ~ObservedSettings() override { freedAfterStack_ = GlobalStack == nullptr; }

private:
    bool& freedAfterStack_;
};

TEST(VexMiscLifecycleTest, ShutdownFreesTheStackFirstThenAppSettings) {
    LocaleGuard locale;
    VexMiscStartup();
    bool freedAfterStack = false;
    AppSettings = std::make_unique<ObservedSettings>(freedAfterStack);
    VexMiscShutdown();
    EXPECT_EQ(AppSettings, nullptr);
    EXPECT_TRUE(freedAfterStack);
}

TEST(VexMiscLifecycleTest, StartupTakesTheFormatsFromQtsSystemLocale) {
    const TFormatSettings saved = FormatSettings;
    SetFormatSettings({"xx", "y", "H"});
    VexMiscStartup();
    EXPECT_EQ(FormatSettings, FormatSettingsOf(QLocale::system()));
    EXPECT_EQ(DateOrderMask, MakeDateOrderMask(FormatSettings.ShortDateFormat));
    VexMiscShutdown();
    SetFormatSettings(saved);
}

struct LocaleFormatsCase {
    const char* locale;
    TFormatSettings formats;
};

void PrintTo(const LocaleFormatsCase& c, std::ostream* os) {
    *os << c.locale;
}

class FormatSettingsOfTest : public ::testing::TestWithParam<LocaleFormatsCase> {};

TEST_P(FormatSettingsOfTest, ShortDateWithFourDigitYearAndTimeWithoutSeconds) {
    const TFormatSettings formats = FormatSettingsOf(QLocale(GetParam().locale));
    EXPECT_EQ(formats.LocaleName, GetParam().formats.LocaleName);
    EXPECT_EQ(formats.ShortDateFormat, GetParam().formats.ShortDateFormat);
    EXPECT_EQ(formats.ShortTimeFormat, GetParam().formats.ShortTimeFormat);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, FormatSettingsOfTest,
    ::testing::Values(LocaleFormatsCase{"de_DE", {"de_DE", "dd.MM.yyyy", "HH:mm"}},
                      LocaleFormatsCase{"de_CH", {"de_CH", "dd.MM.yyyy", "HH:mm"}},
                      LocaleFormatsCase{"en_GB", {"en_GB", "dd/MM/yyyy", "HH:mm"}},
                      LocaleFormatsCase{"fi_FI", {"fi_FI", "d.M.yyyy", "H.mm"}},
                      LocaleFormatsCase{"C", {"C", "d MMM yyyy", "HH:mm"}}));

// What a message box showed, and the button pressed on it.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    QStringList captions;
    QString defaultCaption;
    QWidget* parent = nullptr;
};

// Waits for the modal message box, records it and presses the button with the given caption.
SeenBox answerNextBox(const QString& caption, const std::function<void()>& show) {
    SeenBox seen;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            return;
        }
        poll.stop();
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.format = box->textFormat();
        seen.parent = box->parentWidget();
        for (QAbstractButton* button : box->buttons()) {
            seen.captions << button->text();
        }
        if (box->defaultButton()) {
            seen.defaultCaption = box->defaultButton()->text();
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == caption) {
                button->click();
                return;
            }
        }
        box->reject();
    });
    poll.start();
    show();
    return seen;
}

struct BoxButton {
    QString caption;
    int32_t id;
};

struct BoxCase {
    int32_t flags;
    QMessageBox::Icon icon;
    std::vector<BoxButton> buttons;
    QString defaultCaption;
};

void PrintTo(const BoxCase& c, std::ostream* os) {
    *os << "flags " << c.flags;
}

class PlainMessageBoxTest : public testing::TestWithParam<BoxCase> {
protected:
    void SetUp() override {
        TestApplication();
        ApplicationTitle = "lirn Quarn professional";
    }
    void TearDown() override { ApplicationTitle.clear(); }
};

// Each button of the style in turn: the box's look, and the id its button gives.
TEST_P(PlainMessageBoxTest, ShowsStyleAndReturnsTheButtonsId) {
    const BoxCase& c = GetParam();
    QStringList expectedCaptions;
    for (const BoxButton& button : c.buttons) {
        expectedCaptions << button.caption;
    }
    expectedCaptions.sort();
    for (const BoxButton& button : c.buttons) {
        int32_t result = 0;
        SeenBox seen = answerNextBox(
            button.caption, [&] { result = PlainMessageBox("Text\r\nZeile 2", c.flags, nullptr); });
        seen.captions.sort();
        EXPECT_EQ(seen.title, "lirn Quarn professional");
        EXPECT_EQ(seen.text, "Text\r\nZeile 2");
        EXPECT_EQ(seen.icon, c.icon);
        EXPECT_EQ(seen.captions, expectedCaptions);
        EXPECT_EQ(seen.defaultCaption, c.defaultCaption);
        EXPECT_EQ(result, button.id) << button.caption.toStdString();
    }
}

const BoxButton kOk{"OK", IDOK};
const BoxButton kCancel{"Abbrechen", IDCANCEL};
const BoxButton kAbort{"Abbrechen", IDABORT};
const BoxButton kRetry{"&Wiederholen", IDRETRY};
const BoxButton kIgnore{"&Ignorieren", IDIGNORE};
const BoxButton kYes{"&Ja", IDYES};
const BoxButton kNo{"&Nein", IDNO};

INSTANTIATE_TEST_SUITE_P(
    Styles, PlainMessageBoxTest,
    testing::Values(
        BoxCase{MB_OK, QMessageBox::NoIcon, {kOk}, "OK"},
        BoxCase{MB_OK | MB_ICONHAND, QMessageBox::Critical, {kOk}, "OK"},
        BoxCase{MB_OKCANCEL | MB_ICONQUESTION, QMessageBox::Question, {kOk, kCancel}, "OK"},
        BoxCase{MB_OKCANCEL | MB_DEFBUTTON2, QMessageBox::NoIcon, {kOk, kCancel}, "Abbrechen"},
        BoxCase{MB_YESNO | MB_ICONEXCLAMATION, QMessageBox::Warning, {kYes, kNo}, "&Ja"},
        BoxCase{MB_YESNOCANCEL | MB_ICONASTERISK | MB_DEFBUTTON3,
                QMessageBox::Information,
                {kYes, kNo, kCancel},
                "Abbrechen"},
        BoxCase{MB_ABORTRETRYIGNORE, QMessageBox::NoIcon, {kAbort, kRetry, kIgnore}, "Abbrechen"},
        BoxCase{
            MB_RETRYCANCEL | MB_DEFBUTTON3, QMessageBox::NoIcon, {kRetry, kCancel}, "Abbrechen"},
        BoxCase{0xF, QMessageBox::NoIcon, {kOk}, "OK"}));

TEST_F(PlainMessageBoxTest, IgnoresTheOwnerAndUsesTheApplicationTitle) {
    QWidget owner;
    owner.setWindowTitle("Owner");
    ApplicationTitle = "Titel \xC3\xA4";
    int32_t result = 0;
    const SeenBox seen =
        answerNextBox("OK", [&] { result = PlainMessageBox("Hallo", MB_OK, &owner); });
    EXPECT_EQ(seen.title, QString::fromUtf8("Titel \xC3\xA4"));
    EXPECT_EQ(seen.parent, nullptr);
    EXPECT_EQ(result, IDOK);
}

TEST_F(PlainMessageBoxTest, ShowsMarkupInTheTextAsWritten) {
    const std::string text = "Datei \"/tmp/<b>Praxis</b>.gdt\" kann nicht erstellt werden.";
    const SeenBox seen = answerNextBox("OK", [&] { PlainMessageBox(text, MB_ICONHAND, nullptr); });
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.text, QString::fromStdString(text));
}

TEST_F(PlainMessageBoxTest, ClosingWithoutAButtonCountsAsCancel) {
    int32_t result = 0;
    answerNextBox("", [&] { result = PlainMessageBox("Frage", MB_OKCANCEL, nullptr); });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(PlainMessageBoxTest, RestoresTheDefaultCursor) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    answerNextBox("OK", [] { PlainMessageBox("Fertig", MB_OK, nullptr); });
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
