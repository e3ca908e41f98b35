#include "app/ReportFile.h"

#include "platform/files/Files.h"

std::string ReportFilePath(const std::string& folder) {
    const bool closed = !folder.empty() && IsPathSeparator(folder.back());
    return folder + (closed ? "" : std::string(1, PathSeparator)) + ReportFileName;
}

bool RemoveReport(const std::string& path) {
    return !FileExists(path) || DeleteFile(path) || TruncateFile(path);
}

std::string ReportNotDeletedMessage(const std::string& path) {
    return path + " konnte nicht gelöscht werden. ";
}

void RemoveStaleReportTemporaries(const std::string& folder) {
    if (!folder.empty()) {
        RemoveStaleTemporaryFiles(ReportFilePath(folder));
    }
}
