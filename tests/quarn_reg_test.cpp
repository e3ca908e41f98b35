// quarn-reg, our reg.exe, on every system: adding, querying, deleting, export and import, and the
// .reg format. The hive file of POSIX has a file of its own.

#include "common/FileBytes.h"
#include "common/ReadOnlyRegistry.h"
#include "common/TestEnvironment.h"
#include "common/ToolRunner.h"
#include "platform/registry/RegFile.h"
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

// Every key below root with its values, in enumeration order.
using Dump = std::vector<std::pair<std::string, std::vector<RegistryValue>>>;

void DumpTree(const RegistryKey& key, Dump& dump) {
    dump.emplace_back(key.FullName(), key.Values());
    for (const std::string& sub : key.SubKeyNames()) {
        const std::string path = key.Path().empty() ? sub : key.Path() + "\\" + sub;
        DumpTree(*RegistryKey::Open(key.Root(), path), dump);
    }
}

Dump DumpKey(const std::string& path) {
    Dump dump;
    if (const auto key = RegistryKey::Open(RegistryRoot::CurrentUser, path)) {
        DumpTree(*key, dump);
    }
    return dump;
}

// What a refused command could have changed: the program's keys, the key an import would add
// and the values of Software itself.
Dump TouchedKeys() {
    Dump dump = DumpKey("Software\\Lirn");
    for (auto& entry : DumpKey("Software\\New")) {
        dump.push_back(std::move(entry));
    }
    if (const auto software = RegistryKey::Open(RegistryRoot::CurrentUser, "Software")) {
        dump.emplace_back(software->FullName(), software->Values());
    }
    return dump;
}

class QuarnRegTest : public ::testing::Test {
protected:
    ScopedTestHome home;
    const std::string gdt = "HKCU\\Software\\Lirn\\Quarn\\GDT";
};

// --- adding and querying ----------------------------------------------------------------------

struct AddCase {
    std::string label;
    std::vector<std::string> options;
    uint32_t type;
    std::string data;
    std::string shown;
};

void PrintTo(const AddCase& c, std::ostream* os) {
    *os << c.label;
}

class AddTypeTest : public QuarnRegTest, public ::testing::WithParamInterface<AddCase> {};

TEST_P(AddTypeTest, QueryShowsTheTypeAndData) {
    const AddCase& c = GetParam();
    std::vector<std::string> args{gdt, "/v", "Value"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    Add(args);

    const auto value = RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\GDT")
                           ->QueryValue("Value");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, c.type);
    EXPECT_EQ(value->data, c.data);

    const RunResult query = RunTool({"query", gdt, "/v", "value"});
    ASSERT_EQ(query.exitCode, 0) << query.err;
    EXPECT_EQ(query.out, "\nHKEY_CURRENT_USER\\Software\\Lirn\\Quarn\\GDT\n    Value    " +
                             RegTypeName(c.type) + "    " + c.shown + "\n\n");
}

INSTANTIATE_TEST_SUITE_P(
    Types, AddTypeTest,
    ::testing::Values(
        AddCase{"SzByDefault",
                {"/d", "C:\\gdt\\import.gdt"},
                RegType::Sz,
                std::string("C:\\gdt\\import.gdt\0", 18),
                "C:\\gdt\\import.gdt"},
        AddCase{"EmptySz", {"/t", "reg_sz"}, RegType::Sz, std::string("\0", 1), ""},
        AddCase{"ExpandSz",
                {"/t", "REG_EXPAND_SZ", "/d", "%HOME%"},
                RegType::ExpandSz,
                std::string("%HOME%\0", 7),
                "%HOME%"},
        AddCase{"DwordDecimal",
                {"/t", "REG_DWORD", "/d", "42"},
                RegType::Dword,
                std::string("\x2a\0\0\0", 4),
                "0x2a"},
        AddCase{"DwordHex",
                {"/t", "REG_DWORD", "/d", "0xFFFFFFFF"},
                RegType::Dword,
                std::string("\xff\xff\xff\xff", 4),
                "0xffffffff"},
        AddCase{
            "DwordEmptyIsZero", {"/t", "REG_DWORD"}, RegType::Dword, std::string(4, '\0'), "0x0"},
        AddCase{"Binary",
                {"/t", "REG_BINARY", "/d", "0d0aFF00"},
                RegType::Binary,
                std::string("\r\n\xff\0", 4),
                "0D0AFF00"},
        AddCase{"EmptyBinary", {"/t", "REG_BINARY"}, RegType::Binary, "", ""}),
    [](const auto& info) { return info.param.label; });

TEST_F(QuarnRegTest, QueryListsValuesThenSubKeys) {
    Add({"HKEY_CURRENT_USER\\Software\\Lirn\\Quarn", "/ve", "/d", "top"});
    Add({gdt, "/v", "Import", "/d", "import.gdt"});
    Add({"HKCU\\Software\\Lirn\\Quarn\\PDF"});

    const RunResult plain = RunTool({"query", "hkcu\\SOFTWARE\\lirn\\quarn"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(plain.out, "\nHKEY_CURRENT_USER\\Software\\Lirn\\Quarn\n"
                         "    (Default)    REG_SZ    top\n\n"
                         "HKEY_CURRENT_USER\\Software\\Lirn\\Quarn\\GDT\n"
                         "HKEY_CURRENT_USER\\Software\\Lirn\\Quarn\\PDF\n");

    const RunResult deep = RunTool({"query", "HKCU\\Software\\Lirn", "/s"});
    ASSERT_EQ(deep.exitCode, 0) << deep.err;
    EXPECT_NE(deep.out.find("HKEY_CURRENT_USER\\Software\\Lirn\\Quarn\\GDT\n"
                            "    Import    REG_SZ    import.gdt\n"),
              std::string::npos)
        << deep.out;
    EXPECT_NE(deep.out.find("HKEY_CURRENT_USER\\Software\\Lirn\\Quarn\\PDF\n"), std::string::npos);
}

TEST_F(QuarnRegTest, QueryNamesTheTypeAsWindowsDoesOrNone) {
    auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn");
    ASSERT_TRUE(key);
    key->SetValue("List", RegType::MultiSz, std::string("a\0b\0\0", 5));
    key->SetValue("Odd", 0x2b, std::string("\xff", 1));

    const RunResult query = RunTool({"query", "HKCU\\Software\\Lirn"});
    ASSERT_EQ(query.exitCode, 0) << query.err;
    EXPECT_EQ(query.out, "\nHKEY_CURRENT_USER\\Software\\Lirn\n"
                         "    List    REG_MULTI_SZ    a\\0b\n"
                         "    Odd    REG_NONE    FF\n\n");
}

TEST_F(QuarnRegTest, NamesMatchWhateverTheirCase) {
    Add({"HKCU\\Software\\Lirn\\Quarn\\GDT", "/v", "Import", "/d", "a.gdt"});
    Add({"hkey_current_user\\software\\LIRN\\quarn\\gdt", "/v", "IMPORT", "/d", "b.gdt"});

    const RunResult query = RunTool({"QUERY", "HKCU\\SOFTWARE\\LIRN\\QUARN\\GDT", "/V", "import"});
    ASSERT_EQ(query.exitCode, 0) << query.err;
    EXPECT_EQ(query.out, "\nHKEY_CURRENT_USER\\Software\\Lirn\\Quarn\\GDT\n"
                         "    Import    REG_SZ    b.gdt\n\n");

    ASSERT_EQ(
        RunTool({"delete", "hkcu\\software\\lirn\\quarn\\gdt", "/v", "iMpOrT", "/f"}).exitCode, 0);
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\GDT")
                     ->QueryValue("Import"));
    ASSERT_EQ(RunTool({"delete", "HKCU\\software\\LIRN", "/f"}).exitCode, 0);
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn"));
    EXPECT_TRUE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software"));
}

// --- questions ----------------------------------------------------------------------------------

struct AnswerCase {
    std::string label;
    std::string input;
    bool done;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.label;
}

class AnswerTest : public QuarnRegTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswerTest, OverwritingAskedFirst) {
    Add({gdt, "/v", "Import", "/d", "old"});
    const RunResult result = RunTool({"add", gdt, "/v", "import", "/d", "new"}, GetParam().input);
    EXPECT_NE(result.out.find("(Yes/No)"), std::string::npos);
    EXPECT_EQ(result.exitCode == 0, GetParam().done);
    const auto value = RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\GDT")
                           ->QueryValue("Import");
    EXPECT_EQ(value->data, std::string(GetParam().done ? "new" : "old") + '\0');
}

TEST_P(AnswerTest, DeletingAKeyAskedFirst) {
    Add({gdt, "/v", "Import", "/d", "old"});
    const RunResult result = RunTool({"delete", "HKCU\\Software\\Lirn"}, GetParam().input);
    EXPECT_NE(result.out.find("(Yes/No)"), std::string::npos);
    EXPECT_EQ(result.exitCode == 0, GetParam().done);
    EXPECT_EQ(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn") == nullptr,
              GetParam().done);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AnswerTest,
    ::testing::Values(AnswerCase{"Y", "y\n", true}, AnswerCase{"YesMixedCase", "Yes\r\n", true},
                      AnswerCase{"YesWithoutNewline", "yes", true}, AnswerCase{"No", "n\n", false},
                      AnswerCase{"Other", "yess\n", false}, AnswerCase{"EndOfInput", "", false}),
    [](const auto& info) { return info.param.label; });

// --- errors
// ---------------------------------------------------------------------------------------

struct ErrorCase {
    std::string label;
    std::vector<std::string> args;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.label;
}

class ErrorTest : public QuarnRegTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ErrorTest, ClearMessageNonZeroExitHiveUntouched) {
    Add({gdt, "/v", "Import", "/d", "import.gdt"});
    WriteBytes(home.root() / "broken.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                                           "[HKEY_CURRENT_USER\\Software\\New]\r\n"
                                           "\"a\"=\"b\"\r\n"
                                           "\"c\"=dword:123456789\r\n");
    WriteBytes(home.root() / "foreign.reg", "[HKEY_CURRENT_USER\\Software\\New]\r\n");
    const Dump before = TouchedKeys();
    std::vector<std::string> args = GetParam().args;
    for (std::string& arg : args) {
        if (arg.ends_with(".reg")) {
            arg = (home.root() / arg).string();
        }
    }

    const RunResult result = RunTool(args, "y\n");
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("ERROR"), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find("completed successfully"), std::string::npos) << result.out;
    EXPECT_EQ(TouchedKeys(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ErrorTest,
    ::testing::Values(
        ErrorCase{"NoArguments", {}}, ErrorCase{"UnknownVerb", {"frob", "HKCU\\Software"}},
        ErrorCase{"MissingKeyArgument", {"query"}},
        ErrorCase{"ExtraArgument", {"query", "HKCU\\Software", "more"}},
        ErrorCase{"UnknownRoot", {"add", "HKXX\\Software", "/v", "a", "/f"}},
        ErrorCase{"NoRoot", {"add", "Software\\Lirn", "/f"}},
        ErrorCase{"OptionOfAnotherVerb", {"query", "HKCU\\Software", "/f"}},
        ErrorCase{"ValueNameMissing", {"add", "HKCU\\Software", "/v"}},
        ErrorCase{"TwoValueSelections", {"delete", "HKCU\\Software", "/v", "a", "/ve", "/f"}},
        ErrorCase{"UnsupportedType", {"add", "HKCU\\Software", "/v", "a", "/t", "REG_QWORD", "/f"}},
        ErrorCase{
            "DwordTooLarge",
            {"add", "HKCU\\Software", "/v", "a", "/t", "REG_DWORD", "/d", "4294967296", "/f"}},
        ErrorCase{"DwordNegative",
                  {"add", "HKCU\\Software", "/v", "a", "/t", "REG_DWORD", "/d", "-1", "/f"}},
        ErrorCase{"DwordNotANumber",
                  {"add", "HKCU\\Software", "/v", "a", "/t", "REG_DWORD", "/d", "12a", "/f"}},
        ErrorCase{"BinaryOddDigits",
                  {"add", "HKCU\\Software", "/v", "a", "/t", "REG_BINARY", "/d", "abc", "/f"}},
        ErrorCase{"BinaryNotHex",
                  {"add", "HKCU\\Software", "/v", "a", "/t", "REG_BINARY", "/d", "zz", "/f"}},
        ErrorCase{"QueryMissingKey", {"query", "HKCU\\Software\\Nope"}},
        ErrorCase{"QueryMissingValue", {"query", "HKCU\\Software\\Lirn\\Quarn\\GDT", "/v", "Nope"}},
        ErrorCase{"DeleteMissingKey", {"delete", "HKCU\\Software\\Nope", "/f"}},
        ErrorCase{"DeleteMissingValue",
                  {"delete", "HKCU\\Software\\Lirn\\Quarn\\GDT", "/v", "Nope", "/f"}},
        ErrorCase{"DeleteRoot", {"delete", "HKCU", "/f"}},
        ErrorCase{"ExportMissingKey", {"export", "HKCU\\Software\\Nope", "out.reg"}},
        ErrorCase{"ImportMissingFile", {"import", "missing.reg"}},
        ErrorCase{"ImportBrokenFile", {"import", "broken.reg"}},
        ErrorCase{"ImportWithoutHeader", {"import", "foreign.reg"}}),
    [](const auto& info) { return info.param.label; });

// --- export and import --------------------------------------------------------------------------

TEST_F(QuarnRegTest, ExportThenImportIntoAnEmptyHiveGivesTheSameKeysAndValues) {
    Add({"HKCU\\Software\\Lirn\\Quarn", "/ve", "/d", "unnamed"});
    Add({gdt, "/v", "Import", "/d", "C:\\gdt\\import.gdt"});
    Add({gdt, "/v", "Quote \"and\" back\\slash", "/d", "\"quoted\" \\\\server\\"});
    Add({gdt, "/v", "Umlaut", "/d", "Größe äöü €"});
    Add({gdt, "/v", "Count", "/t", "REG_DWORD", "/d", "0x2a"});
    Add({gdt, "/v", "Bytes", "/t", "REG_BINARY", "/d", "200d0a000d0a62"});
    Add({gdt, "/v", "Nothing", "/t", "REG_BINARY"});
    Add({gdt, "/v", "Path", "/t", "REG_EXPAND_SZ", "/d", "%HOME%\\quarn"});
    Add({"HKCU\\Software\\Lirn\\Quarn\\Empty"});
    Add({"HKCU\\Software\\Lirn\\Quarn\\Forms", "/v", "FrmMain", "/d", "1,2,3,4"});
    {
        auto key = RegistryKey::Create(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\Odd");
        key->SetValue("Lines", RegType::Sz, std::string("a\r\nb\0", 5));
        key->SetValue("Short", RegType::Dword, "\x01\x02");
        key->SetValue("Multi", 7, std::string("one\0two\0\0", 9));
        key->SetValue("Other", 0x2b, std::string("\x00\xff", 2));
    }
    const Dump before = DumpKey("Software\\Lirn");
    const fs::path file = home.root() / "quarn.reg";
    const RunResult exported = RunTool({"export", "HKCU\\Software\\Lirn", file.string()});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    const std::string text = ReadBytes(file);
    EXPECT_TRUE(text.starts_with("Windows Registry Editor Version 5.00\r\n\r\n"));
    EXPECT_NE(text.find("\"Count\"=dword:0000002a\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Bytes\"=hex:20,0d,0a,00,0d,0a,62\r\n"), std::string::npos) << text;
    EXPECT_NE(
        text.find("\"Quote \\\"and\\\" back\\\\slash\"=\"\\\"quoted\\\" \\\\\\\\server\\\\\"\r\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("@=\"unnamed\"\r\n"), std::string::npos) << text;

    ScopedTestHome empty;
    EXPECT_TRUE(DumpKey("Software\\Lirn").empty());
    const RunResult imported = RunTool({"import", file.string()});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    const Dump after = DumpKey("Software\\Lirn");
    EXPECT_EQ(after, before);

    const fs::path again = empty.root() / "again.reg";
    ASSERT_EQ(RunTool({"export", "HKCU\\Software\\Lirn", again.string()}).exitCode, 0);
    EXPECT_EQ(ReadBytes(again), text);
}

TEST_F(QuarnRegTest, ExportOverAnExistingFileAsksUnlessTold) {
    Add({gdt, "/v", "Import", "/d", "import.gdt"});
    const fs::path file = home.root() / "out.reg";
    WriteBytes(file, "keep");
    EXPECT_NE(RunTool({"export", gdt, file.string()}, "no\n").exitCode, 0);
    EXPECT_EQ(ReadBytes(file), "keep");
    ASSERT_EQ(RunTool({"export", gdt, file.string(), "/y"}).exitCode, 0);
    EXPECT_NE(ReadBytes(file).find("\"Import\"=\"import.gdt\""), std::string::npos);
}

TEST_F(QuarnRegTest, ImportAppliesDeletions) {
    Add({gdt, "/v", "Import", "/d", "import.gdt"});
    Add({gdt, "/v", "Export", "/d", "export.gdt"});
    Add({"HKCU\\Software\\Lirn\\Quarn\\PDF\\Deep", "/v", "x", "/d", "y"});
    const fs::path file = home.root() / "changes.reg";
    WriteBytes(file, "Windows Registry Editor Version 5.00\n\n"
                     "[-HKEY_CURRENT_USER\\Software\\Lirn\\Quarn\\pdf]\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Lirn\\Quarn\\GDT]\n"
                     "\"import\"=-\n");
    const RunResult result = RunTool({"import", file.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto key = RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\GDT");
    EXPECT_FALSE(key->QueryValue("Import"));
    EXPECT_TRUE(key->QueryValue("Export"));
    EXPECT_FALSE(RegistryKey::Open(RegistryRoot::CurrentUser, "Software\\Lirn\\Quarn\\PDF"));
}

// The first key could be stored, the second not: the first is taken back.
TEST_F(QuarnRegTest, ImportRefusedHalfWayLeavesEverythingAsItWas) {
    Add({gdt, "/v", "Import", "/d", "import.gdt"});
    const fs::path file = home.root() / "half.reg";
    WriteBytes(file, "Windows Registry Editor Version 5.00\r\n\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Lirn\\Quarn\\Neu]\r\n\"a\"=\"b\"\r\n\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Lirn\\Quarn\\GDT]\r\n\"Import\"=\"x\"\r\n");
    const Dump before = TouchedKeys();
    RunResult result;
    {
        ScopedReadOnlyRegistry readOnly;
        result = RunTool({"import", file.string()});
    }
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("nothing was imported"), std::string::npos) << result.err;
    EXPECT_EQ(TouchedKeys(), before);
}

TEST_F(QuarnRegTest, ReadOnlyRegistryRefusesAddWithAMessage) {
    Add({gdt, "/v", "Import", "/d", "import.gdt"});
    const Dump before = TouchedKeys();
    RunResult result;
    {
        ScopedReadOnlyRegistry readOnly;
        result = RunTool({"add", gdt, "/v", "Import", "/d", "new", "/f"});
    }
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("the key cannot be created"), std::string::npos) << result.err;
    EXPECT_EQ(TouchedKeys(), before);
}

// --- the file format itself ---------------------------------------------------------------------

struct ParseCase {
    std::string label;
    std::string body; // after the header line
    std::string name;
    uint32_t type;
    std::string data;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.label;
}

class RegFileParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(RegFileParseTest, ReadsTheValue) {
    const ParseCase& c = GetParam();
    const RegFileParse parsed = ParseRegFile("Windows Registry Editor Version 5.00\r\n\r\n"
                                             "[HKEY_CURRENT_USER\\Software]\r\n" +
                                             c.body);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    ASSERT_EQ(parsed.keys.size(), 1u);
    ASSERT_EQ(parsed.keys[0].values.size(), 1u);
    const RegFileValue& value = parsed.keys[0].values[0];
    EXPECT_EQ(value.name, c.name);
    EXPECT_EQ(value.type, c.type);
    EXPECT_EQ(value.data, c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegFileParseTest,
    ::testing::Values(
        ParseCase{"Text", "\"a\"=\"b\"\r\n", "a", RegType::Sz, std::string("b\0", 2)},
        ParseCase{"Escapes", "\"a\\\\\\\"b\"=\"c:\\\\x\\\"\"", "a\\\"b", RegType::Sz,
                  std::string("c:\\x\"\0", 6)},
        ParseCase{"LoneBackslashKept", "\"p\"=\"c:\\temp\"", "p", RegType::Sz,
                  std::string("c:\\temp\0", 8)},
        ParseCase{"Unnamed", "@=\"x\"", "", RegType::Sz, std::string("x\0", 2)},
        ParseCase{"BlanksAroundEquals", "\"a\" = dword:0000002A ; comment", "a", RegType::Dword,
                  std::string("\x2a\0\0\0", 4)},
        ParseCase{"ShortDword", "\"a\"=dword:1", "a", RegType::Dword, std::string("\1\0\0\0", 4)},
        ParseCase{"Continuation", "\"b\"=hex:01,02,\\\r\n  03,04\r\n", "b", RegType::Binary,
                  "\x01\x02\x03\x04"},
        ParseCase{"EmptyHex", "\"b\"=hex:", "b", RegType::Binary, ""},
        ParseCase{"ExpandAsUtf16", "\"e\"=hex(2):25,00,e4,00,ac,20,00,00", "e", RegType::ExpandSz,
                  std::string("%\xC3\xA4\xE2\x82\xAC\0", 7)},
        ParseCase{"OtherType", "\"o\"=hex(2b):00,ff", "o", 0x2b, std::string("\0\xff", 2)}),
    [](const auto& info) { return info.param.label; });

struct BadFileCase {
    std::string label;
    std::string text;
    std::string errorStart;
};

void PrintTo(const BadFileCase& c, std::ostream* os) {
    *os << c.label;
}

class RegFileErrorTest : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(RegFileErrorTest, NamesTheLineAndKeepsNothing) {
    const RegFileParse parsed = ParseRegFile(GetParam().text);
    EXPECT_FALSE(parsed.ok());
    EXPECT_TRUE(parsed.keys.empty());
    EXPECT_TRUE(parsed.error.starts_with(GetParam().errorStart)) << parsed.error;
}

const std::string Head = "Windows Registry Editor Version 5.00\n";

// Little-endian UTF-16 of ASCII text.
std::string Utf16(const std::string& ascii) {
    std::string bytes;
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegFileErrorTest,
    ::testing::Values(
        BadFileCase{"Empty", "", "line 1:"},
        BadFileCase{"NoHeader", "[HKEY_CURRENT_USER\\x]\n", "line 1:"},
        BadFileCase{"ValueBeforeKey", Head + "\"a\"=\"b\"\n", "line 2:"},
        BadFileCase{"UnknownRoot", Head + "\n[HKEY_NOWHERE\\x]\n", "line 3:"},
        BadFileCase{"UnclosedKey", Head + "[HKCU\\x\n", "line 2:"},
        BadFileCase{"UnclosedText", Head + "[HKCU\\x]\n\"a\"=\"b\n", "line 3:"},
        BadFileCase{"NoEquals", Head + "[HKCU\\x]\n\"a\" \"b\"\n", "line 3:"},
        BadFileCase{"DwordTooLong", Head + "[HKCU\\x]\n\"a\"=dword:123456789\n", "line 3:"},
        BadFileCase{"HexByteTooLong", Head + "[HKCU\\x]\n\"a\"=hex:012\n", "line 3:"},
        BadFileCase{"HexGap", Head + "[HKCU\\x]\n\"a\"=hex:01,,02\n", "line 3:"},
        BadFileCase{"OddUtf16", Head + "[HKCU\\x]\n\"a\"=hex(2):41\n", "line 3:"},
        BadFileCase{"TextAfterValue", Head + "[HKCU\\x]\n\"a\"=\"b\" c\n", "line 3:"},
        BadFileCase{"UnknownKind", Head + "[HKCU\\x]\n\"a\"=qword:1\n", "line 3:"},
        BadFileCase{"NulInAKeyName", Head + "\n[HKCU\\Software\\A" + std::string(1, '\0') + "B]\n",
                    "line 3: the key name holds a NUL character"},
        BadFileCase{"NulInAValueName",
                    Head + "[HKCU\\x]\n\"a" + std::string(1, '\0') + "\"=\"b\"\n",
                    "line 3: the value name holds a NUL character"},
        BadFileCase{"KeyNameNotUtf8",
                    Head + "[HKCU\\Software\\Gr\xf6\xdf"
                           "e]\n",
                    "line 2: the key name is not valid UTF-8"},
        BadFileCase{"ValueNameNotUtf8", Head + "[HKCU\\x]\n\"M\xfcller\"=\"b\"\n",
                    "line 3: the value name is not valid UTF-8"},
        BadFileCase{"NulFromUtf16",
                    std::string("\xFF\xFE", 2) + Utf16(Head + "[HKCU\\A") + std::string(2, '\0') +
                        Utf16("B]\n"),
                    "line 2: the key name holds a NUL character"}),
    [](const auto& info) { return info.param.label; });

TEST(RegFile, ReadsUtf16FilesWithByteOrderMark) {
    const std::string text = Head + "[HKCU\\Software]\n\"a\"=\"\xC3\xA4\"\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("Windows Registry Editor Version 5.00\n[HKCU\\Software]\n\"a\"=\"")) {
        utf16 += c;
        utf16 += '\0';
    }
    utf16 += std::string("\xE4\0\"\0\n\0", 6);
    const RegFileParse parsed = ParseRegFile(utf16);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.keys.at(0).values.at(0).data, std::string("\xC3\xA4\0", 3));
    EXPECT_EQ(ParseRegFile("\xEF\xBB\xBF" + text).keys.at(0).values.at(0).data,
              std::string("\xC3\xA4\0", 3));
}

TEST(RegFile, WritesEachMalformedByteOfHiveTextAsOneReplacementCharacter) {
    const RegFileKey key{{RegistryRoot::CurrentUser, "Software"},
                         false,
                         {{"e", false, RegType::ExpandSz, std::string("A\xC0\xAF\0", 4)}}};
    const std::string text = FormatRegFile({key});
    EXPECT_NE(text.find("\"e\"=hex(2):41,00,fd,ff,fd,ff,00,00\r\n"), std::string::npos) << text;
}

} // namespace
