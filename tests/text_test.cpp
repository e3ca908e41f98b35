#include "platform/text/Text.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A code point as U+XXXX, a malformed byte as "bad".
std::string Describe(std::string_view text) {
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        const auto c = NextUtf8(text, pos);
        char item[16];
        std::snprintf(item, sizeof item, "U+%04X", c ? static_cast<unsigned>(*c) : 0u);
        out += (out.empty() ? "" : " ") + std::string(c ? item : "bad");
    }
    return out;
}

struct Utf8Case {
    std::string label;
    std::string bytes;
    std::string described;
};

void PrintTo(const Utf8Case& c, std::ostream* os) {
    *os << c.label;
}

class NextUtf8Test : public testing::TestWithParam<Utf8Case> {};

TEST_P(NextUtf8Test, ReadsCodePointsAndCountsEachBadByteOnce) {
    EXPECT_EQ(Describe(GetParam().bytes), GetParam().described);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, NextUtf8Test,
    testing::Values(Utf8Case{"Ascii", "A\x7F", "U+0041 U+007F"},
                    Utf8Case{"EveryLength", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80",
                             "U+00E4 U+20AC U+1F600"},
                    Utf8Case{"Highest", "\xF4\x8F\xBF\xBF", "U+10FFFF"},
                    Utf8Case{"LoneContinuation", "\x80+", "bad U+002B"},
                    Utf8Case{"Truncated", "\xE2\x82", "bad bad"},
                    Utf8Case{"BrokenByAscii", "\xE2\x82+", "bad bad U+002B"},
                    Utf8Case{"Overlong", "\xC0\xAF", "bad bad"},
                    Utf8Case{"Surrogate", "\xED\xA0\x80", "bad bad bad"},
                    Utf8Case{"BeyondUnicode", "\xF4\x90\x80\x80", "bad bad bad bad"},
                    Utf8Case{"InvalidLead", "\xF8\xFF", "bad bad"}),
    [](const auto& info) { return info.param.label; });

TEST(AppendUtf8Test, EncodesWhatNextUtf8Reads) {
    for (const char32_t c : {U'\0', U'A', U'\u00E4', U'\u07FF', U'\u0800', U'\u20AC', U'\uFFFD',
                             U'\U00010000', U'\U0010FFFF'}) {
        std::string text;
        AppendUtf8(text, c);
        std::size_t pos = 0;
        EXPECT_EQ(NextUtf8(text, pos), c) << static_cast<unsigned>(c);
        EXPECT_EQ(pos, text.size()) << static_cast<unsigned>(c);
    }
}

struct FileNameCase {
    std::string label;
    std::string bytes;
    std::u16string text;
};

void PrintTo(const FileNameCase& c, std::ostream* os) {
    *os << c.label;
}

class FileNameTextTest : public testing::TestWithParam<FileNameCase> {};

TEST_P(FileNameTextTest, NamesGoThereAndBackByteForByte) {
    EXPECT_EQ(FileNameToUtf16(GetParam().bytes), GetParam().text);
    EXPECT_EQ(FileNameFromUtf16(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileNameTextTest,
    testing::Values(FileNameCase{"Utf8", "/srv/Befunde-M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80",
                                 u"/srv/Befunde-M\u00FCller \u20AC \U0001F600"},
                    FileNameCase{"Latin1", "/srv/Befunde-M\xFCller", u"/srv/Befunde-M\xDCFCller"},
                    FileNameCase{"EncodedSurrogate", "\xED\xB3\xBC", u"\xDCED\xDCB3\xDCBC"},
                    FileNameCase{"Truncated", "a\xE2\x82", u"a\xDCE2\xDC82"}),
    [](const auto& info) { return info.param.label; });

TEST(FileNameFromUtf16Test, SurrogatesNoNameGivesBecomeTheReplacementCharacter) {
    EXPECT_EQ(FileNameFromUtf16(u"a\xD800"
                                u"b\xDC41"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

TEST(HexDigitValueTest, AcceptsOnlyHexDigitsOfEitherCase) {
    const std::string digits = "0123456789abcdefABCDEF";
    const std::vector<int> values = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                     11, 12, 13, 14, 15, 10, 11, 12, 13, 14, 15};
    for (std::size_t i = 0; i < digits.size(); ++i) {
        EXPECT_EQ(HexDigitValue(digits[i]), values[i]) << digits[i];
    }
    for (const char c : std::string("gG/:@`x \0\xE4", 11)) {
        EXPECT_FALSE(HexDigitValue(c)) << static_cast<int>(c);
    }
}

TEST(HexByteTest, TwoDigitsInTheAskedCase) {
    EXPECT_EQ(HexByte(0x00), "00");
    EXPECT_EQ(HexByte(0x0A), "0A");
    EXPECT_EQ(HexByte(0xFE), "FE");
    EXPECT_EQ(HexByte(0xFE, HexCase::Lower), "fe");
    EXPECT_EQ(HexByte(0x9B, HexCase::Lower), "9b");
}

TEST(AsciiCaseTest, ChangesOnlyAsciiLetters) {
    EXPECT_EQ(LowerAscii("Software\\LIRN @[`{ \xC3\x84"), "software\\lirn @[`{ \xC3\x84");
    EXPECT_EQ(UpperAscii("dd.mm.yyyy @[`{ \xC3\xA4"), "DD.MM.YYYY @[`{ \xC3\xA4");
}

TEST(AsciiCaseTest, ComparesWithoutRegardToAsciiCase) {
    EXPECT_TRUE(EqualsIgnoringAsciiCase("Import.GDT", "import.gdt"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("import.gdt", "import.gd"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3\x84", "\xC3\xA4"));
    EXPECT_TRUE(StartsWithIgnoringAsciiCase("DWORD:0000002a", "dword:"));
    EXPECT_TRUE(StartsWithIgnoringAsciiCase("hex", ""));
    EXPECT_FALSE(StartsWithIgnoringAsciiCase("he", "hex"));
    EXPECT_FALSE(StartsWithIgnoringAsciiCase("hax(2):", "hex"));
}

} // namespace
