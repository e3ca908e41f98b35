#pragma once
// TRvProject: a report project file and the reports it holds. The file is named once at
// start-up, read at the first report selection and kept for the rest of the run.

#include "report/ReportDocument.h"
#include "report/ReportProject.h"

#include <memory>
#include <string>
#include <vector>

class TRvCustomConnection;
class TRvSystem;

class TRvProject {
public:
    TRvProject();
    ~TRvProject();
    TRvProject(const TRvProject&) = delete;
    TRvProject& operator=(const TRvProject&) = delete;

    // The output system that executes the reports.
    TRvSystem* Engine = nullptr;

    // Naming another file than the loaded one drops it; the new file is read at the next
    // selection.
    void SetProjectFile(const std::string& path);
    const std::string& ProjectFile() const { return projectFile_; }
    // True once the file has been read and kept.
    bool Loaded() const;

    // A connection the project's reports may read, found by its name.
    void AddConnection(TRvCustomConnection& connection);

    // Selects a report by its short name (letter case aside) and says whether the project has
    // it. Reads the project file first if it is not loaded yet; throws ReportError when it is
    // missing, unreadable or malformed, or an image it names is missing or no PNG. A file that
    // failed is read again at the next selection.
    bool SelectReport(const std::string& name);

    // Named texts the reports show beside their data; kept until changed or cleared.
    void SetParam(const std::string& name, const std::string& value);
    void ClearParams();

    // Runs the selected report through the engine. Throws ReportError.
    void Execute();

private:
    struct Content;

    std::unique_ptr<Content> Load() const;

    std::string projectFile_;
    std::unique_ptr<Content> content_;
    const ReportDefinition* selected_ = nullptr;
    std::vector<TRvCustomConnection*> connections_;
    ReportParams params_;
};
