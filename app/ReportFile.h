#pragma once
// Where the measurement report lies: one name in the configured PDF folder.

#include <string>

inline constexpr const char* ReportFileName = "lirn.pdf";

// The report file in folder; a folder given with its closing separator gets no second one, and
// the empty folder names the file at the root.
std::string ReportFilePath(const std::string& folder);
