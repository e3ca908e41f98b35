#pragma once
// Building and taking apart GDT records and their files in tests.

#include <string>
#include <vector>

// One GDT line with a correct length field and its CR LF.
std::string L(const std::string& text);

// The record's lines without their CR LF; a last line without one is marked "<no line end>".
std::vector<std::string> LinesOf(const std::string& record);
