// The files layer where only POSIX shows it: links, rights, FIFOs, the umask, a file size limit.

#include "common/FileBytes.h"
#include "common/TestEnvironment.h"
#include "common/UnprivilegedPosix.h"
#include "platform/Errors.h"
#include "platform/files/Files.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Lets the unprivileged helper reach files below the test's temporary home.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::permissions(home.root(), fs::perms::owner_all | fs::perms::others_exec);
        folder = home.root() / "data";
        fs::create_directory(folder);
        fs::permissions(folder, fs::perms::all);
    }

    ScopedTestHome home;
    fs::path folder;
};

// Lowers the file size limit for one scope so that writes fail half-way, as on a full disk.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~ScopedFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, SIG_DFL);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit saved_{};
};

TEST_F(FilesTest, ALinkToAFileIsAFile) {
    const fs::path file = folder / "a.gdt";
    WriteBytes(file, "x");
    fs::create_symlink(file, folder / "link.gdt");
    EXPECT_TRUE(FileExists((folder / "link.gdt").string()));
    EXPECT_FALSE(DirectoryExists((folder / "link.gdt").string()));
    fs::remove(file);
    EXPECT_FALSE(FileExists((folder / "link.gdt").string()));
}

TEST_F(FilesTest, ReadFailuresCarryTheRuntimeText) {
    WriteBytes(folder / "plain", "x");
    WriteBytes(folder / "secret.gdt", "x");
    // No rights at all, so that even its owner cannot read it when the test runs without root.
    fs::permissions(folder / "secret.gdt", fs::perms::none);
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0666), 0);

    struct Case {
        std::string name;
        fs::path path;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"missing folder", folder / "nothere" / "x.gdt", "Datei nicht gefunden"},
        {"no read right", folder / "secret.gdt", "Dateizugriff verweigert"},
        {"through a file", folder / "plain" / "x.gdt", "Ungültiger Dateiname"},
        {"fifo without writer", folder / "pipe", "Dateizugriff verweigert"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.path.string();
        EXPECT_EQ(RunUnprivileged([&] { return FileErrorOf([&] { ReadFileBytes(path); }); }),
                  c.text);
    }
}

TEST_F(FilesTest, AFifoIsNeitherReadNorTakenForAFileBeingWritten) {
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0666), 0);
    EXPECT_EQ(FileErrorOf([&] { ReadFileStart((folder / "pipe").string(), 10); }),
              "Dateizugriff verweigert");
    EXPECT_FALSE(IsOpenForWriting((folder / "pipe").string()));
}

// Another user's file cannot be leased: the answer is "not known", never "held". Only root can
// make one and keep it open for writing; a normal user takes one of the system's files.
TEST_F(FilesTest, WhatTheSystemCannotTellCountsAsNotHeld) {
    if (::geteuid() != 0) {
        const std::string systemFile = "/etc/passwd";
        struct stat info {};
        ASSERT_EQ(::stat(systemFile.c_str(), &info), 0);
        ASSERT_NE(info.st_uid, ::geteuid()) << systemFile << " should belong to root";
        EXPECT_FALSE(IsOpenForWriting(systemFile));
        return;
    }
    const fs::path file = folder / "import.gdt";
    WriteBytes(file, "half");
    fs::permissions(file, fs::perms::all);
    std::ofstream writer(file, std::ios::app);
    EXPECT_EQ(
        RunUnprivileged([&] { return IsOpenForWriting(file.string()) ? "held" : "not held"; }),
        "not held");
}

TEST_F(FilesTest, WrittenFileHasTheUsualRights) {
    const fs::path target = folder / "export.gdt";
    const mode_t savedMask = umask(022);
    WriteFileInOnePiece(target.string(), "first content, longer than the second");
    EXPECT_EQ(ReadBytes(target), "first content, longer than the second");
    WriteFileInOnePiece(target.string(), std::string("second\r\n\0", 9));
    umask(savedMask);

    EXPECT_EQ(ReadBytes(target), std::string("second\r\n\0", 9));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"export.gdt"});
}

TEST_F(FilesTest, WriteIntoReadOnlyFolderFailsAndKeepsTheOldFile) {
    const fs::path target = folder / "export.gdt";
    WriteBytes(target, "old");
    // Read-only for its owner too, who may be the one writing when the test runs without root.
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::owner_exec |
                               fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(folder, readOnly);
    fs::permissions(target, fs::perms::all);

    const std::string path = target.string();
    const std::string text =
        RunUnprivileged([&] { return FileErrorOf([&] { WriteFileInOnePiece(path, "new"); }); });
    // Writable again, or the test's home could not be removed without root.
    fs::permissions(folder, fs::perms::all);

    EXPECT_EQ(text, "Datei \"" + path + "\" kann nicht erstellt werden. Permission denied");
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"export.gdt"});
}

TEST_F(FilesTest, WriteFailuresGiveTheSystemsReason) {
    const fs::path target = folder / "export.gdt";
    WriteBytes(target, "old content");
    fs::create_directory(folder / "busy.gdt");
    WriteBytes(folder / "busy.gdt" / "inside", "");
    fs::permissions(folder / "busy.gdt", fs::perms::all);
    WriteBytes(folder / "locked.gdt", "locked");
    fs::permissions(folder / "locked.gdt", fs::perms::owner_read | fs::perms::others_read);

    struct Case {
        std::string name;
        fs::path path;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"target is a folder", folder / "busy.gdt", "Is a directory"},
        {"read-only target", folder / "locked.gdt", "Permission denied"},
        {"missing folder", folder / "gone" / "export.gdt", "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.path.string();
        EXPECT_EQ(
            RunUnprivileged([&] { return FileErrorOf([&] { WriteFileInOnePiece(path, "new"); }); }),
            "Datei \"" + path + "\" kann nicht erstellt werden. " + c.reason);
    }
    EXPECT_EQ(ReadBytes(folder / "locked.gdt"), "locked");
    EXPECT_EQ(FolderEntries(folder),
              (std::vector<std::string>{"busy.gdt", "export.gdt", "locked.gdt"}));
}

TEST_F(FilesTest, WriteBrokenOffHalfWayKeepsTheOldContent) {
    const fs::path target = folder / "export.gdt";
    WriteBytes(target, "old content");
    std::string text;
    {
        ScopedFileSizeLimit limit(100);
        text = FileErrorOf([&] { WriteFileInOnePiece(target.string(), std::string(1000, 'n')); });
    }
    EXPECT_EQ(text, "Datei \"" + target.string() + "\" kann nicht erstellt werden. File too large");
    EXPECT_EQ(ReadBytes(target), "old content");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"export.gdt"});
}

} // namespace
