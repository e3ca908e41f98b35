// quarn-reg over the hive file of POSIX: a broken file moved aside, a read-only one named, an
// import broken off by a full disk or a crash, files that are no settings files, deep trees, and
// links planted beside an export.

#include "common/FileBytes.h"
#include "common/TestEnvironment.h"
#include "common/ToolRunner.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/Registry.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using RunResult = ToolResult;

RunResult RunTool(const std::vector<std::string>& args, const std::string& input = "",
                  const ToolLimits& limits = {}) {
    return ::RunTool("quarn-reg", args, input, limits);
}

void Add(const std::vector<std::string>& args) {
    std::vector<std::string> full{"add"};
    full.insert(full.end(), args.begin(), args.end());
    full.push_back("/f");
    const RunResult result = RunTool(full);
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

std::string HiveBytes() {
    std::error_code ec;
    return fs::exists(RegistryHivePath(), ec) ? ReadBytes(RegistryHivePath()) : std::string();
}

// Every key below root with its values, in enumeration order.
using Dump = std::vector<std::pair<std::string, std::vector<RegistryValue>>>;

void DumpTree(const RegistryKey& key, Dump& dump) {
    dump.emplace_back(key.FullName(), key.Values());
    for (const std::string& sub : key.SubKeyNames()) {
        const std::string path = key.Path().empty() ? sub : key.Path() + "\\" + sub;
        DumpTree(*RegistryKey::Open(key.Root(), path), dump);
    }
}

Dump DumpRoot(RegistryRoot root) {
    Dump dump;
    if (const auto key = RegistryKey::Open(root, "")) {
        DumpTree(*key, dump);
    }
    return dump;
}

class QuarnRegTest : public ::testing::Test {
protected:
    ScopedTestHome home;
    const std::string gdt = "HKCU\\Software\\Lirn\\Quarn\\GDT";
};

TEST_F(QuarnRegTest, ReadOnlyHiveIsNamedInTheMessage) {
    Add({gdt, "/v", "Import", "/d", "import.gdt"});
    fs::permissions(RegistryHivePath(), fs::perms::owner_read);
    const std::string before = HiveBytes();
    const RunResult result = RunTool({"add", gdt, "/v", "Import", "/d", "new", "/f"});
    EXPECT_EQ(HiveBytes(), before);
    EXPECT_NE(result.err.find("the hive " + RegistryHivePath().string() + " cannot be written"),
              std::string::npos)
        << result.err;
}

TEST_F(QuarnRegTest, BrokenHiveIsMovedAsideAndTheToolSaysWhere) {
    fs::create_directories(RegistryHivePath().parent_path());
    WriteBytes(RegistryHivePath(), "this is not a hive\n");
    const RunResult result = RunTool({"add", gdt, "/v", "Import", "/d", "new", "/f"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<fs::path> aside;
    for (const auto& entry : fs::directory_iterator(RegistryHivePath().parent_path())) {
        if (entry.path().filename().string().find(".invalid-") != std::string::npos) {
            aside.push_back(entry.path());
        }
    }
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadBytes(aside[0]), "this is not a hive\n");
    EXPECT_EQ(result.err, "lirn-quarn: Registrierungsdatei \"" + RegistryHivePath().string() +
                              "\" ist ungültig; sie wurde nach \"" + aside[0].string() +
                              "\" verschoben und eine neue angelegt.\n");
    EXPECT_TRUE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\GDT"));
}

// A folder others may write to: whatever they plant beside the file is never written through.
TEST_F(QuarnRegTest, ExportNeverWritesThroughALinkPlantedBesideTheFile) {
    Add({gdt, "/v", "Import", "/d", "import.gdt"});
    const fs::path shared = home.root() / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    const fs::path file = shared / "out.reg";
    const fs::path victim = home.root() / "victim";
    WriteBytes(victim, "victim");
    // Names made of the numbers the next processes will get.
    for (pid_t pid = getpid(); pid < getpid() + 2000; ++pid) {
        fs::create_symlink(victim, shared / ("out.reg.tmp-" + std::to_string(pid)));
    }
    const RunResult result = RunTool({"export", gdt, file.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadBytes(victim), "victim");
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_NE(ReadBytes(file).find("\"Import\"=\"import.gdt\""), std::string::npos);
}

// Forty keys of 4 KiB each: far more than the hive may grow by.
std::string FortyKeys() {
    std::string bytes = "hex:";
    for (int i = 0; i < 4096; ++i) {
        bytes += i == 0 ? "ab" : ",ab";
    }
    std::string text = "Windows Registry Editor Version 5.00\r\n";
    for (int i = 0; i < 40; ++i) {
        text += "\r\n[HKEY_CURRENT_USER\\Software\\Lirn\\Quarn\\Bulk" + std::to_string(i) +
                "]\r\n\"Data\"=" + bytes + "\r\n";
    }
    return text;
}

struct BrokenOffCase {
    std::string label;
    bool crashes;
};

void PrintTo(const BrokenOffCase& c, std::ostream* os) {
    *os << c.label;
}

class ImportBrokenOffTest : public QuarnRegTest,
                            public ::testing::WithParamInterface<BrokenOffCase> {};

TEST_P(ImportBrokenOffTest, LeavesTheHiveAsItWas) {
    Add({gdt, "/v", "Import", "/d", "import.gdt"});
    const Dump before = DumpRoot(RegistryRoot::CurrentUser);
    const fs::path file = home.root() / "bulk.reg";
    WriteBytes(file, FortyKeys());
    ToolLimits limits;
    limits.fileSizeBytes = fs::file_size(RegistryHivePath()) + 40960;
    limits.endedBeyondIt = GetParam().crashes;
    const RunResult result = RunTool({"import", file.string()}, "", limits);
    EXPECT_NE(result.exitCode, 0);
    if (!GetParam().crashes) {
        EXPECT_NE(result.err.find("nothing was imported"), std::string::npos) << result.err;
    }
    EXPECT_EQ(DumpRoot(RegistryRoot::CurrentUser), before);
    EXPECT_EQ(RunTool({"import", file.string()}).exitCode, 0);
    EXPECT_EQ(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn")->SubKeyCount(),
              41u);
}

INSTANTIATE_TEST_SUITE_P(Ways, ImportBrokenOffTest,
                         ::testing::Values(BrokenOffCase{"DiskFull", false},
                                           BrokenOffCase{"Crash", true}),
                         [](const auto& info) { return info.param.label; });

struct RefusedFileCase {
    std::string label;
    std::string file;
    std::string error;
};

void PrintTo(const RefusedFileCase& c, std::ostream* os) {
    *os << c.label;
}

class RefusedImportTest : public QuarnRegTest,
                          public ::testing::WithParamInterface<RefusedFileCase> {
protected:
    void SetUp() override {
        Add({gdt, "/v", "Import", "/d", "import.gdt"});
        ASSERT_EQ(mkfifo((home.root() / "pipe.reg").c_str(), 0600), 0);
        std::ofstream(home.root() / "big.reg") << "Windows Registry Editor Version 5.00\r\n"
                                               << std::string(4 << 20, ';');
        std::ofstream(home.root() / "sparse.reg");
        fs::resize_file(home.root() / "sparse.reg", 2ull << 30);
    }
};

TEST_P(RefusedImportTest, ClearMessageNonZeroExitHiveUntouched) {
    const RefusedFileCase& c = GetParam();
    const std::string before = HiveBytes();
    const std::string file = c.file.starts_with("/") ? c.file : (home.root() / c.file).string();
    const RunResult result = RunTool({"import", file});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "ERROR: " + file + c.error + "; nothing was imported\n");
    EXPECT_EQ(HiveBytes(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedImportTest,
    ::testing::Values(RefusedFileCase{"Fifo", "pipe.reg", " is not a regular file"},
                      RefusedFileCase{"DevZero", "/dev/zero", " is not a regular file"},
                      RefusedFileCase{"OverTheLimit", "big.reg",
                                      " is larger than 4 MiB, too large for a settings file"},
                      RefusedFileCase{"TwoGigabytes", "sparse.reg",
                                      " is larger than 4 MiB, too large for a settings file"}),
    [](const auto& info) { return info.param.label; });

// Deeper than a tool that held one open file per level could go under the usual limit of 1024.
TEST_F(QuarnRegTest, DeepTreesAreQueriedAndExportedWhole) {
    ToolLimits usual;
    usual.openFiles = 1024;
    constexpr int Depth = 1100;
    std::string path = "Software\\Deep";
    for (int level = 0; level < Depth; ++level) {
        path += "\\k";
    }
    RegistryKey::Create(RegistryRoot::CurrentUser, path)
        ->SetValue("bottom", RegType::Sz, std::string("yes\0", 4));

    const RunResult query = RunTool({"query", "HKCU\\Software\\Deep", "/s"}, "", usual);
    EXPECT_EQ(query.exitCode, 0) << query.err;
    EXPECT_NE(query.out.find("End of search: 1 match(es) found."), std::string::npos);
    EXPECT_NE(query.out.find("HKEY_CURRENT_USER\\" + path + "\n    bottom    REG_SZ    yes\n"),
              std::string::npos);

    const fs::path file = home.root() / "deep.reg";
    const RunResult exported =
        RunTool({"export", "HKCU\\Software\\Deep", file.string()}, "", usual);
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    const RegFileParse parsed = ParseRegFile(ReadBytes(file));
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.keys.size(), Depth + 1u);
    EXPECT_TRUE(parsed.keys.back().key.path == path);
}

} // namespace
