// The files layer where only POSIX shows it: links, rights, FIFOs, the umask, a file size limit,
// the longest names and paths, a writer killed half-way.

#include "common/FileBytes.h"
#include "common/TestEnvironment.h"
#include "common/UnprivilegedPosix.h"
#include "platform/Errors.h"
#include "platform/files/Files.h"

#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

// A folder below base whose path is so long that the file name in it completes a path of
// exactly length characters.
fs::path FolderForPathOfLength(const fs::path& base, const std::string& name, size_t length) {
    fs::path folder = base;
    size_t left = length - base.string().size() - 1 - name.size();
    while (left > NAME_MAX + 1) {
        const size_t part = left - (NAME_MAX + 1) < 2 ? NAME_MAX - 10 : NAME_MAX;
        folder /= std::string(part, 'o');
        left -= part + 1;
    }
    folder /= std::string(left - 1, 'o');
    fs::create_directories(folder);
    return folder;
}

TEST_F(FilesTest, NamesAndPathsAsLongAsTheSystemAllowsAreWritten) {
    const std::string longestName = std::string(NAME_MAX - 4, 'n') + ".gdt";
    const fs::path deep = FolderForPathOfLength(home.root() / "tief", "lirn.pdf", PATH_MAX - 1);
    struct Case {
        std::string name;
        fs::path folder;
        std::string file;
    };
    const std::vector<Case> cases = {
        {"longest name", folder, longestName},
        {"longest path", deep, "lirn.pdf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.folder.string() + "/" + c.file;
        ASSERT_EQ(path.size() <= PATH_MAX - 1 && c.file.size() <= NAME_MAX, true);
        EXPECT_EQ(FileErrorOf([&] { WriteFileInOnePiece(path, "Bericht"); }), "");
        EXPECT_EQ(FileErrorOf([&] { WriteFileInOnePiece(path, "neuer Bericht"); }), "");
        EXPECT_EQ(ReadFileBytes(path), "neuer Bericht");
        EXPECT_EQ(FolderEntries(c.folder), std::vector<std::string>{c.file});
    }
    const std::string tooLong = (folder / (longestName + "x")).string();
    EXPECT_EQ(FileErrorOf([&] { WriteFileInOnePiece(tooLong, "x"); }),
              "Datei \"" + tooLong + "\" kann nicht erstellt werden. File name too long");
}

// A writer ended by the system in the middle of its write, as by a power cut of the program.
void WriteAndGetKilled(const fs::path& target) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        const rlimit small{100, 100};
        setrlimit(RLIMIT_FSIZE, &small);
        WriteFileInOnePiece(target.string(), std::string(1000, 'p'));
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer was not killed";
}

void MakeOlder(const fs::path& path, std::chrono::minutes age) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

TEST_F(FilesTest, TemporaryFileOfAKilledWriterIsRemovedOnceStale) {
    const fs::path target = folder / "lirn.pdf";
    WriteBytes(target, "voriger Bericht");
    WriteAndGetKilled(target);
    const std::vector<std::string> left = FolderEntries(folder);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[1], "lirn.pdf");
    EXPECT_TRUE(left[0].starts_with(".lirn.pdf.") && left[0].ends_with(".tmp")) << left[0];

    RemoveStaleTemporaryFiles(target.string());
    EXPECT_EQ(FolderEntries(folder), left) << "a temporary of just now may still be written";
    MakeOlder(folder / left[0], std::chrono::minutes(2));
    RemoveStaleTemporaryFiles(target.string());
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"lirn.pdf"});
    EXPECT_EQ(ReadBytes(target), "voriger Bericht");
}

TEST_F(FilesTest, NoLinkNoOtherUsersFileAndNoFileBeingWrittenIsRemoved) {
    const fs::path target = folder / "lirn.pdf";
    const fs::path elsewhere = home.root() / "elsewhere.pdf";
    WriteBytes(elsewhere, "fremd");
    const std::string link = ".lirn.pdf.LinkLinkLinkLink.tmp";
    const std::string held = ".lirn.pdf.HeldHeldHeldHeld.tmp";
    const std::string foreign = ".lirn.pdf.ForeignForeignFo.tmp";
    const std::string stale = ".lirn.pdf.StaleStaleStaleS.tmp";
    MakeOlder(elsewhere, std::chrono::minutes(5));
    fs::create_symlink(elsewhere, folder / link);
    const timespec longAgo[2] = {{0, 0}, {0, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (folder / link).c_str(), longAgo, AT_SYMLINK_NOFOLLOW), 0);
    for (const std::string& name : {held, foreign, stale}) {
        WriteBytes(folder / name, "Bericht");
        MakeOlder(folder / name, std::chrono::minutes(5));
    }
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::chown((folder / foreign).c_str(), 65534, 65534), 0);
    }
    std::ofstream writer(folder / held, std::ios::app);

    RemoveStaleTemporaryFiles(target.string());
    std::vector<std::string> kept = {foreign, held, link};
    if (!asRoot) {
        kept.erase(kept.begin());
    }
    EXPECT_EQ(FolderEntries(folder), kept);
    EXPECT_EQ(ReadBytes(elsewhere), "fremd");
}

} // namespace
