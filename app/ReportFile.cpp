#include "app/ReportFile.h"

#include "platform/files/Files.h"

std::string ReportFilePath(const std::string& folder) {
    const bool closed = !folder.empty() && IsPathSeparator(folder.back());
    return folder + (closed ? "" : std::string(1, PathSeparator)) + ReportFileName;
}

void RemoveStaleReportTemporaries(const std::string& folder) {
    if (!folder.empty()) {
        RemoveStaleTemporaryFiles(ReportFilePath(folder));
    }
}
