// The registry layer on every system, below the program's own key HKEY_CURRENT_USER\Software\Lirn
// that each test starts without. The hive file of POSIX and the system's registry of Windows
// have files of their own.

#include "common/TestEnvironment.h"
#include "platform/Errors.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> ValueNames(const RegistryKey& key) {
    std::vector<std::string> names;
    for (const RegistryValue& value : key.Values()) {
        names.push_back(value.name);
    }
    return names;
}

class RegistryTest : public ::testing::Test {
protected:
    ScopedTestHome home;
};

// --- names and paths ------------------------------------------------------------------------

struct NameCase {
    std::string label;
    std::string created;
    std::string lookedUp;
    bool found;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.label;
}

std::string Label(const ::testing::TestParamInfo<NameCase>& info) {
    return info.param.label;
}

class KeyNameTest : public RegistryTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(KeyNameTest, KeyPathsCompareWithoutAsciiCase) {
    const NameCase& c = GetParam();
    ASSERT_TRUE(RegistryKey::Create(RegistryRoot::CurrentUser, c.created));
    const auto key = RegistryKey::Open(RegistryRoot::CurrentUser, c.lookedUp);
    ASSERT_EQ(key != nullptr, c.found);
    if (key) {
        EXPECT_EQ(key->Path(), "Software\\Lirn\\Quarn");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyNameTest,
    ::testing::Values(
        NameCase{"Lower", "Software\\Lirn\\Quarn", "software\\lirn\\quarn", true},
        NameCase{"Upper", "Software\\Lirn\\Quarn", "SOFTWARE\\LIRN\\QUARN", true},
        NameCase{"OuterSeparators", "Software\\Lirn\\Quarn", "\\Software\\Lirn\\Quarn\\", true},
        NameCase{"DoubleSeparator", "Software\\Lirn\\Quarn", "Software\\\\Lirn\\Quarn", true},
        NameCase{"Prefix", "Software\\Lirn\\Quarn", "Software\\Lirn\\Quar", false},
        NameCase{"Longer", "Software\\Lirn\\Quarn", "Software\\Lirn\\Quarnx", false}),
    Label);

class ValueNameTest : public RegistryTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(ValueNameTest, ValueNamesCompareWithoutAsciiCase) {
    const NameCase& c = GetParam();
    auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn");
    ASSERT_TRUE(key);
    key->SetValue(c.created, RegType::Sz, std::string("x\0", 2));
    const auto value = key->QueryValue(c.lookedUp);
    ASSERT_EQ(value.has_value(), c.found);
    if (value) {
        EXPECT_EQ(value->name, c.created);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ValueNameTest,
                         ::testing::Values(NameCase{"Upper", "Import", "IMPORT", true},
                                           NameCase{"Lower", "Import", "import", true},
                                           NameCase{"Unnamed", "", "", true},
                                           NameCase{"UnnamedIsNotBlank", "", " ", false},
                                           NameCase{"TrailingBlank", "Import", "Import ", false},
                                           NameCase{"Backslash", "a\\b", "A\\B", true}),
                         Label);

TEST_F(RegistryTest, LaterWritesKeepTheStoredCaseOfNames) {
    auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn");
    ASSERT_TRUE(key);
    key->SetValue("Import", RegType::Sz, std::string("a\0", 2));
    key->SetValue("IMPORT", RegType::Sz, std::string("b\0", 2));
    ASSERT_TRUE(RegistryKey::Create(RegistryRoot::CurrentUser, "SOFTWARE\\LIRN\\Gdt"));

    const auto reopened = RegistryKey::Open(RegistryRoot::CurrentUser, "software\\lirn");
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->ValueCount(), 1u);
    EXPECT_EQ(reopened->Values()[0].name, "Import");
    EXPECT_EQ(reopened->Values()[0].data, std::string("b\0", 2));
    EXPECT_EQ(reopened->FullName(), "HKEY_CURRENT_USER\\Software\\Lirn");
    EXPECT_EQ(reopened->SubKeyNames(), std::vector<std::string>{"Gdt"});
}

struct RootNameCase {
    std::string text;
    std::optional<RegistryRoot> root;
};

void PrintTo(const RootNameCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.text);
}

class RootNameTest : public ::testing::TestWithParam<RootNameCase> {};

TEST_P(RootNameTest, LongAndShortNamesInAnyCase) {
    EXPECT_EQ(ParseRootKeyName(GetParam().text), GetParam().root);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RootNameTest,
    ::testing::Values(RootNameCase{"HKEY_CURRENT_USER", RegistryRoot::CurrentUser},
                      RootNameCase{"hkcu", RegistryRoot::CurrentUser},
                      RootNameCase{"HKEY_CLASSES_ROOT", RegistryRoot::ClassesRoot},
                      RootNameCase{"HKLM", RegistryRoot::LocalMachine},
                      RootNameCase{"HKU", RegistryRoot::Users},
                      RootNameCase{"HKEY_PERFORMANCE_DATA", RegistryRoot::PerformanceData},
                      RootNameCase{"HKCC", RegistryRoot::CurrentConfig},
                      RootNameCase{"hkey_dyn_data", RegistryRoot::DynData},
                      RootNameCase{"HKEY_CURRENT", std::nullopt}, RootNameCase{"", std::nullopt}));

// --- values -----------------------------------------------------------------------------------

struct TypeCase {
    std::string label;
    uint32_t type;
    std::string data;
};

void PrintTo(const TypeCase& c, std::ostream* os) {
    *os << c.label;
}

class ValueTypeTest : public RegistryTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(ValueTypeTest, TypeAndBytesSurviveReopening) {
    {
        auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn\\Types");
        ASSERT_TRUE(key);
        key->SetValue("v", GetParam().type, GetParam().data);
    }
    const auto key = RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Types");
    ASSERT_TRUE(key);
    const auto value = key->QueryValue("V");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, GetParam().type);
    EXPECT_EQ(value->data, GetParam().data);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValueTypeTest,
    ::testing::Values(TypeCase{"Text", RegType::Sz, std::string("NO\0", 3)},
                      TypeCase{"EmptyText", RegType::Sz, std::string("\0", 1)},
                      TypeCase{"ExpandText", RegType::ExpandSz, std::string("%HOME%\0", 7)},
                      TypeCase{"BinaryWithNul", RegType::Binary, std::string("a\0\r\n\xff", 5)},
                      TypeCase{"EmptyBinary", RegType::Binary, ""},
                      TypeCase{"Dword", RegType::Dword, DwordBytes(0xffffffffu)},
                      TypeCase{"OtherType", 7, std::string("a\0b\0\0", 5)}),
    [](const auto& info) { return info.param.label; });

TEST_F(RegistryTest, SettingAnotherTypeReplacesTheValue) {
    auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn");
    ASSERT_TRUE(key);
    key->SetValue("n", RegType::Sz, std::string("7\0", 2));
    key->SetValue("n", RegType::Dword, DwordBytes(7));
    const auto value = key->QueryValue("n");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::Dword);
    EXPECT_EQ(value->data, DwordBytes(7));
    EXPECT_EQ(key->ValueCount(), 1u);
}

// The order is the system's: creation order in our hive, sorted by name in Wine's registry.
TEST_F(RegistryTest, EnumerationFollowsTheSystemsOrder) {
    auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn\\Order");
    ASSERT_TRUE(key);
    for (const char* name : {"zeta", "Alpha", "mid", ""}) {
        key->SetValue(name, RegType::Sz, std::string("\0", 1));
    }
    key->SetValue("ALPHA", RegType::Dword, DwordBytes(1));
    EXPECT_EQ(ValueNames(*key), RegistryEnumerationOrder({"zeta", "Alpha", "mid", ""}));

    ASSERT_TRUE(key->DeleteValue("alpha"));
    key->SetValue("alpha", RegType::Sz, std::string("\0", 1));
    EXPECT_EQ(ValueNames(*key), RegistryEnumerationOrder({"zeta", "mid", "", "alpha"}));

    for (const char* sub : {"Z", "b", "A"}) {
        ASSERT_TRUE(RegistryKey::Create(RegistryRoot::CurrentUser,
                                        std::string("Software\\Lirn\\Order\\") + sub));
    }
    EXPECT_EQ(key->SubKeyNames(), RegistryEnumerationOrder({"Z", "b", "A"}));
    EXPECT_EQ(key->SubKeyCount(), 3u);
}

TEST_F(RegistryTest, DeletingAKeyRemovesEverythingBelowIt) {
    {
        auto deep = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\GDT");
        ASSERT_TRUE(deep);
        deep->SetValue("Import", RegType::Sz, std::string("x\0", 2));
        auto sibling = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn\\Other");
        ASSERT_TRUE(sibling);
    }
    auto lirn = RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn");
    ASSERT_TRUE(lirn);
    EXPECT_FALSE(lirn->DeleteSubKeyTree("Missing"));
    EXPECT_FALSE(lirn->DeleteValue("Missing"));
    EXPECT_TRUE(lirn->DeleteSubKeyTree("QUARN"));
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\GDT"));
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn"));
    EXPECT_EQ(lirn->SubKeyNames(), std::vector<std::string>{"Other"});
}

TEST_F(RegistryTest, SettingAValueOfADeletedKeyFails) {
    auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn\\Gone");
    ASSERT_TRUE(key);
    auto parent = RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn");
    ASSERT_TRUE(parent);
    ASSERT_TRUE(parent->DeleteSubKeyTree("Gone"));
    EXPECT_THROW(key->SetValue("v", RegType::Sz, std::string("\0", 1)), RegistryError);
    EXPECT_FALSE(key->QueryValue("v"));
}

TEST_F(RegistryTest, SubKeysOpenBelowAnOpenKey) {
    RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn")
        ->SetValue("v", RegType::Dword, DwordBytes(7));
    const auto software = RegistryKey::Open(RegistryRoot::CurrentUser, "Software");
    ASSERT_TRUE(software);
    const auto quarn = software->OpenSubKey("lirn\\QUARN");
    ASSERT_TRUE(quarn);
    EXPECT_EQ(quarn->Path(), "Software\\Lirn\\Quarn");
    EXPECT_EQ(quarn->QueryValue("v")->data, DwordBytes(7));
    EXPECT_FALSE(software->OpenSubKey("Lirn\\Nope"));
}

// Every key below Software\Lirn with its values, in enumeration order.
std::vector<std::pair<std::string, std::vector<RegistryValue>>> ProgramTree() {
    std::vector<std::pair<std::string, std::vector<RegistryValue>>> tree;
    std::vector<std::unique_ptr<RegistryKey>> pending;
    pending.push_back(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn"));
    while (!pending.empty()) {
        std::unique_ptr<RegistryKey> key = std::move(pending.back());
        pending.pop_back();
        if (!key) {
            continue;
        }
        tree.emplace_back(key->Path(), key->Values());
        for (const std::string& name : key->SubKeyNames()) {
            pending.push_back(key->OpenSubKey(name));
        }
    }
    return tree;
}

TEST_F(RegistryTest, TransactionWithoutCommitLeavesEverythingAsItWas) {
    {
        auto gdt = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\GDT");
        gdt->SetValue("Import", RegType::Sz, std::string("import.gdt\0", 11));
        gdt->SetValue("Export", RegType::Sz, std::string("export.gdt\0", 11));
        RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\Forms\\Deep")
            ->SetValue("FrmMain", RegType::Sz, std::string("1,2,3,4,0\0", 11));
    }
    const auto before = ProgramTree();
    const auto changeEverything = [](RegistryTransaction& transaction) {
        auto gdt = transaction.Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\GDT");
        ASSERT_TRUE(gdt);
        gdt->SetValue("Import", RegType::Sz, std::string("neu.gdt\0", 8));
        EXPECT_TRUE(gdt->DeleteValue("export"));
        gdt->SetValue("Added", RegType::Dword, DwordBytes(5));
        transaction.Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn")
            ->DeleteSubKeyTree("Forms");
        transaction.Create(RegistryRoot::CurrentUser, "Software\\Lirn\\Neu\\Tief")
            ->SetValue("x", RegType::Sz, std::string("y\0", 2));
    };
    {
        const auto transaction = RegistryTransaction::Begin();
        ASSERT_TRUE(transaction);
        changeEverything(*transaction);
    }
    EXPECT_EQ(ProgramTree(), before);

    {
        const auto transaction = RegistryTransaction::Begin();
        ASSERT_TRUE(transaction);
        changeEverything(*transaction);
        transaction->Commit();
    }
    const auto gdt = RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\GDT");
    EXPECT_EQ(gdt->QueryValue("Import")->data, std::string("neu.gdt\0", 8));
    EXPECT_FALSE(gdt->QueryValue("Export"));
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\Forms"));
    EXPECT_TRUE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Neu\\Tief"));
}

} // namespace
