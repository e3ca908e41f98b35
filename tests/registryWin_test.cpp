// The registry layer on Windows is the system's registry: what the program stores is there for
// the system's own functions (and for an administrator's reg.exe), in UTF-16, below
// HKEY_CURRENT_USER\Software\Lirn\Quarn.

#include "common/TestEnvironment.h"
#include "platform/registry/Registry.h"
#include "support/VexSettings.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

constexpr const wchar_t* ProgramKey = L"Software\\Lirn\\Quarn";

class RegistryWinTest : public ::testing::Test {
protected:
    ScopedTestHome home;
};

std::wstring SystemText(const wchar_t* section, const wchar_t* name) {
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer;
    const std::wstring key = std::wstring(ProgramKey) + L"\\" + section;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS) {
        return L"<none>";
    }
    return buffer;
}

TEST_F(RegistryWinTest, SettingsAreSystemValuesBelowTheProgramsKey) {
    TRegistrySettings settings("Software/Lirn/Quarn", 1);
    settings.WriteString("GDT\rImport", "C:\\Praxis\\GDT\\import.gdt");
    settings.WriteString("Directories\rPDF", "C:\\Berichte\\Müller & Söhne");
    settings.WriteInteger("Device\rBaud", 9600);

    EXPECT_EQ(SystemText(L"GDT", L"Import"), L"C:\\Praxis\\GDT\\import.gdt");
    EXPECT_EQ(SystemText(L"Directories", L"PDF"), L"C:\\Berichte\\M\u00fcller & S\u00f6hne");
    DWORD baud = 0;
    DWORD size = sizeof baud;
    const std::wstring device = std::wstring(ProgramKey) + L"\\Device";
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, device.c_str(), L"Baud", RRF_RT_REG_DWORD, nullptr,
                           &baud, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(baud, 9600u);
}

TEST_F(RegistryWinTest, TextAnotherProgramStoredReadsAsOurs) {
    const std::wstring gdt = std::wstring(ProgramKey) + L"\\GDT";
    const std::wstring text = L"D:\\Gr\u00f6\u00dfe \u20ac\\import.gdt";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, gdt.c_str(), L"Import", REG_SZ, text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);

    TRegistrySettings settings("Software/Lirn/Quarn", 1);
    EXPECT_EQ(settings.ReadString("GDT\rImport\rimport.gdt"), "D:\\Größe €\\import.gdt");
    const auto key = RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\GDT");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->QueryValue("import")->data, std::string("D:\\Größe €\\import.gdt") + '\0');
}

// Unlike our hive, the system folds the case of every letter, not only of ASCII ones.
TEST_F(RegistryWinTest, NamesBeyondAsciiCompareWithoutCaseAsTheSystemDoes) {
    ASSERT_TRUE(RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn\\Größe"));
    const auto key = RegistryKey::Open(RegistryRoot::CurrentUser, "software\\lirn\\GRÖSSE");
    EXPECT_FALSE(key) << "ß has no capital of one letter";
    const auto folded = RegistryKey::Open(RegistryRoot::CurrentUser, "SOFTWARE\\LIRN\\GRÖßE");
    ASSERT_TRUE(folded);
    EXPECT_EQ(folded->Path(), "Software\\Lirn\\Größe");
}

} // namespace
