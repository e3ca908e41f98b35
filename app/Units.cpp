#include "app/Units.h"

#include "app/Main.h"
#include "device/D2XXUnit.h"
#include "support/VexDateTime.h"
#include "support/VexFiles.h"
#include "support/widgets/VexFonts.h"
#include "support/widgets/VexFrmMsgBox.h"
#include "support/widgets/VexMisc.h"

void StartUnits() {
    VexDateTimeStartup();
    VexFilesStartup();
    VexMiscStartup();
    VexFrmMsgBoxStartup();
    D2XXUnitStartup(PlainMessageBox);
    MainStartup();
    RegisterWindowsFontReplacements();
    RegisterProgramFonts();
}

void StopUnits() {
    D2XXUnitShutdown();
    VexFrmMsgBoxShutdown();
    VexMiscShutdown();
    VexFilesShutdown();
    VexDateTimeShutdown();
}
