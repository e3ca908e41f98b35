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

// A file or folder name's bytes as UTF-16 text to show and edit. A byte that is no part of a
// well-formed UTF-8 sequence, as in a name an older system wrote in Latin-1, becomes the lone
// surrogate U+DC00 + byte, which no UTF-8 text decodes to: the name comes back byte for byte.
std::u16string FileNameToUtf16(std::string_view name);
// The bytes of such text: UTF-8, with each lone surrogate U+DC80-U+DCFF back as its byte. Any
// other lone surrogate, which no name gives, becomes U+FFFD.
std::string FileNameFromUtf16(std::u16string_view text);

// 0-15 for '0'-'9', 'a'-'f' and 'A'-'F'; nothing for any other character.
std::optional<int> HexDigitValue(char c);

enum class HexCase { Upper, Lower };

// The byte as two hex digits, "0A" or "0a".
std::string HexByte(unsigned char byte, HexCase letters = HexCase::Upper);

std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix);
