#include "app/ReportFile.h"

std::string ReportFilePath(const std::string& folder) {
    const bool closed = !folder.empty() && folder.back() == '/';
    return folder + (closed ? "" : "/") + ReportFileName;
}
