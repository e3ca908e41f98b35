#pragma once
// Delimited strings, small number conversions, character filters, XOR-hex coding and the
// OEM/ANSI code-page conversions. No function keeps state or throws; bad input gives a fallback.

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using CharSet = std::bitset<256>;

// The set of the given characters (bytes).
CharSet MakeCharSet(std::string_view chars);
// Blanks and control characters: every byte of code 32 or less.
CharSet BlankAndControlChars();

// Integer reading: leading blanks, optional sign, decimal digits or "$"/"x"/"0x" hex (at most
// eight digits), nothing after; decimal values must fit 32 bits signed.
std::optional<int32_t> ReadIntegerText(std::string_view text);
// The same with 64-bit width (at most 16 hex digits).
std::optional<int64_t> ReadInt64Text(std::string_view text);

int TokenCount(std::string_view s, std::string_view delim);
std::string GetToken(std::string_view s, std::string_view delim, int n);
int32_t GetTokenInt(std::string_view s, std::string_view delim, int n);
int32_t HexToInt(std::string_view s);
std::string IntToStrZero(int64_t value, int width);
std::string IfThenStr(bool condition, const std::string& whenTrue, const std::string& whenFalse);
int32_t IfThenInt(bool condition, int32_t whenTrue, int32_t whenFalse);
std::string JoinNonEmpty(const std::string& a, const std::string& b, const std::string& separator);
std::string TrimCharSet(std::string_view s, const CharSet& charSet, bool left, bool right);
std::string DeleteCharSet(std::string_view s, const CharSet& charSet);
std::string KeepChars(std::string_view s, std::string_view allowed);
std::string XorHexEncode(std::string_view value, std::string_view key);
std::string XorHexDecode(std::string_view text, std::string_view key);
std::string FormatFloatText(int decimals, char decimalChar, char thousandsChar, double value,
                            bool emptyIfZero);
double ParseFloatText(std::string_view text, char decimalChar, double defaultValue);

// OEM (CP437 bytes) to the program's own text (UTF-8), one character per input byte.
std::string ConvertOemToAnsi(std::string_view oem);
// The program's own text (UTF-8) to OEM (CP437 bytes), one byte per character, "?" where
// CP437 has no counterpart.
std::string ConvertAnsiToOem(std::string_view text);
// CP1252 bytes to UTF-8 and back, with the same rules.
std::string ConvertCp1252ToText(std::string_view bytes);
std::string ConvertTextToCp1252(std::string_view text);
