// The settings dialog with folder and file names as the system keeps them: UTF-8, and bytes that
// are no UTF-8, which only POSIX keeps, as on a share an older system made with Latin-1 names.

#include "app/Main.h"
#include "app/SettingKeys.h"
#include "app/UntSettings.h"
#include "common/TestEnvironment.h"
#include "common/widgets/ModalBoxAnswerer.h"
#include "common/window/MainWindowFixture.h"
#include "support/VexMsgFlags.h"
#include "support/widgets/VexMisc.h"

#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> boxTexts;

int32_t RecordingBox(const std::string& text, int32_t, QWidget*) {
    boxTexts.push_back(text);
    return IDOK;
}

// "ü" and "ä" in the encoding of the case.
struct Umlauts {
    const char* name;
    std::string u;
    std::string a;
};

void PrintTo(const Umlauts& c, std::ostream* os) {
    *os << c.name;
}

class NamesThroughTheDialogTest : public MainWindowFixture,
                                  public ::testing::WithParamInterface<Umlauts> {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        savedBox_ = MessageBoxHook;
        MessageBoxHook = RecordingBox;
        boxTexts.clear();
        u_ = GetParam().u;
        a_ = GetParam().a;
        pdf_ = MakeFolder("Befunde-M" + u_ + "ller");
        settings_->WriteString(PdfFolderKey, pdf_);
        settings_->WriteString(PdfShowKey, FlagOff);
        settings_->WriteString(PdfPrintKey, FlagOff);
        settings_->WriteString(ImportPathKey, pdf_ + "/auftr" + a_ + "ge.gdt");
        settings_->WriteString(ExportPathKey, pdf_ + "/ergebnis-" + u_ + ".gdt");
    }

    void TearDown() override {
        MessageBoxHook = savedBox_;
        FolderBrowserHook = savedBrowser_;
        MainWindowFixture::TearDown();
    }

    std::string MakeFolder(const std::string& name) {
        const fs::path folder = home_.root() / name;
        fs::create_directories(folder);
        return folder.string();
    }

    std::vector<std::string> StoredPaths() const {
        return {settings_->Stored("Directories", "PDF").value_or("<none>"),
                settings_->Stored("GDT", "Import").value_or("<none>"),
                settings_->Stored("GDT", "Export").value_or("<none>")};
    }

    // Runs the dialog, doing what the test asks in it before OK is pressed.
    int RunDialog(const std::function<void(TFrmSettings&)>& inside) {
        Show();
        ModalBoxAnswerer answer(std::chrono::seconds(5));
        answer
            .Inspect([&](QWidget& box) {
                auto* form = dynamic_cast<TFrmSettings*>(&box);
                ASSERT_NE(form, nullptr);
                inside(*form);
            })
            .Press("OK");
        const int result = TFrmSettings::Execute(form_.get());
        EXPECT_TRUE(answer.Finished());
        return result;
    }

    ScopedTestHome home_;
    std::string u_;
    std::string a_;
    std::string pdf_;

private:
    TMessageBoxHook savedBox_ = nullptr;
    TFolderBrowserHook savedBrowser_ = FolderBrowserHook;
};

TEST_P(NamesThroughTheDialogTest, StoredNamesPassOkUnchanged) {
    const std::vector<std::string> before = StoredPaths();
    EXPECT_EQ(RunDialog([](TFrmSettings&) {}), mrOk);
    EXPECT_EQ(boxTexts, std::vector<std::string>{});
    EXPECT_EQ(StoredPaths(), before);
}

TEST_P(NamesThroughTheDialogTest, ChosenFolderIsStoredAsTheSystemNamesIt) {
    const std::string chosen = MakeFolder("Archiv-" + a_ + "lter");
    std::ofstream(fs::path(chosen) / "lirn.pdf") << "%PDF-1.4";
    FolderBrowserHook = [&](QWidget*, const std::string&, const std::string&) { return chosen; };
    EXPECT_EQ(RunDialog([](TFrmSettings& form) { form.BtnDirectory->click(); }), mrOk);
    EXPECT_EQ(boxTexts, std::vector<std::string>{});
    EXPECT_EQ(StoredPaths(), (std::vector<std::string>{chosen, pdf_ + "/auftr" + a_ + "ge.gdt",
                                                       pdf_ + "/ergebnis-" + u_ + ".gdt"}));
    EXPECT_FALSE(fs::exists(fs::path(chosen) / "lirn.pdf")) << "the report there is deleted";
}

INSTANTIATE_TEST_SUITE_P(Encodings, NamesThroughTheDialogTest,
                         ::testing::Values(Umlauts{"Utf8", "\xc3\xbc", "\xc3\xa4"},
                                           Umlauts{"Latin1", "\xfc", "\xe4"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
