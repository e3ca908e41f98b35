#pragma once
// The program's report project from the build (beside the test programs in build/bin) and a PDF
// folder of the test's own, so that the main window's measurements produce their report as in
// the program instead of asking for a folder.

#include <QTemporaryDir>
#include <filesystem>
#include <string>

class TSettings;

class ScopedReportSetup {
public:
    // Stores the PDF folder in settings and points ProgramDir at build/bin for its lifetime.
    explicit ScopedReportSetup(TSettings& settings);
    ~ScopedReportSetup();
    ScopedReportSetup(const ScopedReportSetup&) = delete;
    ScopedReportSetup& operator=(const ScopedReportSetup&) = delete;

    std::filesystem::path PdfFolder() const;

private:
    std::string savedProgramDir_;
    QTemporaryDir folder_;
};
