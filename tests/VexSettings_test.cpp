#include "common/TestEnvironment.h"
#include "common/ToolRunner.h"
#include "platform/Errors.h"
#include "platform/registry/Registry.h"
#include "support/VexDateTime.h"
#include "support/VexSettings.h"

#include <cmath>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const std::string Base = "Software\\Lirn\\Quarn";

std::string Dword(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xff);
    }
    return bytes;
}

std::string Text(const std::string& text) {
    return text + '\0';
}

std::optional<RegistryValue> Stored(const std::string& section, const std::string& name,
                                    RegistryRoot root = RegistryRoot::CurrentUser) {
    const auto key = RegistryKey::Open(root, section.empty() ? Base : Base + "\\" + section);
    return key ? key->QueryValue(name) : std::nullopt;
}

void Store(const std::string& section, const std::string& name, uint32_t type,
           const std::string& data) {
    RegistryKey::Create(RegistryRoot::CurrentUser, Base + "\\" + section)
        ->SetValue(name, type, data);
}

TDateTime At(int year, int month, int day, int hour, int minute, int second, int ms) {
    TDateTime date = 0;
    TDateTime time = 0;
    EXPECT_TRUE(TryEncodeDate(year, month, day, date));
    EXPECT_TRUE(TryEncodeTime(hour, minute, second, ms, time));
    return date + time;
}

class SettingsTest : public ::testing::Test {
protected:
    ScopedTestHome home;
    TRegistrySettings registry{"Software/Lirn/Quarn", 1};
    // Callers hold the abstract store.
    TSettings& settings = registry;
};

// --- key paths -------------------------------------------------------------------------------

struct BasePathCase {
    std::string keyText;
    std::string basePath;
};

void PrintTo(const BasePathCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.keyText);
}

class BasePathTest : public ::testing::TestWithParam<BasePathCase> {};

TEST_P(BasePathTest, SeparatorsBecomeBackslashesWithOneAtEachEnd) {
    EXPECT_EQ(TRegistrySettings(GetParam().keyText, 1).BasePath(), GetParam().basePath);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BasePathTest,
    ::testing::Values(BasePathCase{"Software/Lirn/Quarn", "\\Software\\Lirn\\Quarn\\"},
                      BasePathCase{"Software\\Lirn", "\\Software\\Lirn\\"},
                      BasePathCase{"A/B\\C", "\\A\\B\\C\\"}, BasePathCase{"", "\\"}));

struct SectionCase {
    std::string label;
    std::string section;
    std::string key; // below the base key
};

void PrintTo(const SectionCase& c, std::ostream* os) {
    *os << c.label;
}

class SectionPathTest : public SettingsTest, public ::testing::WithParamInterface<SectionCase> {};

TEST_P(SectionPathTest, SectionNamesTheKeyBelowTheBase) {
    settings.WriteString(GetParam().section + "\rValue", "x");
    const auto key = RegistryKey::Open(RegistryRoot::CurrentUser, Base + GetParam().key);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->QueryValue("Value"));
    EXPECT_EQ(key->QueryValue("Value")->data, Text("x"));
    EXPECT_EQ(settings.ReadString(GetParam().section + "\rvalue\rdefault"), "x");
}

INSTANTIATE_TEST_SUITE_P(Cases, SectionPathTest,
                         ::testing::Values(SectionCase{"Plain", "GDT", "\\GDT"},
                                           SectionCase{"SlashesAtEnds", "/GDT/", "\\GDT"},
                                           SectionCase{"BackslashesAtEnds", "\\\\GDT\\", "\\GDT"},
                                           SectionCase{"Nested", "Forms/Sub", "\\Forms\\Sub"},
                                           SectionCase{"NestedBackslash", "Forms\\Sub",
                                                       "\\Forms\\Sub"},
                                           SectionCase{"Empty", "", ""}),
                         [](const auto& info) { return info.param.label; });

TEST_F(SettingsTest, KeyPathWithoutCarriageReturnAddressesTheUnnamedValue) {
    EXPECT_EQ(settings.ReadString("Forms"), "");
    const auto value = Stored("Forms", "");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, Text(""));
    settings.WriteString("Forms", "1,2,3,4");
    EXPECT_EQ(Stored("Forms", "")->data, Text("1,2,3,4"));
    EXPECT_EQ(settings.ReadString("Forms\r\rignored"), "1,2,3,4");
}

TEST_F(SettingsTest, OtherRootKeepsItsOwnValues) {
    TRegistrySettings machine("Software/Lirn/Quarn", 2);
    machine.WriteString("GDT\rImport", "machine.gdt");
    EXPECT_EQ(Stored("GDT", "Import", RegistryRoot::LocalMachine)->data, Text("machine.gdt"));
    EXPECT_FALSE(Stored("GDT", "Import"));
}

// --- text values and the write-back of defaults -------------------------------------------

TEST_F(SettingsTest, FirstReadStoresTheDefaultVisibleToQuarnReg) {
    EXPECT_EQ(settings.ReadString("PDF\rShow\rNO"), "NO");
    const auto value = Stored("PDF", "Show");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::Sz);
    EXPECT_EQ(value->data, Text("NO"));

    const ToolResult query = RunTool("quarn-reg", {"query", "HKCU\\Software\\Lirn\\Quarn\\PDF"});
    ASSERT_EQ(query.exitCode, 0) << query.err;
    EXPECT_NE(query.out.find("    Show    REG_SZ    NO\n"), std::string::npos) << query.out;
}

TEST_F(SettingsTest, EmptyDefaultLeavesAnEmptyText) {
    EXPECT_EQ(settings.ReadString("Directories\rPDF\r"), "");
    const auto value = Stored("Directories", "PDF");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::Sz);
    EXPECT_EQ(value->data, Text(""));
}

struct ReadCase {
    std::string label;
    uint32_t type;
    std::string data;
    std::string result;
    uint32_t typeAfter;
    std::string dataAfter;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.label;
}

class ReadStringTest : public SettingsTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadStringTest, StoredValueAgainstDefaultNO) {
    const ReadCase& c = GetParam();
    Store("PDF", "Show", c.type, c.data);
    // The registry may close a text it was given without its NUL (Wine's does).
    const std::string asStored = Stored("PDF", "Show")->data;
    EXPECT_EQ(settings.ReadString("PDF\rShow\rNO"), c.result);
    EXPECT_EQ(Stored("PDF", "Show")->type, c.typeAfter);
    EXPECT_EQ(Stored("PDF", "Show")->data, c.dataAfter == c.data ? asStored : c.dataAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadStringTest,
    ::testing::Values(
        ReadCase{"OtherCaseIsKept", RegType::Sz, Text("yes"), "yes", RegType::Sz, Text("yes")},
        ReadCase{"ExpandTextUnexpanded", RegType::ExpandSz, Text("%HOME%"), "%HOME%",
                 RegType::ExpandSz, Text("%HOME%")},
        ReadCase{"TextUpToNul", RegType::Sz, std::string("YES\0junk", 8), "YES", RegType::Sz,
                 std::string("YES\0junk", 8)},
        ReadCase{"BinaryGivesTheDefault", RegType::Binary, "YES", "NO", RegType::Sz, Text("NO")},
        ReadCase{"DwordGivesTheDefault", RegType::Dword, Dword(1), "NO", RegType::Sz, Text("NO")}),
    [](const auto& info) { return info.param.label; });

TEST_F(SettingsTest, WithoutWriteBackReadsStoreNothing) {
    settings.WriteBackDefaults = false;
    EXPECT_EQ(settings.ReadString("PDF\rShow\rNO"), "NO");
    EXPECT_EQ(settings.ReadInteger("PDF\rCount\r3"), 3);
    TStringList list;
    settings.ReadStrings("PDF\rLines", list, "a");
    EXPECT_FALSE(Stored("PDF", "Show"));
    EXPECT_FALSE(Stored("PDF", "Count"));
    EXPECT_FALSE(Stored("PDF", "Lines"));
}

// --- 32-bit numbers
// --------------------------------------------------------------------------------

TEST_F(SettingsTest, WriteIntegerAndWriteBoolStoreDwords) {
    settings.WriteInteger("Device\rBaud", -2);
    settings.WriteBool("Device\rOn", true);
    settings.WriteBool("Device\rOff", false);
    EXPECT_EQ(Stored("Device", "Baud")->type, RegType::Dword);
    EXPECT_EQ(Stored("Device", "Baud")->data, Dword(0xfffffffe));
    EXPECT_EQ(Stored("Device", "On")->data, Dword(1));
    EXPECT_EQ(Stored("Device", "Off")->data, Dword(0));
    EXPECT_EQ(settings.ReadInteger("Device\rBaud\r7"), -2);
    EXPECT_TRUE(settings.ReadBool("Device\rOn\r0"));
    EXPECT_FALSE(settings.ReadBool("Device\rOff\r1"));
}

struct IntegerCase {
    std::string label;
    std::optional<RegistryValue> stored;
    std::string defaultPiece;
    int32_t result;
};

void PrintTo(const IntegerCase& c, std::ostream* os) {
    *os << c.label;
}

class ReadIntegerTest : public SettingsTest, public ::testing::WithParamInterface<IntegerCase> {};

TEST_P(ReadIntegerTest, ResultAndValueLeftAsDword) {
    const IntegerCase& c = GetParam();
    if (c.stored) {
        Store("Device", "N", c.stored->type, c.stored->data);
    }
    EXPECT_EQ(settings.ReadInteger("Device\rN\r" + c.defaultPiece), c.result);
    const auto after = Stored("Device", "N");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->type, RegType::Dword);
    EXPECT_EQ(after->data, Dword(static_cast<uint32_t>(c.result)));
}

RegistryValue Value(uint32_t type, const std::string& data) {
    return {"N", type, data};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadIntegerTest,
    ::testing::Values(IntegerCase{"MissingDecimalDefault", std::nullopt, "42", 42},
                      IntegerCase{"MissingNegativeDefault", std::nullopt, " -42", -42},
                      IntegerCase{"MissingDollarHexDefault", std::nullopt, "$ff", 255},
                      IntegerCase{"MissingZeroXDefault", std::nullopt, "0x10", 16},
                      IntegerCase{"MissingAllBitsDefault", std::nullopt, "$FFFFFFFF", -1},
                      IntegerCase{"MissingBadDefault", std::nullopt, "12abc", 0},
                      IntegerCase{"MissingTooLargeDefault", std::nullopt, "2147483648", 0},
                      IntegerCase{"MissingEmptyDefault", std::nullopt, "", 0},
                      IntegerCase{"StoredDword", Value(RegType::Dword, Dword(7)), "42", 7},
                      IntegerCase{"TextIsReplacedByDefault", Value(RegType::Sz, Text("7")), "42",
                                  42},
                      IntegerCase{"ShortDwordIsReplaced", Value(RegType::Dword, "\x07"), "42", 42},
                      IntegerCase{"BinaryIsReplaced", Value(RegType::Binary, Dword(7)), "-1", -1}),
    [](const auto& info) { return info.param.label; });

// --- text-based conversions of the base class
// ------------------------------------------------------

struct TextCase {
    std::string label;
    std::string stored;
    std::string defaultPiece;
    int64_t int64;
    double number;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.label;
}

class TextConversionTest : public SettingsTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TextConversionTest, Int64AndFloatFromStoredText) {
    const TextCase& c = GetParam();
    Store("Sec", "V", RegType::Sz, Text(c.stored));
    EXPECT_EQ(settings.ReadInt64("Sec\rV\r" + c.defaultPiece), c.int64);
    EXPECT_DOUBLE_EQ(settings.ReadFloat("Sec\rV\r" + c.defaultPiece), c.number);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextConversionTest,
    ::testing::Values(TextCase{"NotANumber", "abc", "1.5", 0, 0.0},
                      TextCase{"NotANumberInt64Default", "abc", "0x100000000", 4294967296LL, 0.0},
                      TextCase{"Big", "9223372036854775807", "", INT64_MAX, 9223372036854775807.0},
                      TextCase{"ZeroXHex", "0x1F", "", 31, 0.0},
                      TextCase{"UpperZeroXHex", "0XffffffffFFFFFFFF", "", -1, 0.0},
                      TextCase{"Fraction", "-0.125", "9", 9, -0.125},
                      TextCase{"Exponent", "1e3", "", 0, 1000.0},
                      TextCase{"Empty", "", "1.5", 0, 0.0}),
    [](const auto& info) { return info.param.label; });

struct FloatCase {
    std::string label;
    double value;
    std::string text;
};

void PrintTo(const FloatCase& c, std::ostream* os) {
    *os << c.label;
}

class WriteFloatTest : public SettingsTest, public ::testing::WithParamInterface<FloatCase> {};

TEST_P(WriteFloatTest, TenDecimalsWithoutTrailingZeros) {
    settings.WriteFloat("Sec\rF", GetParam().value);
    EXPECT_EQ(Stored("Sec", "F")->data, Text(GetParam().text));
    EXPECT_DOUBLE_EQ(settings.ReadFloat("Sec\rF\r7"), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteFloatTest,
                         ::testing::Values(FloatCase{"Zero", 0.0, ""},
                                           FloatCase{"OneAndAHalf", 1.5, "1.5"},
                                           FloatCase{"Two", 2.0, "2"},
                                           FloatCase{"NegativeEighth", -0.125, "-0.125"},
                                           FloatCase{"TenDecimals", 0.0000000001, "0.0000000001"}),
                         [](const auto& info) { return info.param.label; });

TEST_F(SettingsTest, DatesAndTimesAsMaskedText) {
    const TDateTime moment = At(2024, 3, 5, 14, 7, 9, 250);
    settings.WriteDateTime("Sec\rWhen", moment);
    EXPECT_EQ(Stored("Sec", "When")->data, Text("2024-03-05 14:07:09.250"));
    EXPECT_NEAR(settings.ReadDateTime("Sec\rWhen"), At(2024, 3, 5, 14, 7, 9, 0), 1e-9);

    settings.WriteDate("Sec\rDay", moment);
    EXPECT_EQ(Stored("Sec", "Day")->data, Text("2024-03-05"));
    EXPECT_DOUBLE_EQ(settings.ReadDate("Sec\rDay"), std::floor(moment));
}

TEST_F(SettingsTest, DateTimeTakesTheTimeSeparatorOfTheUsersFormat) {
    const TFormatSettings saved = FormatSettings;
    SetFormatSettings({"fi_FI", "d.M.yyyy", "H.mm"});
    settings.WriteDateTime("Sec\rWhen", At(2024, 3, 5, 14, 7, 9, 250));
    SetFormatSettings(saved);
    EXPECT_EQ(Stored("Sec", "When")->data, Text("2024-03-05 14.07.09.250"));
}

TEST_F(SettingsTest, UnreadableDatesGiveZero) {
    EXPECT_EQ(settings.ReadDate("Sec\rMissing\r"), 0.0);
    EXPECT_NEAR(settings.ReadDate("Sec\rWithDefault\r2024-02-29"), At(2024, 2, 29, 0, 0, 0, 0),
                1e-9);
    Store("Sec", "Bad", RegType::Sz, Text("2024-02-30 10:00:00.000"));
    EXPECT_EQ(settings.ReadDateTime("Sec\rBad"), 0.0);
}

struct CodedCase {
    std::string label;
    std::string key;
    TStringCoding coding;
    std::string value;
    std::string stored;
    std::string readBack;
};

void PrintTo(const CodedCase& c, std::ostream* os) {
    *os << c.label;
}

class CodedStringTest : public SettingsTest, public ::testing::WithParamInterface<CodedCase> {};

TEST_P(CodedStringTest, StoredTextAndReadBack) {
    const CodedCase& c = GetParam();
    settings.WriteCodedString("Sec\rSecret", c.key, c.value, c.coding);
    EXPECT_EQ(Stored("Sec", "Secret")->data, Text(c.stored));
    EXPECT_EQ(settings.ReadCodedString("Sec\rSecret", c.key, c.coding), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CodedStringTest,
    ::testing::Values(CodedCase{"XorHex", "AB", 1, "AB", "0000", "AB"},
                      CodedCase{"XorHexCyclesTheKey", "k", 1, "ab", "0A09", "ab"},
                      CodedCase{"EmptyKeyStoresPlain", "", 1, "plain", "plain", ""},
                      CodedCase{"Plain", "k", 0, "plain", "plain", "plain"},
                      CodedCase{"OtherCodingIsPlain", "k", 7, "plain", "plain", "plain"}),
    [](const auto& info) { return info.param.label; });

TEST_F(SettingsTest, CodedReadOfInvalidTextIsEmpty) {
    Store("Sec", "Odd", RegType::Sz, Text("ABC"));
    Store("Sec", "NoHex", RegType::Sz, Text("ZZ"));
    EXPECT_EQ(settings.ReadCodedString("Sec\rOdd", "k", 1), "");
    EXPECT_EQ(settings.ReadCodedString("Sec\rNoHex", "k", 1), "");
}

// --- string lists -------------------------------------------------------------------------------

struct WriteStringsCase {
    std::string label;
    TStringList lines;
    bool skipEmpty;
    bool trimRightOnly;
    std::string bytes;
};

void PrintTo(const WriteStringsCase& c, std::ostream* os) {
    *os << c.label;
}

class WriteStringsTest : public SettingsTest,
                         public ::testing::WithParamInterface<WriteStringsCase> {};

TEST_P(WriteStringsTest, StoresExactlyTheseBytesAsBinary) {
    const WriteStringsCase& c = GetParam();
    settings.WriteStrings("GDT\rLines", c.lines, c.skipEmpty, c.trimRightOnly);
    const auto value = Stored("GDT", "Lines");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::Binary);
    EXPECT_EQ(value->data, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteStringsTest,
    ::testing::Values(
        WriteStringsCase{
            "TrimRightKeepEmpty", {" a ", "", "b"}, false, true, std::string(" a\r\n\r\nb\r\n")},
        WriteStringsCase{
            "TrimBothSkipEmpty", {" a ", "", "b"}, true, false, std::string("a\r\nb\r\n")},
        WriteStringsCase{
            "ControlCharactersTrimmed", {"\tx\t\x01", "  "}, true, false, std::string("x\r\n")},
        WriteStringsCase{"EmptyList", {}, false, true, ""}),
    [](const auto& info) { return info.param.label; });

struct ReadStringsCase {
    std::string label;
    std::optional<RegistryValue> stored;
    std::string defaultText;
    TStringList lines;
};

void PrintTo(const ReadStringsCase& c, std::ostream* os) {
    *os << c.label;
}

class ReadStringsTest : public SettingsTest,
                        public ::testing::WithParamInterface<ReadStringsCase> {};

TEST_P(ReadStringsTest, ListFromBinaryValue) {
    const ReadStringsCase& c = GetParam();
    if (c.stored) {
        Store("GDT", "Lines", c.stored->type, c.stored->data);
    }
    TStringList list{"stale"};
    settings.ReadStrings("GDT\rLines\rpiece three is not used", list, c.defaultText);
    EXPECT_EQ(list, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadStringsTest,
    ::testing::Values(
        ReadStringsCase{"MissingGivesDefault", std::nullopt, "x\r\ny", {"x", "y"}},
        ReadStringsCase{"EmptyBinaryIsEmptyList", Value(RegType::Binary, ""), "x", {}},
        ReadStringsCase{"LineBreaksOfEveryKind",
                        Value(RegType::Binary, "a\rb\nc\r\n\r\nd"),
                        "x",
                        {"a", "b", "c", "", "d"}},
        ReadStringsCase{"OtherTypeReadAsBytes", Value(0x2b, "m\r\n"), "x", {"m"}},
        ReadStringsCase{"TextGivesDefault", Value(RegType::Sz, Text("t")), "x", {"x"}},
        ReadStringsCase{"DwordGivesDefault", Value(RegType::Dword, Dword(1)), "x", {"x"}}),
    [](const auto& info) { return info.param.label; });

TEST_F(SettingsTest, ReadStringsWritesTheDefaultBackTrimmedRight) {
    TStringList list;
    settings.ReadStrings("GDT\rLines", list, " a \r\nb");
    EXPECT_EQ(list, (TStringList{" a ", "b"}));
    const auto value = Stored("GDT", "Lines");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::Binary);
    EXPECT_EQ(value->data, " a\r\nb\r\n");
}

TEST_F(SettingsTest, ReadStringsWithEmptyDefaultWritesNothing) {
    TStringList list{"stale"};
    settings.ReadStrings("GDT\rLines", list, "");
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(Stored("GDT", "Lines"));
}

TEST_F(SettingsTest, ListSectionGivesSubKeysThenValuesInTheRegistrysOrder) {
    settings.WriteString("Forms\rZeta", "1");
    settings.WriteString("Forms/Sub2\rx", "1");
    settings.WriteInteger("Forms\rAlpha", 1);
    settings.WriteString("Forms\\Sub1\rx", "1");
    TStringList list{"stale"};
    settings.ListSection("forms\rignored\rignored", list);
    const auto subKeys = RegistryEnumerationOrder({"Sub2", "Sub1"});
    const auto values = RegistryEnumerationOrder({"Zeta", "Alpha"});
    EXPECT_EQ(list, (TStringList{subKeys[0], subKeys[1], values[0], values[1]}));
    settings.ListSection("Missing", list);
    EXPECT_TRUE(list.empty());
}

} // namespace
