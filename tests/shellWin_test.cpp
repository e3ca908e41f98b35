// The shell hand-off on Windows: "open" and "print" reach the program registered for the file's
// type, with the file's full path. A recorder of ours stands in for the PDF viewer.

#include "common/FileBytes.h"
#include "common/Process.h"
#include "common/TestEnvironment.h"
#include "common/Waiting.h"
#include "platform/shell/Shell.h"
#include "platform/text/WideTextWin.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

// The file type of the test, in the classes every program of the prefix sees (Wine reads no
// per-user classes).
constexpr const wchar_t* Extension = L".quarntest";
constexpr const wchar_t* FileType = L"QuarnTest.Recorded";

void SetDefault(const std::wstring& key, const std::wstring& value) {
    RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

class ShellWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        record_ = home_.root() / "calls.txt";
        const std::wstring recorder = Widen(BuiltProgram("shell-recorder"));
        SetDefault(Extension, L"QuarnTest.Recorded");
        for (const wchar_t* verb : {L"open", L"print"}) {
            SetDefault(std::wstring(FileType) + L"\\shell\\" + verb + L"\\command",
                       L"\"" + recorder + L"\" \"" + record_.wstring() + L"\" " + verb +
                           L" \"%1\"");
        }
    }

    void TearDown() override {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, Extension);
        RegDeleteTreeW(HKEY_CLASSES_ROOT, FileType);
    }

    // The lines the recorder wrote once it has written count of them.
    std::string recorded(std::size_t lines) const {
        WaitUntil([&] {
            const std::string text = ReadBytes(record_);
            return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= lines;
        });
        return ReadBytes(record_);
    }

    ScopedTestHome home_;
    fs::path record_;
};

TEST_F(ShellWinTest, OpenAndPrintReachTheFilesProgramWithItsFullPath) {
    const fs::path folder = home_.root() / "PDF Ordner";
    fs::create_directories(folder);
    const std::string name = "lirn & Söhne %1.quarntest";
    WriteBytes(folder / Widen(name), "%PDF-1.4");
    const fs::path saved = fs::current_path();
    fs::current_path(folder);
    DesktopShellExecute(ShellVerb::Open, name);
    fs::current_path(saved);
    const std::string full = Narrow(folder.wstring()) + "\\" + name;
    EXPECT_EQ(recorded(2), "open\n" + full + "\n");

    DesktopShellExecute(ShellVerb::Print, full);
    EXPECT_EQ(recorded(4), "open\n" + full + "\nprint\n" + full + "\n");
}

} // namespace
