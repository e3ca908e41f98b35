#include "common/widgets/TestApplication.h"
#include "support/widgets/VexFonts.h"

#include <QFont>
#include <QFontInfo>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

struct FontCase {
    const char* file;
    const char* family;
};

void PrintTo(const FontCase& c, std::ostream* os) {
    *os << c.family;
}

class WindowsFontTest : public ::testing::TestWithParam<FontCase> {};

TEST_P(WindowsFontTest, ReplacementIsUsedForTheWindowsFamily) {
    TestApplication();
    const std::filesystem::path file =
        std::filesystem::path(WindowsFontReplacementDir()) / GetParam().file;
    if (!std::filesystem::exists(file)) {
        GTEST_SKIP() << file << " is not installed (Debian package fonts-wine)";
    }
    const std::vector<std::string> families = RegisterWindowsFontReplacements();
    EXPECT_NE(std::find(families.begin(), families.end(), GetParam().family), families.end());
    EXPECT_EQ(QFontInfo(QFont(GetParam().family, 8)).family().toStdString(), GetParam().family);
    EXPECT_EQ(RegisterWindowsFontReplacements(), families);
}

INSTANTIATE_TEST_SUITE_P(Fonts, WindowsFontTest,
                         ::testing::Values(FontCase{"tahoma.ttf", "Tahoma"},
                                           FontCase{"ms_sans_serif.ttf", "MS Sans Serif"}));

} // namespace
