#include "common/TestEnvironment.h"
#include "common/widgets/TestApplication.h"
#include "platform/shell/Shell.h"

#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Puts a stand-in for CUPS' lp first on the PATH; it writes each argument it gets on a line.
class PrintCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApplication();
        savedPath_ = std::getenv("PATH");
        const fs::path bin = home_.root() / "bin";
        fs::create_directories(bin);
        args_ = home_.root() / "lp-args";
        const fs::path lp = bin / "lp";
        std::ofstream(lp) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << args_.string()
                          << ".part' && mv '" << args_.string() << ".part' '" << args_.string()
                          << "'\n";
        fs::permissions(lp, fs::perms::owner_all);
        setenv("PATH", (bin.string() + ":" + savedPath_).c_str(), 1);
    }

    void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }

    std::vector<std::string> LpArguments() const {
        std::ifstream in(args_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    ScopedTestHome home_;
    std::string savedPath_;
    fs::path args_;
};

TEST_F(PrintCommandTest, LpGetsTheAbsolutePathAsItsOneArgumentNeverThroughAShell) {
    const fs::path folder = home_.root() / "PDF Ordner";
    fs::create_directories(folder);
    const std::string name = "-lirn; touch x $(id) `id`.pdf";
    const std::string savedDir = fs::current_path().string();
    fs::current_path(folder);
    DesktopShellExecute(ShellVerb::Print, name);
    fs::current_path(savedDir);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(args_); }, 10000)) << "lp was not run";
    EXPECT_EQ(LpArguments(), std::vector<std::string>{(folder / name).string()});
    EXPECT_FALSE(fs::exists(folder / "x")) << "a shell read the path";
}

} // namespace
