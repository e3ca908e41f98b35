// The settings store over the hive file of POSIX: what reaches the file, and a file that
// cannot be written.

#include "common/TestEnvironment.h"
#include "platform/Errors.h"
#include "platform/registry/Registry.h"
#include "support/VexSettings.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const std::string Base = "Software\\Lirn\\Quarn";

std::string Text(const std::string& text) {
    return text + '\0';
}

std::optional<RegistryValue> Stored(const std::string& section, const std::string& name,
                                    RegistryRoot root = RegistryRoot::CurrentUser) {
    const auto key = RegistryKey::Open(root, section.empty() ? Base : Base + "\\" + section);
    return key ? key->QueryValue(name) : std::nullopt;
}

std::string HiveBytes() {
    std::ifstream in(RegistryHivePath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SettingsTest : public ::testing::Test {
protected:
    ScopedTestHome home;
    TRegistrySettings registry{"Software/Lirn/Quarn", 1};
    // Callers hold the abstract store.
    TSettings& settings = registry;
};

TEST_F(SettingsTest, StoredValueEqualToItsDefaultLeavesTheHiveAsItIs) {
    settings.WriteString("PDF\rShow", "NO");
    const std::string before = HiveBytes();
    EXPECT_EQ(settings.ReadString("PDF\rShow\rNO"), "NO");
    EXPECT_EQ(HiveBytes(), before);
}

// --- a hive that cannot be written
// --------------------------------------------------------------

TEST_F(SettingsTest, ReadOnlyHiveFailsWritesWithTheGermanTextAndStillReads) {
    settings.WriteString("GDT\rImport", "import.gdt");
    settings.WriteInteger("Device\rBaud", 9600);
    fs::permissions(RegistryHivePath(), fs::perms::owner_read);

    try {
        settings.WriteString("GDT\rImport", "other.gdt");
        FAIL() << "no error";
    } catch (const RegistryError& error) {
        EXPECT_STREQ(error.what(), "Fehler beim Setzen der Daten für 'Import'");
    }
    EXPECT_THROW(settings.WriteString("NewSection\rName", "x"), RegistryError);
    EXPECT_THROW(settings.WriteInteger("Device\rBaud", 1), RegistryError);
    EXPECT_THROW(settings.WriteStrings("GDT\rLines", {"a"}, false, true), RegistryError);
    EXPECT_THROW(settings.WriteFloat("GDT\rF", 1.5), RegistryError);

    TStringList list;
    EXPECT_NO_THROW({
        EXPECT_EQ(settings.ReadString("GDT\rImport\rimport.gdt"), "import.gdt");
        EXPECT_EQ(settings.ReadString("GDT\rMissing\rdefault"), "default");
        EXPECT_EQ(settings.ReadInteger("Device\rBaud\r9600"), 9600);
        EXPECT_EQ(settings.ReadInteger("Device\rMissing\r5"), 5);
        EXPECT_TRUE(settings.ReadBool("Device\rMissingFlag\r1"));
        settings.ReadStrings("GDT\rLines", list, "a");
    });
    EXPECT_EQ(list, TStringList{"a"});
    EXPECT_EQ(Stored("GDT", "Import")->data, Text("import.gdt"));
}

} // namespace
