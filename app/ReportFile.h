#pragma once
// Where the measurement report lies: one name in the configured PDF folder.

#include <string>

inline constexpr const char* ReportFileName = "lirn.pdf";

// The report file in folder; a folder given with its closing separator gets no second one, and
// the empty folder names the file at the root.
std::string ReportFilePath(const std::string& folder);

// Removes a report: false when one is still there afterwards. What cannot be removed, for a
// folder that is not writable, is emptied, so it never passes for another measurement's report.
bool RemoveReport(const std::string& path);

// The message for a report that stays although it should not.
std::string ReportNotDeletedMessage(const std::string& path);

// Removes what reports into folder left when the program was ended while writing one: a whole
// report of a patient in a temporary file. Nothing for the empty folder, where no report is
// written.
void RemoveStaleReportTemporaries(const std::string& folder);
