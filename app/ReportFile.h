#pragma once
// Where the measurement report lies: one name in the configured PDF folder.

#include <string>

inline constexpr const char* ReportFileName = "lirn.pdf";

// The report file in folder; a folder given with its closing separator gets no second one, and
// the empty folder names the file at the root.
std::string ReportFilePath(const std::string& folder);

// Removes what reports into folder left when the program was ended while writing one: a whole
// report of a patient in a temporary file. Nothing for the empty folder, where no report is
// written.
void RemoveStaleReportTemporaries(const std::string& folder);
