#pragma once
// quarn-reg: query, add, delete, export and import registry keys, as reg.exe does on Windows.

#include <iosfwd>
#include <string>
#include <vector>

// Runs one command line (without the program name); returns the exit code.
int RunQuarnReg(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                std::ostream& err);
