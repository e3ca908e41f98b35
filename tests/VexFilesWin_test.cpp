// Long names on Windows: short 8.3 names, drives, network shares and both separators.

#include "common/TestEnvironment.h"
#include "support/VexFiles.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

class GetLongPathWinTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(home_.root() / "Messungen der Praxis" / "Ergebnisse");
        std::ofstream(home_.root() / "Messungen der Praxis" / "Ergebnisse" / "Blutdruck.gdt")
            << "x";
    }

    ScopedTestHome home_;
};

TEST_F(GetLongPathWinTest, ShortNamesBecomeTheLongOnes) {
    const fs::path file = home_.root() / "Messungen der Praxis" / "Ergebnisse" / "Blutdruck.gdt";
    wchar_t shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameW(file.wstring().c_str(), shortPath, MAX_PATH), 0u);
    ASSERT_EQ(fs::path(shortPath).wstring().find(L"Messungen der Praxis"), std::wstring::npos);
    EXPECT_EQ(GetLongPath(fs::path(shortPath).string()), file.string());
}

TEST_F(GetLongPathWinTest, ForwardSlashesSeparateAndStayAsWritten) {
    const std::string root = home_.root().string();
    EXPECT_EQ(GetLongPath(root + "/messungen der praxis\\ERGEBNISSE/"),
              root + "/Messungen der Praxis\\Ergebnisse/");
}

TEST(GetLongPathWinDriveTest, DrivesInCapitalsSharesAsWritten) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"c:", "C:"},
        {"c:\\", "C:\\"},
        {"z:\\nirgendwo\\da", "Z:\\nirgendwo\\da"},
        {"\\\\server\\share", "\\\\server\\share"},
        {"\\\\server\\share\\nirgendwo", "\\\\server\\share\\nirgendwo"},
    };
    for (const auto& [given, written] : cases) {
        EXPECT_EQ(GetLongPath(given), written) << given;
    }
}

} // namespace
