// The registry where POSIX has a hive file of ours: names beyond ASCII, other roots, the file
// itself, and several processes writing it.

#include "common/FileBytes.h"
#include "common/TestEnvironment.h"
#include "platform/Errors.h"
#include "platform/registry/Registry.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> AsideFiles(const fs::path& hive) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(hive.parent_path())) {
        if (entry.path().filename().string().find(".invalid-") != std::string::npos) {
            found.push_back(entry.path());
        }
    }
    return found;
}

void WriteFile(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

int WaitExitCode(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class RegistryTest : public ::testing::Test {
protected:
    ScopedTestHome home;
};

// Names beyond ASCII keep their case: our hive folds ASCII letters only.
TEST_F(RegistryTest, NamesBeyondAsciiAreCaseSensitive) {
    ASSERT_TRUE(RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn\\Qu\xC3\x84rn"));
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Qu\xC3\xA4rn"));
    auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software");
    ASSERT_TRUE(key);
    key->SetValue("\xC3\x84", RegType::Sz, std::string("x\0", 2));
    EXPECT_FALSE(key->QueryValue("\xC3\xA4"));
}

TEST_F(RegistryTest, RootsAreSeparateTrees) {
    ASSERT_TRUE(RegistryKey::Create(RegistryRoot::LocalMachine, "Software\\Lirn"));
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn"));
    const auto root = RegistryKey::Open(RegistryRoot::LocalMachine, "");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->FullName(), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(root->SubKeyNames(), std::vector<std::string>{"Software"});
}

TEST_F(RegistryTest, OpeningWithoutCreatingLeavesNoFileBehind) {
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn"));
    EXPECT_FALSE(fs::exists(RegistryHivePath()));
    ASSERT_TRUE(RegistryKey::Create(RegistryRoot::CurrentUser, "Software"));
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn"));
}

// --- the hive file -------------------------------------------------------------------------------

TEST_F(RegistryTest, HiveIsPrivateToTheUser) {
    ASSERT_TRUE(RegistryKey::Create(RegistryRoot::CurrentUser, "Software"));
    const fs::path hive = RegistryHivePath();
    EXPECT_EQ(hive, home.configDir() / "lirn-quarn" / "registry.db");
    EXPECT_EQ(fs::status(hive).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(hive.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(RegistryTest, WithoutConfigHomeTheHiveLivesBelowHome) {
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegistryHivePath(), home.root() / ".config" / "lirn-quarn" / "registry.db");
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(RegistryHivePath(), home.root() / ".config" / "lirn-quarn" / "registry.db");
}

// The bytes given are the hive file; the first write must move them aside, untouched.
void ExpectMovedAside(const std::string& bytes) {
    const fs::path hive = RegistryHivePath();
    WriteFile(hive, bytes);
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, ""));
    EXPECT_EQ(ReadBytes(hive), bytes) << "a read must not touch the file";

    ::testing::internal::CaptureStderr();
    auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software");
    const std::string errors = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(key);
    key->SetValue("v", RegType::Dword, DwordBytes(1));

    const auto aside = AsideFiles(hive);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadBytes(aside[0]), bytes);
    // The layer only reports where the file went; telling the user is the caller's job.
    EXPECT_EQ(errors, "");
    EXPECT_EQ(TakeMovedAsideHive(), aside[0]);
    EXPECT_EQ(TakeMovedAsideHive(), std::nullopt);
    EXPECT_TRUE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software")->QueryValue("v"));
}

struct HiveCase {
    std::string label;
    std::string bytes;
};

void PrintTo(const HiveCase& c, std::ostream* os) {
    *os << c.label;
}

class InvalidHiveTest : public RegistryTest, public ::testing::WithParamInterface<HiveCase> {};

TEST_P(InvalidHiveTest, IsMovedAsideAndAFreshHiveStarted) {
    ExpectMovedAside(GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Contents, InvalidHiveTest,
                         ::testing::Values(HiveCase{"Text", "this is not a hive\n"},
                                           HiveCase{"AllBitsSet", std::string(4096, '\xff')},
                                           HiveCase{"HeaderThenGarbage",
                                                    std::string("SQLite format 3\0garbage", 24)}),
                         [](const auto& info) { return info.param.label; });

TEST_F(RegistryTest, AnotherProgramsDatabaseIsMovedAside) {
    ASSERT_TRUE(RegistryKey::Create(RegistryRoot::CurrentUser, "x"));
    std::string bytes = ReadBytes(RegistryHivePath());
    fs::remove(RegistryHivePath());
    bytes[68] = 'Z'; // the header's application id
    ExpectMovedAside(bytes);
}

TEST_F(RegistryTest, AnEmptyFileIsAFreshHiveNotAnInvalidOne) {
    WriteFile(RegistryHivePath(), "");
    auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software");
    ASSERT_TRUE(key);
    EXPECT_TRUE(AsideFiles(RegistryHivePath()).empty());
}

TEST_F(RegistryTest, ReadOnlyHiveRefusesChangesAndStillReads) {
    {
        auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn");
        ASSERT_TRUE(key);
        key->SetValue("Import", RegType::Sz, std::string("old\0", 4));
    }
    fs::permissions(RegistryHivePath(), fs::perms::owner_read);

    auto key = RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn");
    ASSERT_TRUE(key);
    try {
        key->SetValue("Import", RegType::Sz, std::string("new\0", 4));
        FAIL() << "no error";
    } catch (const RegistryError& error) {
        EXPECT_STREQ(error.what(), "Fehler beim Setzen der Daten für 'Import'");
    }
    EXPECT_THROW(key->DeleteValue("Import"), RegistryError);
    EXPECT_FALSE(RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\New"));
    EXPECT_FALSE(RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn"));
    EXPECT_EQ(key->QueryValue("import")->data, std::string("old\0", 4));
    EXPECT_TRUE(AsideFiles(RegistryHivePath()).empty());
}

TEST_F(RegistryTest, LooserModesAreTightenedKeepingTheOwnersBits) {
    ASSERT_TRUE(RegistryKey::Create(RegistryRoot::CurrentUser, "Software"));
    const fs::path hive = RegistryHivePath();
    fs::permissions(hive.parent_path(), fs::perms::all);
    fs::permissions(hive, fs::perms::owner_read | fs::perms::group_all | fs::perms::others_read);
    EXPECT_TRUE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software"));
    EXPECT_EQ(fs::status(hive.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(hive).permissions() & fs::perms::all, fs::perms::owner_read);
}

struct ForeignCase {
    std::string label;
    // Which part belongs to the other user: the folder, the hive or its journal.
    std::string part;
};

void PrintTo(const ForeignCase& c, std::ostream* os) {
    *os << c.label;
}

class ForeignHiveTest : public RegistryTest, public ::testing::WithParamInterface<ForeignCase> {};

constexpr uid_t Nobody = 65534;

TEST_P(ForeignHiveTest, IsNeitherReadNorWrittenAndToldOnce) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    const fs::path hive = RegistryHivePath();
    {
        auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software");
        ASSERT_TRUE(key);
        key->SetValue("v", RegType::Dword, DwordBytes(1));
    }
    const std::map<std::string, fs::path> parts = {
        {"folder", hive.parent_path()}, {"hive", hive}, {"journal", hive.string() + "-journal"}};
    const fs::path foreign = parts.at(GetParam().part);
    if (!fs::exists(foreign)) {
        WriteFile(foreign, "");
    }
    ASSERT_EQ(chown(foreign.c_str(), Nobody, Nobody), 0);
    fs::permissions(foreign, fs::perms::all);
    const std::string bytes = ReadBytes(hive);

    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software"));
    EXPECT_EQ(TakeForeignHive(), foreign);
    EXPECT_FALSE(RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\New"));
    EXPECT_FALSE(RegistryTransaction::Begin());
    EXPECT_EQ(TakeForeignHive(), std::nullopt) << "told once";
    EXPECT_EQ(ReadBytes(hive), bytes);
    EXPECT_EQ(fs::status(foreign).permissions() & fs::perms::all, fs::perms::all);
    EXPECT_TRUE(AsideFiles(hive).empty());
}

INSTANTIATE_TEST_SUITE_P(Parts, ForeignHiveTest,
                         ::testing::Values(ForeignCase{"Folder", "folder"},
                                           ForeignCase{"Hive", "hive"},
                                           ForeignCase{"Journal", "journal"}),
                         [](const auto& info) { return info.param.label; });

// --- keys below keys and transactions
// -------------------------------------------------------------

TEST_F(RegistryTest, TransactionStoresEverythingOnlyOnCommit) {
    {
        const auto transaction = RegistryTransaction::Begin();
        ASSERT_TRUE(transaction);
        transaction->Create(RegistryRoot::CurrentUser, "Software\\A")
            ->SetValue("a", RegType::Dword, DwordBytes(1));
        transaction->Create(RegistryRoot::CurrentUser, "Software\\B")
            ->SetValue("b", RegType::Dword, DwordBytes(2));
        EXPECT_TRUE(transaction->Open(RegistryRoot::CurrentUser, "Software\\A"));
        EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\A"))
            << "seen before the commit";
    }
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\A"));
    {
        const auto transaction = RegistryTransaction::Begin();
        ASSERT_TRUE(transaction);
        transaction->Create(RegistryRoot::CurrentUser, "Software\\A")
            ->SetValue("a", RegType::Dword, DwordBytes(1));
        transaction->Open(RegistryRoot::CurrentUser, "Software")->DeleteSubKeyTree("A");
        transaction->Create(RegistryRoot::CurrentUser, "Software\\B")
            ->SetValue("b", RegType::Dword, DwordBytes(2));
        transaction->Commit();
    }
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\A"));
    EXPECT_EQ(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\B")->QueryValue("b")->data,
              DwordBytes(2));
}

// --- several processes ---------------------------------------------------------------------------

// Starts writing once the parent closes the start pipe, so both writers meet the hive file
// while it is still being created.
[[noreturn]] void WriteValuesAndExit(int startPipe, const std::string& prefix, int count) {
    char ignored = 0;
    (void)!read(startPipe, &ignored, 1);
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        try {
            auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Shared");
            if (!key) {
                ++failures;
                continue;
            }
            key->SetValue(prefix + std::to_string(i), RegType::Dword, DwordBytes(i));
        } catch (const RegistryError&) {
            ++failures;
        }
    }
    _exit(failures == 0 ? 0 : 1);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int Count = 200;
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    const pid_t first = fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        close(start[1]);
        WriteValuesAndExit(start[0], "a", Count);
    }
    const pid_t second = fork();
    ASSERT_GE(second, 0);
    if (second == 0) {
        close(start[1]);
        WriteValuesAndExit(start[0], "b", Count);
    }
    close(start[0]);
    close(start[1]);
    EXPECT_EQ(WaitExitCode(first), 0);
    EXPECT_EQ(WaitExitCode(second), 0);

    const auto key = RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Shared");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ValueCount(), 2u * Count);
    for (int i = 0; i < Count; ++i) {
        for (const char* prefix : {"a", "b"}) {
            const auto value = key->QueryValue(prefix + std::to_string(i));
            ASSERT_TRUE(value) << prefix << i;
            EXPECT_EQ(value->data, DwordBytes(i));
        }
    }
    EXPECT_EQ(key->SubKeyCount(), 0u);
    EXPECT_EQ(RegistryKey::Open(RegistryRoot::CurrentUser, "Software")->SubKeyCount(), 1u);
}

TEST_F(RegistryTest, AWriterKilledMidWayLeavesTheLastCompleteValue) {
    {
        auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Crash");
        ASSERT_TRUE(key);
        key->SetValue("blob", RegType::Binary, std::string(200000, 'a'));
    }
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Crash");
        for (int i = 0;; ++i) {
            key->SetValue("blob", RegType::Binary, std::string(200000, char('b' + i % 20)));
            if (i == 3) {
                (void)!write(ready[1], "x", 1);
            }
        }
    }
    close(ready[1]);
    char signal = 0;
    ASSERT_EQ(read(ready[0], &signal, 1), 1);
    close(ready[0]);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    const auto key = RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Crash");
    ASSERT_TRUE(key);
    const auto value = key->QueryValue("blob");
    ASSERT_TRUE(value);
    ASSERT_EQ(value->data.size(), 200000u);
    EXPECT_EQ(value->data.find_first_not_of(value->data[0]), std::string::npos);
    EXPECT_NE(value->data[0], 'a');
    EXPECT_TRUE(AsideFiles(RegistryHivePath()).empty());
    auto writable = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Crash");
    ASSERT_TRUE(writable);
    writable->SetValue("after", RegType::Dword, DwordBytes(1));
}

} // namespace
