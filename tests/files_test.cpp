// The files layer on every system: existence, reading, writing in one piece and the texts of its
// failures. What only one system shows is in filesPosix_test.cpp and filesWin_test.cpp.

#include "common/BlockedFile.h"
#include "common/FileBytes.h"
#include "common/Process.h"
#include "common/TestEnvironment.h"
#include "platform/Errors.h"
#include "platform/files/Files.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string CreationErrorStart(const fs::path& path) {
    return "Datei \"" + path.string() + "\" kann nicht erstellt werden. ";
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = home.root() / "data";
        fs::create_directory(folder);
    }

    ScopedTestHome home;
    fs::path folder;
};

TEST_F(FilesTest, ExistenceAndDeletion) {
    const fs::path file = folder / "a.gdt";
    WriteBytes(file, "x");

    struct Case {
        fs::path path;
        bool isFile;
        bool isFolder;
    };
    const std::vector<Case> cases = {
        {file, true, false},
        {folder, false, true},
        {folder / "missing.gdt", false, false},
        {"", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        EXPECT_EQ(FileExists(c.path.string()), c.isFile);
        EXPECT_EQ(DirectoryExists(c.path.string()), c.isFolder);
    }

    EXPECT_FALSE(DeleteFile(folder.string()));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_FALSE(DeleteFile((folder / "missing.gdt").string()));
    EXPECT_FALSE(DeleteFile(""));
    EXPECT_TRUE(DeleteFile(file.string()));
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(FilesTest, ReadsEveryByteUnchanged) {
    std::string bytes("01380006310\r\n\x1a\0\x81\xff", 18);
    bytes += std::string(200000, 'z');
    WriteBytes(folder / "r.gdt", bytes);
    EXPECT_EQ(ReadFileBytes((folder / "r.gdt").string()), bytes);
    WriteBytes(folder / "empty.gdt", "");
    EXPECT_EQ(ReadFileBytes((folder / "empty.gdt").string()), "");
}

TEST_F(FilesTest, ReadFailuresCarryTheRuntimeText) {
    const std::vector<std::pair<fs::path, std::string>> cases = {
        {folder / "missing.gdt", "Datei nicht gefunden"},
        {folder, "Dateizugriff verweigert"},
    };
    for (const auto& [path, text] : cases) {
        SCOPED_TRACE(path.string());
        EXPECT_EQ(FileErrorOf([&] { ReadFileBytes(path.string()); }), text);
    }
}

TEST_F(FilesTest, ReadOfAFileAnotherProgramHoldsFails) {
    const fs::path file = folder / "import.gdt";
    WriteBytes(file, "x");
    ScopedBlockedFile blocked(file);
    EXPECT_EQ(FileErrorOf([&] { ReadFileBytes(file.string()); }),
              ScopedBlockedFile::ReadErrorText());
}

TEST_F(FilesTest, ReadsAtMostTheBytesAskedFor) {
    const std::string bytes = std::string(150000, 'a') + std::string(150000, 'b');
    WriteBytes(folder / "big.gdt", bytes);
    const std::string path = (folder / "big.gdt").string();
    EXPECT_EQ(ReadFileStart(path, 100001), bytes.substr(0, 100001));
    EXPECT_EQ(ReadFileStart(path, 0), "");
    EXPECT_EQ(ReadFileStart(path, 400000), bytes);
    EXPECT_EQ(FileErrorOf([&] { ReadFileStart((folder / "missing.gdt").string(), 10); }),
              "Datei nicht gefunden");
}

TEST_F(FilesTest, StampTellsVersionsOfAFileApart) {
    const fs::path file = folder / "import.gdt";
    const fs::path other = folder / "other.gdt";
    WriteBytes(file, "0123456789");
    const auto first = FileStampOf(file.string());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size, 10u);
    EXPECT_EQ(FileStampOf(file.string()), first);

    std::ofstream(file, std::ios::app) << "x";
    EXPECT_NE(FileStampOf(file.string()), first);

    // The same size, content and time in another file, put in its place; whole seconds, which
    // every system's runtime can set.
    WriteBytes(file, "0123456789");
    WriteBytes(other, "0123456789");
    const fs::file_time_type when(std::chrono::duration_cast<std::chrono::seconds>(
        fs::last_write_time(file).time_since_epoch()));
    fs::last_write_time(file, when);
    fs::last_write_time(other, when);
    const auto rewritten = FileStampOf(file.string());
    fs::rename(other, file);
    const auto replaced = FileStampOf(file.string());
    ASSERT_TRUE(replaced);
    EXPECT_NE(replaced, rewritten);
    EXPECT_EQ(replaced->size, rewritten->size);
    EXPECT_EQ(replaced->modified, rewritten->modified);

    EXPECT_FALSE(FileStampOf((folder / "missing.gdt").string()));
}

TEST_F(FilesTest, KnowsWhenAFileIsHeldOpenForWriting) {
    const fs::path file = folder / "import.gdt";
    WriteBytes(file, "half");
    EXPECT_FALSE(IsOpenForWriting(file.string()));
    {
        std::ofstream writer(file, std::ios::app);
        EXPECT_TRUE(IsOpenForWriting(file.string()));
        std::ifstream reader(file);
        EXPECT_TRUE(IsOpenForWriting(file.string()));
    }
    std::ifstream reader(file);
    EXPECT_FALSE(IsOpenForWriting(file.string()));
    EXPECT_FALSE(IsOpenForWriting((folder / "missing.gdt").string()));
}

TEST(IoErrorTextTest, FixedTextsAndNumbers) {
    const std::vector<std::pair<int, std::string>> cases = {
        {2, "Datei nicht gefunden"},
        {3, "Ungültiger Dateiname"},
        {4, "Zu viele geöffnete Dateien"},
        {5, "Dateizugriff verweigert"},
        {32, "E/A-Fehler 32"},
        {30, "E/A-Fehler 30"},
        {0, "E/A-Fehler 0"},
        {1117, "E/A-Fehler 1117"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(IoErrorText(code), text) << code;
    }
}

TEST_F(FilesTest, WriteCreatesAndReplacesLeavingNothingElse) {
    const fs::path target = folder / "export.gdt";
    WriteFileInOnePiece(target.string(), "first content, longer than the second");
    EXPECT_EQ(ReadBytes(target), "first content, longer than the second");
    WriteFileInOnePiece(target.string(), std::string("second\r\n\0", 9));
    EXPECT_EQ(ReadBytes(target), std::string("second\r\n\0", 9));
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"export.gdt"});
}

TEST_F(FilesTest, WriteOverAFileAnotherProgramHoldsFailsAndKeepsIt) {
    const fs::path target = folder / "export.gdt";
    WriteBytes(target, "old");
    std::string text;
    {
        ScopedBlockedFile blocked(target);
        text = FileErrorOf([&] { WriteFileInOnePiece(target.string(), "new"); });
    }
    EXPECT_EQ(text, CreationErrorStart(target) + ScopedBlockedFile::ReplaceErrorText());
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"export.gdt"});
}

// The system's reason behind the common start is checked per system.
TEST_F(FilesTest, WriteFailuresNameTheFileAndLeaveNoTemporaryFile) {
    fs::create_directory(folder / "busy.gdt");
    WriteBytes(folder / "busy.gdt" / "inside", "");
    for (const fs::path& path : {folder / "busy.gdt", folder / "gone" / "export.gdt"}) {
        SCOPED_TRACE(path.string());
        const std::string text = FileErrorOf([&] { WriteFileInOnePiece(path.string(), "new"); });
        EXPECT_TRUE(text.starts_with(CreationErrorStart(path))) << text;
        EXPECT_GT(text.size(), CreationErrorStart(path).size()) << text;
    }
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"busy.gdt"});
    EXPECT_EQ(FolderEntries(folder / "busy.gdt"), std::vector<std::string>{"inside"});
}

TEST_F(FilesTest, NamesBeyondAsciiAreWrittenReadAndListed) {
    const std::string name = "Größe äöü €.gdt";
    const std::string path = folder.string() + PathSeparator + name;
    WriteFileInOnePiece(path, "Müller");
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(ReadFileBytes(path), "Müller");
    EXPECT_EQ(FolderEntryNames(folder.string()), std::vector<std::string>{name});
    EXPECT_TRUE(DeleteFile(path));
}

TEST_F(FilesTest, StoredEntryNameGivesTheNameAsTheFolderKeepsIt) {
    WriteBytes(folder / "Import.GDT", "x");
    const std::string where = folder.string();
    EXPECT_EQ(StoredEntryName(where, "Import.GDT"), "Import.GDT");
    EXPECT_EQ(StoredEntryName(where, "import.gdt"), "Import.GDT");
    EXPECT_EQ(StoredEntryName(where, "export.gdt"), std::nullopt);
    EXPECT_EQ(StoredEntryName(where + PathSeparator + "gone", "import.gdt"), std::nullopt);
    EXPECT_TRUE(FolderEntryNames(where + PathSeparator + "gone").empty());
}

TEST(ExecutablePathTest, IsThisTestProgram) {
    const std::string path = ExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(fs::equivalent(path, BuiltProgram("files_test")));
}

void MakeOlder(const fs::path& path, std::chrono::minutes age) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

// Only what a write of this target leaves behind, and only once it is no longer being written.
TEST_F(FilesTest, StaleTemporaryFilesOfTheTargetAreRemovedAndNothingElse) {
    const fs::path target = folder / "lirn.pdf";
    const std::string stale = ".lirn.pdf.Ab3dEfGhIjKlMnOp.tmp";
    const std::vector<std::string> kept = {
        ".export.gdt.Ab3dEfGhIjKlMnOp.tmp", ".lirn.pdf.Ab3dEfGhIjKlMn-p.tmp",
        ".lirn.pdf.Ab3dEfGhIjKlMnO.tmp",    ".lirn.pdf.Ab3dEfGhIjKlMnOpQ.tmp",
        ".lirn.pdf.Ab3dEfGhIjKlMnOp.pdf",   "lirn.pdf",
        "lirn.pdf.Ab3dEfGhIjKlMnOp.tmp",
    };
    for (const std::string& name : kept) {
        WriteBytes(folder / name, "x");
        MakeOlder(folder / name, std::chrono::minutes(10));
    }
    const std::string fresh = ".lirn.pdf.QrStUvWxYz012345.tmp";
    const std::string inFolder = ".lirn.pdf.FolderFolderFold.tmp";
    WriteBytes(folder / fresh, "x");
    WriteBytes(folder / stale, "x");
    MakeOlder(folder / stale, std::chrono::minutes(2));
    fs::create_directory(folder / inFolder);
    // Wine lets no program set a folder's time: there the folder stays fresh.
    std::error_code folderTimeKept;
    fs::last_write_time(folder / inFolder,
                        fs::file_time_type::clock::now() - std::chrono::minutes(10),
                        folderTimeKept);

    RemoveStaleTemporaryFiles(target.string());
    std::vector<std::string> expected = kept;
    expected.push_back(fresh);
    expected.push_back(inFolder);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FolderEntries(folder), expected);
    RemoveStaleTemporaryFiles((folder / "gone" / "lirn.pdf").string());
}

// A long target name keeps only its start in the temporary name; a report written afterwards
// leaves nothing behind.
TEST_F(FilesTest, TemporaryOfALongTargetNameIsRecognisedByTheNameStart) {
    const std::string name = "Blutdruckbericht-Mustermann.pdf";
    const fs::path target = folder / name;
    WriteBytes(folder / ".Blutdruckbericht.Ab3dEfGhIjKlMnOp.tmp", "x");
    WriteBytes(folder / ".Blutdruckbericht-Mustermann.pdf.Ab3dEfGhIjKlMnOp.tmp", "x");
    for (const fs::path& entry : fs::directory_iterator(folder)) {
        MakeOlder(entry, std::chrono::minutes(10));
    }
    RemoveStaleTemporaryFiles(target.string());
    WriteFileInOnePiece(target.string(), "Bericht");
    EXPECT_EQ(
        FolderEntries(folder),
        (std::vector<std::string>{".Blutdruckbericht-Mustermann.pdf.Ab3dEfGhIjKlMnOp.tmp", name}));
}

} // namespace
