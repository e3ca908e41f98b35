#include "common/window/ReportSetup.h"

#include "app/SettingKeys.h"
#include "platform/files/Files.h"
#include "support/VexAbstract.h"
#include "support/VexFiles.h"

ScopedReportSetup::ScopedReportSetup(TSettings& settings) : savedProgramDir_(ProgramDir) {
    ProgramDir = std::string(QUARN_BIN_DIR) + PathSeparator;
    settings.WriteString(PdfFolderKey, PdfFolder().string());
}

ScopedReportSetup::~ScopedReportSetup() {
    ProgramDir = savedProgramDir_;
}

std::filesystem::path ScopedReportSetup::PdfFolder() const {
    return folder_.path().toStdString();
}
