#include "common/Printing.h"
#include "platform/codepage/CodePage.h"

#include <gtest/gtest.h>

namespace {

struct ByteCase {
    std::string bytes;
    std::string text;
};

void PrintTo(const ByteCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.bytes);
}

class Cp437Test : public testing::TestWithParam<ByteCase> {};

TEST_P(Cp437Test, DecodesAndEncodesBack) {
    const auto& c = GetParam();
    EXPECT_EQ(DecodeCp437(c.bytes), c.text);
    EXPECT_EQ(EncodeCp437(c.text), c.bytes);
}

// German letters, the first and last table entries, box drawing, controls kept as they are.
INSTANTIATE_TEST_SUITE_P(
    Characters, Cp437Test,
    testing::Values(ByteCase{"", ""}, ByteCase{"ABC xyz 019", "ABC xyz 019"},
                    ByteCase{"\r\n\t", "\r\n\t"},
                    ByteCase{std::string(1, '\0'), std::string(1, '\0')},
                    ByteCase{"\x84\x94\x81\xE1", "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"},
                    ByteCase{"\x8E\x99\x9A", "\xC3\x84\xC3\x96\xC3\x9C"},
                    ByteCase{"\x80", "\xC3\x87"}, ByteCase{"\xFF", "\xC2\xA0"},
                    ByteCase{"\x9E", "\xE2\x82\xA7"},
                    ByteCase{"\xC9\xCD\xBB", "\xE2\x95\x94\xE2\x95\x90\xE2\x95\x97"},
                    ByteCase{"\xE3\xF8", "\xCF\x80\xC2\xB0"}, ByteCase{"\x7F", "\x7F"}));

TEST(Cp437Test, EveryByteSurvivesARoundTrip) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(EncodeCp437(DecodeCp437(byte)), byte) << "byte " << b;
    }
}

class Cp1252Test : public testing::TestWithParam<ByteCase> {};

TEST_P(Cp1252Test, DecodesAndEncodesBack) {
    const auto& c = GetParam();
    EXPECT_EQ(DecodeCp1252(c.bytes), c.text);
    EXPECT_EQ(EncodeCp1252(c.text), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, Cp1252Test,
    testing::Values(ByteCase{"", ""}, ByteCase{"Hello\r\n", "Hello\r\n"},
                    ByteCase{"\xE4\xF6\xFC\xDF", "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"},
                    ByteCase{"\x80", "\xE2\x82\xAC"}, ByteCase{"\x9F", "\xC5\xB8"},
                    ByteCase{"\x84\x93", "\xE2\x80\x9E\xE2\x80\x9C"},
                    ByteCase{"\xA0\xFF", "\xC2\xA0\xC3\xBF"}));

TEST(Cp1252Test, UndefinedBytesBecomeQuestionMarks) {
    EXPECT_EQ(DecodeCp1252("\x81\x8D\x8F\x90\x9D"), "?????");
}

struct EncodeCase {
    std::string text;
    std::string cp437;
    std::string cp1252;
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << OneLine(c.text);
}

class UnmappableTest : public testing::TestWithParam<EncodeCase> {};

// One byte per character in both pages, "?" where a page has no counterpart or the UTF-8 is bad.
TEST_P(UnmappableTest, BecomesQuestionMark) {
    const auto& c = GetParam();
    EXPECT_EQ(EncodeCp437(c.text), c.cp437);
    EXPECT_EQ(EncodeCp1252(c.text), c.cp1252);
}

INSTANTIATE_TEST_SUITE_P(Texts, UnmappableTest,
                         testing::Values(EncodeCase{"\xE2\x82\xAC", "?", "\x80"},  // euro sign
                                         EncodeCase{"\xC3\x80", "?", "\xC0"},      // A grave
                                         EncodeCase{"\xE2\x95\x94", "\xC9", "?"},  // box corner
                                         EncodeCase{"\xF0\x9F\x98\x80", "?", "?"}, // emoji
                                         EncodeCase{"\xE4\xB8\xAD", "?", "?"},     // CJK
                                         EncodeCase{"a\xFF"
                                                    "b",
                                                    "a?b", "a?b"},           // stray byte
                                         EncodeCase{"\xC3", "?", "?"},       // cut sequence
                                         EncodeCase{"\xC3\x28", "?(", "?("}, // bad continuation
                                         EncodeCase{"\xC0\xAF", "??", "??"}, // overlong "/"
                                         EncodeCase{"\xED\xA0\x80", "???", "???"}, // surrogate
                                         EncodeCase{"\xF4\x90\x80\x80", "????",
                                                    "????"})); // beyond U+10FFFF

} // namespace
