#pragma once
// Single-byte code pages CP437 (OEM, GDT character set 2) and CP1252 against UTF-8 text.
// Decoding gives one character per byte; encoding gives one byte per character, "?" where the
// page has no counterpart (and for every byte of malformed UTF-8).

#include <string>
#include <string_view>

std::string DecodeCp437(std::string_view bytes);
std::string EncodeCp437(std::string_view text);
std::string DecodeCp1252(std::string_view bytes);
std::string EncodeCp1252(std::string_view text);
