// Long names on POSIX: names that differ only in case, and paths from the root.

#include "common/TestEnvironment.h"
#include "support/VexFiles.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

TEST(GetLongPathPosixTest, AnExactEntryWinsOverOneThatDiffersInCaseOnly) {
    ScopedTestHome home;
    fs::create_directories(home.root() / "Dup");
    fs::create_directories(home.root() / "dup");
    const std::string root = home.root().string();
    EXPECT_EQ(GetLongPath(root + "/dup"), root + "/dup");
    EXPECT_EQ(GetLongPath(root + "/Dup"), root + "/Dup");
}

TEST(GetLongPathPosixTest, LeadingAndTrailingSlashesStay) {
    EXPECT_EQ(GetLongPath("/"), "/");
    EXPECT_EQ(GetLongPath("//"), "//");
    EXPECT_EQ(GetLongPath("/TMP/"), "/tmp/");
}

TEST(ProgramDirPosixTest, IsTheCanonicalFolderOfTheRunningProgram) {
    VexFilesStartup();
    const fs::path exe = fs::canonical("/proc/self/exe");
    EXPECT_EQ(ProgramDir, exe.parent_path().string() + "/");
    VexFilesShutdown();
}

} // namespace
