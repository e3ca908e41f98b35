#include "common/TestEnvironment.h"
#include "support/VexFiles.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class GetLongPathTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(home_.root() / "MixedCase" / "Sub Folder");
        fs::create_directories(home_.root() / "MixedCase" / "AB");
        fs::create_directories(home_.root() / "Dup");
        fs::create_directories(home_.root() / "dup");
        std::ofstream(home_.root() / "MixedCase" / "Sub Folder" / "File.TXT") << "x";
    }

    std::string under(const std::string& rest) const { return home_.root().string() + rest; }

    ScopedTestHome home_;
};

TEST_F(GetLongPathTest, EmptyPathStaysEmpty) {
    EXPECT_EQ(GetLongPath(""), "");
}

TEST_F(GetLongPathTest, TakesTheStoredNames) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/mixedcase", "/MixedCase"},
        {"/mixedcase/", "/MixedCase/"},
        {"/MIXEDCASE/sub folder/file.txt", "/MixedCase/Sub Folder/File.TXT"},
        {"/MixedCase/Sub Folder/File.TXT", "/MixedCase/Sub Folder/File.TXT"},
        // One- and two-character components pass as written.
        {"/mixedcase/ab/", "/MixedCase/ab/"},
        {"/mixedcase/./sub folder", "/MixedCase/./Sub Folder"},
        {"/mixedcase/../mixedcase", "/MixedCase/../MixedCase"},
        // What is not there is kept as given, and so is everything below it.
        {"/mixedcase/missing/sub folder", "/MixedCase/missing/sub folder"},
        {"/mixedcase/sub folder/file.txt/deeper", "/MixedCase/Sub Folder/File.TXT/deeper"},
        // An exact entry wins over one that differs in case only.
        {"/dup", "/dup"},
        {"/Dup", "/Dup"},
        {"//mixedcase//", "//MixedCase//"},
    };
    for (const auto& [given, stored] : cases) {
        EXPECT_EQ(GetLongPath(under(given)), under(stored)) << given;
    }
}

TEST_F(GetLongPathTest, LeadingAndTrailingSlashesStay) {
    EXPECT_EQ(GetLongPath("/"), "/");
    EXPECT_EQ(GetLongPath("//"), "//");
    EXPECT_EQ(GetLongPath("/TMP/"), "/tmp/");
}

TEST_F(GetLongPathTest, RelativePathLooksInTheWorkingFolder) {
    const fs::path saved = fs::current_path();
    fs::current_path(home_.root());
    const std::string result = GetLongPath("mixedcase/sub folder");
    fs::current_path(saved);
    EXPECT_EQ(result, "MixedCase/Sub Folder");
}

TEST(ProgramDirTest, IsTheProgramsFolderWithSlash) {
    VexFilesStartup();
    const fs::path exe = fs::canonical("/proc/self/exe");
    EXPECT_EQ(ProgramDir, exe.parent_path().string() + "/");
    VexFilesShutdown();
    EXPECT_EQ(ProgramDir, "");
}

} // namespace
