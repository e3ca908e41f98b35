#pragma once
// Low-level text helpers shared by the platform layers and the support library: UTF-8 code
// points, hex digits and ASCII letter case (never the C library's locale-dependent forms).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Appends c encoded as UTF-8; c must be a Unicode scalar value.
void AppendUtf8(std::string& out, char32_t c);

// The code point starting at text[pos], with pos moved past it. A malformed sequence (bad
// lead or continuation byte, truncation, overlong form, surrogate, beyond U+10FFFF) gives
// nothing and moves pos past its first byte only, so each bad byte counts once.
// pos must be below text.size().
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& pos);

// 0-15 for '0'-'9', 'a'-'f' and 'A'-'F'; nothing for any other character.
std::optional<int> HexDigitValue(char c);

enum class HexCase { Upper, Lower };

// The byte as two hex digits, "0A" or "0a".
std::string HexByte(unsigned char byte, HexCase letters = HexCase::Upper);

std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix);
