// Long names and the program directory on every system; the paths of the cases are written with
// "/" and use the system's separator.

#include "common/Process.h"
#include "common/TestEnvironment.h"
#include "platform/files/Files.h"
#include "support/VexFiles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string Native(std::string path) {
    std::replace(path.begin(), path.end(), '/', PathSeparator);
    return path;
}

class GetLongPathTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(home_.root() / "MixedCase" / "Sub Folder");
        fs::create_directories(home_.root() / "MixedCase" / "AB");
        std::ofstream(home_.root() / "MixedCase" / "Sub Folder" / "File.TXT") << "x";
    }

    std::string under(const std::string& rest) const {
        return home_.root().string() + Native(rest);
    }

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
        {"//mixedcase//", "//MixedCase//"},
    };
    for (const auto& [given, stored] : cases) {
        EXPECT_EQ(GetLongPath(under(given)), under(stored)) << given;
    }
}

TEST_F(GetLongPathTest, RelativePathLooksInTheWorkingFolder) {
    const fs::path saved = fs::current_path();
    fs::current_path(home_.root());
    const std::string result = GetLongPath(Native("mixedcase/sub folder"));
    fs::current_path(saved);
    EXPECT_EQ(result, Native("MixedCase/Sub Folder"));
}

TEST(ProgramDirTest, IsTheProgramsFolderWithTheSeparator) {
    VexFilesStartup();
    ASSERT_FALSE(ProgramDir.empty());
    EXPECT_EQ(ProgramDir.back(), PathSeparator);
    EXPECT_EQ(fs::path(ProgramDir), fs::path(BuiltProgram("VexFiles_test")).parent_path() / "");
    VexFilesShutdown();
    EXPECT_EQ(ProgramDir, "");
}

} // namespace
