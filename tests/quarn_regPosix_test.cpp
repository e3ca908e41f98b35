// quarn-reg over the hive file of POSIX: a broken file moved aside, a read-only one named.

#include "common/FileBytes.h"
#include "common/TestEnvironment.h"
#include "common/ToolRunner.h"
#include "platform/registry/Registry.h"

#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using RunResult = ToolResult;

RunResult RunTool(const std::vector<std::string>& args, const std::string& input = "") {
    return ::RunTool("quarn-reg", args, input);
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

} // namespace
