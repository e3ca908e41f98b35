// The hive file of POSIX: one that holds no hive is moved aside and the user told where.

#include "common/TestEnvironment.h"
#include "common/widgets/ModalBoxAnswerer.h"
#include "common/window/MainWindowFixture.h"
#include "platform/registry/Registry.h"
#include "support/VexSettings.h"
#include "support/widgets/VexMisc.h"

#include <QStyle>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

bool HasIcon(QWidget& box) {
    return !AsMsgBox(box).ImgIcon()->pixmap().isNull();
}

class BrokenSettingsTest : public MainWindowFixture {
protected:
    ScopedTestHome home_;
};

TEST_F(BrokenSettingsTest, AreResetAndTheUserToldWhereTheOldFileLies) {
    const fs::path hive = RegistryHivePath();
    fs::create_directories(hive.parent_path());
    std::ofstream(hive, std::ios::binary) << "this is not a hive\n";
    AppSettings = std::make_unique<TRegistrySettings>("Software/Lirn/Quarn", 1);
    ModalBoxAnswerer answer;
    std::string shown;
    answer
        .Inspect([&](QWidget& box) {
            shown = AsMsgBox(box).Text();
            EXPECT_TRUE(HasIcon(box));
            EXPECT_TRUE(form_->isVisible());
        })
        .Press("&OK");
    Show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.Finished(); }, WaitMs));

    std::vector<fs::path> aside;
    for (const auto& entry : fs::directory_iterator(hive.parent_path())) {
        if (entry.path().filename().string().find(".invalid-") != std::string::npos) {
            aside.push_back(entry.path());
        }
    }
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(shown, "Die Einstellungen waren beschädigt und wurden zurückgesetzt. Die alte "
                     "Datei liegt unter " +
                         aside[0].string() + ".");
}

} // namespace
