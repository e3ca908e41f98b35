#include "app/AdvancedSettings.h"
#include "app/SettingKeys.h"
#include "app/UntSettings.h"
#include "common/TestEnvironment.h"
#include "common/support/MemorySettings.h"
#include "common/widgets/ModalBoxAnswerer.h"
#include "common/widgets/TestApplication.h"
#include "support/VexAbstract.h"
#include "support/VexMsgFlags.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> boxTexts;

int32_t RecordingBox(const std::string& text, int32_t flags, QWidget* /*owner*/) {
    EXPECT_EQ(flags, MB_ICONEXCLAMATION);
    boxTexts.push_back(text);
    return IDOK;
}

TFrmAdvancedSettings* AsAdvanced(QWidget& box) {
    auto* form = dynamic_cast<TFrmAdvancedSettings*>(&box);
    EXPECT_NE(form, nullptr) << "not the advanced settings dialog";
    return form;
}

class AdvancedSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApplication();
        settings_ = new MemorySettings;
        AppSettings.reset(settings_);
        savedBox_ = MessageBoxHook;
        MessageBoxHook = RecordingBox;
        boxTexts.clear();
        archive_ = home_.root() / "archiv";
        fs::create_directory(archive_);
    }

    void TearDown() override {
        MessageBoxHook = savedBox_;
        AppSettings.reset();
    }

    std::string Stored(const char* keyPath) { return settings_->ReadString(keyPath); }

    // Opens the dialog, lets edit change it, presses OK and then, if it is still open, Abbruch.
    int RunDialog(const std::function<void(TFrmAdvancedSettings&)>& edit) {
        ModalBoxAnswerer answer;
        answer.Inspect([&](QWidget& box) {
            if (TFrmAdvancedSettings* form = AsAdvanced(box)) {
                edit(*form);
                form->BtnOK->click();
                if (form->isVisible()) {
                    form->BtnCancel->click();
                }
            }
        });
        const int result = TFrmAdvancedSettings::Execute(nullptr);
        EXPECT_TRUE(answer.Finished());
        return result;
    }

    ScopedTestHome home_;
    MemorySettings* settings_ = nullptr;
    fs::path archive_;
    TMessageBoxHook savedBox_;
};

TEST_F(AdvancedSettingsTest, FreshSettingsShowTheDefaultsAndStoreThemOnOk) {
    const int result = RunDialog([](TFrmAdvancedSettings& form) {
        EXPECT_FALSE(form.ChbTestValues->isChecked());
        EXPECT_FALSE(form.ChbAttachment->isChecked());
        EXPECT_TRUE(form.EdtTestIdents->text().isEmpty());
        EXPECT_TRUE(form.EdtArchive->text().isEmpty());
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_TRUE(boxTexts.empty());
    EXPECT_EQ(Stored(GdtTestValuesKey), "NO");
    EXPECT_EQ(Stored(GdtAttachmentKey), "NO");
    EXPECT_EQ(Stored(ArchiveFolderKey), "");
    EXPECT_EQ(Stored(GdtTestIdentsKey), "");
}

TEST_F(AdvancedSettingsTest, OnlyYesTicksAndOkStoresWhatIsShown) {
    settings_->WriteString(GdtTestValuesKey, "yes");
    settings_->WriteString(GdtAttachmentKey, "YES");
    settings_->WriteString(ArchiveFolderKey, archive_.string());
    const int result = RunDialog([&](TFrmAdvancedSettings& form) {
        EXPECT_FALSE(form.ChbTestValues->isChecked());
        EXPECT_TRUE(form.ChbAttachment->isChecked());
        EXPECT_EQ(form.EdtArchive->text().toStdString(), archive_.string());
        form.ChbTestValues->setChecked(true);
        form.EdtTestIdents->setText("SYS;DIA;HF;MAD;ARR");
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(Stored(GdtTestValuesKey), "YES");
    EXPECT_EQ(Stored(GdtTestIdentsKey), "SYS;DIA;HF;MAD;ARR");
    EXPECT_EQ(Stored(GdtAttachmentKey), "YES");
}

struct RefusalCase {
    const char* name;
    bool attachment;
    std::string archive;
    std::string idents;
    std::string message;
    const char* focused;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

class AdvancedRefusalTest : public AdvancedSettingsTest,
                            public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(AdvancedRefusalTest, KeepsTheDialogOpenStoresNothingAndFocusesTheEdit) {
    const RefusalCase& c = GetParam();
    const std::string archive = c.archive == "<archive>" ? archive_.string() : c.archive;
    std::string focused;
    const int result = RunDialog([&](TFrmAdvancedSettings& form) {
        form.ChbAttachment->setChecked(c.attachment);
        form.EdtArchive->setText(QString::fromStdString(archive));
        form.EdtTestIdents->setText(QString::fromStdString(c.idents));
        form.BtnOK->click();
        focused = form.focusWidget() ? form.focusWidget()->objectName().toStdString() : "";
    });
    EXPECT_EQ(result, mrCancel);
    EXPECT_EQ(boxTexts.size(), 2u);
    ASSERT_FALSE(boxTexts.empty());
    EXPECT_EQ(boxTexts.front(), c.message);
    EXPECT_EQ(focused, c.focused);
    EXPECT_EQ(Stored(GdtAttachmentKey), "NO");
    EXPECT_EQ(Stored(ArchiveFolderKey), "");
}

const char* const Request = "\r\nBitte gültiges Verzeichnis angeben.";

INSTANTIATE_TEST_SUITE_P(
    Inputs, AdvancedRefusalTest,
    ::testing::Values(
        RefusalCase{"AttachmentWithoutFolder", true, "", "",
                    std::string("Der angegebene Archivordner <> existiert nicht.") + Request,
                    "EdtArchive"},
        RefusalCase{"AttachmentWithMissingFolder", true, "/nicht/da", "",
                    std::string("Der angegebene Archivordner </nicht/da> existiert nicht.") +
                        Request,
                    "EdtArchive"},
        RefusalCase{"FourIdents", false, "", "A;B;C;D",
                    "Die Testkennungen <A;B;C;D> sind ungültig.\r\nBitte fünf Kennungen ohne "
                    "Leerzeichen, je höchstens 20 Zeichen, durch \";\" getrennt angeben oder das "
                    "Feld leer lassen.",
                    "EdtTestIdents"},
        RefusalCase{"IdentsBeforeFolder", true, "", "A;B;C;D;E;F",
                    "Die Testkennungen <A;B;C;D;E;F> sind ungültig.\r\nBitte fünf Kennungen ohne "
                    "Leerzeichen, je höchstens 20 Zeichen, durch \";\" getrennt angeben oder das "
                    "Feld leer lassen.",
                    "EdtTestIdents"}),
    [](const auto& info) { return std::string(info.param.name); });

// Without the attachment the folder is not needed, and stays as it stands.
TEST_F(AdvancedSettingsTest, FolderIsNotCheckedWithoutTheAttachment) {
    const int result =
        RunDialog([](TFrmAdvancedSettings& form) { form.EdtArchive->setText("/nicht/da"); });
    EXPECT_EQ(result, mrOk);
    EXPECT_TRUE(boxTexts.empty());
    EXPECT_EQ(Stored(ArchiveFolderKey), "/nicht/da");
}

TEST_F(AdvancedSettingsTest, CancelStoresNothing) {
    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& box) {
            if (TFrmAdvancedSettings* form = AsAdvanced(box)) {
                form->ChbTestValues->setChecked(true);
            }
        })
        .Key(Qt::Key_Escape);
    EXPECT_EQ(TFrmAdvancedSettings::Execute(nullptr), mrCancel);
    EXPECT_TRUE(answer.Finished());
    EXPECT_EQ(Stored(GdtTestValuesKey), "NO");
}

TEST_F(AdvancedSettingsTest, KeyboardReachesEveryControl) {
    TFrmAdvancedSettings form(nullptr);
    QStringList order;
    QWidget* widget = form.ChbTestValues;
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            order << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != form.ChbTestValues);
    EXPECT_EQ(order, QStringList({"ChbTestValues", "EdtTestIdents", "ChbAttachment", "EdtArchive",
                                  "BtnOK", "BtnCancel"}));
    const std::vector<std::pair<QString, QWidget*>> accessKeys = {
        {form.ChbTestValues->text(), form.ChbTestValues},
        {form.LblTestIdents->text(), form.LblTestIdents->buddy()},
        {form.ChbAttachment->text(), form.ChbAttachment},
        {form.LblArchive->text(), form.LblArchive->buddy()},
    };
    QString keys;
    for (const auto& [text, target] : accessKeys) {
        const qsizetype amp = text.indexOf('&');
        ASSERT_GE(amp, 0) << text.toStdString();
        keys += text.at(amp + 1).toLower();
        EXPECT_NE(target, nullptr);
    }
    EXPECT_EQ(keys, "mtah");
    EXPECT_EQ(form.LblTestIdents->buddy(), form.EdtTestIdents);
    EXPECT_EQ(form.LblArchive->buddy(), form.EdtArchive);
    EXPECT_TRUE(form.BtnOK->isDefault());
}

// The dialog opens from the settings dialog's button at the free left end of its button row,
// whose access key differs from every other of that dialog.
TEST_F(AdvancedSettingsTest, OpensFromTheSettingsDialog) {
    TFrmSettings settingsForm(nullptr);
    EXPECT_EQ(settingsForm.BtnAdvanced->geometry(), QRect(8, 236, 85, 25));
    EXPECT_EQ(settingsForm.BtnAdvanced->text(), "Er&weitert …");
    QString keys;
    for (const QObject* child : settingsForm.findChildren<QObject*>()) {
        const QVariant text = child->property("text");
        const qsizetype amp = text.toString().indexOf('&');
        if (amp >= 0 && amp + 1 < text.toString().size()) {
            keys += text.toString().at(amp + 1).toLower();
        }
    }
    EXPECT_EQ(keys.count('w'), 1) << keys.toStdString();
    ModalBoxAnswerer answer;
    answer
        .Inspect([](QWidget& box) {
            EXPECT_EQ(box.windowTitle(), "Erweiterte Einstellungen");
            AsAdvanced(box);
        })
        .Press("Abbruch");
    settingsForm.BtnAdvanced->click();
    EXPECT_TRUE(answer.Finished());
}

} // namespace
