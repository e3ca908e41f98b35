#pragma once
// TRvSystem: the output system. It runs a report of a project through its data connection and
// has the render object write the result in one piece to the output file. It never opens a
// window: no setup dialog, no status window, no preview.

#include "report/ReportDocument.h"
#include "report/RvConnection.h"

#include <cstdint>
#include <string>

class TRvRenderPDF;

// Where a report goes. This engine writes files; the program views and prints them through the
// desktop's shell.
enum TReportDest { rdFile };

// Setups the output may offer before it starts; a set of flags.
using TSystemSetups = uint32_t;
constexpr TSystemSetups ssAllowSetup = 1;

// Options of the output; a set of flags.
using TSystemOptions = uint32_t;
constexpr TSystemOptions soAllowPrintFromPreview = 1;
constexpr TSystemOptions soAllowSaveFromPreview = 2;
constexpr TSystemOptions soPreviewModal = 4;
constexpr TSystemOptions soShowStatus = 8;

// What one run of a report needs besides the output system's settings.
struct ReportJob {
    const ReportDefinition* report = nullptr;
    // The connection the report reads; none for a report without data.
    TRvCustomConnection* connection = nullptr;
    const ReportParams* params = nullptr;
    const ReportImages* images = nullptr;
};

class TRvSystem {
public:
    TReportDest DefaultDest = rdFile;
    // The engine has no file format of its own: the render object writes the file.
    bool DoNativeOutput = false;
    TRvRenderPDF* RenderObject = nullptr;
    std::string OutputFileName;
    // A setup dialog (ssAllowSetup) or a status window (soShowStatus) is refused: a report is
    // produced without any window.
    TSystemSetups SystemSetups = 0;
    TSystemOptions SystemOptions =
        soAllowPrintFromPreview | soAllowSaveFromPreview | soPreviewModal;

    // Pulls the rows, fills and renders the report and writes the output file in one piece; a
    // write that fails leaves an earlier file untouched. Throws ReportError.
    void Execute(const ReportJob& job);
};
