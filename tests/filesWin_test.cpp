// The files layer where only Windows shows it: its own error numbers and texts, the read-only
// attribute, and the short 8.3 names beside the long ones.

#include "common/BlockedFile.h"
#include "common/FileBytes.h"
#include "common/TestEnvironment.h"
#include "platform/Errors.h"
#include "platform/files/Files.h"
#include "platform/text/WideTextWin.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <windows.h>

#undef DeleteFile

namespace fs = std::filesystem;

namespace {

class FilesWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = home.root() / "data";
        fs::create_directory(folder);
    }

    ScopedTestHome home;
    fs::path folder;
};

TEST_F(FilesWinTest, ReadFailuresCarryWindowsNumbers) {
    WriteBytes(folder / "plain", "x");
    WriteBytes(folder / "held.gdt", "x");
    ScopedBlockedFile held(folder / "held.gdt");
    const std::vector<std::pair<fs::path, std::string>> cases = {
        {folder / "nothere" / "x.gdt", "Ungültiger Dateiname"},
        {folder / "held.gdt", "E/A-Fehler 32"},
    };
    for (const auto& [path, text] : cases) {
        SCOPED_TRACE(path.string());
        EXPECT_EQ(FileErrorOf([&] { ReadFileBytes(path.string()); }), text);
    }
}

TEST_F(FilesWinTest, WriteFailuresGiveTheSystemsText) {
    const fs::path target = folder / "export.gdt";
    WriteBytes(target, "old");
    SetFileAttributesW(target.wstring().c_str(), FILE_ATTRIBUTE_READONLY);
    fs::create_directory(folder / "busy.gdt");
    struct Case {
        fs::path path;
        unsigned long error;
    };
    const std::vector<Case> cases = {
        {target, ERROR_ACCESS_DENIED},
        {folder / "busy.gdt", ERROR_ACCESS_DENIED},
        {folder / "gone" / "export.gdt", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        EXPECT_EQ(FileErrorOf([&] { WriteFileInOnePiece(c.path.string(), "new"); }),
                  FileCreationErrorText(c.path.string(), SystemErrorText(c.error)));
    }
    EXPECT_EQ(ReadBytes(target), "old");
    SetFileAttributesW(target.wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FilesWinTest, ShortNameLeadsToTheLongOne) {
    const fs::path file = folder / "Ergebnisse der Messung.gdt";
    WriteBytes(file, "x");
    wchar_t shortPath[MAX_PATH];
    const DWORD length = GetShortPathNameW(file.wstring().c_str(), shortPath, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::string shortName = Narrow(fs::path(shortPath).filename().wstring());
    ASSERT_NE(shortName, "Ergebnisse der Messung.gdt");
    EXPECT_EQ(StoredEntryName(folder.string(), shortName), "Ergebnisse der Messung.gdt");
}

} // namespace
