#include "support/VexStrings.h"

#include <gtest/gtest.h>

namespace {

struct TokenCase {
    std::string text;
    std::string delim;
    int n;
    std::string piece;
};

void PrintTo(const TokenCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.text) << " " << testing::PrintToString(c.delim) << " "
        << testing::PrintToString(c.n);
}

class GetTokenTest : public testing::TestWithParam<TokenCase> {};

TEST_P(GetTokenTest, GivesThePiece) {
    const auto& c = GetParam();
    EXPECT_EQ(GetToken(c.text, c.delim, c.n), c.piece);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, GetTokenTest,
    testing::Values(TokenCase{"a|b|c", "|", 1, "a"}, TokenCase{"a|b|c", "|", 2, "b"},
                    TokenCase{"a|b|c", "|", 3, "c"}, TokenCase{"a|b|c", "|", 0, ""},
                    TokenCase{"a|b|c", "|", 4, ""}, TokenCase{"a|b|c", "|", -1, ""},
                    TokenCase{"a||c", "|", 2, ""}, TokenCase{"a||c", "|", 3, "c"},
                    TokenCase{"a|", "|", 2, ""}, TokenCase{"a--b-c", "--", 1, "a"},
                    TokenCase{"a--b-c", "--", 2, "b-c"}, TokenCase{"a---b", "--", 2, "-b"},
                    TokenCase{"GDT\rImport\rimport.gdt", "\r", 3, "import.gdt"},
                    TokenCase{"GDT\rImport", "\r", 3, ""},
                    TokenCase{std::string("a|b\0|c", 6), "|", 2, "b"},
                    TokenCase{std::string("a|b\0|c", 6), "|", 3, ""},
                    TokenCase{"abc", "", 1, "abc"}, TokenCase{"abc", "", 2, ""},
                    TokenCase{"", "|", 1, ""}));

struct CountCase {
    std::string text;
    std::string delim;
    int count;
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.text) << " " << testing::PrintToString(c.delim);
}

class TokenCountTest : public testing::TestWithParam<CountCase> {};

TEST_P(TokenCountTest, CountsPieces) {
    const auto& c = GetParam();
    EXPECT_EQ(TokenCount(c.text, c.delim), c.count);
}

INSTANTIATE_TEST_SUITE_P(Counts, TokenCountTest,
                         testing::Values(CountCase{"", "|", 0}, CountCase{"", "--", 0},
                                         CountCase{"a", "|", 1}, CountCase{"a|", "|", 2},
                                         CountCase{"|", "|", 2}, CountCase{"a||c", "|", 3},
                                         CountCase{"a--b-c", "--", 2}, CountCase{"----", "--", 3},
                                         CountCase{"---", "--", 2},
                                         CountCase{std::string("\0a|b", 4), "|", 0},
                                         CountCase{"abc", "", 1}));

struct IntCase {
    std::string text;
    std::optional<int32_t> value;
};

void PrintTo(const IntCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.text);
}

class ReadIntegerTextTest : public testing::TestWithParam<IntCase> {};

TEST_P(ReadIntegerTextTest, ReadsOrRejects) {
    const auto& c = GetParam();
    EXPECT_EQ(ReadIntegerText(c.text), c.value) << "text: '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Integers, ReadIntegerTextTest,
    testing::Values(IntCase{"42", 42}, IntCase{"  42", 42}, IntCase{"+42", 42}, IntCase{"-42", -42},
                    IntCase{"42 ", std::nullopt}, IntCase{"", std::nullopt},
                    IntCase{" ", std::nullopt}, IntCase{"-", std::nullopt},
                    IntCase{"\t1", std::nullopt}, IntCase{"2147483647", 2147483647},
                    IntCase{"2147483648", std::nullopt}, IntCase{"-2147483648", INT32_MIN},
                    IntCase{"-2147483649", std::nullopt}, IntCase{"$1A", 26}, IntCase{"x1a", 26},
                    IntCase{"X1A", 26}, IntCase{"0x1A", 26}, IntCase{"0X1a", 26},
                    IntCase{"-$10", -16}, IntCase{"$FFFFFFFF", -1}, IntCase{"$80000000", INT32_MIN},
                    IntCase{"$100000000", std::nullopt}, IntCase{"$", std::nullopt},
                    IntCase{"0x", std::nullopt}, IntCase{"$G1", std::nullopt},
                    IntCase{"1.5", std::nullopt}, IntCase{"00012", 12}));

TEST(ReadInt64TextTest, AllowsSixtyFourBits) {
    EXPECT_EQ(ReadInt64Text("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(ReadInt64Text("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(ReadInt64Text("9223372036854775808"), std::nullopt);
    EXPECT_EQ(ReadInt64Text("$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(ReadInt64Text("$FFFFFFFF"), 0xFFFFFFFFLL);
    EXPECT_EQ(ReadInt64Text("$1FFFFFFFFFFFFFFFF"), std::nullopt);
}

TEST(GetTokenIntTest, ReadsPiecesAsIntegers) {
    EXPECT_EQ(GetTokenInt("10,20,x", ",", 3), 0);
    EXPECT_EQ(GetTokenInt("10, 20", ",", 2), 20);
    EXPECT_EQ(GetTokenInt("10,20 ", ",", 2), 0);
    EXPECT_EQ(GetTokenInt("10,-20", ",", 2), -20);
    EXPECT_EQ(GetTokenInt("10,20", ",", 3), 0);
}

TEST(HexToIntTest, ReadsHexOrGivesZero) {
    const std::vector<std::pair<std::string, int32_t>> cases = {
        {"ff", 255}, {"1A", 26},       {"1a", 26}, {"", 0},    {"G1", 0},
        {" 1A", 0},  {"FFFFFFFF", -1}, {"-1", 0},  {"1A ", 0}, {"123456789", 0}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(HexToInt(text), value) << "text: '" << text << "'";
    }
}

TEST(IntToStrZeroTest, PadsOnTheLeft) {
    EXPECT_EQ(IntToStrZero(7, 3), "007");
    EXPECT_EQ(IntToStrZero(1234, 3), "1234");
    EXPECT_EQ(IntToStrZero(123, 3), "123");
    EXPECT_EQ(IntToStrZero(-5, 4), "00-5");
    EXPECT_EQ(IntToStrZero(5, 0), "5");
    EXPECT_EQ(IntToStrZero(5, -3), "5");
}

TEST(ChoiceTest, IfThenPicksByCondition) {
    EXPECT_EQ(IfThenStr(true, "YES", "NO"), "YES");
    EXPECT_EQ(IfThenStr(false, "YES", "NO"), "NO");
    EXPECT_EQ(IfThenInt(true, 48, 64), 48);
    EXPECT_EQ(IfThenInt(false, 48, 64), 64);
}

TEST(JoinNonEmptyTest, PutsSeparatorOnlyBetweenTwoTexts) {
    const std::string sep = "\r\n\r\n";
    EXPECT_EQ(JoinNonEmpty("A", "B", sep), "A\r\n\r\nB");
    EXPECT_EQ(JoinNonEmpty("A", "", sep), "A");
    EXPECT_EQ(JoinNonEmpty("", "B", sep), "B");
    EXPECT_EQ(JoinNonEmpty("", "", sep), "");
}

TEST(CharFilterTest, TrimCharSetTrimsChosenEnds) {
    const CharSet slash = MakeCharSet("/");
    EXPECT_EQ(TrimCharSet("//a/b//", slash, true, false), "a/b//");
    EXPECT_EQ(TrimCharSet("//a/b//", slash, false, true), "//a/b");
    EXPECT_EQ(TrimCharSet("//a/b//", slash, true, true), "a/b");
    EXPECT_EQ(TrimCharSet("//a/b//", slash, false, false), "//a/b//");
    EXPECT_EQ(TrimCharSet("////", slash, true, true), "");
    EXPECT_EQ(TrimCharSet("////", slash, false, true), "");
    EXPECT_EQ(TrimCharSet(" \t a \r\n", BlankAndControlChars(), true, true), "a");
}

TEST(CharFilterTest, DeleteAndKeep) {
    EXPECT_EQ(DeleteCharSet("\"YYYY\"-MM", MakeCharSet("\"")), "YYYY-MM");
    EXPECT_EQ(DeleteCharSet("abc", MakeCharSet("")), "abc");
    EXPECT_EQ(KeepChars("DD. MMMM YYYY, DDDD", "DMY.:-/'_+*"), "DD.MMMMYYYYDDDD");
    EXPECT_EQ(KeepChars("abc", ""), "");
    EXPECT_EQ(KeepChars("\xC3\xA4x", "x"), "x");
}

TEST(XorHexTest, EncodesAndDecodes) {
    EXPECT_EQ(XorHexEncode("secret", "secret"), "000000000000");
    EXPECT_EQ(XorHexDecode("000000000000", "secret"), "secret");
    EXPECT_EQ(XorHexEncode("A", "\x01"), "40");
    EXPECT_EQ(XorHexEncode("AAA", "\x01\x02"), "404340");
    EXPECT_EQ(XorHexDecode("404340", "\x01\x02"), "AAA");
    EXPECT_EQ(XorHexDecode("4a", "\x01"), "K");
    EXPECT_EQ(XorHexEncode("", "key"), "");
    EXPECT_EQ(XorHexEncode("plain", ""), "plain");
    const std::string bytes("\x00\xFF\x7F\xC3\xA4", 5);
    EXPECT_EQ(XorHexDecode(XorHexEncode(bytes, "k\xE9y"), "k\xE9y"), bytes);
}

TEST(XorHexTest, InvalidCodedTextGivesEmpty) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"404", "k"}, {"4G", "k"}, {"40 1", "k"}, {"", "k"}, {"4040", ""}, {"-1", "k"}};
    for (const auto& [text, key] : cases) {
        EXPECT_EQ(XorHexDecode(text, key), "") << "text: '" << text << "' key: '" << key << "'";
    }
}

struct FloatFormatCase {
    int decimals;
    char decimalChar;
    char thousandsChar;
    double value;
    bool emptyIfZero;
    std::string text;
};

void PrintTo(const FloatFormatCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.decimals) << " " << testing::PrintToString(c.decimalChar) << " "
        << testing::PrintToString(c.thousandsChar) << " " << testing::PrintToString(c.value);
}

class FormatFloatTextTest : public testing::TestWithParam<FloatFormatCase> {};

TEST_P(FormatFloatTextTest, Formats) {
    const auto& c = GetParam();
    EXPECT_EQ(FormatFloatText(c.decimals, c.decimalChar, c.thousandsChar, c.value, c.emptyIfZero),
              c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, FormatFloatTextTest,
    testing::Values(FloatFormatCase{2, '.', '\0', 1.50, false, "1.5"},
                    FloatFormatCase{2, '.', '\0', 3.0, false, "3"},
                    FloatFormatCase{2, '.', '\0', 0, true, ""},
                    FloatFormatCase{2, '.', '\0', 0, false, "0"},
                    FloatFormatCase{2, ',', '.', 1234.5, false, "1.234,5"},
                    FloatFormatCase{2, '.', ',', 1234567.25, false, "1,234,567.25"},
                    FloatFormatCase{2, '.', '\0', 1234567.25, false, "1234567.25"},
                    FloatFormatCase{0, '.', '\0', 100, false, "100"},
                    FloatFormatCase{0, '.', '\0', 2.5, false, "3"},
                    FloatFormatCase{2, '.', '\0', 0.005, false, "0.01"},
                    FloatFormatCase{2, '.', '\0', 0.0006, false, "0"},
                    FloatFormatCase{2, '.', '\0', 9.999, false, "10"},
                    FloatFormatCase{2, '.', '\0', -0.001, false, "0"},
                    FloatFormatCase{10, '.', '\0', 1.5, true, "1.5"},
                    FloatFormatCase{10, '.', '\0', -0.125, true, "-0.125"},
                    FloatFormatCase{10, '.', '\0', 0.1, true, "0.1"},
                    FloatFormatCase{10, '.', '\0', 1.0 / 3.0, true, "0.3333333333"},
                    FloatFormatCase{2, '.', ',', 123.0, false, "123"},
                    FloatFormatCase{2, '.', '\0', 1e20, false, "1E+20"},
                    FloatFormatCase{2, ',', '\0', 1.5e20, false, "1,5E+20"}));

TEST(ParseFloatTextTest, ReadsOrGivesDefault) {
    struct Case {
        std::string text;
        char decimalChar;
        double expected;
    };
    const std::vector<Case> cases = {
        {"3,25", ',', 3.25},  {"3.25", '.', 3.25},   {"", '.', -1},     {"abc", '.', -1},
        {"1.234,5", ',', -1}, {"  -2.5", '.', -2.5}, {"+7", '.', 7},    {"1e3", '.', 1000},
        {"1E-2", '.', 0.01},  {"1e", '.', -1},       {"2.5 ", '.', -1}, {"3,25", '.', -1},
        {"1.5", ',', 1.5},    {".5", '.', 0.5},      {"5.", '.', 5},    {".", '.', -1},
        {"1,2,3", ',', -1},   {"1e999", '.', -1},    {"0x10", '.', -1}, {"inf", '.', -1}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(ParseFloatText(c.text, c.decimalChar, -1), c.expected)
            << "text: '" << c.text << "'";
    }
}

TEST(FloatRoundTripTest, FormattedValueReadsBack) {
    for (const double value : {1.5, -0.125, 1234.0625, 0.0000000001, 98765.4321}) {
        const std::string text = FormatFloatText(10, '.', '\0', value, true);
        EXPECT_DOUBLE_EQ(ParseFloatText(text, '.', 0), value) << text;
    }
}

TEST(CodePageConversionTest, KeepsCharacterCount) {
    EXPECT_EQ(ConvertOemToAnsi(""), "");
    EXPECT_EQ(ConvertAnsiToOem(""), "");
    EXPECT_EQ(ConvertOemToAnsi("M\x81ller"), "M\xC3\xBCller");
    EXPECT_EQ(ConvertAnsiToOem("M\xC3\xBCller"), "M\x81ller");
    EXPECT_EQ(ConvertCp1252ToText("M\xFCller"), "M\xC3\xBCller");
    EXPECT_EQ(ConvertTextToCp1252("M\xC3\xBCller \xE2\x82\xAC"), "M\xFCller \x80");
}

} // namespace
